#include "platform/gdi/PixelFormat.h"

#include "platform/gdi/NearestColor.h"

#include <bit>

namespace tlgdi {

namespace {

constexpr std::uint32_t kDefault16[3] = {0x7C00, 0x03E0, 0x001F};
constexpr std::uint32_t kDefault32[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};

bool IsContiguous(std::uint32_t inMask)
{
  if (inMask == 0)
    return false;
  const std::uint32_t theLow = inMask >> std::countr_zero(inMask);
  return (theLow & (theLow + 1)) == 0;
}

}  // namespace

PixelFormat::Channel PixelFormat::Channel::FromMask(std::uint32_t inMask)
{
  Channel theChannel;
  if (inMask == 0)
    return theChannel;
  theChannel.mMask = inMask;
  theChannel.mShift = std::countr_zero(inMask);
  theChannel.mMax = inMask >> theChannel.mShift;
  return theChannel;
}

std::uint32_t PixelFormat::Channel::Get(std::uint32_t inWord) const
{
  if (mMax == 0)
    return 0;
  const std::uint64_t theValue = (inWord & mMask) >> mShift;
  return static_cast<std::uint32_t>((theValue * 255 + mMax / 2) / mMax);
}

std::uint32_t PixelFormat::Channel::Put(std::uint32_t inValue) const
{
  const std::uint64_t theValue = (static_cast<std::uint64_t>(inValue) * mMax + 127) / 255;
  return static_cast<std::uint32_t>(theValue << mShift) & mMask;
}

std::optional<PixelFormat> PixelFormat::Make(int inBitCount, DWORD inCompression, const DWORD inMasks[3])
{
  PixelFormat theFormat;
  theFormat.mBitCount = inBitCount;
  switch (inBitCount) {
  case 1:
  case 4:
  case 8:
  case 24:
    if (inCompression != BI_RGB)
      return std::nullopt;
    if (inBitCount == 24) {
      theFormat.mRed = Channel::FromMask(kDefault32[0]);
      theFormat.mGreen = Channel::FromMask(kDefault32[1]);
      theFormat.mBlue = Channel::FromMask(kDefault32[2]);
    }
    return theFormat;
  case 16:
  case 32:
    break;
  default:
    return std::nullopt;
  }

  const std::uint32_t* theMasks = inBitCount == 16 ? kDefault16 : kDefault32;
  if (inCompression == BI_BITFIELDS) {
    theFormat.mBitFields = true;
    theMasks = inMasks;
    const std::uint32_t thePixelBits = inBitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    for (int i = 0; i < 3; ++i) {
      if (!IsContiguous(theMasks[i]) || (theMasks[i] & ~thePixelBits) != 0)
        return std::nullopt;
      for (int j = 0; j < i; ++j)
        if ((theMasks[i] & theMasks[j]) != 0)
          return std::nullopt;
    }
  } else if (inCompression != BI_RGB) {
    return std::nullopt;
  }
  theFormat.mRed = Channel::FromMask(theMasks[0]);
  theFormat.mGreen = Channel::FromMask(theMasks[1]);
  theFormat.mBlue = Channel::FromMask(theMasks[2]);
  if (inBitCount == 32) {
    const std::uint32_t theRest = ~(theMasks[0] | theMasks[1] | theMasks[2]);
    if (IsContiguous(theRest))
      theFormat.mAlpha = Channel::FromMask(theRest);
    theFormat.mNativeWord = theMasks[0] == kDefault32[0] && theMasks[1] == kDefault32[1] &&
                            theMasks[2] == kDefault32[2];
  }
  return theFormat;
}

bool PixelFormat::SameLayout(const PixelFormat& inOther) const
{
  return mBitCount == inOther.mBitCount && mRed.mMask == inOther.mRed.mMask &&
         mGreen.mMask == inOther.mGreen.mMask && mBlue.mMask == inOther.mBlue.mMask;
}

std::uint32_t PixelFormat::Unpack(std::uint32_t inWord) const
{
  return (mAlpha.Get(inWord) << 24) | (mRed.Get(inWord) << 16) | (mGreen.Get(inWord) << 8) |
         mBlue.Get(inWord);
}

std::uint32_t PixelFormat::Pack(std::uint32_t inPixel) const
{
  return mAlpha.Put(inPixel >> 24) | mRed.Put((inPixel >> 16) & 0xFF) |
         mGreen.Put((inPixel >> 8) & 0xFF) | mBlue.Put(inPixel & 0xFF);
}

void PixelFormat::Read(const std::uint8_t* const* inRows, const std::int32_t* inXs, int inCount,
                       const std::uint32_t* inTable, std::uint32_t* outPixels) const
{
  switch (mBitCount) {
  case 1:
    for (int i = 0; i < inCount; ++i) {
      const std::int32_t x = inXs[i];
      outPixels[i] = inTable[(inRows[i][x >> 3] >> (7 - (x & 7))) & 1];
    }
    break;
  case 4:
    for (int i = 0; i < inCount; ++i) {
      const std::int32_t x = inXs[i];
      outPixels[i] = inTable[(inRows[i][x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
    }
    break;
  case 8:
    for (int i = 0; i < inCount; ++i)
      outPixels[i] = inTable[inRows[i][inXs[i]]];
    break;
  case 16:
    for (int i = 0; i < inCount; ++i) {
      const std::uint8_t* p = inRows[i] + 2 * static_cast<std::int64_t>(inXs[i]);
      outPixels[i] = Unpack(p[0] | (p[1] << 8));
    }
    break;
  case 24:
    for (int i = 0; i < inCount; ++i) {
      const std::uint8_t* p = inRows[i] + 3 * static_cast<std::int64_t>(inXs[i]);
      outPixels[i] = p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    break;
  case 32:
    for (int i = 0; i < inCount; ++i) {
      const std::uint8_t* p = inRows[i] + 4 * static_cast<std::int64_t>(inXs[i]);
      const std::uint32_t theWord = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
      outPixels[i] = mNativeWord ? theWord : Unpack(theWord);
    }
    break;
  }
}

void PixelFormat::Write(std::uint8_t* inRow, std::int32_t inX, int inCount, const std::uint32_t* inPixels,
                        NearestColor* inLookup) const
{
  switch (mBitCount) {
  case 1:
    for (int i = 0; i < inCount; ++i) {
      const std::int32_t x = inX + i;
      const int theShift = 7 - (x & 7);
      std::uint8_t& theByte = inRow[x >> 3];
      theByte = static_cast<std::uint8_t>((theByte & ~(1 << theShift)) | ((inLookup->Find(inPixels[i]) & 1) << theShift));
    }
    break;
  case 4:
    for (int i = 0; i < inCount; ++i) {
      const std::int32_t x = inX + i;
      const int theShift = (x & 1) ? 0 : 4;
      std::uint8_t& theByte = inRow[x >> 1];
      theByte = static_cast<std::uint8_t>((theByte & ~(0xF << theShift)) | ((inLookup->Find(inPixels[i]) & 0xF) << theShift));
    }
    break;
  case 8:
    for (int i = 0; i < inCount; ++i)
      inRow[inX + i] = inLookup->Find(inPixels[i]);
    break;
  case 16:
    for (int i = 0; i < inCount; ++i) {
      std::uint8_t* p = inRow + 2 * (static_cast<std::int64_t>(inX) + i);
      const std::uint32_t theWord = Pack(inPixels[i]);
      p[0] = static_cast<std::uint8_t>(theWord);
      p[1] = static_cast<std::uint8_t>(theWord >> 8);
    }
    break;
  case 24:
    for (int i = 0; i < inCount; ++i) {
      std::uint8_t* p = inRow + 3 * (static_cast<std::int64_t>(inX) + i);
      p[0] = static_cast<std::uint8_t>(inPixels[i]);
      p[1] = static_cast<std::uint8_t>(inPixels[i] >> 8);
      p[2] = static_cast<std::uint8_t>(inPixels[i] >> 16);
    }
    break;
  case 32:
    for (int i = 0; i < inCount; ++i) {
      std::uint8_t* p = inRow + 4 * (static_cast<std::int64_t>(inX) + i);
      const std::uint32_t theWord = mNativeWord ? inPixels[i] : Pack(inPixels[i]);
      p[0] = static_cast<std::uint8_t>(theWord);
      p[1] = static_cast<std::uint8_t>(theWord >> 8);
      p[2] = static_cast<std::uint8_t>(theWord >> 16);
      p[3] = static_cast<std::uint8_t>(theWord >> 24);
    }
    break;
  }
}

}  // namespace tlgdi
