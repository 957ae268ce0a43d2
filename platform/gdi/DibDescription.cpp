#include "platform/gdi/DibDescription.h"

#include "platform/base/WinError.h"

#include <cstring>

namespace tlgdi {

bool DibDescription::Sizes(std::int64_t inWidth, std::int64_t inRows, int inBitCount, int inAlignment,
                    std::uint64_t& outRowBytes, std::uint64_t& outByteSize)
{
  if (inWidth <= 0 || inRows <= 0 || inBitCount <= 0 || inAlignment <= 0)
    return false;
  const std::uint64_t theAlignBits = 8u * static_cast<std::uint64_t>(inAlignment);
  std::uint64_t theBits = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(inWidth), static_cast<std::uint64_t>(inBitCount), &theBits))
    return false;
  const std::uint64_t theRowBytes = (theBits + theAlignBits - 1) / theAlignBits * inAlignment;
  std::uint64_t theByteSize = 0;
  if (__builtin_mul_overflow(theRowBytes, static_cast<std::uint64_t>(inRows), &theByteSize))
    return false;
  if (theRowBytes > 0x7FFFFFFFu || theByteSize > 0xFFFFFFFFu)
    return false;
  outRowBytes = theRowBytes;
  outByteSize = theByteSize;
  return true;
}

DWORD DibDescription::Read(const BITMAPINFO* inInfo, DibDescription& outDescription)
{
  if (!inInfo)
    return ERROR_INVALID_PARAMETER;
  const BITMAPINFOHEADER& theHeader = inInfo->bmiHeader;
  if (theHeader.biSize != sizeof(BITMAPINFOHEADER) && theHeader.biSize != sizeof(BITMAPV4HEADER))
    return ERROR_INVALID_PARAMETER;
  if (theHeader.biWidth <= 0 || theHeader.biHeight == 0 || theHeader.biPlanes != 1)
    return ERROR_INVALID_PARAMETER;

  const auto* theAfterHeader = reinterpret_cast<const std::uint8_t*>(inInfo) + theHeader.biSize;
  DWORD theMasks[3] = {0, 0, 0};
  if (theHeader.biCompression == BI_BITFIELDS) {
    if (theHeader.biSize == sizeof(BITMAPV4HEADER)) {
      const auto* theV4 = reinterpret_cast<const BITMAPV4HEADER*>(inInfo);
      theMasks[0] = theV4->bV4RedMask;
      theMasks[1] = theV4->bV4GreenMask;
      theMasks[2] = theV4->bV4BlueMask;
    } else {
      std::memcpy(theMasks, theAfterHeader, sizeof(theMasks));
    }
  }
  const std::optional<PixelFormat> theFormat =
    PixelFormat::Make(theHeader.biBitCount, theHeader.biCompression, theMasks);
  if (!theFormat)
    return ERROR_INVALID_PARAMETER;

  const std::int64_t theRows = theHeader.biHeight < 0 ? -static_cast<std::int64_t>(theHeader.biHeight)
                                                      : theHeader.biHeight;
  if (!Sizes(theHeader.biWidth, theRows, theHeader.biBitCount, 4, outDescription.mRowBytes, outDescription.mByteSize))
    return ERROR_NOT_ENOUGH_MEMORY;

  outDescription.mWidth = theHeader.biWidth;
  outDescription.mHeight = theHeader.biHeight;
  outDescription.mFormat = *theFormat;
  outDescription.mCompression = theHeader.biCompression;
  outDescription.mXPelsPerMeter = theHeader.biXPelsPerMeter;
  outDescription.mYPelsPerMeter = theHeader.biYPelsPerMeter;
  outDescription.mClrImportant = theHeader.biClrImportant;
  outDescription.mColors.clear();
  outDescription.mClrUsed = theHeader.biClrUsed;
  if (theFormat->IsIndexed()) {
    const DWORD theFull = 1u << theHeader.biBitCount;
    const DWORD theGiven = theHeader.biClrUsed == 0 || theHeader.biClrUsed > theFull ? theFull : theHeader.biClrUsed;
    outDescription.mClrUsed = theHeader.biClrUsed > theFull ? theFull : theHeader.biClrUsed;
    outDescription.mColors.assign(theFull, RGBQUAD{0, 0, 0, 0});
    std::memcpy(outDescription.mColors.data(), theAfterHeader, theGiven * sizeof(RGBQUAD));
  }
  return ERROR_SUCCESS;
}

}  // namespace tlgdi
