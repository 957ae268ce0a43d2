#include "kernels/AffineWarp.h"
#include "kernels/EdgeSmoothing.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::Report;
using kerneltest::ReportRecorder;
using namespace kernels;

const double kIdentity[2][3] = {{1, 0, 0}, {0, 1, 0}};

void ExpectReports(const ReportRecorder& inRecorder, const std::vector<Report>& inExpected, const char* inCase)
{
  ASSERT_EQ(inRecorder.Reports().size(), inExpected.size()) << inCase << "\n" << inRecorder.Describe();
  for (std::size_t i = 0; i < inExpected.size(); ++i) {
    const Report& theReport = inRecorder.Reports()[i];
    EXPECT_EQ(theReport.mStatus, inExpected[i].mStatus) << inCase << " report " << i;
    EXPECT_EQ(theReport.mFunction, inExpected[i].mFunction) << inCase << " report " << i;
    EXPECT_EQ(theReport.mMessage, inExpected[i].mMessage) << inCase << " report " << i;
    EXPECT_EQ(theReport.mModule, inExpected[i].mModule) << inCase << " report " << i;
  }
}

// An 8-bit image with random samples.
HeaderPtr RandomImage(int inWidth, int inHeight, int inChannels, int inAlpha, unsigned inSeed,
                      int inDepth = IPL_DEPTH_8U, int inOrder = IPL_DATA_ORDER_PIXEL)
{
  HeaderPtr theImage = MakeImage(inWidth, inHeight, inDepth, inChannels, inAlpha, inOrder);
  std::mt19937 theRandom(inSeed);
  kerneltest::FillRandom(theImage.get(), theRandom);
  return theImage;
}

