#pragma once
// Test helpers for the GDI suites: a table of DIB layouts, DIB sections made
// in their own memory device contexts, and a pixel codec of the tests' own
// (written from the layout rules, not from the library's code) to put and
// read pixels in the bits directly.

#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gditest {

struct Layout {
  std::string mName;
  int mBits = 32;
  DWORD mCompression = BI_RGB;
  DWORD mMasks[3] = {0, 0, 0};  // red, green, blue
  DWORD mHeaderSize = sizeof(BITMAPINFOHEADER);
  std::vector<RGBQUAD> mTable;  // indexed layouts
};

// 1, 4, 8, 16 (5-5-5, 5-6-5 bit fields), 24, 32 (B, G, R, A; and bit fields
// in R, G, B, A byte order from a 108-byte header).
const std::vector<Layout>& AllLayouts();
const Layout& LayoutNamed(const std::string& inName);

// The header (and masks or colour table) for a layout; a negative height
// makes the rows top-down.
std::vector<std::uint8_t> MakeInfo(const Layout& inLayout, LONG inWidth, LONG inHeight);

// A DIB section selected into a memory device context of its own.
class Dib {
public:
  Dib(const Layout& inLayout, LONG inWidth, LONG inHeight);
  ~Dib();
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  bool IsValid() const { return mBitmap != nullptr; }
  HDC DC() const { return mDC; }
  HBITMAP Bitmap() const { return mBitmap; }
  LONG Width() const { return mWidth; }
  LONG Height() const { return mHeight < 0 ? -mHeight : mHeight; }
  const Layout& GetLayout() const { return mLayout; }
  std::int64_t RowBytes() const { return (static_cast<std::int64_t>(mWidth) * mLayout.mBits + 31) / 32 * 4; }
  std::uint8_t* Row(LONG inY) const;

  // Colours are 0xAARRGGBB. Put stores the nearest table entry (first of
  // equals) for indexed layouts; alpha only where the layout has it.
  void Put(LONG inX, LONG inY, std::uint32_t inColor);
  std::uint32_t Get(LONG inX, LONG inY) const;
  std::uint32_t Word(LONG inX, LONG inY) const;  // the raw pixel value

private:
  Layout mLayout;
  LONG mWidth;
  LONG mHeight;
  HDC mDC = nullptr;
  HBITMAP mBitmap = nullptr;
  HGDIOBJ mOld = nullptr;
  std::uint8_t* mBits = nullptr;
};

// The nearest entry of a table, first of equals winning.
int NearestIndex(const std::vector<RGBQUAD>& inTable, std::uint32_t inColor);

// Largest error of one 8-bit channel through a field of that many bits.
int ChannelTolerance(DWORD inMask);

std::string Hex(std::uint32_t inValue);

// What the target should hold for a source colour: the nearest table entry
// for indexed targets, the colour within the channels' precision otherwise,
// and on 32-bit targets the source's alpha (inKeepsAlpha) or 0.
::testing::AssertionResult Holds(const Dib& inTarget, LONG inX, LONG inY, std::uint32_t inSource, bool inKeepsAlpha);

}  // namespace gditest
