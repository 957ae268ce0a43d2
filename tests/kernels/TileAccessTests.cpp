#include "kernels/BorderFetch.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <vector>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using kerneltest::TiledImage;
using namespace kernels;

// A buffer from RectFetchWithBorder, freed on every exit.
struct Fetched {
  std::uint8_t* mData = nullptr;
  std::int64_t mRowStep = 0;
  ~Fetched() { RectFetchFree(mData); }
};

// An 8-bit one-channel image whose pixel value is inValue(x, y).
template <typename F>
HeaderPtr Gray8(int inWidth, int inHeight, F inValue)
{
  HeaderPtr theImage = MakeImage(inWidth, inHeight, IPL_DEPTH_8U, 1);
  for (int y = 0; y < inHeight; ++y)
    for (int x = 0; x < inWidth; ++x)
      kerneltest::SetSampleAt(theImage.get(), x, y, 0, inValue(x, y));
  return theImage;
}

std::vector<int> FetchRow(const ImageHeader* inImage, int inX, int inY, int inWidth)
{
  Fetched theFetch;
  theFetch.mData = RectFetchWithBorder(inImage, inX, inY, inWidth, 1, &theFetch.mRowStep);
  if (!theFetch.mData)
    return {};
  return std::vector<int>(theFetch.mData, theFetch.mData + inWidth);
}

struct SideCase {
  int mMode;
  int mConstant;
  std::vector<int> mValues;
};

TEST(BorderFetch, LeftSideModesOnARowOfColumns)
{
  HeaderPtr theImage = Gray8(10, 3, [](int x, int) { return x; });
  TiledImage theTiled(theImage.get(), 8, 8);
  const SideCase theCases[] = {
    {IPL_BORDER_REFLECT, 0, {2, 1, 0, 0, 1}},
    {IPL_BORDER_WRAP, 0, {7, 8, 9, 0, 1}},
    {IPL_BORDER_REPLICATE, 0, {0, 0, 0, 0, 1}},
    {IPL_BORDER_CONSTANT, 200, {200, 200, 200, 0, 1}},
  };
  for (const SideCase& theCase : theCases) {
    for (ImageHeader* theSource : {theImage.get(), theTiled.Header()}) {
      iplBorderModeSet(theSource, theCase.mMode, IPL_SIDE_LEFT, theCase.mConstant);
      EXPECT_EQ(FetchRow(theSource, -3, 1, 5), theCase.mValues)
        << "mode " << theCase.mMode << (theSource->tileInfo ? " tiled" : " plain");
    }
  }
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());
}

