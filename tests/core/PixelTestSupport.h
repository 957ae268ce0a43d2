#pragma once
// What the pixel-buffer and palette suites share: the assertions logged so
// far, a 32-bit DIB section in a memory device context, colours as bytes,
// and a photo-like test picture.

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pixeltest {

// True when "Assertion Failed in <unit> line N (<expression>)" was logged.
bool AssertionLogged(const std::string& inUnit, const std::string& inExpression);
// How many assertion events were logged so far.
int AssertionCount();

struct Rgb {
  std::uint8_t mRed = 0, mGreen = 0, mBlue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::string ToString(const Rgb& inColor);
COLORREF ToColorRef(const Rgb& inColor);

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// A 32-bit DIB section (top-down unless inBottomUp) selected into a memory
// device context of its own.
class TestDib {
public:
  TestDib(LONG inWidth, LONG inHeight, bool inBottomUp = false);
  ~TestDib();
  TestDib(const TestDib&) = delete;
  TestDib& operator=(const TestDib&) = delete;

  HDC DC() const { return mDC; }
  HBITMAP Bitmap() const { return mBitmap; }
  LONG Width() const { return mWidth; }
  LONG Height() const { return mHeight; }
  // The word 0xAARRGGBB at (x, y), y counted from the top.
  std::uint32_t Get(LONG inX, LONG inY) const;
  void Put(LONG inX, LONG inY, std::uint32_t inWord);
  void Fill(const RECT& inRect, const Rgb& inColor) const;
  DIBSECTION Section() const;

private:
  LONG mWidth;
  LONG mHeight;
  bool mBottomUp;
  HDC mDC = nullptr;
  HBITMAP mBitmap = nullptr;
  HGDIOBJ mOld = nullptr;
  std::uint8_t* mBits = nullptr;
};

// Four quadrants, different enough that a swap of channels, a flip or a
// mirror shows: red top left, green top right, blue bottom left, yellow
// bottom right.
Rgb QuadrantColor(LONG inX, LONG inY, LONG inWidth, LONG inHeight);
void PaintQuadrants(TestDib& ioDib);

// Smooth colour gradients, a few hard-edged shapes and a little noise, the
// same for the same size.
void PaintPhoto(TestDib& ioDib);

// The entry of a colour table nearest by squared RGB distance, first of
// equals.
int NearestEntry(const RGBQUAD* inTable, int inCount, const Rgb& inColor);

}  // namespace pixeltest
