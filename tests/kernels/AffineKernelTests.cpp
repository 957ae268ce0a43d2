#include "kernels/AffineKernels.h"
#include "kernels/AffineWarp.h"
#include "kernels/FastAffine.h"
#include "kernels/ImageLayout.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using namespace kernels;

// One destination pixel of a plain kernel, sampled at (inSX, inSY) of the
// source's channel 0.
double KernelAt(const ImageHeader* inSource, int inIndex, double inSX, double inSY)
{
  HeaderPtr theOut = MakeImage(1, 1, inSource->depth, inSource->channelCount, 0, inSource->dataOrder);
  const std::int32_t theFirst = 0;
  const std::int32_t theLast = 0;
  const bool thePlane = inSource->dataOrder == IPL_DATA_ORDER_PLANE;
  AffineKernelArgs theArgs{};
  theArgs.mSource = inSource->imageData;
  theArgs.mDestination = theOut->imageData;
  theArgs.mSourceRowStep = inSource->widthStep;
  theArgs.mDestinationRowStep = theOut->widthStep;
  theArgs.mSourceStep = thePlane ? static_cast<std::int64_t>(inSource->widthStep) * inSource->height
                                 : inSource->channelCount;
  theArgs.mDestinationStep = thePlane ? theOut->widthStep : theOut->channelCount;
  theArgs.mChannels = 1;
  theArgs.mFirstColumns = &theFirst;
  theArgs.mLastColumns = &theLast;
  theArgs.mC[2] = inSX;
  theArgs.mC[5] = inSY;
  theArgs.mXLimit = inSource->width - 1;
  theArgs.mYLimit = inSource->height - 1;
  PlainAffineRows(inIndex)(theArgs, 0, 0, inSX, inSY);
  return kerneltest::SampleAt(theOut.get(), 0, 0, 0);
}

// An image whose rows all hold inRow.
HeaderPtr Rows(int inDepth, const std::vector<double>& inRow, int inHeight)
{
  HeaderPtr theImage = MakeImage(static_cast<int>(inRow.size()), inHeight, inDepth, 1);
  for (int y = 0; y < inHeight; ++y)
    for (std::size_t x = 0; x < inRow.size(); ++x)
      kerneltest::SetSampleAt(theImage.get(), static_cast<int>(x), y, 0, inRow[x]);
  return theImage;
}

constexpr int kU8Nearest = 0, kU8Linear = 1, kU8Cubic = 2, kU16Linear = 7, kU16Cubic = 8, kF32Cubic = 14;

struct PointCase {
  const char* mName;
  int mIndex, mDepth;
  std::vector<double> mRow;
  double mSX, mSY, mExpected;
};

TEST(AffineKernels, WorkedValues)
{
  const PointCase theCases[] = {
    {"linear between 10 and 20 at 2.25", kU8Linear, IPL_DEPTH_8U, {0, 0, 10, 20, 30}, 2.25, 1.0, 13},
    {"linear 1e-9 below a whole number", kU8Linear, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 3.0 - 1e-9, 0.0, 30},
    {"linear rounds half up", kU8Linear, IPL_DEPTH_8U, {0, 1, 2, 3}, 0.5, 0.0, 1},
    {"linear before the first pixel takes it in full", kU8Linear, IPL_DEPTH_8U, {50, 10, 20, 30}, -0.4, -0.3, 50},
    {"linear 16-bit", kU16Linear, IPL_DEPTH_16U, {0, 1000, 3000}, 1.5, 0.0, 2000},
    {"nearest at 3.5 takes 4", kU8Nearest, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 3.5, 0.0, 40},
    {"nearest at 3.4999 takes 3", kU8Nearest, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 3.4999, 0.0, 30},
    {"nearest far outside stays inside", kU8Nearest, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 1e9, -1e9, 40},
    {"cubic above 255 stores 255", kU8Cubic, IPL_DEPTH_8U, {0, 255, 255, 0}, 1.5, 1.0, 255},
    {"cubic below 0 stores 0", kU8Cubic, IPL_DEPTH_8U, {255, 0, 0, 255}, 1.5, 1.0, 0},
    {"cubic 16-bit clamps at 65535", kU16Cubic, IPL_DEPTH_16U, {0, 65535, 65535, 0}, 1.5, 1.0, 65535},
    {"cubic float does not clamp", kF32Cubic, IPL_DEPTH_32F, {0, 255, 255, 0}, 1.5, 1.0, 286.875},
    {"cubic window at the left edge", kU8Cubic, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 0.5, 0.0, 5},
    {"cubic window at the right edge", kU8Cubic, IPL_DEPTH_8U, {0, 10, 20, 30, 40}, 3.75, 0.0, 38},
  };
  for (const PointCase& theCase : theCases) {
    HeaderPtr theSource = Rows(theCase.mDepth, theCase.mRow, 4);
    EXPECT_NEAR(KernelAt(theSource.get(), theCase.mIndex, theCase.mSX, theCase.mSY), theCase.mExpected, 1e-4)
      << theCase.mName;
  }
}