TEST(BorderFetch, MirrorSpansSeveralPeriods)
{
  HeaderPtr theImage = Gray8(3, 1, [](int x, int) { return x; });
  iplBorderModeSet(theImage.get(), IPL_BORDER_REFLECT, IPL_SIDE_LEFT | IPL_SIDE_RIGHT, 0);
  EXPECT_EQ(FetchRow(theImage.get(), -7, 0, 7), (std::vector<int>{0, 0, 1, 2, 2, 1, 0}));
  EXPECT_EQ(FetchRow(theImage.get(), 2, 0, 9), (std::vector<int>{2, 2, 1, 0, 0, 1, 2, 2, 1}));
  iplBorderModeSet(theImage.get(), IPL_BORDER_WRAP, IPL_SIDE_LEFT | IPL_SIDE_RIGHT, 0);
  EXPECT_EQ(FetchRow(theImage.get(), -8, 0, 14),
            (std::vector<int>{1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
}

TEST(BorderFetch, RowsWhollyAboveRepeatTheFirstRow)
{
  HeaderPtr theImage = Gray8(4, 3, [](int x, int y) { return 10 * y + x; });
  iplBorderModeSet(theImage.get(), IPL_BORDER_REPLICATE, IPL_SIDE_TOP, 0);
  iplBorderModeSet(theImage.get(), IPL_BORDER_CONSTANT, IPL_SIDE_LEFT | IPL_SIDE_RIGHT, 99);
  Fetched theFetch;
  theFetch.mData = RectFetchWithBorder(theImage.get(), -2, -5, 8, 3, &theFetch.mRowStep);
  ASSERT_NE(theFetch.mData, nullptr);
  for (int r = 0; r < 3; ++r) {
    const std::vector<int> theRow(theFetch.mData + r * theFetch.mRowStep,
                                  theFetch.mData + r * theFetch.mRowStep + 8);
    EXPECT_EQ(theRow, (std::vector<int>{0, 0, 0, 1, 2, 3, 3, 3})) << "row " << r;
  }
}

TEST(BorderFetch, RowStepFollowsTheImagesAlignment)
{
  HeaderPtr thePixel = MakeImage(6, 6, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 8);
  Fetched theFetch;
  theFetch.mData = RectFetchWithBorder(thePixel.get(), 0, 0, 5, 2, &theFetch.mRowStep);
  ASSERT_NE(theFetch.mData, nullptr);
  EXPECT_EQ(theFetch.mRowStep, 16);
  HeaderPtr thePlane = MakeImage(6, 6, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 8);
  for (int c = 0; c < 3; ++c)
    kerneltest::SetSampleAt(thePlane.get(), 1, 1, c, 10 + c);
  Fetched thePlanes;
  thePlanes.mData = RectFetchWithBorder(thePlane.get(), 0, 0, 5, 2, &thePlanes.mRowStep);
  ASSERT_NE(thePlanes.mData, nullptr);
  EXPECT_EQ(thePlanes.mRowStep, 8);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(thePlanes.mData[c * 2 * 8 + 8 + 1], 10 + c) << "plane " << c;
}

TEST(BorderFetch, ConstantsOfEveryDepth)
{
  HeaderPtr theBits = MakeImage(16, 2, IPL_DEPTH_1U, 1);
  for (int theConstant : {0, 1}) {
    iplBorderModeSet(theBits.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, theConstant);
    Fetched theFetch;
    theFetch.mData = RectFetchWithBorder(theBits.get(), -4, 0, 8, 2, &theFetch.mRowStep);
    ASSERT_NE(theFetch.mData, nullptr);
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < 8; ++c)
        EXPECT_EQ(BitAt(theFetch.mData + r * theFetch.mRowStep, c), c < 4 && theConstant == 1)
          << "constant " << theConstant << " row " << r << " column " << c;
    }
  }
  HeaderPtr theFloat = MakeImage(2, 2, IPL_DEPTH_32F, 1);
  iplBorderModeSet(theFloat.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 3);
  Fetched theFloats;
  theFloats.mData = RectFetchWithBorder(theFloat.get(), -1, -1, 4, 4, &theFloats.mRowStep);
  ASSERT_NE(theFloats.mData, nullptr);
  EXPECT_EQ(LoadSample<float>(theFloats.mData), 3.0f);
  EXPECT_EQ(LoadSample<float>(theFloats.mData + theFloats.mRowStep), 3.0f);
  EXPECT_EQ(LoadSample<float>(theFloats.mData + theFloats.mRowStep + 4), 0.0f);

  HeaderPtr theInts(iplCreateImageHeader(1, 0, IPL_DEPTH_32S, "G", "G", 0, 0, 4, 2, 2, nullptr, nullptr,
                                         nullptr, nullptr));
  iplAllocateImage(theInts.get(), 1, 5);
  iplBorderModeSet(theInts.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 3);
  Fetched theIntFetch;
  theIntFetch.mData = RectFetchWithBorder(theInts.get(), -1, 0, 2, 1, &theIntFetch.mRowStep);
  ASSERT_NE(theIntFetch.mData, nullptr);
  EXPECT_EQ(LoadSample<std::int32_t>(theIntFetch.mData), 3);
  EXPECT_EQ(LoadSample<std::int32_t>(theIntFetch.mData + 4), 5);
}

TEST(BorderFetch, InvalidRequestsGiveNull)
{
  HeaderPtr theImage = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  std::int64_t theStep = 0;
  EXPECT_EQ(RectFetchWithBorder(nullptr, 0, 0, 1, 1, &theStep), nullptr);
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 0, 3, &theStep), nullptr);
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 3, -1, &theStep), nullptr);
  ImageHeader theBad = *theImage;
  theBad.depth = 12;
  EXPECT_EQ(RectFetchWithBorder(&theBad, 0, 0, 1, 1, &theStep), nullptr);
  theBad = *theImage;
  theBad.align = 2;
  EXPECT_EQ(RectFetchWithBorder(&theBad, 0, 0, 1, 1, &theStep), nullptr);
  theBad = *theImage;
  theBad.dataOrder = 3;
  EXPECT_EQ(RectFetchWithBorder(&theBad, 0, 0, 1, 1, &theStep), nullptr);
  // Too large for the allocator: null, with the memory status stored.
  ReportRecorder theRecorder;
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 1 << 16, 1 << 16, &theStep), nullptr);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NO_MEMORY);
}

