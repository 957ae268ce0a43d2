#pragma once
// A non-owning view of pixels: where the top row starts, the signed distance
// from one row to the row below it (negative for bottom-up DIBs), the size
// and the layout. Whoever makes a view keeps the pixels alive while it is used.

#include "platform/gdi/PixelFormat.h"

#include <cstdint>
#include <functional>

namespace tlgdi {

struct PixelView {
  std::uint8_t* mTop = nullptr;
  std::int64_t mStride = 0;
  std::int32_t mWidth = 0;
  std::int32_t mHeight = 0;
  const PixelFormat* mFormat = nullptr;

  std::uint8_t* Row(std::int32_t inY) const { return mTop + inY * mStride; }

  // The first byte of the pixel memory and the byte just past it.
  const std::uint8_t* Begin() const { return mStride >= 0 ? mTop : Row(mHeight - 1); }
  const std::uint8_t* End() const
  {
    const std::int64_t theLength = mStride >= 0 ? mStride : -mStride;
    return Begin() + theLength * mHeight;
  }

  bool Overlaps(const PixelView& inOther) const
  {
    return std::less<>()(Begin(), inOther.End()) && std::less<>()(inOther.Begin(), End());
  }
};

}  // namespace tlgdi
