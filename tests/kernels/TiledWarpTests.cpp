#include "kernels/AffineWarp.h"
#include "kernels/ImageLayout.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using kerneltest::RandomImage;
using kerneltest::TiledImage;

// A tiled warp gives what the plain warp gives: the same pixels up to one
// unit (the blocks form their own inverse mapping), except on the
// quadrangle's edges, and every tile it asks for is handed back.
TEST(TiledWarp, MatchesThePlainWarp)
{
  const struct {
    int mDepth, mChannels, mAlpha, mOrder, mInterpolate;
    bool mTiledSource, mTiledDestination;
  } theCases[] = {
    {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 1, true, false},
    {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 17, false, true},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 18, true, true},
    {IPL_DEPTH_16U, 2, 0, IPL_DATA_ORDER_PLANE, 1, true, true},
    {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 2, false, true},
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0, true, true},
    {IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 16, true, false},
  };
  unsigned theSeed = 0;
  for (const auto& theCase : theCases) {
    ++theSeed;
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    HeaderPtr theSource = RandomImage(70, 50, theCase.mDepth, theCase.mChannels, theCase.mAlpha, theCase.mOrder, theSeed);
    HeaderPtr thePlain = RandomImage(150, 140, theCase.mDepth, theCase.mChannels, theCase.mAlpha, theCase.mOrder,
                                     theSeed + 100);
    HeaderPtr thePicture = kerneltest::CopyOf(thePlain.get());
    const double theAngle = 0.3 + theUnit(theRandom);
    const double theScale = 1.3;
    const double theCoeffs[2][3] = {{theScale * std::cos(theAngle), theScale * std::sin(theAngle), 30},
                                    {-theScale * std::sin(theAngle), theScale * std::cos(theAngle), 75}};
    RoiRecord theRoi{0, 3, 2, 60, 45};
    theSource->roi = &theRoi;
    std::ostringstream theName;
    theName << "case " << theSeed << " depth " << theCase.mDepth << " interpolate " << theCase.mInterpolate
            << (theCase.mTiledSource ? " tiled source" : "") << (theCase.mTiledDestination ? " tiled destination" : "");
    ReportRecorder theRecorder;
    iplWarpAffine(theSource.get(), thePlain.get(), theCoeffs, theCase.mInterpolate);
    ASSERT_EQ(iplStatusGet(), 0) << theName.str() << "\n" << theRecorder.Describe();

    TiledImage theTiledSource(theSource.get(), 16, 24);
    TiledImage theTiledDestination(thePicture.get(), 32, 16);
    theTiledSource.Header()->roi = &theRoi;
    ImageHeader* theFrom = theCase.mTiledSource ? theTiledSource.Header() : theSource.get();
    ImageHeader* theTo = theCase.mTiledDestination ? theTiledDestination.Header() : thePicture.get();
    iplWarpAffine(theFrom, theTo, theCoeffs, theCase.mInterpolate);
    ASSERT_EQ(iplStatusGet(), 0) << theName.str() << "\n" << theRecorder.Describe();
    theTiledSource.Header()->roi = nullptr;
    for (const TiledImage* theTiled : {&theTiledSource, &theTiledDestination}) {
      EXPECT_EQ(theTiled->Held(), 0) << theName.str();
      EXPECT_TRUE(theTiled->Faults().empty()) << theName.str() << ": " << theTiled->Faults().front();
    }
    for (const TiledImage::Call& theCall : theTiledSource.Calls())
      EXPECT_NE(theCall.mMode, IPL_GET_TILE_TO_WRITE) << theName.str();
    if (theCase.mTiledDestination) {
      EXPECT_FALSE(theTiledDestination.Calls().empty()) << theName.str();
      EXPECT_EQ(theTiledDestination.MaxHeld(), 1) << theName.str();
    }

    double theQuad[4][2];
    iplGetAffineQuad(theSource.get(), theCoeffs, theQuad);
    const bool theSmooth = theCase.mInterpolate & IPL_INTER_SMOOTH_EDGES;
    const double theTolerance =
      theCase.mDepth == IPL_DEPTH_32F ? 1e-2 : theCase.mDepth == IPL_DEPTH_1U ? 0.0 : (theSmooth ? 2.0 : 1.0);
    for (int y = 0; y < thePlain->height; ++y) {
      for (int x = 0; x < thePlain->width; ++x) {
        if (kerneltest::EdgeDistance(theQuad, x, y) < 1e-6)
          continue;
        for (int c = 0; c < theCase.mChannels; ++c) {
          ASSERT_NEAR(kerneltest::SampleAt(thePicture.get(), x, y, c), kerneltest::SampleAt(thePlain.get(), x, y, c),
                      theTolerance)
            << theName.str() << " at " << x << "," << y << " channel " << c;
        }
      }
    }
    theSource->roi = nullptr;
  }
}

TEST(TiledWarp, ARefusedTileForWritingEndsTheWarp)
{
  HeaderPtr theSource = RandomImage(200, 200, IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 1);
  HeaderPtr thePicture = MakeImage(256, 256, IPL_DEPTH_8U, 1);
  TiledImage theDestination(thePicture.get(), 64, 64);
  theDestination.Refuse(1, 1);
  const double theCoeffs[2][3] = {{1.2, 0.1, 5}, {-0.1, 1.2, 20}};
  ReportRecorder theRecorder;
  iplWarpAffine(theSource.get(), theDestination.Header(), theCoeffs, 17);
  kerneltest::ExpectReports(theRecorder, {{-2, "iplWarpAffine", "Error get tile to write", "iplwarp"}}, "refused");
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_ERROR);
  EXPECT_EQ(theDestination.Held(), 0);
  EXPECT_TRUE(theDestination.Faults().empty());
  // Blocks before the refused one are drawn; it and the later ones are not.
  auto Drawn = [&thePicture](int inColumn, int inRow) {
    for (int y = inRow * 64; y < inRow * 64 + 64; ++y)
      for (int x = inColumn * 64; x < inColumn * 64 + 64; ++x)
        if (kerneltest::SampleAt(thePicture.get(), x, y, 0) != 0)
          return true;
    return false;
  };
  EXPECT_TRUE(Drawn(0, 0) && Drawn(3, 0) && Drawn(0, 1));
  EXPECT_FALSE(Drawn(1, 1) || Drawn(2, 1) || Drawn(0, 2));
}

// A missing source tile stores a status first, so the failure is seen.
TEST(TiledWarp, AMissingSourceTileIsSeen)
{
  HeaderPtr thePicture = RandomImage(100, 100, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  TiledImage theSource(thePicture.get(), 16, 16);
  theSource.Refuse(2, 2);
  HeaderPtr theDestination = MakeImage(100, 100, IPL_DEPTH_8U, 3);
  const double theCoeffs[2][3] = {{0.9, 0.2, 4}, {-0.2, 0.9, 20}};
  ReportRecorder theRecorder;
  iplWarpAffine(theSource.Header(), theDestination.get(), theCoeffs, 17);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_ERROR);
  kerneltest::ExpectReports(theRecorder, {{-1, "iplWarpAffine", "", "iplwarp"}}, "missing");
  EXPECT_EQ(theSource.Held(), 0);
  EXPECT_TRUE(theSource.Faults().empty());
}

}  // namespace
