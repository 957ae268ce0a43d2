#include "kernels/AffineWarp.h"
#include "kernels/EdgeSmoothing.h"
#include "kernels/ImageLayout.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using kerneltest::ExpectReports;
using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using kerneltest::StorageOf;
using kerneltest::TiledImage;
using namespace kernels;

const double kIdentity[2][3] = {{1, 0, 0}, {0, 1, 0}};
const char* const kWarp = "iplWarpAffine";
const char* const kModule = "iplwarp";

// Distance from a point to the nearest edge of a quadrangle.
double EdgeDistance(const double inQuad[4][2], double inX, double inY)
{
  double theNearest = HUGE_VAL;
  for (int i = 0; i < 4; ++i) {
    const double* p = inQuad[i];
    const double* q = inQuad[(i + 1) % 4];
    const double theDx = q[0] - p[0];
    const double theDy = q[1] - p[1];
    const double theT =
      std::clamp(((inX - p[0]) * theDx + (inY - p[1]) * theDy) / (theDx * theDx + theDy * theDy), 0.0, 1.0);
    theNearest = std::min(theNearest, std::hypot(inX - p[0] - theT * theDx, inY - p[1] - theT * theDy));
  }
  return theNearest;
}

HeaderPtr Random8(int inWidth, int inHeight, int inChannels, int inAlpha, unsigned inSeed,
                  int inOrder = IPL_DATA_ORDER_PIXEL)
{
  return kerneltest::RandomImage(inWidth, inHeight, IPL_DEPTH_8U, inChannels, inAlpha, inOrder, inSeed);
}

// Each refusal in the order of the checks, with its message; nothing is drawn.
TEST(WarpAffine, ArgumentChecksInOrder)
{
  HeaderPtr theSource = Random8(8, 8, 3, 0, 1);
  HeaderPtr theDestination = Random8(8, 8, 3, 0, 2);
  HeaderPtr the16 = kerneltest::RandomImage(8, 8, IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 3);
  HeaderPtr thePlane = Random8(8, 8, 3, 0, 4, IPL_DATA_ORDER_PLANE);
  HeaderPtr theSigned[2];
  for (HeaderPtr& theImage : theSigned) {
    theImage.reset(iplCreateImageHeader(3, 0, IPL_DEPTH_8S, "RGB", "RGB", 0, 0, 4, 8, 8, nullptr, nullptr, nullptr,
                                        nullptr));
    iplAllocateImage(theImage.get(), 1, 0);
  }
  HeaderPtr theFour = Random8(8, 8, 4, 0, 5);
  ImageHeader theBottomUp = *theDestination;
  theBottomUp.origin = IPL_ORIGIN_BL;
  ImageHeader theBroken = *theDestination;
  theBroken.widthStep = 3;
  const std::vector<std::uint8_t> theBefore = StorageOf(the16.get());
  {
    ReportRecorder theRecorder;
    const auto Warp = [](ImageHeader* inSource, ImageHeader* inDestination) {
      iplWarpAffine(inSource, inDestination, kIdentity, 1);
      iplStatusSet(0);
    };
    Warp(nullptr, theDestination.get());
    Warp(theSource.get(), &theBroken);
    Warp(theSource.get(), &theBottomUp);
    Warp(theSource.get(), the16.get());
    Warp(theSource.get(), thePlane.get());
    Warp(theSigned[0].get(), theSigned[1].get());
    Warp(theSource.get(), theSource.get());
    Warp(theFour.get(), theDestination.get());
    // Both depth and origin differ: both are reported.
    theBottomUp.depth = IPL_DEPTH_16U;
    theBottomUp.widthStep = 48;
    theBottomUp.imageSize = 48 * 8;
    theBottomUp.imageData = the16->imageData;
    Warp(theSource.get(), &theBottomUp);
    ExpectReports(theRecorder,
                  {{-9, kWarp, "Incorrect Image", kModule},
                   {-13, kWarp, "Incorrect Image", kModule},
                   {-5, kWarp, "srcImage->origin != dstImage->origin", kModule},
                   {-5, kWarp, "srcImage->depth != dstImage->depth", kModule},
                   {-5, kWarp, "srcImage->dataOrder != dstImage->dataOrder", kModule},
                   {-5, kWarp, "srcImage->depth & IPL_DEPTH_SIGN", kModule},
                   {-5, kWarp, "This function is not in-place function", kModule},
                   {-5, kWarp,
                    "Number of processed channels of srcImage != Number of processed channels of dstImage", kModule},
                   {-5, kWarp, "srcImage->depth != dstImage->depth", kModule},
                   {-5, kWarp, "srcImage->origin != dstImage->origin", kModule}},
                  "images");
    EXPECT_EQ(StorageOf(the16.get()), theBefore);
  }
  {
    // One channel each: the data orders may differ.
    ReportRecorder theRecorder;
    HeaderPtr theGray = Random8(8, 8, 1, 0, 5);
    HeaderPtr theGrayPlane = MakeImage(8, 8, IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PLANE);
    iplWarpAffine(theGray.get(), theGrayPlane.get(), kIdentity, 1);
    EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
    EXPECT_EQ(StorageOf(theGrayPlane.get()), StorageOf(theGray.get()));
  }
  {
    // Matrices that are singular or not finite (or overflow to it), and
    // unknown interpolations.
    ReportRecorder theRecorder;
    const double kMatrices[][2][3] = {
      {{1e-4, 0, 0}, {0, 1e-4, 0}}, {{2e-7, 0, 0}, {0, 1, 0}},      {{1, 0, NAN}, {0, 1, 0}},
      {{1, 0, 0}, {0, INFINITY, 0}}, {{1e200, 0, 0}, {0, 1e200, 0}}, {{1, 1e308, 0}, {0, 1, 1e308}},
    };
    for (const auto& theMatrix : kMatrices) {
      iplWarpAffine(theSource.get(), theDestination.get(), theMatrix, 1);
      iplStatusSet(0);
    }
    for (int theInterpolate : {3, 35, -1}) {
      iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, theInterpolate);
      iplStatusSet(0);
    }
    const char* kInterpolate =
      "interpolate != IPL_INTER_NN && interpolate != IPL_INTER_LINEAR && interpolate != IPL_INTER_CUBIC";
    // 2e-7 is accepted.
    ExpectReports(theRecorder,
                  {{-5, kWarp, "Determinant of transform matrix == 0.0", kModule},
                   {-5, kWarp, "Transform matrix is not finite", kModule},
                   {-5, kWarp, "Transform matrix is not finite", kModule},
                   {-5, kWarp, "Transform matrix is not finite", kModule},
                   {-5, "iplGetAffineQuad", "Quadrangle is not finite", kModule},
                   {-1, kWarp, "", kModule},
                   {-5, kWarp, kInterpolate, kModule},
                   {-5, kWarp, kInterpolate, kModule},
                   {-5, kWarp, kInterpolate, kModule}},
                  "matrix and interpolation");
  }
  // A negative status already stored stops the warp silently.
  ReportRecorder theRecorder;
  HeaderPtr theBlank = MakeImage(8, 8, IPL_DEPTH_8U, 3);
  iplStatusSet(IPL_STATUS_NO_MEMORY);
  iplWarpAffine(theSource.get(), theBlank.get(), kIdentity, 1);
  EXPECT_TRUE(theRecorder.Reports().empty());
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NO_MEMORY);
  EXPECT_EQ(StorageOf(theBlank.get()), std::vector<std::uint8_t>(theBlank->imageSize, 0));
}