// The pixel a border fetch must produce, from the border rules alone.
int ReferenceCoordinate(long inV, int inSize, int inMode)
{
  if (inMode == IPL_BORDER_REPLICATE)
    return inV < 0 ? 0 : (inV >= inSize ? inSize - 1 : static_cast<int>(inV));
  const long thePeriod = inMode == IPL_BORDER_REFLECT ? 2L * inSize : inSize;
  const long theP = ((inV % thePeriod) + thePeriod) % thePeriod;
  return theP < inSize ? static_cast<int>(theP) : static_cast<int>(2L * inSize - 1 - theP);
}

struct Layout {
  int mDepth;
  int mChannels;
  int mOrder;
  int mAlign;
};

// Random rectangles, border modes and constants, on plain and tiled images of
// several layouts, against the rules above. Each case prints its seed.
TEST(BorderFetch, MatchesTheBorderRules)
{
  const Layout theLayouts[] = {
    {IPL_DEPTH_8U, 1, IPL_DATA_ORDER_PIXEL, 4},
    {IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 8},
    {IPL_DEPTH_16U, 2, IPL_DATA_ORDER_PLANE, 4},
    {IPL_DEPTH_32F, 1, IPL_DATA_ORDER_PIXEL, 16},
    {IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 4},
  };
  for (unsigned theSeed = 1; theSeed <= 150; ++theSeed) {
    std::mt19937 theRandom(theSeed);
    auto Uniform = [&theRandom](int inLow, int inHigh) {
      return std::uniform_int_distribution<int>(inLow, inHigh)(theRandom);
    };
    const Layout& theLayout = theLayouts[theSeed % std::size(theLayouts)];
    const int theW = Uniform(1, 20);
    const int theH = Uniform(1, 20);
    HeaderPtr theImage = MakeImage(theW, theH, theLayout.mDepth, theLayout.mChannels, 0, theLayout.mOrder,
                                   theLayout.mAlign);
    ASSERT_NE(theImage, nullptr);
    const bool theBits = theLayout.mDepth == IPL_DEPTH_1U;
    for (int y = 0; y < theH; ++y)
      for (int x = 0; x < theW; ++x)
        for (int c = 0; c < theLayout.mChannels; ++c) {
          if (theBits)
            kerneltest::SetBitAtPixel(theImage.get(), x, y, Uniform(0, 1) == 1);
          else
            kerneltest::SetSampleAt(theImage.get(), x, y, c, Uniform(1, 250));
        }
    for (int theSide = 0; theSide < 4; ++theSide)
      iplBorderModeSet(theImage.get(), Uniform(0, 3), 1 << theSide, Uniform(0, 255));
    TiledImage theTiled(theImage.get(), 8 * Uniform(1, 2), 8 * Uniform(1, 2));
    for (int s = 0; s < 4; ++s) {
      theTiled.Header()->borderMode[s] = theImage->borderMode[s];
      theTiled.Header()->borderConst[s] = theImage->borderConst[s];
    }
    const int theX = Uniform(-50, theW + 10);
    const int theY = Uniform(-50, theH + 10);
    const int theFetchW = Uniform(1, 60);
    const int theFetchH = Uniform(1, 60);
    for (ImageHeader* theSource : {theImage.get(), theTiled.Header()}) {
      std::ostringstream theCase;
      theCase << "seed " << theSeed << (theSource->tileInfo ? " tiled" : " plain") << " image " << theW << "x"
              << theH << " depth " << theLayout.mDepth << " rect " << theX << "," << theY << " " << theFetchW
              << "x" << theFetchH;
      Fetched theFetch;
      theFetch.mData = RectFetchWithBorder(theSource, theX, theY, theFetchW, theFetchH, &theFetch.mRowStep);
      ASSERT_NE(theFetch.mData, nullptr) << theCase.str();
      const int theBytes = BytesPerSample(theLayout.mDepth);
      const std::int64_t thePlaneSize = theFetch.mRowStep * theFetchH;
      for (int by = 0; by < theFetchH; ++by) {
        for (int bx = 0; bx < theFetchW; ++bx) {
          const long theVX = static_cast<long>(theX) + bx;
          const long theVY = static_cast<long>(theY) + by;
          int theSide = -1;
          if (theVY < 0) theSide = 0;
          else if (theVY >= theH) theSide = 1;
          else if (theVX < 0) theSide = 2;
          else if (theVX >= theW) theSide = 3;
          const int theMode = theSide < 0 ? -1 : theImage->borderMode[theSide];
          const bool theConstant = theMode == IPL_BORDER_CONSTANT;
          int theSX = static_cast<int>(theVX);
          int theSY = static_cast<int>(theVY);
          if (theSide >= 0 && !theConstant) {
            theSX = ReferenceCoordinate(theVX, theW, theMode);
            theSY = ReferenceCoordinate(theVY, theH, theMode);
          }
          for (int c = 0; c < theLayout.mChannels; ++c) {
            double theExpected = 0;
            double theActual = 0;
            if (theBits) {
              theExpected = theConstant ? (theImage->borderConst[theSide] & 1)
                                        : kerneltest::BitAtPixel(theImage.get(), theSX, theSY);
              theActual = BitAt(theFetch.mData + by * theFetch.mRowStep, bx);
            } else {
              theExpected = theConstant ? theImage->borderConst[theSide]
                                        : kerneltest::SampleAt(theImage.get(), theSX, theSY, c);
              const std::int64_t theOffset =
                theLayout.mOrder == IPL_DATA_ORDER_PLANE
                  ? c * thePlaneSize + by * theFetch.mRowStep + bx * theBytes
                  : by * theFetch.mRowStep + (static_cast<std::int64_t>(bx) * theLayout.mChannels + c) * theBytes;
              const std::uint8_t* theSample = theFetch.mData + theOffset;
              theActual = theBytes == 1 ? *theSample
                          : theBytes == 2 ? LoadSample<std::uint16_t>(theSample)
                                          : LoadSample<float>(theSample);
            }
            ASSERT_EQ(theActual, theExpected)
              << theCase.str() << " at buffer " << bx << "," << by << " channel " << c << " side " << theSide;
          }
        }
      }
    }
    EXPECT_EQ(theTiled.Held(), 0) << "seed " << theSeed;
    EXPECT_TRUE(theTiled.Faults().empty()) << "seed " << theSeed << ": " << theTiled.Faults().front();
  }
}

