#include "objects/IJLReader.h"

#include "core/ByteSource.h"
#include "core/ColorSpace.h"
#include "core/JPEGParser.h"
#include "core/MappedFileSource.h"
#include "platform/base/Utf8.h"
#include "platform/gdi/Gdi.h"

#include <cstring>

namespace {

constexpr std::size_t kMaxErrorText = 255;

IJLIOTYPE FileModeForScale(LONG inScale)
{
  switch (inScale) {
    case 2:
      return IJL_FILE_READ_HALF;
    case 4:
      return IJL_FILE_READ_QUARTER;
    case 8:
      return IJL_FILE_READ_EIGHTH;
    default:
      return IJL_FILE_READ_IMAGE;
  }
}

LONG Reduced(LONG inSide, LONG inScale)
{
  return (inSide + inScale - 1) / inScale;
}

}  // namespace

IJLReader::~IJLReader()
{
  if (mHBM)
    DeleteObject(mHBM);
  if (mLibraryOpen)
    ijlFree(&mProps);
}

void IJLReader::SetPath(const char* inPath)
{
  if (inPath && strnlen(inPath, MAX_PATH) < MAX_PATH)
    mPath = inPath;
}

void IJLReader::SetData(const void* inData, LONG inLength)
{
  mData = static_cast<const BYTE*>(inData);
  mDataLength = inLength;
}

void IJLReader::ChooseScale(LONG inMinWidth, LONG inMinHeight)
{
  ReadHeader();
  if (mImageRead || HasError())
    return;
  mWidth = mNaturalWidth;
  mHeight = mNaturalHeight;
  mScale = 1;
  for (LONG theScale : {2, 4, 8}) {
    const LONG theWidth = Reduced(mNaturalWidth, theScale);
    const LONG theHeight = Reduced(mNaturalHeight, theScale);
    if (inMinWidth < theWidth && inMinHeight < theHeight) {
      mWidth = theWidth;
      mHeight = theHeight;
      mScale = theScale;
    }
  }
}

const char* IJLReader::GetErrorText()
{
  if (!HasError())
    return nullptr;
  if (mError.back() != '.')
    mError += '.';
  return mError.c_str();
}

LONG IJLReader::GetWidth()
{
  ReadHeader();
  return mWidth;
}

LONG IJLReader::GetHeight()
{
  ReadHeader();
  return mHeight;
}

LONGLONG IJLReader::GetPixelCount()
{
  ReadHeader();
  return static_cast<LONGLONG>(mWidth) * mHeight;
}

RECT IJLReader::GetBounds()
{
  ReadHeader();
  return RECT{0, 0, mWidth, mHeight};
}

LONG IJLReader::GetNaturalWidth()
{
  ReadHeader();
  return mNaturalWidth;
}

LONG IJLReader::GetNaturalHeight()
{
  ReadHeader();
  return mNaturalHeight;
}

LONGLONG IJLReader::GetNaturalPixelCount()
{
  ReadHeader();
  return static_cast<LONGLONG>(mNaturalWidth) * mNaturalHeight;
}

RECT IJLReader::GetNaturalBounds()
{
  ReadHeader();
  return RECT{0, 0, mNaturalWidth, mNaturalHeight};
}

HBITMAP IJLReader::GetHBITMAP()
{
  ReadImage();
  return mHBM;
}

bool IJLReader::IsCMYK()
{
  ReadHeader();
  return mProps.JPGChannels == 4;
}

void IJLReader::Init()
{
  if (mInitialized || HasError())
    return;
  mInitialized = true;
  const IJLERR theResult = ijlInit(&mProps);
  mLibraryOpen = theResult == IJL_OK;
  if (!mLibraryOpen)
    SetError(ijlErrorStr(theResult));
}

void IJLReader::ReadHeader()
{
  Init();
  if (mHeaderRead || HasError())
    return;
  mHeaderRead = true;
  mProps.JPGFile = mPath.c_str();
  // The library never writes into a block it reads.
  mProps.JPGBytes = const_cast<BYTE*>(mData);
  mProps.JPGSizeBytes = mDataLength;
  const IJLERR theResult = ijlRead(&mProps, mData ? IJL_MEMORY_READ_HEADER : IJL_FILE_READ_HEADER);
  mNaturalWidth = mWidth = mProps.JPGWidth;
  mNaturalHeight = mHeight = mProps.JPGHeight;
  if (theResult != IJL_OK)
    SetError(ijlErrorStr(theResult));
}

