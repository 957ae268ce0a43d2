#pragma once
// Copies and fills into a destination view under a world transform.
//
// Coordinates. The destination rectangle is in logical units; the world
// transform maps logical units to device pixels (x' = eM11 x + eM21 y + eDx,
// y' = eM12 x + eM22 y + eDy) and must be invertible. Every destination pixel
// whose bounding box of the mapped rectangle it lies in is visited: its
// centre (px + 0.5, py + 0.5) is mapped back to a logical point, which must
// lie in the rectangle (left and top edges included, right and bottom
// excluded; negative sizes mirror). For a copy the source pixel is then
// floor(sx + (lx - x) * sw / w) across, likewise down, kept inside the source
// rectangle; pixels that fall outside the source view are left alone.
//
// Paths. The reference path above serves every case. A shortcut copies rows
// byte for byte when the layouts are the same (8 bits and more), sizes are
// equal and the transform only moves by whole pixels; it gives the same
// pixels as the reference, which tests check with kReferenceOnly.
//
// A source that shares memory with the destination is copied aside first,
// unless every pixel only reads itself.

#include "platform/gdi/Gdi.h"
#include "platform/gdi/NearestColor.h"
#include "platform/gdi/PixelView.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tlgdi {

enum class RasterOp { kCopy, kInvert };

struct BlitRect {
  double mX = 0;
  double mY = 0;
  double mWidth = 0;
  double mHeight = 0;
};

class Blitter {
public:
  enum class Paths { kFast, kReferenceOnly };

  // inDestColors: the destination's colour table as 0x00RRGGBB words
  // (needed for indexed layouts only).
  Blitter(const PixelView& inDest, const std::vector<std::uint32_t>& inDestColors, const XFORM& inWorld,
          Paths inPaths = Paths::kFast);

  void Copy(const PixelView& inSource, const std::vector<std::uint32_t>& inSourceColors,
            const BlitRect& inDestRect, const BlitRect& inSourceRect, RasterOp inOp);

  // inColor: 0xAARRGGBB.
  void Fill(const BlitRect& inRect, std::uint32_t inColor);

private:
  struct Span {
    std::int32_t mLeft = 0;  // device pixels, clipped to the destination
    std::int32_t mTop = 0;
    std::int32_t mRight = 0;
    std::int32_t mBottom = 0;
  };

  // The logical point of a device pixel's centre.
  void Logical(std::int32_t inX, std::int32_t inY, double& outX, double& outY) const;
  // The device pixels that the mapped rectangle can touch.
  Span Bounds(const BlitRect& inRect) const;
  bool ShortcutCopy(const PixelView& inSource, const std::vector<std::uint32_t>& inSourceColors,
                    const BlitRect& inDestRect, const BlitRect& inSourceRect, RasterOp inOp);
  void Write(std::int32_t inY, std::int32_t inX, int inCount, const std::uint32_t* inPixels);

  PixelView mDest;
  XFORM mWorld;
  bool mSeparable;  // no rotation or shear: columns and rows map apart
  Paths mPaths;
  std::vector<std::uint32_t> mDestColors;
  std::optional<NearestColor> mLookup;
};

}  // namespace tlgdi
