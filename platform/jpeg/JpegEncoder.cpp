// ijlWrite: baseline encoding into memory, then into the caller's block or file.

#include "platform/files/Files.h"
#include "platform/jpeg/JpegSession.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;

// libjpeg's output: a vector that doubles whenever it is full.
class GrowingDestination {
public:
  explicit GrowingDestination(std::vector<BYTE>& outBytes) : mBytes(outBytes) {}

  void Attach(jpeg_compress_struct& ioInfo)
  {
    mManager.init_destination = Init;
    mManager.empty_output_buffer = Grow;
    mManager.term_destination = Term;
    ioInfo.dest = &mManager;
    ioInfo.client_data = this;
  }

private:
  static GrowingDestination& Of(j_compress_ptr inInfo) { return *static_cast<GrowingDestination*>(inInfo->client_data); }

  static void Init(j_compress_ptr inInfo)
  {
    GrowingDestination& theDestination = Of(inInfo);
    theDestination.mBytes.resize(kFirstBlock);
    theDestination.mManager.next_output_byte = theDestination.mBytes.data();
    theDestination.mManager.free_in_buffer = kFirstBlock;
  }

  // Called when the whole vector is full.
  static boolean Grow(j_compress_ptr inInfo)
  {
    GrowingDestination& theDestination = Of(inInfo);
    const std::size_t theUsed = theDestination.mBytes.size();
    theDestination.mBytes.resize(theUsed * 2);
    theDestination.mManager.next_output_byte = theDestination.mBytes.data() + theUsed;
    theDestination.mManager.free_in_buffer = theUsed;
    return TRUE;
  }

  static void Term(j_compress_ptr inInfo)
  {
    GrowingDestination& theDestination = Of(inInfo);
    theDestination.mBytes.resize(theDestination.mBytes.size() - theDestination.mManager.free_in_buffer);
  }

  jpeg_destination_mgr mManager{};
  std::vector<BYTE>& mBytes;
};

// libjpeg's state for one write, released whatever happens.
struct Compression {
  explicit Compression(std::vector<BYTE>& outBytes) : mDestination(outBytes) {}
  ~Compression() { jpeg_destroy_compress(&mInfo); }

  jpeg_error_mgr mErrors{};
  GrowingDestination mDestination;
  jpeg_compress_struct mInfo{};
};

LONGLONG RowCount(const JPEG_CORE_PROPERTIES& inProps)
{
  return std::llabs(static_cast<LONGLONG>(inProps.DIBHeight));
}

// libjpeg's name for the DIB's pixels; JCS_UNKNOWN for a kind it is not given.
J_COLOR_SPACE InputSpace(const JPEG_CORE_PROPERTIES& inProps)
{
  switch (inProps.DIBChannels) {
    case 1:
      return inProps.DIBColor == IJL_G ? JCS_GRAYSCALE : JCS_UNKNOWN;
    case 3:
      return inProps.DIBColor == IJL_RGB ? JCS_RGB : inProps.DIBColor == IJL_BGR ? JCS_EXT_BGR : JCS_UNKNOWN;
    case 4:
      return inProps.DIBColor == IJL_BGRA ? JCS_EXT_BGRX : JCS_UNKNOWN;
    default:
      return JCS_UNKNOWN;
  }
}

IJLERR CheckFields(const JPEG_CORE_PROPERTIES& inProps, bool inToFile)
{
  if (!inProps.DIBBytes || (inToFile ? !inProps.JPGFile : !inProps.JPGBytes))
    return IJL_INVALID_POINTER;
  const J_COLOR_SPACE theSpace = InputSpace(inProps);
  const bool theColor = theSpace != JCS_GRAYSCALE;
  if (inProps.DIBWidth <= 0 || inProps.DIBHeight == 0 || inProps.DIBPadBytes < 0 || theSpace == JCS_UNKNOWN)
    return IJL_INVALID_DIB;
  const bool theKindFits = theColor ? inProps.JPGChannels == 3 && inProps.JPGColor == IJL_YCBCR &&
                                        (inProps.JPGSubSampling == IJL_444 || inProps.JPGSubSampling == IJL_420 ||
                                         inProps.JPGSubSampling == IJL_422)
                                    : inProps.JPGChannels == 1 && inProps.JPGColor == IJL_G;
  if (!theKindFits || inProps.JPGWidth != inProps.DIBWidth || inProps.JPGHeight != RowCount(inProps) ||
      inProps.JPGQuality < 0 || inProps.JPGQuality > 100 || (!inToFile && inProps.JPGSizeBytes < 0))
    return IJL_INVALID_JPEG_PARAMETERS;
  return IJL_OK;
}

