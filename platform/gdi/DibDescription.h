#pragma once
// What a BITMAPINFO asks for, checked: size, orientation, layout, colour
// table and the sizes of rows and pixels, computed in 64 bits.

#include "platform/gdi/Gdi.h"
#include "platform/gdi/PixelFormat.h"

#include <cstdint>
#include <vector>

namespace tlgdi {

struct DibDescription {
  LONG mWidth = 0;
  LONG mHeight = 0;  // negative: top-down
  PixelFormat mFormat;
  DWORD mCompression = BI_RGB;
  LONG mXPelsPerMeter = 0;
  LONG mYPelsPerMeter = 0;
  DWORD mClrUsed = 0;
  DWORD mClrImportant = 0;
  std::vector<RGBQUAD> mColors;  // indexed layouts: all 2^bits entries
  std::uint64_t mRowBytes = 0;   // 4-byte aligned
  std::uint64_t mByteSize = 0;

  // Fills outDescription from a 40- or 108-byte header with its masks or colour
  // table; answers 0, ERROR_INVALID_PARAMETER for a header that describes no
  // DIB section we make, or ERROR_NOT_ENOUGH_MEMORY for sizes beyond the
  // 32-bit fields of the records.
  static DWORD Read(const BITMAPINFO* inInfo, DibDescription& outDescription);

  // Bytes of a row of inWidth pixels padded to a multiple of inAlignment
  // bytes, and of inRows such rows; false when either does not fit the
  // signed (row) or unsigned (image) 32-bit fields of the records.
  static bool Sizes(std::int64_t inWidth, std::int64_t inRows, int inBitCount, int inAlignment,
                    std::uint64_t& outRowBytes, std::uint64_t& outByteSize);
};

}  // namespace tlgdi