TEST(AffineKernels, LinearAtTheLastPixelReadsNothingPastTheStorage)
{
  // Storage of exactly the image's size, so that the sanitizers see any read
  // past its end.
  std::vector<std::uint8_t> theStorage(4 * 4);
  for (std::size_t i = 0; i < theStorage.size(); ++i)
    theStorage[i] = static_cast<std::uint8_t>(10 * i);
  HeaderPtr theSource(iplCreateImageHeader(1, 0, IPL_DEPTH_8U, "G", "G", 0, 0, 4, 4, 4, nullptr, nullptr,
                                           nullptr, nullptr));
  theSource->imageData = theStorage.data();
  EXPECT_EQ(KernelAt(theSource.get(), kU8Linear, 3.0, 3.0), 150);
  EXPECT_EQ(KernelAt(theSource.get(), kU8Cubic, 3.0, 3.0), 150);
  EXPECT_EQ(KernelAt(theSource.get(), kU8Linear, 3.0 + 1e-9, 3.0 + 1e-9), 150);
  EXPECT_EQ(KernelAt(theSource.get(), kU8Nearest, 3.4, 3.4), 150);
  theSource->imageData = nullptr;
}

TEST(AffineKernels, BitKernelReadsTheAbsoluteBit)
{
  HeaderPtr theSource = MakeImage(40, 2, IPL_DEPTH_1U, 1);
  kerneltest::SetSampleAt(theSource.get(), 13, 1, 0, 1);
  RoiRecord theRoi{0, 9, 0, 20, 2};  // the region does not shift the bit read
  theSource->roi = &theRoi;
  EXPECT_EQ(KernelAt(theSource.get(), kBitKernel, 13.0, 1.0), 1);
  EXPECT_EQ(KernelAt(theSource.get(), kBitKernel, 12.4, 1.0), 0);
  EXPECT_EQ(KernelAt(theSource.get(), kBitKernel, 12.5, 0.6), 1);
  theSource->roi = nullptr;
}

// Each test runs twice, once with TL_KERNELS_PLAIN=1: that run must really be
// on the plain kernels.
TEST(AffineKernels, TheEnvironmentSwitchesTheFastLayer)
{
  const char* theValue = std::getenv("TL_KERNELS_PLAIN");
  EXPECT_EQ(FastLayerEnabled(), !(theValue && std::string(theValue) == "1"));
}

// While it lives the fast layer is switched as asked; afterwards it is as
// the environment set it.
class FastLayerSwitch {
 public:
  FastLayerSwitch(bool inEnabled, int inThreads, VectorLevel inVectors) : mWasEnabled(FastLayerEnabled())
  {
    SetFastLayer(inEnabled, inThreads, inVectors);
  }
  ~FastLayerSwitch() { SetFastLayer(mWasEnabled, 0); }

 private:
  bool mWasEnabled;
};