void Encode(Compression& ioJpeg, const JPEG_CORE_PROPERTIES& inProps)
{
  jpeg_compress_struct& theInfo = ioJpeg.mInfo;
  theInfo.err = UseThrowingErrors(ioJpeg.mErrors);
  jpeg_create_compress(&theInfo);
  ioJpeg.mDestination.Attach(theInfo);
  theInfo.image_width = static_cast<JDIMENSION>(inProps.DIBWidth);
  theInfo.image_height = static_cast<JDIMENSION>(RowCount(inProps));
  theInfo.input_components = inProps.DIBChannels;
  theInfo.in_color_space = InputSpace(inProps);
  jpeg_set_defaults(&theInfo);
  jpeg_set_quality(&theInfo, inProps.JPGQuality, TRUE);
  if (theInfo.in_color_space != JCS_GRAYSCALE) {
    theInfo.comp_info[0].h_samp_factor = inProps.JPGSubSampling == IJL_444 ? 1 : 2;
    theInfo.comp_info[0].v_samp_factor = inProps.JPGSubSampling == IJL_420 ? 2 : 1;
  }
  jpeg_start_compress(&theInfo, TRUE);
  const LONGLONG theRowBytes = static_cast<LONGLONG>(inProps.DIBWidth) * inProps.DIBChannels + inProps.DIBPadBytes;
  while (theInfo.next_scanline < theInfo.image_height) {
    // libjpeg reads the rows it is given and never writes them.
    JSAMPROW theRow = inProps.DIBBytes + theInfo.next_scanline * theRowBytes;
    jpeg_write_scanlines(&theInfo, &theRow, 1);
  }
  jpeg_finish_compress(&theInfo);
}

IJLERR StoreInFile(const char* inPath, const std::vector<BYTE>& inStream)
{
  ScopedFile theFile = OpenJpegFile(inPath, true);
  if (!theFile)
    return IJL_CANNOT_WRITE_FILE;
  DWORD theWritten = 0;
  const DWORD theLength = static_cast<DWORD>(inStream.size());
  if (WriteFile(theFile.get(), inStream.data(), theLength, &theWritten, nullptr) && theWritten == theLength)
    return IJL_OK;
  theFile.reset();
  DeleteFileA(inPath);
  return IJL_CANNOT_WRITE_FILE;
}

}  // namespace

IJLERR WriteJpeg(JPEG_CORE_PROPERTIES& ioProps, bool inToFile)
{
  if (IJLERR theResult = CheckFields(ioProps, inToFile); theResult != IJL_OK)
    return theResult;
  std::vector<BYTE> theStream;
  try {
    Compression theJpeg(theStream);
    Encode(theJpeg, ioProps);
  } catch (const JpegFailure& inFailure) {
    return inFailure.mCode;
  } catch (const std::bad_alloc&) {
    return IJL_OUT_OF_MEMORY;
  }
  if (theStream.size() > static_cast<std::size_t>(INT32_MAX))
    return IJL_TOO_LARGE;

  const LONG theCapacity = ioProps.JPGSizeBytes;
  ioProps.JPGSizeBytes = static_cast<LONG>(theStream.size());
  if (inToFile)
    return StoreInFile(ioProps.JPGFile, theStream);
  if (theStream.size() > static_cast<std::size_t>(theCapacity))
    return IJL_BUFFER_TOO_SMALL;
  std::memcpy(ioProps.JPGBytes, theStream.data(), theStream.size());
  return IJL_OK;
}
