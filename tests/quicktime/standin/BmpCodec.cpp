// Bitmap file reading.

#include "tests/quicktime/standin/BmpCodec.h"

#include "tests/quicktime/standin/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr double kMetresPerInch = 0.0254;

std::uint32_t Read32(std::string_view inBytes, std::size_t inOffset)
{
  std::uint32_t theValue = 0;
  for (int i = 3; i >= 0; --i)
    theValue = (theValue << 8) | static_cast<unsigned char>(inBytes[inOffset + static_cast<std::size_t>(i)]);
  return theValue;
}

std::uint16_t Read16(std::string_view inBytes, std::size_t inOffset)
{
  return static_cast<std::uint16_t>(static_cast<unsigned char>(inBytes[inOffset]) |
                                    (static_cast<unsigned char>(inBytes[inOffset + 1]) << 8));
}

// The checked fields of a bitmap file.
struct Header {
  int mWidth = 0;
  int mHeight = 0;  // rows, always positive
  bool mTopDown = false;
  int mBits = 0;
  std::uint32_t mXPelsPerMeter = 0;
  std::size_t mPixelOffset = 0;
  std::size_t mRowBytes = 0;
  std::vector<RGBColor> mTable;
};

bool ReadHeader(std::string_view inBytes, Header& outHeader)
{
  if (inBytes.size() < kFileHeaderBytes + kInfoHeaderBytes || inBytes.substr(0, 2) != "BM")
    return false;
  std::uint32_t theInfoBytes = Read32(inBytes, 14);
  auto theWidth = static_cast<std::int32_t>(Read32(inBytes, 18));
  auto theHeight = static_cast<std::int32_t>(Read32(inBytes, 22));
  int theBits = Read16(inBytes, 28);
  if (theInfoBytes < kInfoHeaderBytes || theInfoBytes > inBytes.size() - kFileHeaderBytes ||
      Read16(inBytes, 26) != 1 || Read32(inBytes, 30) != 0 || theWidth <= 0 || theWidth > kMaxImageSide ||
      theHeight == 0 || theHeight < -kMaxImageSide || theHeight > kMaxImageSide ||
      (theBits != 1 && theBits != 4 && theBits != 8 && theBits != 24 && theBits != 32))
    return false;

  Header theHeader;
  theHeader.mWidth = theWidth;
  theHeader.mHeight = theHeight < 0 ? -theHeight : theHeight;
  theHeader.mTopDown = theHeight < 0;
  theHeader.mBits = theBits;
  theHeader.mXPelsPerMeter = Read32(inBytes, 38);
  theHeader.mPixelOffset = Read32(inBytes, 10);
  theHeader.mRowBytes = static_cast<std::size_t>(PaddedRowBytes(theWidth, theBits));
  if (theBits <= 8) {
    std::uint32_t theColours = Read32(inBytes, 46);
    if (theColours == 0 || theColours > (1u << theBits))
      theColours = 1u << theBits;
    std::size_t theTableOffset = kFileHeaderBytes + theInfoBytes;
    if (theTableOffset + 4 * theColours > inBytes.size())
      return false;
    for (std::uint32_t i = 0; i < theColours; ++i) {
      auto theEntry = [&](int inByte) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(inBytes[theTableOffset + 4 * i + static_cast<std::size_t>(inByte)]) * 257);
      };
      theHeader.mTable.push_back({theEntry(2), theEntry(1), theEntry(0)});
    }
  }
  if (theHeader.mPixelOffset > inBytes.size() ||
      (inBytes.size() - theHeader.mPixelOffset) / theHeader.mRowBytes < static_cast<std::size_t>(theHeader.mHeight))
    return false;
  outHeader = std::move(theHeader);
  return true;
}

}  // namespace

bool BmpCodec::Validate(std::string_view inBytes)
{
  Header theHeader;
  return ReadHeader(inBytes, theHeader);
}

OSErr BmpCodec::ReadInfo(std::string_view inBytes, ImageInfo& outInfo)
{
  Header theHeader;
  if (!ReadHeader(inBytes, theHeader))
    return kQTInvalidImageErr;
  outInfo = {};
  outInfo.mWidth = theHeader.mWidth;
  outInfo.mHeight = theHeader.mHeight;
  outInfo.mDepth = theHeader.mBits;
  outInfo.mCodecType = kQTRawCodecType;
  outInfo.mCompressorName = "BMP";
  if (theHeader.mXPelsPerMeter > 0)
    outInfo.mResolution = std::round(theHeader.mXPelsPerMeter * kMetresPerInch);
  return kQTNoErr;
}