// A random matrix: a turn with shear, a scaling (flipped or not; every other
// one shrinks by more than two, so rows share no source row), or a move.
void RandomMatrix(unsigned inSeed, std::mt19937& inRandom, double outCoeffs[2][3])
{
  std::uniform_real_distribution<double> theUnit(0.0, 1.0);
  const double theMoveX = 300 * theUnit(inRandom) - 50;
  const double theMoveY = 300 * theUnit(inRandom) - 50;
  double theA = 1, theB = 0, theD = 0, theE = 1, theTx = theMoveX / 7, theTy = theMoveY / 9;
  if (inSeed % 3 == 0) {
    const double theAngle = theUnit(inRandom) * 6.2831853;
    const double theScale = inSeed % 5 == 0 ? 0.2 + theUnit(inRandom) : 0.8 + 2.5 * theUnit(inRandom);
    const double theShear = theUnit(inRandom) - 0.5;
    theA = theE = theScale * std::cos(theAngle);
    theB = theScale * std::sin(theAngle) + theShear;
    theD = -theScale * std::sin(theAngle);
    theTx = theMoveX;
    theTy = theMoveY;
  } else if (inSeed % 3 == 1) {
    const double theLow = inSeed % 2 ? 0.15 : 0.5;
    const double theRange = inSeed % 2 ? 0.3 : 4.0;
    theA = (theLow + theRange * theUnit(inRandom)) * (theUnit(inRandom) < 0.25 ? -1 : 1);
    theE = (theLow + theRange * theUnit(inRandom)) * (theUnit(inRandom) < 0.25 ? -1 : 1);
    theTx = theMoveX + (theA < 0 ? 600 : 0);
    theTy = theMoveY + (theE < 0 ? 500 : 0);
  }
  const double theCoeffs[2][3] = {{theA, theB, theTx}, {theD, theE, theTy}};
  std::copy(&theCoeffs[0][0], &theCoeffs[0][0] + 6, &outCoeffs[0][0]);
}

// A scaling without rotation or shear of a picture of four-byte pixels: a
// shrink by 0.2 to 0.5 or an enlargement by 2 to 5 on each axis, flipped now
// and then, the bodies kept for such warps.
void RandomScaling(unsigned inSeed, std::mt19937& inRandom, double outCoeffs[2][3])
{
  std::uniform_real_distribution<double> theUnit(0.0, 1.0);
  auto Factor = [&](bool inShrink) {
    const double theFactor = inShrink ? 0.2 + 0.3 * theUnit(inRandom) : 2.0 + 3.0 * theUnit(inRandom);
    return theUnit(inRandom) < 0.25 ? -theFactor : theFactor;
  };
  const double theA = Factor(inSeed % 4 != 0);
  const double theE = Factor(inSeed % 4 != 1);
  const double theCoeffs[2][3] = {{theA, 0, (theA < 0 ? 600 : 0) + 40 * theUnit(inRandom) - 20},
                                  {0, theE, (theE < 0 ? 560 : 0) + 40 * theUnit(inRandom) - 20}};
  std::copy(&theCoeffs[0][0], &theCoeffs[0][0] + 6, &outCoeffs[0][0]);
}