TEST(RectCopy, BackwardRangesMirror)
{
  HeaderPtr theImage = Gray8(4, 3, [](int x, int y) { return 10 * y + x; });
  std::vector<std::uint8_t> theBuffer(4 * 3, 0);
  RectCopy(theImage->imageData, 3, 2, 0, 0, theImage->widthStep, 0, theBuffer.data(), 0, 0, 4, 0, 1, 1);
  EXPECT_EQ(theBuffer, (std::vector<std::uint8_t>{23, 22, 21, 20, 13, 12, 11, 10, 3, 2, 1, 0}));
  std::vector<std::uint8_t> theColumn(3, 0);
  RectCopy(theImage->imageData, 1, 0, 1, 2, theImage->widthStep, 0, theColumn.data(), 0, 0, 1, 0, 1, 1);
  EXPECT_EQ(theColumn, (std::vector<std::uint8_t>{1, 11, 21}));
}

TEST(RectRead, WalksTilesOneTileRowAtATime)
{
  HeaderPtr theImage = Gray8(40, 30, [](int x, int y) { return (x * 7 + y * 3) % 251; });
  TiledImage theTiled(theImage.get(), 16, 8);
  // Columns 5 .. 37 touch tile columns 0, 1, 2; rows 3 .. 20 tile rows 0, 1, 2.
  std::vector<std::uint8_t> theBuffer(33 * 18, 0);
  ASSERT_EQ(RectRead(theTiled.Header(), 5, 3, 37, 20, theBuffer.data(), 0, 0, 33, 0, 1, 1), 0);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 33; ++x)
      ASSERT_EQ(theBuffer[y * 33 + x], kerneltest::SampleAt(theImage.get(), x + 5, y + 3, 0)) << x << "," << y;
  std::vector<TiledImage::Call> theExpected;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c)
      theExpected.push_back({c, r, IPL_GET_TILE_TO_READ});
    for (int c = 2; c >= 0; --c)
      theExpected.push_back({c, r, IPL_RELEASE_TILE});
  }
  ASSERT_EQ(theTiled.Calls().size(), theExpected.size());
  for (std::size_t i = 0; i < theExpected.size(); ++i) {
    EXPECT_EQ(theTiled.Calls()[i].mColumn, theExpected[i].mColumn) << "call " << i;
    EXPECT_EQ(theTiled.Calls()[i].mRow, theExpected[i].mRow) << "call " << i;
    EXPECT_EQ(theTiled.Calls()[i].mMode, theExpected[i].mMode) << "call " << i;
  }
  EXPECT_EQ(theTiled.MaxHeld(), 3);
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());

  // Backwards over tiles: a mirrored copy.
  theTiled.ClearCalls();
  std::vector<std::uint8_t> theMirror(33 * 18, 0);
  ASSERT_EQ(RectRead(theTiled.Header(), 37, 20, 5, 3, theMirror.data(), 0, 0, 33, 0, 1, 1), 0);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 33; ++x)
      ASSERT_EQ(theMirror[y * 33 + x], theBuffer[(17 - y) * 33 + (32 - x)]) << x << "," << y;
  EXPECT_EQ(theTiled.Calls().front().mColumn, 2);
  EXPECT_EQ(theTiled.Calls().front().mRow, 2);
  EXPECT_EQ(theTiled.Held(), 0);
}

