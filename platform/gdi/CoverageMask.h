#pragma once
// How much of each pixel of a box of device pixels a shape or glyph covers:
// one byte a pixel, 0 nothing to 255 all, rows top-down and mStride bytes
// apart (a multiple of 4, as Cairo wants it).

#include <cstdint>
#include <vector>

namespace tlgdi {

struct CoverageMask {
  std::int32_t mLeft = 0;  // device pixel of the first byte
  std::int32_t mTop = 0;
  std::int32_t mWidth = 0;
  std::int32_t mHeight = 0;
  std::int32_t mStride = 0;
  std::vector<std::uint8_t> mCoverage;

  // Zeroed, for the box inWidth x inHeight at (inLeft, inTop).
  void Reset(std::int32_t inLeft, std::int32_t inTop, std::int32_t inWidth, std::int32_t inHeight)
  {
    mLeft = inLeft;
    mTop = inTop;
    mWidth = inWidth;
    mHeight = inHeight;
    mStride = (inWidth + 3) & ~3;
    mCoverage.assign(static_cast<std::size_t>(mStride) * static_cast<std::size_t>(inHeight), 0);
  }

  const std::uint8_t* Row(std::int32_t inY) const { return mCoverage.data() + static_cast<std::size_t>(inY) * mStride; }
  std::uint8_t* Row(std::int32_t inY) { return mCoverage.data() + static_cast<std::size_t>(inY) * mStride; }
};

}  // namespace tlgdi
