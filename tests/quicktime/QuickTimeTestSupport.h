#pragma once
// What the QuickTime suites share: starting the stand-in, making JPEG files
// with libjpeg-turbo, and reading pixels back.

#include "platform/quicktime/QuickTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qttest {

// Points TESSALINE_QUICKTIME at the stand-in.
void UseStandIn();

// The stand-in's start and stop counts (see standin/StandIn.h).
void StandInCounts(std::int32_t& outStarts, std::int32_t& outStops);
// The transfer mode the stand-in was last asked to draw in (-1: none).
std::int32_t StandInLastTransferMode();

// Starts the stand-in for each test and stops it after.
class StandInTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const QTServices& Q() const { return *mTable; }

 private:
  const QTServices* mTable = nullptr;
};

// A colour as bytes.
struct Colour {
  std::uint8_t mRed, mGreen, mBlue;
};

// A test image of four coloured quadrants, different enough that a swap of
// channels, a flip or a mirror shows: red top left, green top right, blue
// bottom left, yellow bottom right. Rows of R, G, B bytes, top row first.
constexpr Colour kTopLeft{220, 30, 30};
constexpr Colour kTopRight{30, 200, 40};
constexpr Colour kBottomLeft{40, 40, 210};
constexpr Colour kBottomRight{230, 220, 40};
std::vector<std::uint8_t> QuadrantPixels(int inWidth, int inHeight);
Colour QuadrantColour(int inX, int inY, int inWidth, int inHeight);

// A JPEG of R, G, B (3 components), grey (1) or C, M, Y, K (4) samples,
// quality 100 without chroma subsampling; a JFIF density in dots per inch
// when inDpi > 0; inProfile embedded as its ICC profile when not empty.
std::string WriteJpeg(int inWidth, int inHeight, int inComponents, const std::vector<std::uint8_t>& inSamples,
                      int inDpi = 0, const std::string& inProfile = {});

// The quadrant picture as a 24-bit bitmap file, rows bottom-up.
std::string QuadrantBmp(int inWidth, int inHeight);

std::string WriteFile(const std::string& inName, const std::string& inBytes);

// The B, G, R, A bytes at (x, y) of a 32-bit pixel map.
struct Pixel {
  std::uint8_t mBlue, mGreen, mRed, mAlpha;
};
Pixel PixelAt(const QTServices& inQT, PixMapHandle inPixMap, int inX, int inY);
// Within inTolerance in every colour channel.
bool Near(const Pixel& inPixel, const Colour& inColour, int inTolerance);

}  // namespace qttest