TEST(RectRead, AMissingTileIsSeenAndItsRowHandedBack)
{
  HeaderPtr theImage = Gray8(40, 30, [](int x, int) { return x; });
  TiledImage theTiled(theImage.get(), 16, 8);
  theTiled.Refuse(1, 1);
  ReportRecorder theRecorder;
  std::int64_t theStep = 0;
  std::uint8_t* theFetch = RectFetchWithBorder(theTiled.Header(), 0, 0, 40, 30, &theStep);
  EXPECT_EQ(theFetch, nullptr);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_ERROR);
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());
  // Every tile of the failing row was still asked for.
  int theAsked = 0;
  for (const TiledImage::Call& theCall : theTiled.Calls())
    theAsked += theCall.mRow == 1 && theCall.mMode == IPL_GET_TILE_TO_READ;
  EXPECT_EQ(theAsked, 3);
}

TEST(PixelAccess, PlainAndTiledImages)
{
  HeaderPtr theImage = MakeImage(20, 20, IPL_DEPTH_8U, 3);
  TiledImage theTiled(theImage.get(), 8, 8);
  for (ImageHeader* theTarget : {theImage.get(), theTiled.Header()}) {
    PixelSet(theTarget, 9, 17, 2, 12.5f);
    EXPECT_EQ(PixelGet(theTarget, 9, 17, 2), 13.0f);
    PixelSet(theTarget, 9, 17, 1, 300.0f);
    EXPECT_EQ(PixelGet(theTarget, 9, 17, 1), 255.0f);
    PixelSet(theTarget, 9, 17, 0, -3.0f);
    EXPECT_EQ(PixelGet(theTarget, 9, 17, 0), 0.0f);
  }
  EXPECT_EQ(kerneltest::SampleAt(theImage.get(), 9, 17, 2), 13.0);
  EXPECT_EQ(theTiled.Held(), 0);
  theTiled.Refuse(0, 0);
  const std::size_t theCalls = theTiled.Calls().size();
  PixelSet(theTiled.Header(), 1, 1, 0, 77.0f);
  EXPECT_EQ(PixelGet(theTiled.Header(), 1, 1, 0), 0.0f);
  EXPECT_EQ(theTiled.Calls().size(), theCalls + 2);  // asked, never released
  EXPECT_TRUE(theTiled.Faults().empty());

  HeaderPtr theShorts = MakeImage(4, 4, IPL_DEPTH_16U, 2, 0, IPL_DATA_ORDER_PLANE);
  PixelSet(theShorts.get(), 3, 3, 1, 70000.0f);
  EXPECT_EQ(PixelGet(theShorts.get(), 3, 3, 1), 65535.0f);
  EXPECT_EQ(kerneltest::SampleAt(theShorts.get(), 3, 3, 1), 65535.0);
  HeaderPtr theFloats = MakeImage(4, 4, IPL_DEPTH_32F, 1);
  PixelSet(theFloats.get(), 2, 1, 0, -1.25f);
  EXPECT_EQ(PixelGet(theFloats.get(), 2, 1, 0), -1.25f);
  HeaderPtr theBits = MakeImage(8, 1, IPL_DEPTH_1U, 1);
  PixelSet(theBits.get(), 0, 0, 0, 1.0f);
  EXPECT_EQ(theBits->imageData[0], 0);
  EXPECT_EQ(PixelGet(theBits.get(), 0, 0, 0), 0.0f);
}

