#pragma once
// A brush behind an HBRUSH: a solid colour, a pattern of pixels, or the null
// brush that paints nothing.
//
// A pattern is a copy of a bitmap's colours (0x00RRGGBB words, rows top-down)
// made when the brush is, tiled from device pixel (0, 0): pixel (x, y) takes
// the pattern's pixel (x mod width, y mod height).

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"
#include "platform/gdi/PixelFormat.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tlgdi {

class BrushObject : public GdiObject {
public:
  BrushObject(bool inNull, COLORREF inColor) : GdiObject(ObjectKind::kBrush), mNull(inNull), mColor(inColor) {}
  BrushObject(std::vector<std::uint32_t> inPattern, std::int32_t inWidth, std::int32_t inHeight)
    : GdiObject(ObjectKind::kBrush), mNull(false), mColor(0), mPattern(std::move(inPattern)), mPatternWidth(inWidth),
      mPatternHeight(inHeight)
  {
  }

  bool IsNull() const { return mNull; }
  bool IsPattern() const { return !mPattern.empty(); }
  COLORREF Color() const { return mColor; }

  // inCount pixels of device row inY from column inX on, as 0x00RRGGBB words.
  void Span(std::int32_t inX, std::int32_t inY, int inCount, std::uint32_t* outPixels) const
  {
    if (!IsPattern()) {
      std::fill_n(outPixels, inCount, PixelFromColorRef(mColor));
      return;
    }
    const std::uint32_t* theRow = mPattern.data() + static_cast<std::size_t>(Wrap(inY, mPatternHeight)) * mPatternWidth;
    std::int32_t theColumn = Wrap(inX, mPatternWidth);
    for (int i = 0; i < inCount; ++i) {
      outPixels[i] = theRow[theColumn];
      if (++theColumn == mPatternWidth)
        theColumn = 0;
    }
  }

private:
  static std::int32_t Wrap(std::int32_t inValue, std::int32_t inSize)
  {
    const std::int32_t theRest = inValue % inSize;
    return theRest < 0 ? theRest + inSize : theRest;
  }

  const bool mNull;
  const COLORREF mColor;
  const std::vector<std::uint32_t> mPattern;
  const std::int32_t mPatternWidth = 0;
  const std::int32_t mPatternHeight = 0;
};

}  // namespace tlgdi
