#pragma once
// What the pixel-buffer and palette suites share: colours as bytes, DIB
// sections in memory device contexts, and test pictures.

#include "tests/platform/GdiTestDibs.h"

#include <cstdint>
#include <string>

namespace pixeltest {

struct Rgb {
  std::uint8_t mRed = 0, mGreen = 0, mBlue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::string ToString(const Rgb& inColor);
Rgb ToRgb(const RGBQUAD& inEntry);

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// A DIB section of a GdiTestDibs layout ("32": words 0xAARRGGBB; "8": Word
// gives the index), top-down unless inBottomUp.
class TestDib : public gditest::Dib {
public:
  TestDib(LONG inWidth, LONG inHeight, bool inBottomUp = false, const char* inLayout = "32")
    : Dib(gditest::LayoutNamed(inLayout), inWidth, inBottomUp ? inHeight : -inHeight)
  {
  }
  DIBSECTION Section() const;
};

// Fills a rectangle of a device context through a GDI brush.
void Fill(HDC inDC, const RECT& inRect, const Rgb& inColor);

// Four quadrants, different enough that a swap of channels, a flip or a
// mirror shows: red top left, green top right, blue bottom left, yellow
// bottom right.
Rgb QuadrantColor(LONG inX, LONG inY, LONG inWidth, LONG inHeight);
void PaintQuadrants(TestDib& ioDib);

// Smooth colour gradients, a few hard-edged shapes and a little noise, the
// same for the same size.
void PaintPhoto(TestDib& ioDib);

}  // namespace pixeltest