// A source one pixel wide or high cannot make a quadrangle: refused (where
// the kernel table would take it to nearest). Areas that miss the
// destination draw nothing and report nothing.
TEST(WarpAffine, DegenerateAndEmptyAreas)
{
  HeaderPtr theDestination = MakeImage(20, 20, IPL_DEPTH_8U, 1);
  const std::vector<std::uint8_t> theBlank = StorageOf(theDestination.get());
  ReportRecorder theRecorder;
  HeaderPtr theLine = Random8(10, 1, 1, 0, 1);
  iplWarpAffine(theLine.get(), theDestination.get(), kIdentity, IPL_INTER_NN | IPL_INTER_SMOOTH_EDGES);
  iplStatusSet(0);
  HeaderPtr theSource = Random8(10, 10, 1, 0, 2);
  RoiRecord theRoi{0, 3, 0, 1, 10};
  theSource->roi = &theRoi;
  iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 1);
  theSource->roi = nullptr;
  const char* kDegenerate = "srcImage Rectangle ROI is degenerate to length or point";
  ExpectReports(theRecorder, {{-5, kWarp, kDegenerate, kModule}, {-5, kWarp, kDegenerate, kModule}},
                "sides of one pixel");

  theRecorder.Clear();
  iplStatusSet(0);
  const double theAway[2][3] = {{1, 0, 100}, {0, 1, 0}};
  iplWarpAffine(theSource.get(), theDestination.get(), theAway, 1);
  RoiRecord theCorner{0, 15, 15, 5, 5};
  theDestination->roi = &theCorner;
  iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 17);
  theDestination->roi = nullptr;
  EXPECT_EQ(iplStatusGet(), 0);
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
  EXPECT_EQ(StorageOf(theDestination.get()), theBlank);
}