// The fast layer (bands on threads, every vector body this processor runs)
// against the plain kernels, byte for byte, on random matrices large enough
// to be cut into bands, then on scalings of the system's own pictures.
TEST(AffineKernels, FastLayerMatchesThePlainKernels)
{
  const kerneltest::Layout kLayouts[] = {
    {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 2, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 4, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 2},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 3}, {IPL_DEPTH_8U, 5, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 3, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_32F, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  const int kInterpolations[] = {IPL_INTER_LINEAR, IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES, IPL_INTER_NN,
                                 IPL_INTER_CUBIC | IPL_INTER_SMOOTH_EDGES};
  std::vector<VectorLevel> theLevels = {VectorLevel::kNone};
  if (SupportedVectorLevel() >= VectorLevel::kAvx2)
    theLevels.push_back(VectorLevel::kAvx2);
  if (SupportedVectorLevel() >= VectorLevel::kAvx512)
    theLevels.push_back(VectorLevel::kAvx512);
  constexpr unsigned kMatrices = 78;
  for (unsigned theSeed = 1; theSeed <= kMatrices + 40; ++theSeed) {
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    const bool theScaling = theSeed > kMatrices;
    const auto& theLayout = kLayouts[theScaling ? (theSeed % 3 ? 0 : 4) : theSeed % std::size(kLayouts)];
    // Mostly the system's own road: 8-bit pixel order, linear, with or without smoothing.
    const bool theSystemRoad = theLayout.mDepth == IPL_DEPTH_8U && theLayout.mOrder == IPL_DATA_ORDER_PIXEL;
    // Scalings now and then over pixel areas, as the bridge warps, which
    // samples past the source's edges.
    const int theInterpolate = (theSystemRoad && theSeed % 4 != 0 ? kInterpolations[theSeed % 2 ? 0 : 1]
                                                                  : kInterpolations[theSeed % std::size(kInterpolations)]) |
                               (theScaling && theSeed % 3 != 0 ? IPL_INTER_PIXEL_AREAS : 0);
    // Now and then a scaled picture narrower than one 128-byte load.
    const bool theNarrow = theScaling && theSeed % 5 == 0;
    const int theSourceW = theNarrow ? 6 + static_cast<int>(theUnit(theRandom) * 24)
                                     : 40 + static_cast<int>(theUnit(theRandom) * 300);
    const int theSourceH = 40 + static_cast<int>(theUnit(theRandom) * 300);
    HeaderPtr theSource = kerneltest::RandomImage(theSourceW, theSourceH, theLayout, theSeed + 1000);
    RoiRecord theRoi{theLayout.mCoi, 0, 0, theSourceW, theSourceH};
    RoiRecord theDestinationRoi{theLayout.mCoi, 0, 0, 640, 600};
    theSource->roi = theLayout.mCoi ? &theRoi : nullptr;
    double theCoeffs[2][3];
    if (theScaling)
      RandomScaling(theSeed, theRandom, theCoeffs);
    else
      RandomMatrix(theSeed, theRandom, theCoeffs);
    std::vector<std::uint8_t> thePlain;
    for (int theRun = 0; theRun <= static_cast<int>(theLevels.size()); ++theRun) {
      // Run 0 is plain; the others fast at each vector level.
      FastLayerSwitch theSwitch(theRun > 0, 8, theLevels[std::max(theRun - 1, 0)]);
      ReportRecorder theRecorder;
      HeaderPtr theDestination = kerneltest::RandomImage(640, 600, theLayout, theSeed);
      theDestination->roi = theLayout.mCoi ? &theDestinationRoi : nullptr;
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, theInterpolate);
      EXPECT_EQ(iplStatusGet(), 0) << "seed " << theSeed << "\n" << theRecorder.Describe();
      const std::vector<std::uint8_t> theResult = kerneltest::StorageOf(theDestination.get());
      theDestination->roi = nullptr;
      if (theRun == 0) {
        thePlain = theResult;
        continue;
      }
      ASSERT_EQ(theResult.size(), thePlain.size());
      std::size_t theDifferent = 0;
      for (std::size_t i = 0; i < theResult.size(); ++i)
        theDifferent += theResult[i] != thePlain[i];
      EXPECT_EQ(theDifferent, 0u) << "seed " << theSeed << " interpolate " << theInterpolate << " vectors "
                                  << static_cast<int>(theLevels[theRun - 1]);
    }
    theSource->roi = nullptr;
  }
}