TEST(WarpAffine, ArgumentChecksInOrder)
{
  HeaderPtr theSource = RandomImage(8, 8, 3, 0, 1);
  HeaderPtr theDestination = RandomImage(8, 8, 3, 0, 2);
  HeaderPtr the16 = RandomImage(8, 8, 3, 0, 3, IPL_DEPTH_16U);
  HeaderPtr thePlane = RandomImage(8, 8, 3, 0, 4, IPL_DEPTH_8U, IPL_DATA_ORDER_PLANE);
  HeaderPtr theSigned(iplCreateImageHeader(3, 0, IPL_DEPTH_8S, "RGB", "RGB", 0, 0, 4, 8, 8, nullptr, nullptr,
                                           nullptr, nullptr));
  iplAllocateImage(theSigned.get(), 1, 0);
  HeaderPtr theSigned2(iplCreateImageHeader(3, 0, IPL_DEPTH_8S, "RGB", "RGB", 0, 0, 4, 8, 8, nullptr, nullptr,
                                            nullptr, nullptr));
  iplAllocateImage(theSigned2.get(), 1, 0);
  ImageHeader theBottomUp = *theDestination;
  theBottomUp.origin = IPL_ORIGIN_BL;
  ImageHeader theBroken = *theDestination;
  theBroken.widthStep = 3;
  const std::string kF = "iplWarpAffine";
  const std::string kM = "iplwarp";
  {
    ReportRecorder theRecorder;
    iplWarpAffine(nullptr, theDestination.get(), kIdentity, 1);
    ExpectReports(theRecorder, {{-9, kF, "Incorrect Image", kM}}, "null source");
  }
  {
    ReportRecorder theRecorder;
    iplWarpAffine(theSource.get(), &theBroken, kIdentity, 1);
    ExpectReports(theRecorder, {{-13, kF, "Incorrect Image", kM}}, "broken destination");
  }
  {
    ReportRecorder theRecorder;
    const std::vector<std::uint8_t> theBefore = kerneltest::StorageOf(the16.get());
    iplWarpAffine(theSource.get(), &theBottomUp, kIdentity, 1);
    iplWarpAffine(theSource.get(), the16.get(), kIdentity, 1);
    ExpectReports(theRecorder,
                  {{-5, kF, "srcImage->origin != dstImage->origin", kM},
                   {-5, kF, "srcImage->depth != dstImage->depth", kM}},
                  "origin, then depth");
    EXPECT_EQ(kerneltest::StorageOf(the16.get()), theBefore);
  }
  {
    ReportRecorder theRecorder;
    theBottomUp.depth = IPL_DEPTH_16U;
    theBottomUp.widthStep = 48;
    theBottomUp.imageSize = 48 * 8;
    HeaderPtr theStorage = MakeImage(8, 8, IPL_DEPTH_16U, 3);
    theBottomUp.imageData = theStorage->imageData;
    iplWarpAffine(theSource.get(), &theBottomUp, kIdentity, 1);
    ExpectReports(theRecorder,
                  {{-5, kF, "srcImage->depth != dstImage->depth", kM},
                   {-5, kF, "srcImage->origin != dstImage->origin", kM}},
                  "depth and origin, both reported");
    EXPECT_EQ(kerneltest::StorageOf(theStorage.get()), std::vector<std::uint8_t>(48 * 8, 0));
  }
  {
    ReportRecorder theRecorder;
    iplWarpAffine(theSource.get(), thePlane.get(), kIdentity, 1);
    iplStatusSet(0);
    iplWarpAffine(theSigned.get(), theSigned2.get(), kIdentity, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theSource.get(), kIdentity, 1);
    ExpectReports(theRecorder,
                  {{-5, kF, "srcImage->dataOrder != dstImage->dataOrder", kM},
                   {-5, kF, "srcImage->depth & IPL_DEPTH_SIGN", kM},
                   {-5, kF, "This function is not in-place function", kM}},
                  "order, sign, in place");
  }
  {
    // One channel each: the data orders may differ.
    ReportRecorder theRecorder;
    HeaderPtr theGray = RandomImage(8, 8, 1, 0, 5);
    HeaderPtr theGrayPlane = MakeImage(8, 8, IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PLANE);
    iplWarpAffine(theGray.get(), theGrayPlane.get(), kIdentity, 1);
    ExpectReports(theRecorder, {}, "one channel each");
    EXPECT_EQ(kerneltest::StorageOf(theGrayPlane.get()), kerneltest::StorageOf(theGray.get()));
  }
  {
    ReportRecorder theRecorder;
    const double theFlat[2][3] = {{1e-4, 0, 0}, {0, 1e-4, 0}};
    const double theThin[2][3] = {{2e-7, 0, 0}, {0, 1, 0}};
    const double theNaN[2][3] = {{1, 0, NAN}, {0, 1, 0}};
    const double theInfinite[2][3] = {{1, 0, 0}, {0, INFINITY, 0}};
    const double theOverflow[2][3] = {{1e200, 0, 0}, {0, 1e200, 0}};
    const double theFarAway[2][3] = {{1, 1e308, 0}, {0, 1, 1e308}};
    iplWarpAffine(theSource.get(), theDestination.get(), theFlat, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), theThin, 1);
    EXPECT_EQ(iplStatusGet(), 0) << "2e-7 is accepted";
    iplWarpAffine(theSource.get(), theDestination.get(), theNaN, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), theInfinite, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), theOverflow, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), theFarAway, 1);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 3);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 35);
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, -1);
    const char* kInterpolate =
      "interpolate != IPL_INTER_NN && interpolate != IPL_INTER_LINEAR && interpolate != IPL_INTER_CUBIC";
    ExpectReports(theRecorder,
                  {{-5, kF, "Determinant of transform matrix == 0.0", kM},
                   {-5, kF, "Transform matrix is not finite", kM},
                   {-5, kF, "Transform matrix is not finite", kM},
                   {-5, kF, "Transform matrix is not finite", kM},
                   {-5, "iplGetAffineQuad", "Quadrangle is not finite", kM},
                   {-1, kF, "", kM},
                   {-5, kF, kInterpolate, kM},
                   {-5, kF, kInterpolate, kM},
                   {-5, kF, kInterpolate, kM}},
                  "matrix and interpolation");
  }
}

TEST(WarpAffine, ANegativeStatusStopsTheWarp)
{
  HeaderPtr theSource = RandomImage(8, 8, 3, 0, 1);
  HeaderPtr theDestination = MakeImage(8, 8, IPL_DEPTH_8U, 3);
  ReportRecorder theRecorder;
  iplStatusSet(IPL_STATUS_NO_MEMORY);
  iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 1);
  EXPECT_TRUE(theRecorder.Reports().empty());
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NO_MEMORY);
  EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), std::vector<std::uint8_t>(theDestination->imageSize, 0));
}

