#include "tests/core/PixelTestSupport.h"

#include <cmath>

namespace pixeltest {

std::string ToString(const Rgb& inColor)
{
  return "(" + std::to_string(inColor.mRed) + ", " + std::to_string(inColor.mGreen) + ", " +
         std::to_string(inColor.mBlue) + ")";
}

Rgb ToRgb(const RGBQUAD& inEntry)
{
  return Rgb{inEntry.rgbRed, inEntry.rgbGreen, inEntry.rgbBlue};
}

DIBSECTION TestDib::Section() const
{
  DIBSECTION theSection{};
  GetObjectA(Bitmap(), sizeof theSection, &theSection);
  return theSection;
}

void Fill(HDC inDC, const RECT& inRect, const Rgb& inColor)
{
  HBRUSH theBrush = CreateSolidBrush(RGB(inColor.mRed, inColor.mGreen, inColor.mBlue));
  FillRect(inDC, &inRect, theBrush);
  DeleteObject(theBrush);
}

Rgb QuadrantColor(LONG inX, LONG inY, LONG inWidth, LONG inHeight)
{
  const bool theRight = inX >= inWidth / 2;
  const bool theBottom = inY >= inHeight / 2;
  return theBottom ? (theRight ? kYellow : kBlue) : (theRight ? kGreen : kRed);
}

void PaintQuadrants(TestDib& ioDib)
{
  for (LONG y = 0; y < ioDib.Height(); ++y)
    for (LONG x = 0; x < ioDib.Width(); ++x) {
      const Rgb theColor = QuadrantColor(x, y, ioDib.Width(), ioDib.Height());
      ioDib.Put(x, y, 0xFF000000u | theColor.mRed << 16 | theColor.mGreen << 8 | theColor.mBlue);
    }
}

void PaintPhoto(TestDib& ioDib)
{
  std::uint32_t theSeed = 12345;
  const double theWidth = ioDib.Width(), theHeight = ioDib.Height();
  for (LONG y = 0; y < ioDib.Height(); ++y)
    for (LONG x = 0; x < ioDib.Width(); ++x) {
      const double u = x / theWidth, v = y / theHeight;
      double r = 128 + 110 * std::sin(6.0 * u + 1.0) * std::cos(4.0 * v);
      double g = 40 + 180 * v * (1 - 0.5 * u);
      double b = 200 - 150 * u * v + 30 * std::sin(20.0 * u);
      const double dx = u - 0.3, dy = v - 0.6;
      if (dx * dx + dy * dy < 0.02)
        r = 250, g = 220, b = 180;  // a bright disc
      if (u > 0.7 && v < 0.25)
        r = 20, g = 90, b = 30;  // a dark green block
      theSeed = theSeed * 1664525u + 1013904223u;
      const int theNoise = static_cast<int>(theSeed >> 28) - 8;
      auto Clamp = [&](double c) {
        return static_cast<std::uint32_t>(std::lround(std::fmin(255.0, std::fmax(0.0, c + theNoise))));
      };
      ioDib.Put(x, y, Clamp(r) << 16 | Clamp(g) << 8 | Clamp(b));
    }
}

}  // namespace pixeltest
