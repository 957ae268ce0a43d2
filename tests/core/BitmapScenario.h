#pragma once
// One run of the pixel buffer's operations, recorded as the colours of every
// pixel after each step, so that the two backings can be held to the same
// pictures: create, GDI fills, grow, invert, erase, copies from a device
// context one to one, scaled and through a world transform.

#include "core/Bitmap.h"
#include "tests/core/PixelTestSupport.h"

#include <string>
#include <vector>

namespace pixeltest {

struct Snapshot {
  std::string mStep;
  LONG mWidth = 0;
  LONG mHeight = 0;
  std::vector<ColorValue> mPixels;  // row by row, through Bitmap::GetPixel
};

// The two colours the fills use and the background at a depth, all exact in
// that depth's default colour table.
struct DepthColors {
  Rgb mFirst, mSecond, mBackground, mErase;
};
DepthColors ColorsForDepth(LONG inDepth);

ColorValue ToColorValue(const Rgb& inColor);

// Runs the steps on an empty bitmap; a step that fails is reported through
// gtest and recorded with no pixels.
std::vector<Snapshot> RunScenario(Bitmap& ioBitmap, LONG inDepth);

// Holds the snapshots of RunScenario to pictures worked out from the colours
// drawn and the bitmap's own colour table.
void ExpectScenarioPictures(Bitmap& inBitmap, LONG inDepth, const std::vector<Snapshot>& inShots);

// The colour a pixel shows when inIdeal is drawn or copied into the bitmap:
// the nearest table entry for indexed depths, the colour itself otherwise
// (the scenarios use only colours that 16 bits hold exactly).
Rgb Shown(Bitmap& inBitmap, const Rgb& inIdeal);
Rgb ToRgb(const ColorValue& inColor);

// The 90-degree turn the transformed copy uses: source (x, y) lands on
// (inHeight - 1 - y, x) of the destination.
XFORM QuarterTurn(LONG inSourceHeight);

}  // namespace pixeltest
