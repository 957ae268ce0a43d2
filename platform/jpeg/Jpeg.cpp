#include "platform/jpeg/Jpeg.h"

#include "platform/files/Files.h"
#include "platform/jpeg/JpegSession.h"

#include <jerror.h>

#include <cstring>

namespace {

// ijlInit's mark of a record it made; ijlFree clears it.
constexpr DWORD kInitMark = 0x494A4C31u;

struct ReadMode {
  IJLIOTYPE mMode;
  bool mFromFile;
  bool mHeaderOnly;
  int mScale;
};

constexpr ReadMode kReadModes[] = {
  {IJL_FILE_READ_HEADER, true, true, 1},      {IJL_MEMORY_READ_HEADER, false, true, 1},
  {IJL_FILE_READ_IMAGE, true, false, 1},      {IJL_MEMORY_READ_IMAGE, false, false, 1},
  {IJL_FILE_READ_HALF, true, false, 2},       {IJL_MEMORY_READ_HALF, false, false, 2},
  {IJL_FILE_READ_QUARTER, true, false, 4},    {IJL_MEMORY_READ_QUARTER, false, false, 4},
  {IJL_FILE_READ_EIGHTH, true, false, 8},     {IJL_MEMORY_READ_EIGHTH, false, false, 8},
};

IJLERR CheckRecord(const JPEG_CORE_PROPERTIES* inProps)
{
  if (!inProps)
    return IJL_INVALID_POINTER;
  return inProps->InitMark == kInitMark ? IJL_OK : IJL_NOT_INITIALIZED;
}

[[noreturn]] void ThrowForError(j_common_ptr inInfo)
{
  throw JpegFailure{CodeForLibraryMessage(inInfo->err->msg_code)};
}

void DropMessage(j_common_ptr, int) {}

}  // namespace

jpeg_error_mgr* UseThrowingErrors(jpeg_error_mgr& ioErrors)
{
  jpeg_std_error(&ioErrors);
  ioErrors.error_exit = ThrowForError;
  ioErrors.emit_message = DropMessage;
  return &ioErrors;
}

IJLERR CodeForLibraryMessage(int inMessageCode)
{
  switch (inMessageCode) {
    case JERR_NO_SOI:
      return IJL_NOT_JPEG;
    case JERR_INPUT_EMPTY:
      return IJL_EMPTY_INPUT;
    case JERR_INPUT_EOF:
    case JERR_NO_IMAGE:
      return IJL_TRUNCATED;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
    case JERR_NO_BACKING_STORE:
      return IJL_TOO_LARGE;
    case JERR_OUT_OF_MEMORY:
      return IJL_OUT_OF_MEMORY;
    case JERR_COMPONENT_COUNT:
      return IJL_UNSUPPORTED_CHANNELS;
    case JERR_BAD_PRECISION:
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
    case JERR_ARITH_NOTIMPL:
    case JERR_SOF_UNSUPPORTED:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_CCIR601_NOTIMPL:
    case JERR_FRACT_SAMPLE_NOTIMPL:
      return IJL_UNSUPPORTED_JPEG;
    default:
      return IJL_CORRUPT;
  }
}

void HandleCloser::operator()(void* inHandle) const
{
  CloseHandle(inHandle);
}

ScopedFile OpenJpegFile(const char* inPath, bool inForWriting)
{
  // Names as long as Windows refuses are refused here too.
  if (strnlen(inPath, MAX_PATH) >= MAX_PATH)
    return nullptr;
  HANDLE theFile = inForWriting
                     ? CreateFileA(inPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : CreateFileA(inPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  return ScopedFile(theFile == INVALID_HANDLE_VALUE ? nullptr : theFile);
}

IJLERR ijlInit(JPEG_CORE_PROPERTIES* ioProps)
{
  if (!ioProps)
    return IJL_INVALID_POINTER;
  *ioProps = JPEG_CORE_PROPERTIES{};
  ioProps->DIBChannels = 3;
  ioProps->DIBColor = IJL_BGR;
  ioProps->JPGChannels = 3;
  ioProps->JPGColor = IJL_YCBCR;
  ioProps->JPGSubSampling = IJL_420;
  ioProps->JPGQuality = 75;
  ioProps->JPGAdobeTransform = -1;
  ioProps->InitMark = kInitMark;
  return IJL_OK;
}

IJLERR ijlFree(JPEG_CORE_PROPERTIES* ioProps)
{
  IJLERR theResult = CheckRecord(ioProps);
  if (theResult == IJL_OK)
    ioProps->InitMark = 0;
  return theResult;
}

IJLERR ijlRead(JPEG_CORE_PROPERTIES* ioProps, IJLIOTYPE inMode)
{
  if (IJLERR theResult = CheckRecord(ioProps); theResult != IJL_OK)
    return theResult;
  for (const ReadMode& theMode : kReadModes)
    if (theMode.mMode == inMode)
      return ReadJpeg(*ioProps, theMode.mFromFile, theMode.mHeaderOnly, theMode.mScale);
  return IJL_INVALID_MODE;
}

IJLERR ijlWrite(JPEG_CORE_PROPERTIES* ioProps, IJLIOTYPE inMode)
{
  if (IJLERR theResult = CheckRecord(ioProps); theResult != IJL_OK)
    return theResult;
  if (inMode != IJL_FILE_WRITE_IMAGE && inMode != IJL_MEMORY_WRITE_IMAGE)
    return IJL_INVALID_MODE;
  return WriteJpeg(*ioProps, inMode == IJL_FILE_WRITE_IMAGE);
}

const char* ijlErrorStr(IJLERR inCode)
{
  switch (inCode) {
    case IJL_OK:
      return "No error";
    case IJL_INVALID_POINTER:
      return "Invalid pointer in the JPEG properties";
    case IJL_INVALID_MODE:
      return "Unsupported JPEG read or write mode";
    case IJL_NOT_INITIALIZED:
      return "JPEG properties not initialized";
    case IJL_INVALID_DIB:
      return "Invalid DIB parameters for this JPEG image";
    case IJL_INVALID_JPEG_PARAMETERS:
      return "Invalid JPEG parameters";
    case IJL_CANNOT_OPEN_FILE:
      return "Unable to open the JPEG file";
    case IJL_CANNOT_READ_FILE:
      return "Unable to read the JPEG file";
    case IJL_CANNOT_WRITE_FILE:
      return "Unable to write the JPEG file";
    case IJL_EMPTY_INPUT:
      return "The JPEG data is empty";
    case IJL_NOT_JPEG:
      return "The data is not a JPEG image";
    case IJL_TRUNCATED:
      return "The JPEG data ends before its image";
    case IJL_CORRUPT:
      return "Corrupt JPEG data";
    case IJL_UNSUPPORTED_JPEG:
      return "Unsupported kind of JPEG image";
    case IJL_UNSUPPORTED_CHANNELS:
      return "Unsupported number of JPEG channels";
    case IJL_TOO_LARGE:
      return "JPEG image too large";
    case IJL_OUT_OF_MEMORY:
      return "Not enough memory for the JPEG image";
    case IJL_BUFFER_TOO_SMALL:
      return "Output buffer too small for the JPEG image";
  }
  return "Unknown JPEG library error";
}