void IJLReader::ReadImage()
{
  ReadHeader();
  if (mImageRead || HasError())
    return;
  mImageRead = true;
  HDC theDC = CreateCompatibleDC(nullptr);
  if (!theDC) {
    SetError("Internal Error: Unable to create device context");
    return;
  }
  const WORD theBits = mProps.JPGChannels == 4 ? 32 : 24;
  BITMAPV4HEADER theHeader{};
  theHeader.bV4Size = sizeof(theHeader);
  theHeader.bV4Width = mWidth;
  theHeader.bV4Height = -mHeight;
  theHeader.bV4Planes = 1;
  theHeader.bV4BitCount = theBits;
  theHeader.bV4V4Compression = BI_RGB;
  void* thePixels = nullptr;
  mHBM = CreateDIBSection(theDC, reinterpret_cast<const BITMAPINFO*>(&theHeader), DIB_RGB_COLORS, &thePixels, nullptr, 0);
  DeleteDC(theDC);
  DIBSECTION theSection{};
  if (!mHBM || GetObjectA(mHBM, sizeof(theSection), &theSection) != sizeof(theSection)) {
    SetError("Unable to create bitmap");
    return;
  }

  const LONG theChannels = theBits / 8;
  mProps.DIBBytes = static_cast<BYTE*>(thePixels);
  mProps.DIBWidth = theSection.dsBm.bmWidth;
  mProps.DIBHeight = theSection.dsBm.bmHeight;
  mProps.DIBChannels = theChannels;
  mProps.DIBPadBytes = theSection.dsBm.bmWidthBytes - theChannels * theSection.dsBm.bmWidth;
  if (theChannels == 3) {
    mProps.DIBColor = IJL_BGR;
    mProps.JPGColor = mProps.JPGChannels == 1 ? IJL_G : IJL_YCBCR;
  } else {
    mProps.DIBColor = IJL_OTHER;
    mProps.JPGColor = IJL_OTHER;
  }
  const IJLERR theResult =
    ijlRead(&mProps, static_cast<IJLIOTYPE>(FileModeForScale(mScale) + (mData ? 1 : 0)));
  if (theResult != IJL_OK) {
    SetError(ijlErrorStr(theResult));
    DeleteObject(mHBM);
    mHBM = nullptr;
    return;
  }
  if (theChannels == 4)
    ConvertFourChannels(static_cast<BYTE*>(thePixels));
}

void IJLReader::ConvertFourChannels(BYTE* ioPixels)
{
  const LONG theRowBytes = mWidth * 4;
  // libjpeg's reading: Adobe's transform 0 is inverted CMYK, any other YCCK.
  if (mProps.JPGAdobeTransform == 0)
    ConvertAdobeCMYKToCMYK(ioPixels, mWidth, mHeight, theRowBytes);
  else if (mProps.JPGAdobeTransform > 0)
    ConvertYCCKToCMYK(ioPixels, mWidth, mHeight, theRowBytes);
  const std::vector<BYTE> theProfile = GetICCProfile();
  ConvertCMYKToRGB(ioPixels, mWidth, mHeight, theRowBytes, theProfile.empty() ? nullptr : theProfile.data(),
                   static_cast<DWORD>(theProfile.size()));
  ConvertRGBXToBGRA(ioPixels, mWidth, mHeight, theRowBytes);
}

std::vector<BYTE> IJLReader::GetICCProfile()
{
  try {
    JPEGParser theParser;
    if (mData) {
      if (mDataLength <= 0)
        return {};
      ByteSource theSource(mData, static_cast<DWORD>(mDataLength));
      theParser.SetSource(&theSource);
      return theParser.TakeICC();
    }
    MappedFileSource theFile;
    if (theFile.Open(mPath.c_str()))
      return {};
    theParser.SetSource(&theFile);
    return theParser.TakeICC();
  } catch (const JPEGParserFailure&) {
    return {};
  }
}

void IJLReader::SetError(const char* inText)
{
  if (!HasError() && inText)
    mError = utf8::Cut(inText, kMaxErrorText);
}

void IJLReader::Restart()
{
  if (mLibraryOpen)
    ijlFree(&mProps);
  mLibraryOpen = false;
  mInitialized = false;
  mHeaderRead = false;
  mImageRead = false;
}