TEST(WarpAffine, DegenerateAndEmptyAreas)
{
  HeaderPtr theDestination = MakeImage(20, 20, IPL_DEPTH_8U, 1);
  const std::vector<std::uint8_t> theBlank = kerneltest::StorageOf(theDestination.get());
  {
    // A source one pixel wide or high cannot make a quadrangle: refused.
    ReportRecorder theRecorder;
    HeaderPtr theLine = RandomImage(10, 1, 1, 0, 1);
    iplWarpAffine(theLine.get(), theDestination.get(), kIdentity, IPL_INTER_NN | IPL_INTER_SMOOTH_EDGES);
    HeaderPtr theSource = RandomImage(10, 10, 1, 0, 2);
    RoiRecord theRoi{0, 3, 0, 1, 10};
    theSource->roi = &theRoi;
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 1);
    theSource->roi = nullptr;
    const char* kDegenerate = "srcImage Rectangle ROI is degenerate to length or point";
    ExpectReports(theRecorder, {{-5, "iplWarpAffine", kDegenerate, "iplwarp"}, {-5, "iplWarpAffine", kDegenerate, "iplwarp"}},
                  "sides of one pixel");
    EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), theBlank);
  }
  {
    ReportRecorder theRecorder;
    HeaderPtr theSource = RandomImage(10, 10, 1, 0, 3);
    const double theAway[2][3] = {{1, 0, 100}, {0, 1, 0}};
    iplWarpAffine(theSource.get(), theDestination.get(), theAway, 1);
    RoiRecord theRoi{0, 15, 15, 5, 5};
    theDestination->roi = &theRoi;
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, 17);
    theDestination->roi = nullptr;
    EXPECT_EQ(iplStatusGet(), 0);
    EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
    EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), theBlank);
  }
}

TEST(WarpAffine, IdentityCopiesTheSourceRegion)
{
  for (int theInterpolate : {0, 1, 2, 16, 17, 18}) {
    ReportRecorder theRecorder;
    HeaderPtr theSource = RandomImage(12, 9, 3, 0, 7);
    HeaderPtr theDestination = MakeImage(12, 9, IPL_DEPTH_8U, 3);
    RoiRecord theRoi{0, 2, 3, 6, 4};
    theSource->roi = &theRoi;
    iplWarpAffine(theSource.get(), theDestination.get(), kIdentity, theInterpolate);
    theSource->roi = nullptr;
    EXPECT_EQ(iplStatusGet(), 0);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 12; ++x)
        for (int c = 0; c < 3; ++c) {
          const bool theInside = x >= 2 && x < 8 && y >= 3 && y < 7;
          ASSERT_EQ(kerneltest::SampleAt(theDestination.get(), x, y, c),
                    theInside ? kerneltest::SampleAt(theSource.get(), x, y, c) : 0)
            << "interpolate " << theInterpolate << " at " << x << "," << y << " channel " << c;
        }
  }
}

TEST(WarpAffine, MethodsChangeOnlyAsTheRulesSay)
{
  const double theMatrix[2][3] = {{1.3, 0.2, 0.7}, {-0.25, 1.1, 5.3}};
  auto Warp = [&theMatrix](ImageHeader* inSource, int inInterpolate) {
    HeaderPtr theDestination = MakeImage(30, 130, inSource->depth, 1);
    iplWarpAffine(inSource, theDestination.get(), theMatrix, inInterpolate);
    return kerneltest::StorageOf(theDestination.get());
  };
  ReportRecorder theRecorder;
  // Cubic with smoothing on a 3-wide source is linear with smoothing.
  HeaderPtr theNarrow = RandomImage(3, 100, 1, 0, 1);
  EXPECT_EQ(Warp(theNarrow.get(), 18), Warp(theNarrow.get(), 17));
  HeaderPtr theSquare = RandomImage(4, 100, 1, 0, 2);
  EXPECT_NE(Warp(theSquare.get(), 18), Warp(theSquare.get(), 17));
  // 1-bit sources take nearest whatever is asked.
  HeaderPtr theBits = MakeImage(20, 20, IPL_DEPTH_1U, 1);
  std::mt19937 theRandom(3);
  kerneltest::FillRandom(theBits.get(), theRandom);
  EXPECT_EQ(Warp(theBits.get(), 2), Warp(theBits.get(), 0));
  EXPECT_EQ(Warp(theBits.get(), 17), Warp(theBits.get(), 0));
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
}