// Cubic needs four source columns and rows, else it is linear; 1-bit
// sources take nearest whatever is asked.
TEST(WarpAffine, MethodsAreDowngradedAsTheRulesSay)
{
  const double theMatrix[2][3] = {{1.3, 0.2, 0.7}, {-0.25, 1.1, 5.3}};
  auto Warp = [&theMatrix](ImageHeader* inSource, int inInterpolate) {
    HeaderPtr theDestination = MakeImage(30, 130, inSource->depth, 1);
    iplWarpAffine(inSource, theDestination.get(), theMatrix, inInterpolate);
    return StorageOf(theDestination.get());
  };
  ReportRecorder theRecorder;
  HeaderPtr theNarrow = Random8(3, 100, 1, 0, 1);
  EXPECT_EQ(Warp(theNarrow.get(), 18), Warp(theNarrow.get(), 17));
  HeaderPtr theSquare = Random8(4, 100, 1, 0, 2);
  EXPECT_NE(Warp(theSquare.get(), 18), Warp(theSquare.get(), 17));
  HeaderPtr theBits = kerneltest::RandomImage(20, 20, IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 3);
  EXPECT_EQ(Warp(theBits.get(), 2), Warp(theBits.get(), 0));
  EXPECT_EQ(Warp(theBits.get(), 17), Warp(theBits.get(), 0));
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
}

