#include "kernels/AffineWarp.h"
#include "kernels/ImageLayout.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;

// Quarter turns with whole shifts are exact copies of the turned pixel,
// inside both regions and in the processed channels only.
TEST(QuarterTurn, EveryDepthAndLayoutIsAnExactCopy)
{
  const kerneltest::Layout kLayouts[] = {
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},  {IPL_DEPTH_8U, 4, 0, IPL_DATA_ORDER_PIXEL, 3},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_16U, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_16U, 1, 0, IPL_DATA_ORDER_PLANE, 0}, {IPL_DEPTH_32F, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_32F, 3, 0, IPL_DATA_ORDER_PLANE, 2}, {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  const double kAngles[] = {90, 180, 270, -90, -270, 450, 720 + 180};
  for (unsigned theSeed = 1; theSeed <= 84; ++theSeed) {
    const auto& theLayout = kLayouts[theSeed % std::size(kLayouts)];
    const double theAngle = kAngles[(theSeed / std::size(kLayouts)) % std::size(kAngles)];
    const int theTurn = (static_cast<int>(theAngle) % 360 + 360) % 360;
    std::mt19937 theRandom(theSeed);
    std::uniform_int_distribution<int> theSize(1, 30);
    std::uniform_int_distribution<int> theShift(-10, 40);
    HeaderPtr theSource = kerneltest::RandomImage(theSize(theRandom), theSize(theRandom), theLayout, theSeed);
    HeaderPtr theDestination =
      kerneltest::RandomImage(theSize(theRandom) + 5, theSize(theRandom) + 5, theLayout, theSeed + 500);
    HeaderPtr theOriginal = kerneltest::CopyOf(theDestination.get());
    RoiRecord theSourceRoi{theLayout.mCoi, 1, 0, theSource->width, std::max(theSource->height - 1, 1)};
    RoiRecord theDestinationRoi{theLayout.mCoi, 0, 2, theDestination->width - 1, theDestination->height};
    if (theSeed % 3 == 0 || theLayout.mCoi) {
      theSource->roi = &theSourceRoi;
      theDestination->roi = &theDestinationRoi;
    }
    const int theXs = theShift(theRandom);
    const int theYs = theShift(theRandom);
    ReportRecorder theRecorder;
    iplRotate(theSource.get(), theDestination.get(), theAngle, theXs, theYs, IPL_INTER_CUBIC | IPL_INTER_SMOOTH_EDGES);
    ASSERT_TRUE(theRecorder.Reports().empty()) << "seed " << theSeed << "\n" << theRecorder.Describe();
    kernels::IplRect theFrom, theTo;
    if (!kernels::RoiRect(theSource.get(), true, theFrom) || !kernels::RoiRect(theDestination.get(), true, theTo))
      continue;
    const auto [theFirst, theLast] = kerneltest::ProcessedChannels(theLayout);
    for (int y = 0; y < theDestination->height; ++y) {
      for (int x = 0; x < theDestination->width; ++x) {
        // The source pixel the exact turn puts at (x, y).
        const int theSX = theTurn == 90 ? theYs - y : theTurn == 180 ? theXs - x : y - theYs;
        const int theSY = theTurn == 90 ? x - theXs : theTurn == 180 ? theYs - y : theXs - x;
        const bool theTaken = x >= theTo.x1 && x <= theTo.x2 && y >= theTo.y1 && y <= theTo.y2 && theSX >= theFrom.x1 &&
                              theSX <= theFrom.x2 && theSY >= theFrom.y1 && theSY <= theFrom.y2;
        for (int c = 0; c < theLayout.mChannels; ++c) {
          const bool theCopied = theTaken && c >= theFirst && c <= theLast;
          ASSERT_EQ(kerneltest::SampleAt(theDestination.get(), x, y, c),
                    theCopied ? kerneltest::SampleAt(theSource.get(), theSX, theSY, c)
                              : kerneltest::SampleAt(theOriginal.get(), x, y, c))
            << "seed " << theSeed << " angle " << theAngle << " shifts " << theXs << "," << theYs << " at " << x
            << "," << y << " channel " << c;
        }
      }
    }
    theSource->roi = nullptr;
    theDestination->roi = nullptr;
  }
}

TEST(QuarterTurn, ChecksAndEmptyResults)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = kerneltest::RandomImage(8, 6, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  HeaderPtr theDestination = MakeImage(8, 8, IPL_DEPTH_8U, 3);
  iplRotate(theSource.get(), theDestination.get(), 90, 100, 0, 1);
  EXPECT_EQ(iplStatusGet(), 0);
  EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), std::vector<std::uint8_t>(theDestination->imageSize, 0));

  HeaderPtr theWide = MakeImage(8, 8, IPL_DEPTH_16U, 3);
  iplRotate(theSource.get(), theWide.get(), 270, 0, 0, 1);
  iplStatusSet(0);
  HeaderPtr theAlpha = MakeImage(8, 8, IPL_DEPTH_8U, 4, 4);
  HeaderPtr theFour = MakeImage(8, 8, IPL_DEPTH_8U, 4);
  iplRotate(theFour.get(), theAlpha.get(), 180, 0, 0, 1);
  iplStatusSet(0);
  iplRotate(theSource.get(), nullptr, 90, 0, 0, 1);
  kerneltest::ExpectReports(
    theRecorder,
    {{-5, "iplRotate", "srcImage->depth != dstImage->depth", "iplwarp"},
     {-5, "iplRotate", "Number of processed channels of srcImage != Number of processed channels of dstImage",
      "iplwarp"},
     {-9, "iplRotate", "Incorrect Image", "iplwarp"}},
    "refusals");
}

}  // namespace