TEST(WarpAffine, AlphaAndChannelsOutsideTheInterestStayAsTheyWere)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = RandomImage(16, 16, 4, 4, 1);
  HeaderPtr theDestination = RandomImage(24, 24, 4, 4, 2);
  const std::vector<std::uint8_t> theBefore = kerneltest::StorageOf(theDestination.get());
  const double theMatrix[2][3] = {{0.9, 0.5, 3.2}, {-0.5, 0.9, 9.7}};
  iplWarpAffine(theSource.get(), theDestination.get(), theMatrix, 17);
  EXPECT_EQ(iplStatusGet(), 0);
  int theChanged = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      ASSERT_EQ(kerneltest::SampleAt(theDestination.get(), x, y, 3), theBefore[(y * 24 + x) * 4 + 3]) << x << "," << y;
      theChanged += kerneltest::SampleAt(theDestination.get(), x, y, 0) != theBefore[(y * 24 + x) * 4];
    }
  EXPECT_GT(theChanged, 100);

  // Channel of interest 2 in both: only channel index 1 changes.
  HeaderPtr theOther = RandomImage(24, 24, 4, 4, 3);
  const std::vector<std::uint8_t> theOtherBefore = kerneltest::StorageOf(theOther.get());
  RoiRecord theSourceRoi{2, 0, 0, 16, 16};
  RoiRecord theDestinationRoi{2, 0, 0, 24, 24};
  theSource->roi = &theSourceRoi;
  theOther->roi = &theDestinationRoi;
  iplWarpAffine(theSource.get(), theOther.get(), theMatrix, 17);
  theSource->roi = nullptr;
  theOther->roi = nullptr;
  for (std::size_t i = 0; i < theOtherBefore.size(); ++i) {
    if (i % 4 != 1) {
      ASSERT_EQ(kerneltest::StorageOf(theOther.get())[i], theOtherBefore[i]) << "byte " << i;
    }
  }
  // Four channels without alpha against three processed ones: refused.
  HeaderPtr theFour = RandomImage(16, 16, 4, 0, 4);
  iplWarpAffine(theFour.get(), theDestination.get(), theMatrix, 17);
  ExpectReports(theRecorder,
                {{-5, "iplWarpAffine",
                  "Number of processed channels of srcImage != Number of processed channels of dstImage", "iplwarp"}},
                "processed channels");
}

// Double-precision reference of a warp: source position by the inverse of the
// forward matrix, sampled by the textbook formulas.
double ReferenceSample(const ImageHeader* inSource, int inChannel, int inMethod, double inSX, double inSY)
{
  const int theW = inSource->width;
  const int theH = inSource->height;
  auto At = [&](int x, int y) {
    if (inSource->depth == IPL_DEPTH_1U)
      return static_cast<double>(kerneltest::BitAtPixel(inSource, x, y));
    return kerneltest::SampleAt(inSource, x, y, inChannel);
  };
  if (inMethod == IPL_INTER_NN)
    return At(static_cast<int>(std::floor(inSX + 0.5)), static_cast<int>(std::floor(inSY + 0.5)));
  if (inMethod == IPL_INTER_LINEAR) {
    const int theX = std::clamp(static_cast<int>(std::floor(inSX)), 0, theW - 2);
    const int theY = std::clamp(static_cast<int>(std::floor(inSY)), 0, theH - 2);
    const double theFx = inSX - theX;
    const double theFy = inSY - theY;
    return (1 - theFy) * ((1 - theFx) * At(theX, theY) + theFx * At(theX + 1, theY)) +
           theFy * ((1 - theFx) * At(theX, theY + 1) + theFx * At(theX + 1, theY + 1));
  }
  const int theX0 = std::clamp(static_cast<int>(std::floor(inSX)) - 1, 0, theW - 4);
  const int theY0 = std::clamp(static_cast<int>(std::floor(inSY)) - 1, 0, theH - 4);
  auto Lagrange = [](double t, int i) {
    const double theNodes[4] = {-1, 0, 1, 2};
    double theWeight = 1;
    for (int j = 0; j < 4; ++j)
      if (j != i)
        theWeight *= (t - theNodes[j]) / (theNodes[i] - theNodes[j]);
    return theWeight;
  };
  double theSum = 0;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      theSum += Lagrange(inSX - theX0 - 1, i) * Lagrange(inSY - theY0 - 1, j) * At(theX0 + i, theY0 + j);
  if (inSource->depth == IPL_DEPTH_8U)
    return std::clamp(theSum, 0.0, 255.0);
  if (inSource->depth == IPL_DEPTH_16U)
    return std::clamp(theSum, 0.0, 65535.0);
  return theSum;
}

struct ReferenceLayout {
  int mDepth;
  int mChannels;
  int mAlpha;
  int mOrder;
  int mCoi;
};

