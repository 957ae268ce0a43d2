#include "kernels/AffineWarp.h"
#include "kernels/ImageLayout.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using namespace kernels;

// The source pixel the exact turn puts at (x, y), or false outside the
// turned source rectangle.
bool TurnSource(int inAngle, int inXs, int inYs, int inX, int inY, const IplRect& inSource, int& outX, int& outY)
{
  switch (inAngle) {
    case 90: outX = inYs - inY, outY = inX - inXs; break;
    case 180: outX = inXs - inX, outY = inYs - inY; break;
    default: outX = inY - inYs, outY = inXs - inX; break;
  }
  return outX >= inSource.x1 && outX <= inSource.x2 && outY >= inSource.y1 && outY <= inSource.y2;
}

// Quarter turns are exact copies: of the turned pixel inside both regions,
// only in the processed channels.
TEST(QuarterTurn, EveryDepthAndLayoutIsAnExactCopy)
{
  const struct {
    int mDepth, mChannels, mAlpha, mOrder, mCoi;
  } theLayouts[] = {
    {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},  {IPL_DEPTH_8U, 4, 0, IPL_DATA_ORDER_PIXEL, 3},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_16U, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_16U, 1, 0, IPL_DATA_ORDER_PLANE, 0}, {IPL_DEPTH_32F, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_32F, 3, 0, IPL_DATA_ORDER_PLANE, 2}, {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  const double kAngles[] = {90, 180, 270, -90, -270, 450, 720 + 180};
  for (unsigned theSeed = 1; theSeed <= 84; ++theSeed) {
    const auto& theLayout = theLayouts[theSeed % std::size(theLayouts)];
    const double theAngle = kAngles[(theSeed / std::size(theLayouts)) % std::size(kAngles)];
    const int theTurn = (static_cast<int>(theAngle) % 360 + 360) % 360;
    std::mt19937 theRandom(theSeed);
    std::uniform_int_distribution<int> theSize(1, 30);
    std::uniform_int_distribution<int> theShift(-10, 40);
    HeaderPtr theSource = kerneltest::RandomImage(theSize(theRandom), theSize(theRandom), theLayout.mDepth, theLayout.mChannels,
                                      theLayout.mAlpha, theLayout.mOrder, theSeed);
    HeaderPtr theDestination = kerneltest::RandomImage(theSize(theRandom) + 5, theSize(theRandom) + 5, theLayout.mDepth,
                                           theLayout.mChannels, theLayout.mAlpha, theLayout.mOrder, theSeed + 500);
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
    std::ostringstream theCase;
    theCase << "seed " << theSeed << " depth " << theLayout.mDepth << " channels " << theLayout.mChannels
            << " order " << theLayout.mOrder << " angle " << theAngle << " shifts " << theXs << "," << theYs;
    ASSERT_TRUE(theRecorder.Reports().empty()) << theCase.str() << "\n" << theRecorder.Describe();
    IplRect theSourceRect;
    IplRect theDestinationRect;
    if (!RoiRect(theSource.get(), true, theSourceRect) || !RoiRect(theDestination.get(), true, theDestinationRect))
      continue;
    const int theFirst = theLayout.mCoi ? theLayout.mCoi - 1 : 0;
    const int theLast = theLayout.mCoi ? theLayout.mCoi - 1 : theLayout.mChannels - 1 - (theLayout.mAlpha ? 1 : 0);
    for (int y = 0; y < theDestination->height; ++y) {
      for (int x = 0; x < theDestination->width; ++x) {
        int theSX = 0;
        int theSY = 0;
        const bool theTaken = x >= theDestinationRect.x1 && x <= theDestinationRect.x2 && y >= theDestinationRect.y1 &&
                              y <= theDestinationRect.y2 &&
                              TurnSource(theTurn, theXs, theYs, x, y, theSourceRect, theSX, theSY);
        for (int c = 0; c < theLayout.mChannels; ++c) {
          const bool theCopied = theTaken && c >= theFirst && c <= theLast;
          const double theExpected = theCopied ? kerneltest::SampleAt(theSource.get(), theSX, theSY, c)
                                               : kerneltest::SampleAt(theOriginal.get(), x, y, c);
          ASSERT_EQ(kerneltest::SampleAt(theDestination.get(), x, y, c), theExpected)
            << theCase.str() << " at " << x << "," << y << " channel " << c;
        }
      }
    }
    theSource->roi = nullptr;
    theDestination->roi = nullptr;
  }
}

TEST(QuarterTurn, SameAsTheWarpWithTheExactMatrix)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = kerneltest::RandomImage(13, 9, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  const struct {
    int mAngle;
    double mMatrix[2][3];
  } theTurns[] = {{90, {{0, 1, 2}, {-1, 0, 15}}}, {180, {{-1, 0, 14}, {0, -1, 11}}}, {270, {{0, -1, 10}, {1, 0, 1}}}};
  for (const auto& theTurn : theTurns) {
    HeaderPtr theTurned = MakeImage(16, 16, IPL_DEPTH_8U, 3);
    HeaderPtr theWarped = MakeImage(16, 16, IPL_DEPTH_8U, 3);
    iplRotate(theSource.get(), theTurned.get(), theTurn.mAngle, theTurn.mMatrix[0][2], theTurn.mMatrix[1][2], 0);
    iplWarpAffine(theSource.get(), theWarped.get(), theTurn.mMatrix, IPL_INTER_NN);
    EXPECT_EQ(kerneltest::StorageOf(theTurned.get()), kerneltest::StorageOf(theWarped.get())) << theTurn.mAngle;
  }
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
}

TEST(QuarterTurn, ChecksAndEmptyResults)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = kerneltest::RandomImage(8, 6, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  HeaderPtr theDestination = MakeImage(8, 8, IPL_DEPTH_8U, 3);
  const std::vector<std::uint8_t> theBlank = kerneltest::StorageOf(theDestination.get());
  iplRotate(theSource.get(), theDestination.get(), 90, 100, 0, 1);
  EXPECT_EQ(iplStatusGet(), 0);
  EXPECT_EQ(kerneltest::StorageOf(theDestination.get()), theBlank);
  EXPECT_TRUE(theRecorder.Reports().empty());

  HeaderPtr theWide = MakeImage(8, 8, IPL_DEPTH_16U, 3);
  iplRotate(theSource.get(), theWide.get(), 270, 0, 0, 1);
  iplStatusSet(0);
  HeaderPtr theAlpha = MakeImage(8, 8, IPL_DEPTH_8U, 4, 4);
  HeaderPtr theFour = MakeImage(8, 8, IPL_DEPTH_8U, 4);
  iplRotate(theFour.get(), theAlpha.get(), 180, 0, 0, 1);
  iplStatusSet(0);
  iplRotate(theSource.get(), nullptr, 90, 0, 0, 1);
  ASSERT_EQ(theRecorder.Reports().size(), 3u) << theRecorder.Describe();
  EXPECT_EQ(theRecorder.Reports()[0].mMessage, "srcImage->depth != dstImage->depth");
  EXPECT_EQ(theRecorder.Reports()[1].mMessage,
            "Number of processed channels of srcImage != Number of processed channels of dstImage");
  EXPECT_EQ(theRecorder.Reports()[2].mMessage, "Incorrect Image");
  for (const kerneltest::Report& theReport : theRecorder.Reports())
    EXPECT_EQ(theReport.mFunction, "iplRotate");
}

}  // namespace