OSErr BmpCodec::Decode(std::string_view inBytes, DecodedImage& outImage)
{
  outImage = {};
  Header theHeader;
  if (!ReadHeader(inBytes, theHeader))
    return kQTInvalidImageErr;
  DecodedImage theImage;
  theImage.mWidth = theHeader.mWidth;
  theImage.mHeight = theHeader.mHeight;
  auto theBytes = 4LL * theHeader.mWidth * theHeader.mHeight;
  if (theBytes > kMaxImageBytes)
    return kQTMemFullErr;
  theImage.mPixels.resize(static_cast<std::size_t>(theBytes));

  // The file's rows, top row first, drawn one to one into the image.
  PixelView theFrom;
  theFrom.mBase = reinterpret_cast<unsigned char*>(const_cast<char*>(inBytes.data())) + theHeader.mPixelOffset;
  theFrom.mRowBytes = static_cast<std::ptrdiff_t>(theHeader.mRowBytes);
  if (!theHeader.mTopDown) {
    theFrom.mBase += theHeader.mRowBytes * static_cast<std::size_t>(theHeader.mHeight - 1);
    theFrom.mRowBytes = -theFrom.mRowBytes;
  }
  theFrom.mWidth = theHeader.mWidth;
  theFrom.mHeight = theHeader.mHeight;
  theFrom.mFormat = static_cast<OSType>(theHeader.mBits);
  theFrom.mTable = theHeader.mTable;
  PixelView theTo;
  theTo.mBase = theImage.mPixels.data();
  theTo.mRowBytes = 4 * theHeader.mWidth;
  theTo.mWidth = theHeader.mWidth;
  theTo.mHeight = theHeader.mHeight;
  Rect theAll{0, 0, static_cast<SInt16>(theHeader.mHeight), static_cast<SInt16>(theHeader.mWidth)};
  OSErr theErr = DrawPixels(theFrom, theAll, IdentityMatrix(), theTo);
  if (theErr == kQTNoErr)
    outImage = std::move(theImage);
  return theErr;
}

OSErr BmpCodec::Encode(const PixelView& inPixels, int inBits, double inHorizontalDpi, double inVerticalDpi,
                       std::string& outBytes)
{
  outBytes.clear();
  if ((inBits != 24 && inBits != 32) || inPixels.mWidth <= 0 || inPixels.mHeight <= 0 ||
      inPixels.mWidth > kMaxImageSide || inPixels.mHeight > kMaxImageSide || !(inHorizontalDpi > 0) || !(inVerticalDpi > 0))
    return kQTParamErr;
  const auto theRowBytes = static_cast<std::size_t>(PaddedRowBytes(inPixels.mWidth, inBits));
  const auto theFileBytes = kFileHeaderBytes + kInfoHeaderBytes + theRowBytes * static_cast<std::size_t>(inPixels.mHeight);
  if (static_cast<long long>(theFileBytes) > kMaxImageBytes)
    return kQTMemFullErr;

  // The picture as B, G, R, A rows, top row first, then packed bottom-up.
  std::vector<unsigned char> theImage(4 * static_cast<std::size_t>(inPixels.mWidth) * inPixels.mHeight);
  PixelView theTo;
  theTo.mBase = theImage.data();
  theTo.mRowBytes = 4 * static_cast<std::ptrdiff_t>(inPixels.mWidth);
  theTo.mWidth = inPixels.mWidth;
  theTo.mHeight = inPixels.mHeight;
  theTo.mOrigin = inPixels.mOrigin;
  const Rect theAll{inPixels.mOrigin.v, inPixels.mOrigin.h, static_cast<SInt16>(inPixels.mOrigin.v + inPixels.mHeight),
                    static_cast<SInt16>(inPixels.mOrigin.h + inPixels.mWidth)};
  if (OSErr theErr = DrawPixels(inPixels, theAll, IdentityMatrix(), theTo); theErr != kQTNoErr)
    return theErr;

  std::string theBytes(theFileBytes, '\0');
  const auto Put = [&theBytes](std::size_t inAt, std::uint32_t inValue, int inSize) {
    for (int i = 0; i < inSize; ++i)
      theBytes[inAt + static_cast<std::size_t>(i)] = static_cast<char>(inValue >> (8 * i));
  };
  const auto PelsPerMeter = [](double inDpi) { return static_cast<std::uint32_t>(std::lround(inDpi / kMetresPerInch)); };
  theBytes[0] = 'B';
  theBytes[1] = 'M';
  Put(2, static_cast<std::uint32_t>(theFileBytes), 4);
  Put(10, kFileHeaderBytes + kInfoHeaderBytes, 4);
  Put(14, kInfoHeaderBytes, 4);
  Put(18, static_cast<std::uint32_t>(inPixels.mWidth), 4);
  Put(22, static_cast<std::uint32_t>(inPixels.mHeight), 4);
  Put(26, 1, 2);
  Put(28, static_cast<std::uint32_t>(inBits), 2);
  Put(34, static_cast<std::uint32_t>(theRowBytes * static_cast<std::size_t>(inPixels.mHeight)), 4);
  Put(38, PelsPerMeter(inHorizontalDpi), 4);
  Put(42, PelsPerMeter(inVerticalDpi), 4);
  const std::size_t thePixelBytes = static_cast<std::size_t>(inBits / 8);
  for (int y = 0; y < inPixels.mHeight; ++y) {
    const unsigned char* theFrom = theImage.data() + 4 * static_cast<std::size_t>(inPixels.mWidth) * y;
    char* theRow = theBytes.data() + kFileHeaderBytes + kInfoHeaderBytes +
                   theRowBytes * static_cast<std::size_t>(inPixels.mHeight - 1 - y);
    for (int x = 0; x < inPixels.mWidth; ++x)
      std::memcpy(theRow + thePixelBytes * static_cast<std::size_t>(x), theFrom + 4 * x, thePixelBytes);
  }
  outBytes = std::move(theBytes);
  return kQTNoErr;
}