// Every depth and layout, against the reference: pixels clearly inside the
// mapped source region within one unit, pixels clearly outside untouched, and
// channels that are not processed untouched everywhere.
TEST(WarpAffine, MatchesADoublePrecisionReference)
{
  const ReferenceLayout theLayouts[] = {
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 2},  {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 3},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_16U, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_16U, 4, 0, IPL_DATA_ORDER_PIXEL, 1}, {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_32F, 4, 4, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_32F, 3, 0, IPL_DATA_ORDER_PLANE, 2},
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  for (unsigned theSeed = 1; theSeed <= 117; ++theSeed) {
    const ReferenceLayout& theLayout = theLayouts[theSeed % std::size(theLayouts)];
    const int theMethod = theLayout.mDepth == IPL_DEPTH_1U ? 0 : static_cast<int>(theSeed / std::size(theLayouts)) % 3;
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    const int theW = 6 + static_cast<int>(theUnit(theRandom) * 30);
    const int theH = 6 + static_cast<int>(theUnit(theRandom) * 30);
    HeaderPtr theSource = RandomImage(theW, theH, theLayout.mChannels, theLayout.mAlpha, theSeed, theLayout.mDepth,
                                      theLayout.mOrder);
    HeaderPtr theDestination = RandomImage(48, 40, theLayout.mChannels, theLayout.mAlpha, theSeed + 1000,
                                           theLayout.mDepth, theLayout.mOrder);
    const std::vector<std::uint8_t> theBefore = kerneltest::StorageOf(theDestination.get());
    HeaderPtr theOriginal = MakeImage(48, 40, theLayout.mDepth, theLayout.mChannels, theLayout.mAlpha, theLayout.mOrder);
    std::memcpy(theOriginal->imageData, theBefore.data(), theBefore.size());
    RoiRecord theSourceRoi{theLayout.mCoi, static_cast<int>(theUnit(theRandom) * 3), static_cast<int>(theUnit(theRandom) * 3),
                           theW - 3, theH - 2};
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
      ReportRecorder theRecorder;
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, theMethod);
      ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
    }
    IplRect theSourceRect, theDestinationRect;
    ASSERT_TRUE(RoiRect(theSource.get(), true, theSourceRect));
    ASSERT_TRUE(RoiRect(theDestination.get(), true, theDestinationRect));
    const int theFirst = theLayout.mCoi ? theLayout.mCoi - 1 : 0;
    const int theLast = theLayout.mCoi ? theLayout.mCoi - 1 : theLayout.mChannels - 1 - (theLayout.mAlpha ? 1 : 0);
    const double theDet = a * e - b * d;
    const double theUnitSize = theLayout.mDepth == IPL_DEPTH_32F ? 1e-3 * 1000 / 255 : 1.0;
    int theCompared = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 48; ++x) {
        const double theDx = x - theCoeffs[0][2];
        const double theDy = y - theCoeffs[1][2];
        const double theSX = (e * theDx - b * theDy) / theDet;
        const double theSY = (-d * theDx + a * theDy) / theDet;
        const double kMargin = 1e-6;
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
        std::ostringstream theWhere;
        theWhere << "seed " << theSeed << " depth " << theLayout.mDepth << " channels " << theLayout.mChannels
                 << " order " << theLayout.mOrder << " coi " << theLayout.mCoi << " method " << theMethod
                 << " at " << x << "," << y;
        if (theLayout.mDepth == IPL_DEPTH_1U) {
          const bool theBit = kerneltest::BitAtPixel(theDestination.get(), x, y);
          if (theOutside) {
            ASSERT_EQ(theBit, kerneltest::BitAtPixel(theOriginal.get(), x, y)) << theWhere.str();
          } else if (theInside && !theTie) {
            ASSERT_EQ(theBit, ReferenceSample(theSource.get(), 0, 0, theSX, theSY) != 0) << theWhere.str();
          }
          continue;
        }
        for (int ch = 0; ch < theLayout.mChannels; ++ch) {
          const double theValue = kerneltest::SampleAt(theDestination.get(), x, y, ch);
          const double theOld = kerneltest::SampleAt(theOriginal.get(), x, y, ch);
          if (ch < theFirst || ch > theLast || theOutside) {
            ASSERT_EQ(theValue, theOld) << theWhere.str() << " channel " << ch << " must be untouched";
          } else if (theInside && !theTie) {
            ASSERT_NEAR(theValue, ReferenceSample(theSource.get(), ch, theMethod, theSX, theSY), theUnitSize)
              << theWhere.str() << " channel " << ch << " source " << theSX << "," << theSY;
            ++theCompared;
          }
        }
      }
    }
    EXPECT_GT(theCompared + (theLayout.mDepth == IPL_DEPTH_1U ? 1 : 0), 0) << "seed " << theSeed;
    theSource->roi = nullptr;
    theDestination->roi = nullptr;
  }
}