// Every depth and layout, plain and tiled, against the reference: pixels clearly inside the
// mapped source region within one unit, pixels clearly outside untouched, and
// channels that are not processed (alpha, outside the channel of interest)
// untouched everywhere.
TEST(WarpAffine, MatchesADoublePrecisionReference)
{
  const kerneltest::Layout kLayouts[] = {
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 2},  {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 3},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_16U, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_16U, 4, 0, IPL_DATA_ORDER_PIXEL, 1}, {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_32F, 4, 4, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_32F, 3, 0, IPL_DATA_ORDER_PLANE, 2},
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  for (unsigned theSeed = 1; theSeed <= 117; ++theSeed) {
    const auto& theLayout = kLayouts[theSeed % std::size(kLayouts)];
    const int theMethod = theLayout.mDepth == IPL_DEPTH_1U ? 0 : static_cast<int>(theSeed / std::size(kLayouts)) % 3;
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    const int theW = 6 + static_cast<int>(theUnit(theRandom) * 30);
    const int theH = 6 + static_cast<int>(theUnit(theRandom) * 30);
    HeaderPtr theSource = kerneltest::RandomImage(theW, theH, theLayout, theSeed);
    HeaderPtr theDestination = kerneltest::RandomImage(48, 40, theLayout, theSeed + 1000);
    HeaderPtr theOriginal = kerneltest::CopyOf(theDestination.get());
    RoiRecord theSourceRoi{theLayout.mCoi, static_cast<int>(theUnit(theRandom) * 3),
                           static_cast<int>(theUnit(theRandom) * 3), theW - 3, theH - 2};
    RoiRecord theDestinationRoi{theLayout.mCoi, 2, 1, 40, 36};
    if (theSeed % 2 == 0 || theLayout.mCoi) {
      theSource->roi = &theSourceRoi;
      theDestination->roi = &theDestinationRoi;
    }
    const double theAngle = theUnit(theRandom) * 6.2831853;
    const double theScale = 0.6 + 1.4 * theUnit(theRandom);
    const double a = theScale * std::cos(theAngle), b = theScale * std::sin(theAngle) + 0.3 * (theUnit(theRandom) - 0.5);
    const double d = -theScale * std::sin(theAngle), e = theScale * std::cos(theAngle);
    const double theCoeffs[2][3] = {{a, b, 24 - a * theW / 2 - b * theH / 2}, {d, e, 20 - d * theW / 2 - e * theH / 2}};
    {
      // Every third seed reads a tiled source, every third writes a tiled
      // destination (the block path); each tile asked for is handed back.
      TiledImage theTiledSource(theSource.get(), 8, 16);
      TiledImage theTiledDestination(theDestination.get(), 16, 8);
      theTiledSource.Header()->roi = theSource->roi;
      theTiledDestination.Header()->roi = theDestination->roi;
      ReportRecorder theRecorder;
      iplWarpAffine(theSeed % 3 == 1 ? theTiledSource.Header() : theSource.get(),
                    theSeed % 3 == 2 ? theTiledDestination.Header() : theDestination.get(), theCoeffs, theMethod);
      ASSERT_EQ(iplStatusGet(), 0) << "seed " << theSeed << "\n" << theRecorder.Describe();
      theTiledSource.Header()->roi = nullptr;
      theTiledDestination.Header()->roi = nullptr;
      for (const TiledImage* theTiled : {&theTiledSource, &theTiledDestination}) {
        EXPECT_EQ(theTiled->Held(), 0) << "seed " << theSeed;
        EXPECT_TRUE(theTiled->Faults().empty()) << "seed " << theSeed << ": " << theTiled->Faults().front();
      }
      EXPECT_LE(theTiledDestination.MaxHeld(), 1) << "seed " << theSeed;
      for (const TiledImage::Call& theCall : theTiledSource.Calls())
        EXPECT_NE(theCall.mMode, IPL_GET_TILE_TO_WRITE) << "seed " << theSeed;
    }
    IplRect theSourceRect, theDestinationRect;
    ASSERT_TRUE(RoiRect(theSource.get(), true, theSourceRect));
    ASSERT_TRUE(RoiRect(theDestination.get(), true, theDestinationRect));
    const auto [theFirst, theLast] = kerneltest::ProcessedChannels(theLayout);
    const double theDet = a * e - b * d;
    const double theTolerance =
      theLayout.mDepth == IPL_DEPTH_32F ? 1e-3 * 1000 / 255 : (theLayout.mDepth == IPL_DEPTH_1U ? 0.0 : 1.0);
    constexpr double kMargin = 1e-6;
    int theCompared = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 48; ++x) {
        const double theSX = (e * (x - theCoeffs[0][2]) - b * (y - theCoeffs[1][2])) / theDet;
        const double theSY = (-d * (x - theCoeffs[0][2]) + a * (y - theCoeffs[1][2])) / theDet;
        const bool theInDestination = x >= theDestinationRect.x1 && x <= theDestinationRect.x2 &&
                                      y >= theDestinationRect.y1 && y <= theDestinationRect.y2;
        const bool theInside = theInDestination && theSX > theSourceRect.x1 + kMargin &&
                               theSX < theSourceRect.x2 - kMargin && theSY > theSourceRect.y1 + kMargin &&
                               theSY < theSourceRect.y2 - kMargin;
        const bool theOutside = !theInDestination || theSX < theSourceRect.x1 - kMargin ||
                                theSX > theSourceRect.x2 + kMargin || theSY < theSourceRect.y1 - kMargin ||
                                theSY > theSourceRect.y2 + kMargin;
        const bool theTie = theMethod == IPL_INTER_NN && (std::fabs(theSX - std::floor(theSX) - 0.5) < 1e-6 ||
                                                         std::fabs(theSY - std::floor(theSY) - 0.5) < 1e-6);
        for (int ch = 0; ch < theLayout.mChannels; ++ch) {
          const double theValue = kerneltest::SampleAt(theDestination.get(), x, y, ch);
          if (ch < theFirst || ch > theLast || theOutside) {
            ASSERT_EQ(theValue, kerneltest::SampleAt(theOriginal.get(), x, y, ch))
              << "seed " << theSeed << " at " << x << "," << y << " channel " << ch << " must be untouched";
          } else if (theInside && !theTie) {
            ASSERT_NEAR(theValue, kerneltest::ReferenceSample(theSource.get(), ch, theMethod, theSX, theSY),
                        theTolerance)
              << "seed " << theSeed << " method " << theMethod << " at " << x << "," << y << " channel " << ch
              << " source " << theSX << "," << theSY;
            ++theCompared;
          }
        }
      }
    }
    EXPECT_GT(theCompared, 0) << "seed " << theSeed;
    theSource->roi = nullptr;
    theDestination->roi = nullptr;
  }
}

