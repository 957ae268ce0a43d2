#pragma once
// One run of the pixel buffer's operations on an empty bitmap: create, GDI
// fills, grow, invert, erase, copies from a device context one to one,
// scaled, through a world transform and from a bottom-up source. After each
// step every pixel is held to a picture worked out from the colours drawn and
// the bitmap's own colour table (the nearest entry at indexed depths; the
// colours are exact in 16 bits and more), so both backings meet the same
// pictures.

#include "core/Bitmap.h"
#include "tests/core/PixelTestSupport.h"

#include <vector>

namespace pixeltest {

// Every pixel after every step, row by row, through Bitmap::GetPixel; a step
// that fails is reported through gtest.
std::vector<ColorValue> RunScenario(Bitmap& ioBitmap, LONG inDepth);

Rgb ToRgb(const ColorValue& inColor);

}  // namespace pixeltest
