#include "platform/gdi/BitmapObject.h"

#include "platform/base/WinError.h"
#include "platform/faults/Faults.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

namespace tlgdi {

namespace {

std::uint8_t* MapZeroed(std::size_t inSize)
{
  void* theMemory = mmap(nullptr, inSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (theMemory == MAP_FAILED)
    return nullptr;
  // A photo's pixels are written once, row after row: in huge pages that
  // costs a page fault every 2 MiB instead of every 4 KiB. Only a hint.
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (inSize >= 2 * kHugePage)
    madvise(theMemory, inSize, MADV_HUGEPAGE);
  return static_cast<std::uint8_t*>(theMemory);
}

}  // namespace

std::shared_ptr<BitmapObject> BitmapObject::MakeDib(const DibDescription& inDescription, void* inCallerBits,
                                                    std::int64_t inRowBytes, DWORD& outError)
{
  std::int64_t theRowBytes = static_cast<std::int64_t>(inDescription.mRowBytes);
  const std::int64_t theRows = inDescription.mHeight < 0 ? -static_cast<std::int64_t>(inDescription.mHeight) : inDescription.mHeight;
  if (inCallerBits && inRowBytes != 0) {
    if (inRowBytes < theRowBytes || inRowBytes % 4 != 0) {
      outError = ERROR_INVALID_PARAMETER;
      return nullptr;
    }
    std::uint64_t theByteSize = 0;
    if (inRowBytes > 0x7FFFFFFF ||
        __builtin_mul_overflow(static_cast<std::uint64_t>(inRowBytes), static_cast<std::uint64_t>(theRows), &theByteSize) ||
        theByteSize > 0xFFFFFFFFu) {
      outError = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    theRowBytes = inRowBytes;
  }

  std::shared_ptr<BitmapObject> theBitmap(new (std::nothrow) BitmapObject);
  if (!theBitmap) {
    outError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  if (inCallerBits) {
    theBitmap->mBits = static_cast<std::uint8_t*>(inCallerBits);
  } else {
    theBitmap->mBits = MapZeroed(inDescription.mByteSize);
    if (!theBitmap->mBits) {
      outError = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    theBitmap->mMappedSize = inDescription.mByteSize;
  }
  theBitmap->mDib = true;
  theBitmap->mWidth = inDescription.mWidth;
  theBitmap->mHeight = inDescription.mHeight;
  theBitmap->mTopDown = inDescription.mHeight < 0;
  theBitmap->mFormat = inDescription.mFormat;
  theBitmap->mCompression = inDescription.mCompression;
  theBitmap->mXPelsPerMeter = inDescription.mXPelsPerMeter;
  theBitmap->mYPelsPerMeter = inDescription.mYPelsPerMeter;
  theBitmap->mClrUsed = inDescription.mClrUsed;
  theBitmap->mClrImportant = inDescription.mClrImportant;
  theBitmap->mRowBytes = theRowBytes;
  theBitmap->mColors = inDescription.mColors;
  return theBitmap;
}

std::shared_ptr<BitmapObject> BitmapObject::MakeDevice(int inWidth, int inHeight, int inBitCount,
                                                       const void* inBits, DWORD& outError)
{
  const DWORD theNoMasks[3] = {0, 0, 0};
  const std::optional<PixelFormat> theFormat = PixelFormat::Make(inBitCount, BI_RGB, theNoMasks);
  std::uint64_t theRowBytes = 0;
  std::uint64_t theByteSize = 0;
  if (!theFormat || (inBitCount != 1 && inBitCount != 32) || inWidth <= 0 || inHeight <= 0) {
    outError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  if (!DibDescription::Sizes(inWidth, inHeight, inBitCount, 2, theRowBytes, theByteSize)) {
    outError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  std::shared_ptr<BitmapObject> theBitmap(new (std::nothrow) BitmapObject);
  if (!theBitmap || !(theBitmap->mBits = MapZeroed(theByteSize))) {
    outError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  theBitmap->mMappedSize = theByteSize;
  theBitmap->mWidth = inWidth;
  theBitmap->mHeight = inHeight;
  theBitmap->mTopDown = true;
  theBitmap->mFormat = *theFormat;
  theBitmap->mRowBytes = static_cast<std::int64_t>(theRowBytes);
  if (inBitCount == 1)
    theBitmap->mColors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  if (inBits)
    std::memcpy(theBitmap->mBits, inBits, theByteSize);
  return theBitmap;
}

BitmapObject::~BitmapObject()
{
  if (mMappedSize != 0)
    munmap(mBits, mMappedSize);
}

PixelView BitmapObject::View() const
{
  PixelView theView;
  theView.mWidth = mWidth;
  theView.mHeight = mHeight < 0 ? -mHeight : mHeight;
  theView.mFormat = &mFormat;
  if (mTopDown) {
    theView.mTop = mBits;
    theView.mStride = mRowBytes;
  } else {
    theView.mTop = mBits + (theView.mHeight - 1) * mRowBytes;
    theView.mStride = -mRowBytes;
  }
  return theView;
}

std::vector<std::uint32_t> BitmapObject::Colors() const
{
  std::lock_guard theGuard(mColorLock);
  std::vector<std::uint32_t> theColors;
  theColors.reserve(mColors.size());
  for (const RGBQUAD& theEntry : mColors)
    theColors.push_back((static_cast<std::uint32_t>(theEntry.rgbRed) << 16) | (theEntry.rgbGreen << 8) | theEntry.rgbBlue);
  return theColors;
}

UINT BitmapObject::GetColors(UINT inStart, UINT inCount, RGBQUAD* outColors) const
{
  FaultSafeLock theGuard(mColorLock);
  if (inStart >= mColors.size())
    return 0;
  const UINT theCount = std::min<UINT>(inCount, static_cast<UINT>(mColors.size()) - inStart);
  std::copy_n(mColors.begin() + inStart, theCount, outColors);
  return theCount;
}

UINT BitmapObject::SetColors(UINT inStart, UINT inCount, const RGBQUAD* inColors)
{
  FaultSafeLock theGuard(mColorLock);
  if (inStart >= mColors.size())
    return 0;
  const UINT theCount = std::min<UINT>(inCount, static_cast<UINT>(mColors.size()) - inStart);
  std::copy_n(inColors, theCount, mColors.begin() + inStart);
  return theCount;
}

void BitmapObject::Describe(BITMAP& outBitmap) const
{
  outBitmap = BITMAP{};
  outBitmap.bmWidth = mWidth;
  outBitmap.bmHeight = mHeight < 0 ? -mHeight : mHeight;
  outBitmap.bmWidthBytes = static_cast<LONG>(mRowBytes);
  outBitmap.bmPlanes = 1;
  outBitmap.bmBitsPixel = static_cast<WORD>(mFormat.BitCount());
  outBitmap.bmBits = mDib ? mBits : nullptr;
}

void BitmapObject::Describe(DIBSECTION& outSection) const
{
  outSection = DIBSECTION{};
  Describe(outSection.dsBm);
  BITMAPINFOHEADER& theHeader = outSection.dsBmih;
  theHeader.biSize = sizeof(BITMAPINFOHEADER);
  theHeader.biWidth = mWidth;
  theHeader.biHeight = mHeight;
  theHeader.biPlanes = 1;
  theHeader.biBitCount = static_cast<WORD>(mFormat.BitCount());
  theHeader.biCompression = mCompression;
  theHeader.biSizeImage = static_cast<DWORD>(mRowBytes * outSection.dsBm.bmHeight);
  theHeader.biXPelsPerMeter = mXPelsPerMeter;
  theHeader.biYPelsPerMeter = mYPelsPerMeter;
  theHeader.biClrUsed = mClrUsed;
  theHeader.biClrImportant = mClrImportant;
  if (mFormat.HasBitFields()) {
    outSection.dsBitfields[0] = mFormat.RedMask();
    outSection.dsBitfields[1] = mFormat.GreenMask();
    outSection.dsBitfields[2] = mFormat.BlueMask();
  }
}

}  // namespace tlgdi