// Smoothing changes only pixels outside the quadrangle within a pixel of a
// slanted edge (never one the kernel wrote, never alpha); axis-parallel
// edges are left alone.
TEST(WarpAffine, EdgeSmoothingTouchesOnlyPixelsAlongSlantedEdges)
{
  for (unsigned theSeed = 1; theSeed <= 20; ++theSeed) {
    ReportRecorder theRecorder;
    std::mt19937 theRandom(theSeed);
    HeaderPtr theSource = Random8(20, 16, 4, 4, theSeed);
    HeaderPtr thePlain = Random8(48, 48, 4, 4, theSeed + 100);
    HeaderPtr theSmooth = Random8(48, 48, 4, 4, theSeed + 100);
    const std::vector<std::uint8_t> theBefore = StorageOf(thePlain.get());
    const double theAngle = std::uniform_real_distribution<double>(0.0, 1.0)(theRandom) * 6.2831853;
    const double c = std::cos(theAngle), s = std::sin(theAngle);
    const double theCoeffs[2][3] = {{c, s, 24 - 10 * c - 8 * s}, {-s, c, 24 + 10 * s - 8 * c}};
    iplWarpAffine(theSource.get(), thePlain.get(), theCoeffs, IPL_INTER_LINEAR);
    iplWarpAffine(theSource.get(), theSmooth.get(), theCoeffs, IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES);
    ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
    double theQuad[4][2];
    iplGetAffineQuad(theSource.get(), theCoeffs, theQuad);
    const std::vector<std::uint8_t> thePlainBytes = StorageOf(thePlain.get());
    const std::vector<std::uint8_t> theSmoothBytes = StorageOf(theSmooth.get());
    int theChanged = 0;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 48; ++x) {
        const std::size_t theAt = (static_cast<std::size_t>(y) * 48 + x) * 4;
        ASSERT_EQ(theSmoothBytes[theAt + 3], theBefore[theAt + 3]) << "seed " << theSeed << ": alpha at " << x << "," << y;
        if (std::equal(&theSmoothBytes[theAt], &theSmoothBytes[theAt + 3], &thePlainBytes[theAt]))
          continue;
        ++theChanged;
        EXPECT_LT(EdgeDistance(theQuad, x, y), 1.5) << "seed " << theSeed << " at " << x << "," << y;
        EXPECT_TRUE(std::equal(&thePlainBytes[theAt], &thePlainBytes[theAt + 4], &theBefore[theAt]))
          << "seed " << theSeed << ": smoothing changed a pixel the kernel wrote, at " << x << "," << y;
      }
    }
    EXPECT_GT(theChanged, 10) << "seed " << theSeed;
  }
  HeaderPtr theSource = Random8(10, 10, 3, 0, 1);
  HeaderPtr thePlain = MakeImage(40, 40, IPL_DEPTH_8U, 3);
  HeaderPtr theSmooth = MakeImage(40, 40, IPL_DEPTH_8U, 3);
  const double theScale[2][3] = {{2.5, 0, 3.3}, {0, 1.7, 4.6}};
  iplWarpAffine(theSource.get(), thePlain.get(), theScale, 1);
  iplWarpAffine(theSource.get(), theSmooth.get(), theScale, 17);
  EXPECT_EQ(StorageOf(thePlain.get()), StorageOf(theSmooth.get()));
}

TEST(EdgeSmoothing, BlendsTheOuterPixelByTheEdgesPosition)
{
  HeaderPtr theImage = MakeImage(40, 20, IPL_DEPTH_8U, 1);
  for (int x = 0; x < 40; ++x)
    kerneltest::SetSampleAt(theImage.get(), x, 5, 0, x < 11 ? 100 : 200);
  // A steep left edge through x = 10.3 at row 5, the inside to its right.
  const std::vector<Point> theQuad = {{10.0, 2.0}, {30.0, 2.0}, {30.6, 8.0}, {10.6, 8.0}};
  SmoothEdges(theImage.get(), theQuad, IplRect{0, 0, 39, 19}, true);
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 10, 5, 0), 170);  // 0.3 * 100 + 0.7 * 200
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 11, 5, 0), 200);
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 9, 5, 0), 100);
}