// Moves by whole pixels (pictures placed at their natural size), which the
// fast layer copies: the plain kernels' bytes for every 8-bit pixel-order
// layout, nearest and linear, over pixel areas or not, with moves that
// reach past the source, and large enough to be cut into bands.
TEST(AffineKernels, FastLayerCopiesWholeMovesAsThePlainKernelsDo)
{
  const kerneltest::Layout kLayouts[] = {
    {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_8U, 5, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 2}, {IPL_DEPTH_8U, 2, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  const int kInterpolations[] = {IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES | IPL_INTER_PIXEL_AREAS,
                                 IPL_INTER_LINEAR, IPL_INTER_NN | IPL_INTER_PIXEL_AREAS};
  for (unsigned theSeed = 1; theSeed <= 18; ++theSeed) {
    const auto& theLayout = kLayouts[theSeed % std::size(kLayouts)];
    const int theInterpolate = kInterpolations[theSeed % std::size(kInterpolations)];
    std::mt19937 theRandom(theSeed);
    std::uniform_int_distribution<int> theMove(-60, 260);
    const double theCoeffs[2][3] = {{1, 0, static_cast<double>(theMove(theRandom))},
                                    {0, 1, static_cast<double>(theMove(theRandom))}};
    HeaderPtr theSource = kerneltest::RandomImage(300, 260, theLayout, theSeed + 1000);
    RoiRecord theRoi{theLayout.mCoi, 0, 0, 300, 260};
    theSource->roi = theLayout.mCoi ? &theRoi : nullptr;
    std::vector<std::uint8_t> thePlain;
    for (const bool theFast : {false, true}) {
      FastLayerSwitch theSwitch(theFast, 8, VectorLevel::kAvx512);
      ReportRecorder theRecorder;
      HeaderPtr theDestination = kerneltest::RandomImage(520, 500, theLayout, theSeed);
      RoiRecord theDestinationRoi{theLayout.mCoi, 0, 0, 520, 500};
      theDestination->roi = theLayout.mCoi ? &theDestinationRoi : nullptr;
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, theInterpolate);
      EXPECT_EQ(iplStatusGet(), 0) << "seed " << theSeed << "\n" << theRecorder.Describe();
      theDestination->roi = nullptr;
      if (!theFast)
        thePlain = kerneltest::StorageOf(theDestination.get());
      else
        EXPECT_TRUE(kerneltest::StorageOf(theDestination.get()) == thePlain) << "seed " << theSeed;
    }
    theSource->roi = nullptr;
  }
}

// A shrink by four whose source columns all lie half a pixel and 1e-9 past an
// even column (0) whose right neighbour holds an odd value b: the double
// result b / 2 + 0.5 + b 1e-9 is just above a whole number, while in single
// precision the fraction is one half and the value a tie that rounds to the
// even number below. Only pixels made again in double precision give the
// plain bytes. Each block of four source rows puts the tie in another channel
// (b = 253 - 4 c, so the plain byte is 127 - 2 c), the others hold 100.
TEST(AffineKernels, FastLayerRemakesPixelsOnARoundingBoundary)
{
  std::vector<VectorLevel> theLevels = {VectorLevel::kNone, VectorLevel::kAvx2, VectorLevel::kAvx512};
  const double theCoeffs[2][3] = {{0.25, 0, -(0.5 + 1e-9) / 4}, {0, 0.25, -0.3 / 4}};
  for (const int theAlpha : {4, 0}) {
    const int theChannels = theAlpha ? 3 : 4;
    HeaderPtr theSource = MakeImage(512, 256, IPL_DEPTH_8U, 4, theAlpha);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 512; ++x)
        for (int c = 0; c < 4; ++c) {
          const bool theTie = c == y / 4 % theChannels;
          kerneltest::SetSampleAt(theSource.get(), x, y, c, theTie ? (x % 2 ? 253 - 4 * c : 0) : 100);
        }
    for (int theRun = 0; theRun <= static_cast<int>(theLevels.size()); ++theRun) {
      FastLayerSwitch theSwitch(theRun > 0, 8, theLevels[std::max(theRun - 1, 0)]);
      ReportRecorder theRecorder;
      HeaderPtr theDestination = MakeImage(128, 64, IPL_DEPTH_8U, 4, theAlpha);
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, IPL_INTER_LINEAR);
      ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
      int theWrong = 0;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 127; ++x)
          for (int c = 0; c < theChannels; ++c) {
            const double theExpected = c == y % theChannels ? 127 - 2 * c : 100;
            theWrong += kerneltest::SampleAt(theDestination.get(), x, y, c) != theExpected;
          }
      EXPECT_EQ(theWrong, 0) << "alpha " << theAlpha << " run " << theRun;
    }
  }
}

// Shrinks one after another on one thread whose rows share the span and the
// row term of the one before, but not its step: each thread keeps its last
// column walk, and must walk anew for these. (The destination, 64 x 64,
// clips them alike.)
TEST(AffineKernels, FastLayerWalksAnewForAnotherStep)
{
  const double kScales[] = {0.25, 0.3, 0.25};
  std::vector<std::vector<std::uint8_t>> thePlain;
  for (int theRun = 0; theRun < 2; ++theRun) {
    FastLayerSwitch theSwitch(theRun > 0, 1, VectorLevel::kAvx512);
    for (std::size_t i = 0; i < std::size(kScales); ++i) {
      ReportRecorder theRecorder;
      HeaderPtr theSource = kerneltest::RandomImage(512, 256, IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 7);
      HeaderPtr theDestination = MakeImage(64, 64, IPL_DEPTH_8U, 4, 4);
      const double theCoeffs[2][3] = {{kScales[i], 0, 0}, {0, 0.25, 0}};
      iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, IPL_INTER_LINEAR);
      ASSERT_EQ(iplStatusGet(), 0) << theRecorder.Describe();
      if (theRun == 0)
        thePlain.push_back(kerneltest::StorageOf(theDestination.get()));
      else
        EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), thePlain[i]) << "shrink " << i;
    }
  }
}

}  // namespace