TEST(WarpAffine, EdgeSmoothingTouchesOnlyPixelsAlongSlantedEdges)
{
  for (unsigned theSeed = 1; theSeed <= 20; ++theSeed) {
    ReportRecorder theRecorder;
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    HeaderPtr theSource = RandomImage(20, 16, 4, 4, theSeed);
    HeaderPtr thePlain = RandomImage(48, 48, 4, 4, theSeed + 100);
    HeaderPtr theSmooth = RandomImage(48, 48, 4, 4, theSeed + 100);
    const std::vector<std::uint8_t> theBefore = kerneltest::StorageOf(thePlain.get());
    const double theAngle = theUnit(theRandom) * 6.2831853;
    const double theCoeffs[2][3] = {{std::cos(theAngle), std::sin(theAngle), 24 - 10 * std::cos(theAngle) - 8 * std::sin(theAngle)},
                                    {-std::sin(theAngle), std::cos(theAngle), 24 + 10 * std::sin(theAngle) - 8 * std::cos(theAngle)}};
    iplWarpAffine(theSource.get(), thePlain.get(), theCoeffs, IPL_INTER_LINEAR);
    iplWarpAffine(theSource.get(), theSmooth.get(), theCoeffs, IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES);
    ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
    double theQuad[4][2];
    iplGetAffineQuad(theSource.get(), theCoeffs, theQuad);
    int theChanged = 0;
    const std::vector<std::uint8_t> thePlainStorage = kerneltest::StorageOf(thePlain.get());
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 48; ++x) {
        const std::size_t theAt = (static_cast<std::size_t>(y) * 48 + x) * 4;
        const std::vector<std::uint8_t> thePlainPixel(thePlainStorage.begin() + theAt,
                                                      thePlainStorage.begin() + theAt + 4);
        if (kerneltest::SampleAt(theSmooth.get(), x, y, 3) != theBefore[theAt + 3])
          FAIL() << "seed " << theSeed << ": alpha changed at " << x << "," << y;
        bool theDiffers = false;
        for (int c = 0; c < 3; ++c)
          theDiffers |= kerneltest::SampleAt(theSmooth.get(), x, y, c) != thePlainPixel[c];
        if (!theDiffers)
          continue;
        ++theChanged;
        // A changed pixel is outside the quadrangle, within one pixel of an edge.
        double theNearest = 1e9;
        for (int i = 0; i < 4; ++i) {
          const double* p = theQuad[i];
          const double* q = theQuad[(i + 1) % 4];
          const double theLength = std::hypot(q[0] - p[0], q[1] - p[1]);
          const double theT = std::clamp(((x - p[0]) * (q[0] - p[0]) + (y - p[1]) * (q[1] - p[1])) / (theLength * theLength), 0.0, 1.0);
          theNearest = std::min(theNearest, std::hypot(x - p[0] - theT * (q[0] - p[0]), y - p[1] - theT * (q[1] - p[1])));
        }
        EXPECT_LT(theNearest, 1.5) << "seed " << theSeed << " at " << x << "," << y;
        EXPECT_EQ(thePlainPixel, std::vector<std::uint8_t>(theBefore.begin() + theAt, theBefore.begin() + theAt + 4))
          << "seed " << theSeed << ": smoothing changed a pixel the kernel wrote, at " << x << "," << y;
      }
    }
    EXPECT_GT(theChanged, 10) << "seed " << theSeed;
  }
  // Axis-parallel edges: scaling and moving change nothing with smoothing.
  HeaderPtr theSource = RandomImage(10, 10, 3, 0, 1);
  HeaderPtr thePlain = MakeImage(40, 40, IPL_DEPTH_8U, 3);
  HeaderPtr theSmooth = MakeImage(40, 40, IPL_DEPTH_8U, 3);
  const double theScale[2][3] = {{2.5, 0, 3.3}, {0, 1.7, 4.6}};
  iplWarpAffine(theSource.get(), thePlain.get(), theScale, 1);
  iplWarpAffine(theSource.get(), theSmooth.get(), theScale, 17);
  EXPECT_EQ(kerneltest::StorageOf(thePlain.get()), kerneltest::StorageOf(theSmooth.get()));
}