// Shear and rotation warp with their matrices, and report a failure of the
// warp again under their own names.
// Over pixel areas a warp covers every destination pixel whose centre lies
// in the mapped squares of the source pixels: scaled by k with centres mapped
// to centres (x' = k (x + 0.5) - 0.5), a w-pixel row fills k w columns, each
// sampled at its own centre's position held to the source (the edge pixels
// taken in full beyond the outer centres), and nothing past them changes. A
// turn covers the pixels whose centres lie in its parallelogram. A tiled
// destination, whose blocks map from their own origins, gives the same bytes
// within one.
TEST(WarpAffine, OverPixelAreasCoversEveryPixelWhoseCentreTheSquaresHold)
{
  struct Case {
    double mScaleX, mScaleY, mAngle;
  };
  const Case kCases[] = {{2, 2, 0}, {3, 3, 0}, {10, 10, 0}, {3.7, 3.7, 0}, {0.45, 0.6, 0}, {2.5, 1.5, 0.5}};
  for (const Case& theCase : kCases) {
    for (const int theSmooth : {0, IPL_INTER_SMOOTH_EDGES}) {
      SCOPED_TRACE("scale " + std::to_string(theCase.mScaleX) + " turn " + std::to_string(theCase.mAngle) +
                   " interpolate " + std::to_string(IPL_INTER_LINEAR | theSmooth | IPL_INTER_PIXEL_AREAS));
      const int theW = 9, theH = 7;
      HeaderPtr theSource = Random8(theW, theH, 4, 4, 3);
      HeaderPtr theDestination = Random8(120, 100, 4, 4, 5);
      HeaderPtr theOriginal = kerneltest::CopyOf(theDestination.get());
      const double c = std::cos(theCase.mAngle), s = std::sin(theCase.mAngle);
      const double a = theCase.mScaleX * c, b = -theCase.mScaleY * s, d = theCase.mScaleX * s, e = theCase.mScaleY * c;
      // Continuous coordinates X = a x + b y + 20, Y = d x + e y + 10, taken
      // between pixel centres.
      const double theCoeffs[2][3] = {{a, b, 20 + 0.5 * (a + b) - 0.5}, {d, e, 10 + 0.5 * (d + e) - 0.5}};
      ReportRecorder theRecorder;
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs,
                    IPL_INTER_LINEAR | theSmooth | IPL_INTER_PIXEL_AREAS);
      ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
      HeaderPtr theTiledPicture = kerneltest::CopyOf(theOriginal.get());
      {
        TiledImage theTiled(theTiledPicture.get(), 16, 8);
        iplWarpAffine(theSource.get(), theTiled.Header(), theCoeffs,
                      IPL_INTER_LINEAR | theSmooth | IPL_INTER_PIXEL_AREAS);
        ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
      }
      const std::vector<std::uint8_t> theTiledBytes = StorageOf(theTiledPicture.get());
      const std::vector<std::uint8_t> theBytes = StorageOf(theDestination.get());
      for (std::size_t i = 0; i < theBytes.size(); ++i)
        ASSERT_LE(std::abs(theTiledBytes[i] - theBytes[i]), 1) << "tiled, byte " << i;
      const double theDet = a * e - b * d;
      int theCovered = 0;
      for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 120; ++x) {
          // The centre's position in the source's continuous coordinates.
          const double theX = x + 0.5 - 20, theY = y + 0.5 - 10;
          const double theU = (e * theX - b * theY) / theDet, theV = (-d * theX + a * theY) / theDet;
          constexpr double kMargin = 1e-6;
          const bool theInside = theU > kMargin && theU < theW - kMargin && theV > kMargin && theV < theH - kMargin;
          // Smoothing may touch the pixels within one of a slanted edge.
          const double theNear =
            theSmooth && theCase.mAngle != 0 ? 1.5 / std::min(theCase.mScaleX, theCase.mScaleY) : kMargin;
          const bool theOutside = theU < -theNear || theU > theW + theNear || theV < -theNear || theV > theH + theNear;
          for (int ch = 0; ch < 4; ++ch) {
            const double theValue = kerneltest::SampleAt(theDestination.get(), x, y, ch);
            if (ch == 3 || theOutside) {
              ASSERT_EQ(theValue, kerneltest::SampleAt(theOriginal.get(), x, y, ch))
                << "at " << x << "," << y << " channel " << ch << " must be untouched";
            } else if (theInside) {
              const double theSX = std::clamp(theU - 0.5, 0.0, theW - 1.0);
              const double theSY = std::clamp(theV - 0.5, 0.0, theH - 1.0);
              ASSERT_NEAR(theValue, kerneltest::ReferenceSample(theSource.get(), ch, IPL_INTER_LINEAR, theSX, theSY),
                          1.0)
                << "at " << x << "," << y << " channel " << ch;
              theCovered += ch == 0;
            }
          }
        }
      }
      // Scaled, the columns whose centres lie within the k w the row spans, by
      // the rows likewise; turned, about the parallelogram's area (less the
      // pixels the margin leaves unjudged along its edges).
      if (theCase.mAngle == 0) {
        EXPECT_EQ(theCovered, std::ceil(a * theW - 0.5) * std::ceil(e * theH - 0.5));
      } else {
        EXPECT_NEAR(theCovered, std::fabs(theDet) * theW * theH, 2 * (a + e) * (theW + theH));
      }
    }
  }
}