TEST(TileGrid, CellsOfTheImageOrOf128)
{
  HeaderPtr theImage = MakeImage(400, 300, IPL_DEPTH_8U, 1);
  RoiRecord theRoi{0, 130, 0, 200, 50};
  theImage->roi = &theRoi;
  TileGrid theGrid = TileGridGet(theImage.get(), 50, 200);
  EXPECT_EQ(theGrid.mInnerX, 2);
  EXPECT_EQ(theGrid.mInnerY, 0);
  EXPECT_EQ(theGrid.mFirstColumn, 1);
  EXPECT_EQ(theGrid.mFirstRow, 0);
  EXPECT_EQ(theGrid.mColumns, 2);
  EXPECT_EQ(theGrid.mRows, 1);
  EXPECT_EQ(theGrid.mTileWidth, 128);
  theRoi = {0, -5, 20, 10, 10};
  theGrid = TileGridGet(theImage.get(), 10, 10);
  EXPECT_EQ(theGrid.mInnerX, 0);
  EXPECT_EQ(theGrid.mInnerY, 20);
  theImage->roi = nullptr;

  TiledImage theTiled(theImage.get(), 16, 24);
  theGrid = TileGridGet(theTiled.Header(), 300, 400);
  EXPECT_EQ(theGrid.mTileWidth, 16);
  EXPECT_EQ(theGrid.mTileHeight, 24);
  EXPECT_EQ(theGrid.mColumns, 25);
  EXPECT_EQ(theGrid.mRows, 13);

  int theW = 0, theH = 0;
  TileGrid theRange;
  HeaderPtr theSmall = MakeImage(100, 500, IPL_DEPTH_8U, 1);
  ASSERT_TRUE(TileRangeGet(theSmall.get(), theTiled.Header(), theW, theH, theRange));
  EXPECT_EQ(theW, 100);
  EXPECT_EQ(theH, 300);
  EXPECT_EQ(theRange.mColumns, 7);
  EXPECT_FALSE(TileRangeGet(theSmall.get(), theImage.get(), theW, theH, theRange));
}