TEST(EdgeSmoothing, BlendsTheOuterPixelByTheEdgesPosition)
{
  HeaderPtr theImage = MakeImage(40, 20, IPL_DEPTH_8U, 1);
  for (int x = 0; x < 40; ++x)
    kerneltest::SetSampleAt(theImage.get(), x, 5, 0, x < 11 ? 100 : 200);
  // A steep left edge through x = 10.3 at row 5, the inside to its right.
  const std::vector<Point> theQuad = {{10.0, 2.0}, {30.0, 2.0}, {30.6, 8.0}, {10.6, 8.0}};
  SmoothEdges(theImage.get(), theQuad, IplRect{0, 0, 39, 19}, true);
  const double theV = 10.6 + (5 - 8.0) * (-0.6 / -6.0);
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 10, 5, 0),
            std::trunc((theV - 10) * 100 + (11 - theV) * 200 + 0.5));
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 10, 5, 0), 170);
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 11, 5, 0), 200);
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 9, 5, 0), 100);
}

TEST(Shear, WarpsWithItsMatrixAndReportsFailuresAgain)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = RandomImage(16, 16, 3, 0, 1);
  HeaderPtr theSheared = MakeImage(40, 30, IPL_DEPTH_8U, 3);
  HeaderPtr theWarped = MakeImage(40, 30, IPL_DEPTH_8U, 3);
  EXPECT_EQ(iplShear(theSource.get(), theSheared.get(), 0.4, -0.2, 2.5, 6.0, 17), 0);
  const double theMatrix[2][3] = {{1, 0.4, 2.5}, {-0.2, 1, 6.0}};
  iplWarpAffine(theSource.get(), theWarped.get(), theMatrix, 17);
  EXPECT_EQ(kerneltest::StorageOf(theSheared.get()), kerneltest::StorageOf(theWarped.get()));
  EXPECT_TRUE(theRecorder.Reports().empty());
  EXPECT_EQ(iplShear(theSource.get(), theSheared.get(), 1.0, 1.0, 0, 0, 1), IPL_STATUS_BACKTRACE);
  ExpectReports(theRecorder,
                {{-5, "iplWarpAffine", "Determinant of transform matrix == 0.0", "iplwarp"},
                 {-1, "iplShear", "", "iplwarp"}},
                "singular shear");
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_BAD_ARGUMENT);
}

TEST(Rotate, AnglesTakeTheMatrixOfTheirTurn)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = RandomImage(16, 12, 3, 0, 1);
  struct Case {
    double mAngle;
    double mXShift;
    double mYShift;
    double mMatrix[2][3];
  };
  const double kC = std::cos(30 * 3.14159265358979323846 / 180);
  const double kS = std::sin(30 * 3.14159265358979323846 / 180);
  const Case theCases[] = {
    {30, 5.5, 2.25, {{kC, kS, 5.5}, {-kS, kC, 2.25}}},
    {-330, 5.5, 2.25, {{kC, kS, 5.5}, {-kS, kC, 2.25}}},
    {90, 0.5, 20, {{0, 1, 0.5}, {-1, 0, 20}}},
    {180, 20.5, 20, {{-1, 0, 20.5}, {0, -1, 20}}},
    {270, 20, 0.25, {{0, -1, 20}, {1, 0, 0.25}}},
  };
  for (const Case& theCase : theCases) {
    HeaderPtr theRotated = MakeImage(30, 30, IPL_DEPTH_8U, 3);
    HeaderPtr theWarped = MakeImage(30, 30, IPL_DEPTH_8U, 3);
    iplRotate(theSource.get(), theRotated.get(), theCase.mAngle, theCase.mXShift, theCase.mYShift, 17);
    iplWarpAffine(theSource.get(), theWarped.get(), theCase.mMatrix, 17);
    EXPECT_EQ(kerneltest::StorageOf(theRotated.get()), kerneltest::StorageOf(theWarped.get())) << "angle " << theCase.mAngle;
  }
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
  HeaderPtr theDestination = MakeImage(30, 30, IPL_DEPTH_8U, 3);
  iplRotate(theSource.get(), theDestination.get(), NAN, 0, 0, 1);
  ExpectReports(theRecorder,
                {{-5, "iplWarpAffine", "Transform matrix is not finite", "iplwarp"}, {-1, "iplRotate", "", "iplwarp"}},
                "angle not a number");
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
  const double theExpected[4][2] = {{2 * 0 + 1 + 3, 0 + 1 + 0.5}, {2 * 2 + 1 + 3, -2 + 1 + 0.5},
                                    {2 * 2 + 7 + 3, -2 + 7 + 0.5}, {0 + 7 + 3, 7 + 0.5}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(theQuad[i][0], theExpected[i][0]) << "corner " << i;
    EXPECT_EQ(theQuad[i][1], theExpected[i][1]) << "corner " << i;
  }
  double theBound[2][2];
  iplGetAffineBound(theImage.get(), theMatrix, theBound);
  EXPECT_EQ(theBound[0][0], 4);
  EXPECT_EQ(theBound[0][1], -0.5);
  EXPECT_EQ(theBound[1][0], 14);
  EXPECT_EQ(theBound[1][1], 7.5);
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
                {{-5, "iplGetAffineQuad", "Bad rect ROI", "iplwarp"},
                 {-5, "iplGetAffineQuad", "Bad rect ROI", "iplwarp"},
                 {-1, "iplGetAffineBound", "", "iplwarp"},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", "iplwarp"},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", "iplwarp"},
                 {-1, "iplGetAffineBoundROI", "", "iplwarp"},
                 {-5, "iplGetAffineQuadROI", "Bad rect ROI", "iplwarp"},
                 {-9, "iplGetAffineQuad", "Incorrect Image", "iplwarp"},
                 {-5, "iplGetAffineQuad", "Transform matrix is not finite", "iplwarp"}},
                "quadrangle failures");
}