TEST(ShearAndRotate, WarpWithTheirMatrices)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = Random8(16, 12, 3, 0, 1);
  const double kC = std::cos(30 * 3.14159265358979323846 / 180);
  const double kS = std::sin(30 * 3.14159265358979323846 / 180);
  const struct {
    bool mShear;
    double mA, mB, mC, mD;  // shear: the two factors and shifts; rotation: the angle and shifts
    double mMatrix[2][3];
  } kCases[] = {
    {true, 0.4, -0.2, 2.5, 6.0, {{1, 0.4, 2.5}, {-0.2, 1, 6.0}}},
    {false, 30, 5.5, 2.25, 0, {{kC, kS, 5.5}, {-kS, kC, 2.25}}},
    {false, -330, 5.5, 2.25, 0, {{kC, kS, 5.5}, {-kS, kC, 2.25}}},
  };
  for (const auto& theCase : kCases) {
    HeaderPtr theMoved = MakeImage(30, 30, IPL_DEPTH_8U, 3);
    HeaderPtr theWarped = MakeImage(30, 30, IPL_DEPTH_8U, 3);
    if (theCase.mShear)
      EXPECT_EQ(iplShear(theSource.get(), theMoved.get(), theCase.mA, theCase.mB, theCase.mC, theCase.mD, 17), 0);
    else
      iplRotate(theSource.get(), theMoved.get(), theCase.mA, theCase.mB, theCase.mC, 17);
    iplWarpAffine(theSource.get(), theWarped.get(), theCase.mMatrix, 17);
    EXPECT_EQ(StorageOf(theMoved.get()), StorageOf(theWarped.get())) << "shear " << theCase.mShear << " " << theCase.mA;
  }
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
  HeaderPtr theDestination = MakeImage(30, 30, IPL_DEPTH_8U, 3);
  EXPECT_EQ(iplShear(theSource.get(), theDestination.get(), 1.0, 1.0, 0, 0, 1), IPL_STATUS_BACKTRACE);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_BAD_ARGUMENT);
  iplStatusSet(0);
  iplRotate(theSource.get(), theDestination.get(), NAN, 0, 0, 1);
  ExpectReports(theRecorder,
                {{-5, kWarp, "Determinant of transform matrix == 0.0", kModule},
                 {-1, "iplShear", "", kModule},
                 {-5, kWarp, "Transform matrix is not finite", kModule},
                 {-1, "iplRotate", "", kModule}},
                "singular shear, angle not a number");
}

TEST(AffineHelpers, QuadranglesAndBounds)
{
  ReportRecorder theRecorder;
  HeaderPtr theImage = MakeImage(10, 8, IPL_DEPTH_8U, 1);
  RoiRecord theRoi{0, 0, 1, 3, 20};  // clipped to 0..2, 1..7
  theImage->roi = &theRoi;
  const double theMatrix[2][3] = {{2, 1, 3}, {-1, 1, 0.5}};
  double theQuad[4][2];
  iplGetAffineQuad(theImage.get(), theMatrix, theQuad);
  EXPECT_EQ(std::vector<double>(&theQuad[0][0], &theQuad[0][0] + 8),
            (std::vector<double>{4, 1.5, 8, -0.5, 14, 5.5, 10, 7.5}));
  double theBound[2][2];
  iplGetAffineBound(theImage.get(), theMatrix, theBound);
  EXPECT_EQ(std::vector<double>(&theBound[0][0], &theBound[0][0] + 4), (std::vector<double>{4, -0.5, 14, 7.5}));
  // The ROI forms take the record alone, with no image to clip to.
  iplGetAffineQuadROI(&theRoi, theMatrix, theQuad);
  EXPECT_EQ(theQuad[2][0], 2 * 2 + 20 + 3);
  iplGetAffineBoundROI(&theRoi, theMatrix, theBound);
  EXPECT_EQ(theBound[1][0], 27);
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();

  theRoi = {0, 20, 0, 5, 5};
  iplGetAffineQuad(theImage.get(), theMatrix, theQuad);
  iplGetAffineBound(theImage.get(), theMatrix, theBound);
  RoiRecord theEmpty{0, 0, 0, 0, 4};
  RoiRecord theBehind{0, -10, 0, 5, 4};
  iplGetAffineQuadROI(&theEmpty, theMatrix, theQuad);
  iplGetAffineBoundROI(&theBehind, theMatrix, theBound);
  iplGetAffineQuadROI(nullptr, theMatrix, theQuad);
  theImage->roi = nullptr;
  iplGetAffineQuad(nullptr, theMatrix, theQuad);
  const double theNaN[2][3] = {{NAN, 0, 0}, {0, 1, 0}};
  iplGetAffineQuad(theImage.get(), theNaN, theQuad);
  ExpectReports(theRecorder,
                {{-5, "iplGetAffineQuad", "Bad rect ROI", kModule},
                 {-5, "iplGetAffineQuad", "Bad rect ROI", kModule},
                 {-1, "iplGetAffineBound", "", kModule},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", kModule},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", kModule},
                 {-1, "iplGetAffineBoundROI", "", kModule},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", kModule},
                 {-9, "iplGetAffineQuad", "Incorrect Image", kModule},
                 {-5, "iplGetAffineQuad", "Transform matrix is not finite", kModule}},
                "quadrangle failures");
}