TEST(TileGrid, TileWidthStep)
{
  ReportRecorder theRecorder;
  HeaderPtr theImage = MakeImage(40, 30, IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 8);
  EXPECT_EQ(TileWidthStep(nullptr), 0);
  EXPECT_EQ(TileWidthStep(theImage.get()), 0);
  TiledImage theTiled(theImage.get(), 24, 8);
  EXPECT_EQ(TileWidthStep(theTiled.Header()), 144);
  theTiled.Header()->tileInfo->width = 12;
  EXPECT_EQ(TileWidthStep(theTiled.Header()), 0);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_BAD_TILE_SIZE);
  theTiled.Header()->tileInfo->width = 24;
}

TEST(RegionAccess, ChannelsRectanglesAndBits)
{
  HeaderPtr theImage = MakeImage(10, 8, IPL_DEPTH_8U, 4, 4);
  EXPECT_EQ(ProcessedChannelCount(theImage.get()), 3);
  RoiRecord theRoi{2, -3, 2, 20, 3};
  theImage->roi = &theRoi;
  EXPECT_EQ(ProcessedChannelCount(theImage.get()), 1);
  IplRect theRect;
  ASSERT_TRUE(RoiRect(theImage.get(), true, theRect));
  EXPECT_EQ(theRect.x1, 0);
  EXPECT_EQ(theRect.x2, 9);
  EXPECT_EQ(theRect.y1, 2);
  EXPECT_EQ(theRect.y2, 4);
  ASSERT_TRUE(RoiRect(theImage.get(), false, theRect));
  EXPECT_EQ(theRect.x1, -3);
  EXPECT_EQ(theRect.x2, 16);
  theRoi = {0, 10, 0, 5, 5};
  EXPECT_FALSE(RoiRect(theImage.get(), true, theRect));
  theImage->roi = nullptr;

  HeaderPtr theAlphaOnly = MakeImage(4, 4, IPL_DEPTH_8U, 1, 1);
  EXPECT_EQ(ProcessedChannelCount(theAlphaOnly.get()), -1);
  ChannelAccess theAccess;
  EXPECT_FALSE(GetChannelAccess(theAlphaOnly.get(), theAccess));

  HeaderPtr theBits = MakeImage(40, 4, IPL_DEPTH_1U, 1);
  RoiRecord theBitRoi{0, 13, 2, 5, 1};
  theBits->roi = &theBitRoi;
  BitAddress theAddress;
  ASSERT_TRUE(RoiBitAddress(theBits.get(), theAddress));
  EXPECT_EQ(theAddress.mByte, theBits->imageData + 2 * theBits->widthStep + 1);
  EXPECT_EQ(theAddress.mBit, 5);
  EXPECT_FALSE(RoiBitAddress(theImage.get(), theAddress));
  theBits->roi = nullptr;

  int theW = 0, theH = 0;
  HeaderPtr theOther = MakeImage(6, 20, IPL_DEPTH_8U, 1);
  ASSERT_TRUE(RoiSizeCommon2(theImage.get(), theOther.get(), theW, theH));
  EXPECT_EQ(theW, 6);
  EXPECT_EQ(theH, 8);
  ASSERT_TRUE(RoiSizeCommon3(theImage.get(), theOther.get(), theBits.get(), theW, theH));
  EXPECT_EQ(theH, 4);
  ASSERT_TRUE(RoiSizeCommon2(theImage.get(), nullptr, theW, theH));
  EXPECT_EQ(theW, 10);
}

}  // namespace