TEST(AffineHelpers, TransformFromAParallelogram)
{
  ReportRecorder theRecorder;
  HeaderPtr theImage = MakeImage(10, 8, IPL_DEPTH_8U, 1);
  const double theMatrix[2][3] = {{2, 1, 3}, {-1, 1, 0.5}};
  double theQuad[4][2];
  iplGetAffineQuad(theImage.get(), theMatrix, theQuad);
  double theCoeffs[2][3] = {};
  iplGetAffineTransform(theImage.get(), theCoeffs, theQuad);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_DOUBLE_EQ(theCoeffs[r][c], theMatrix[r][c]) << r << "," << c;
  RoiRecord theRoi{0, 2, 3, 4, 2};
  iplGetAffineQuadROI(&theRoi, theMatrix, theQuad);
  iplGetAffineTransformROI(&theRoi, theCoeffs, theQuad);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_DOUBLE_EQ(theCoeffs[r][c], theMatrix[r][c]) << r << "," << c;
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();

  struct Bad {
    double mQuad[4][2];
    const char* mMessage;
  };
  const Bad theBad[] = {
    {{{0, 0}, {4, 0}, {4, 4}, {4, 4}}, "Quadrangle is degenerate to triangle or length or point"},
    {{{0, 0}, {4, 0}, {8, 0}, {0, 4}}, "Quadrangle is degenerate to triangle or length or point"},
    {{{0, 0}, {4, 0}, {1, 1}, {0, 4}}, "Quadrangle is concave"},
    {{{0, 0}, {4, 0}, {0, 4}, {4, 4}}, "Quadrangle is concave"},
    {{{0, 0}, {4, 0}, {5, 4}, {0, 4}}, "Quadrangle is not parallelogram"},
    {{{0, 0}, {4, 0}, {4, 4}, {NAN, 4}}, "Quadrangle is not finite"},
  };
  for (const Bad& theCase : theBad) {
    theRecorder.Clear();
    iplGetAffineTransform(theImage.get(), theCoeffs, theCase.mQuad);
    ExpectReports(theRecorder, {{-5, "iplGetAffineTransform", theCase.mMessage, "iplwarp"}}, theCase.mMessage);
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
                {{-5, "iplGetAffineTransformROI", "srcImage Rectangle ROI is degenerate to length or point", "iplwarp"},
                 {-5, "iplGetAffineTransformROI", "Bad rect ROI", "iplwarp"},
                 {-25, "iplGetAffineTransform", "Incorrect Image", "iplwarp"}},
                "rectangles");
}

// Hostile matrices and headers: whatever the coefficients, nothing is written
// outside the destination (its storage is exactly its size, so the sanitizers
// see any stray write) and nothing is read outside the source.
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
    iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, i % 3 + (i % 2) * 16);
  }
  theSource->imageData = nullptr;
  theDestination->imageData = nullptr;
}

}  // namespace