TEST(AffineHelpers, TransformFromAParallelogram)
{
  ReportRecorder theRecorder;
  HeaderPtr theImage = MakeImage(10, 8, IPL_DEPTH_8U, 1);
  const double theMatrix[2][3] = {{2, 1, 3}, {-1, 1, 0.5}};
  double theQuad[4][2];
  double theCoeffs[2][3] = {};
  RoiRecord theRoi{0, 2, 3, 4, 2};
  for (bool theRoiForm : {false, true}) {
    if (theRoiForm) {
      iplGetAffineQuadROI(&theRoi, theMatrix, theQuad);
      iplGetAffineTransformROI(&theRoi, theCoeffs, theQuad);
    } else {
      iplGetAffineQuad(theImage.get(), theMatrix, theQuad);
      iplGetAffineTransform(theImage.get(), theCoeffs, theQuad);
    }
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 3; ++c)
        EXPECT_DOUBLE_EQ(theCoeffs[r][c], theMatrix[r][c]) << r << "," << c << (theRoiForm ? " ROI" : "");
  }
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();

  const struct {
    double mQuad[4][2];
    const char* mMessage;
  } kBad[] = {
    {{{0, 0}, {4, 0}, {4, 4}, {4, 4}}, "Quadrangle is degenerate to triangle or length or point"},
    {{{0, 0}, {4, 0}, {8, 0}, {0, 4}}, "Quadrangle is degenerate to triangle or length or point"},
    {{{0, 0}, {4, 0}, {1, 1}, {0, 4}}, "Quadrangle is concave"},
    {{{0, 0}, {4, 0}, {0, 4}, {4, 4}}, "Quadrangle is concave"},
    {{{0, 0}, {4, 0}, {5, 4}, {0, 4}}, "Quadrangle is not parallelogram"},
    {{{0, 0}, {4, 0}, {4, 4}, {NAN, 4}}, "Quadrangle is not finite"},
  };
  for (const auto& theCase : kBad) {
    theRecorder.Clear();
    iplGetAffineTransform(theImage.get(), theCoeffs, theCase.mQuad);
    ExpectReports(theRecorder, {{-5, "iplGetAffineTransform", theCase.mMessage, kModule}}, theCase.mMessage);
  }
  const double theSquare[4][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  RoiRecord theThin{0, 0, 0, 1, 5};
  RoiRecord theNone{0, 0, 0, 0, 5};
  theRecorder.Clear();
  iplGetAffineTransformROI(&theThin, theCoeffs, theSquare);
  iplGetAffineTransformROI(&theNone, theCoeffs, theSquare);
  theImage->roi = &theNone;
  iplGetAffineTransform(theImage.get(), theCoeffs, theSquare);
  theImage->roi = nullptr;
  ExpectReports(theRecorder,
                {{-5, "iplGetAffineTransformROI", "srcImage Rectangle ROI is degenerate to length or point", kModule},
                 {-5, "iplGetAffineTransformROI", "Bad rect ROI", kModule},
                 {-25, "iplGetAffineTransform", "Incorrect Image", kModule}},
                "rectangles");
}

// Whatever the coefficients, nothing is written outside the destination (its
// storage is exactly its size, so the sanitizers see any stray write) and
// nothing is read outside the source.
TEST(WarpAffine, ExtremeMatricesStayInsideTheImages)
{
  const double kValues[] = {0, 1, -1, 0.5, 1e-3, -1e-3, 1e3, 1e9, -1e9, 1e15, 3.7, -0.3, 1e-8, 1e150, -1e154};
  std::mt19937 theRandom(7);
  std::uniform_int_distribution<std::size_t> thePick(0, std::size(kValues) - 1);
  std::vector<std::uint8_t> theSourceStorage(12 * 9 * 4);
  std::vector<std::uint8_t> theDestinationStorage(16 * 11 * 4);
  HeaderPtr theSource(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 12, 9, nullptr, nullptr,
                                           nullptr, nullptr));
  HeaderPtr theDestination(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 16, 11, nullptr,
                                                nullptr, nullptr, nullptr));
  theSource->imageData = theSourceStorage.data();
  theDestination->imageData = theDestinationStorage.data();
  for (int i = 0; i < 3000; ++i) {
    ReportRecorder theRecorder;
    double theCoeffs[2][3];
    for (auto& theRow : theCoeffs)
      for (double& theValue : theRow)
        theValue = kValues[thePick(theRandom)] * (i % 7 == 0 ? 1.0 : 1.0 + 1e-3 * (i % 13));
    iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs,
                  i % 3 + (i % 2) * IPL_INTER_SMOOTH_EDGES + (i % 5 == 0) * IPL_INTER_PIXEL_AREAS);
  }
  theSource->imageData = nullptr;
  theDestination->imageData = nullptr;
}

// Failures of the tiled block path's callbacks.
TEST(TiledWarp, ARefusedTileForWritingEndsTheWarp)
{
  HeaderPtr theSource = kerneltest::RandomImage(200, 200, IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 1);
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
  HeaderPtr thePicture = kerneltest::RandomImage(100, 100, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
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
