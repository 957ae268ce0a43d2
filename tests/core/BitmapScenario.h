#pragma once
// One run of the pixel buffer's operations, recorded as the colours of every
// pixel after each step, so that the two backings can be held to the same
// pictures: create, GDI fills, grow, invert, erase, copies from a device
// context one to one, scaled, through a world transform and from a bottom-up
// source.

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

// Runs the steps on an empty bitmap; a step that fails is reported through
// gtest.
std::vector<Snapshot> RunScenario(Bitmap& ioBitmap, LONG inDepth);

// Holds the snapshots of RunScenario to pictures worked out from the colours
// drawn and the bitmap's own colour table (the nearest entry at indexed
// depths; the scenario's colours are exact in 16 bits and more).
void ExpectScenarioPictures(Bitmap& inBitmap, LONG inDepth, const std::vector<Snapshot>& inShots);

Rgb ToRgb(const ColorValue& inColor);

}  // namespace pixeltest
