#include "kernels/BorderFetch.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

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

TEST(BorderFetch, LeftSideModesOnARowOfColumns)
{
  HeaderPtr theImage = Gray8(10, 3, [](int x, int) { return x; });
  TiledImage theTiled(theImage.get(), 8, 8);
  const struct {
    int mMode;
    int mConstant;
    std::vector<int> mValues;
  } kCases[] = {
    {IPL_BORDER_REFLECT, 0, {2, 1, 0, 0, 1}},
    {IPL_BORDER_WRAP, 0, {7, 8, 9, 0, 1}},
    {IPL_BORDER_REPLICATE, 0, {0, 0, 0, 0, 1}},
    {IPL_BORDER_CONSTANT, 200, {200, 200, 200, 0, 1}},
  };
  for (const auto& theCase : kCases) {
    for (ImageHeader* theSource : {theImage.get(), theTiled.Header()}) {
      iplBorderModeSet(theSource, theCase.mMode, IPL_SIDE_LEFT, theCase.mConstant);
      Fetched theFetch;
      theFetch.mData = RectFetchWithBorder(theSource, -3, 1, 5, 1, &theFetch.mRowStep);
      ASSERT_NE(theFetch.mData, nullptr);
      EXPECT_EQ(std::vector<int>(theFetch.mData, theFetch.mData + 5), theCase.mValues)
        << "mode " << theCase.mMode << (theSource->tileInfo ? " tiled" : " plain");
    }
  }
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());
}

TEST(BorderFetch, InvalidRequestsGiveNull)
{
  HeaderPtr theImage = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  std::int64_t theStep = 0;
  EXPECT_EQ(RectFetchWithBorder(nullptr, 0, 0, 1, 1, &theStep), nullptr);
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 0, 3, &theStep), nullptr);
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 3, -1, &theStep), nullptr);
  for (void (*theDamage)(ImageHeader&) : {+[](ImageHeader& h) { h.depth = 12; }, +[](ImageHeader& h) { h.align = 2; },
                                          +[](ImageHeader& h) { h.dataOrder = 3; }}) {
    ImageHeader theBad = *theImage;
    theDamage(theBad);
    EXPECT_EQ(RectFetchWithBorder(&theBad, 0, 0, 1, 1, &theStep), nullptr);
  }
  // Too large for the allocator: null, with the memory status stored.
  ReportRecorder theRecorder;
  EXPECT_EQ(RectFetchWithBorder(theImage.get(), 0, 0, 1 << 16, 1 << 16, &theStep), nullptr);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NO_MEMORY);
}

// The source coordinate a border fetch must read, from the border rules.
int ReferenceCoordinate(long inV, int inSize, int inMode)
{
  if (inMode == IPL_BORDER_REPLICATE)
    return inV < 0 ? 0 : (inV >= inSize ? inSize - 1 : static_cast<int>(inV));
  const long thePeriod = inMode == IPL_BORDER_REFLECT ? 2L * inSize : inSize;
  const long theP = ((inV % thePeriod) + thePeriod) % thePeriod;
  return theP < inSize ? static_cast<int>(theP) : static_cast<int>(2L * inSize - 1 - theP);
}

// Random rectangles, border modes and constants, on plain and tiled images of
// every depth and both orders, against the rules above (reflection and wrap
// over several periods, constants of every depth, rows wholly outside).
TEST(BorderFetch, MatchesTheBorderRules)
{
  const struct {
    int mDepth, mChannels, mOrder, mAlign;
  } kLayouts[] = {
    {IPL_DEPTH_8U, 1, IPL_DATA_ORDER_PIXEL, 4},   {IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 8},
    {IPL_DEPTH_16U, 2, IPL_DATA_ORDER_PLANE, 4},  {IPL_DEPTH_32F, 1, IPL_DATA_ORDER_PIXEL, 16},
    {IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 4},
  };
  for (unsigned theSeed = 1; theSeed <= 150; ++theSeed) {
    std::mt19937 theRandom(theSeed);
    auto Uniform = [&theRandom](int inLow, int inHigh) {
      return std::uniform_int_distribution<int>(inLow, inHigh)(theRandom);
    };
    const auto& theLayout = kLayouts[theSeed % std::size(kLayouts)];
    const int theW = Uniform(1, 20);
    const int theH = Uniform(1, 20);
    HeaderPtr theImage = MakeImage(theW, theH, theLayout.mDepth, theLayout.mChannels, 0, theLayout.mOrder,
                                   theLayout.mAlign);
    ASSERT_NE(theImage, nullptr);
    for (int y = 0; y < theH; ++y)
      for (int x = 0; x < theW; ++x)
        for (int c = 0; c < theLayout.mChannels; ++c)
          kerneltest::SetSampleAt(theImage.get(), x, y, c, Uniform(1, 250) % (theLayout.mDepth == 1 ? 2 : 256));
    for (int theSide = 0; theSide < 4; ++theSide)
      iplBorderModeSet(theImage.get(), Uniform(0, 3), 1 << theSide, Uniform(0, 255));
    TiledImage theTiled(theImage.get(), 8 * Uniform(1, 2), 8 * Uniform(1, 2));
    std::copy(theImage->borderMode, theImage->borderMode + 4, theTiled.Header()->borderMode);
    std::copy(theImage->borderConst, theImage->borderConst + 4, theTiled.Header()->borderConst);
    const int theX = Uniform(-50, theW + 10);
    const int theY = Uniform(-50, theH + 10);
    const int theFetchW = Uniform(1, 60);
    const int theFetchH = Uniform(1, 60);
    for (ImageHeader* theSource : {theImage.get(), theTiled.Header()}) {
      std::ostringstream theCase;
      theCase << "seed " << theSeed << (theSource->tileInfo ? " tiled" : " plain");
      Fetched theFetch;
      theFetch.mData = RectFetchWithBorder(theSource, theX, theY, theFetchW, theFetchH, &theFetch.mRowStep);
      ASSERT_NE(theFetch.mData, nullptr) << theCase.str();
      // The buffer has the image's layout, fetch-sized.
      ImageHeader theBuffer = *theImage;
      theBuffer.imageData = theFetch.mData;
      theBuffer.widthStep = static_cast<int>(theFetch.mRowStep);
      theBuffer.height = theFetchH;
      for (int by = 0; by < theFetchH; ++by) {
        for (int bx = 0; bx < theFetchW; ++bx) {
          const long theVX = static_cast<long>(theX) + bx;
          const long theVY = static_cast<long>(theY) + by;
          const int theSide = theVY < 0 ? 0 : theVY >= theH ? 1 : theVX < 0 ? 2 : theVX >= theW ? 3 : -1;
          const int theMode = theSide < 0 ? -1 : theImage->borderMode[theSide];
          int theSX = static_cast<int>(theVX);
          int theSY = static_cast<int>(theVY);
          if (theSide >= 0 && theMode != IPL_BORDER_CONSTANT) {
            theSX = ReferenceCoordinate(theVX, theW, theMode);
            theSY = ReferenceCoordinate(theVY, theH, theMode);
          }
          for (int c = 0; c < theLayout.mChannels; ++c) {
            const double theExpected =
              theMode == IPL_BORDER_CONSTANT
                ? theImage->borderConst[theSide] & (theLayout.mDepth == IPL_DEPTH_1U ? 1 : ~0)
                : kerneltest::SampleAt(theImage.get(), theSX, theSY, c);
            ASSERT_EQ(kerneltest::SampleAt(&theBuffer, bx, by, c), theExpected)
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
  std::ostringstream theExpected, theCalls;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c)
      theExpected << c << "," << r << "," << IPL_GET_TILE_TO_READ << " ";
    for (int c = 2; c >= 0; --c)
      theExpected << c << "," << r << "," << IPL_RELEASE_TILE << " ";
  }
  for (const TiledImage::Call& theCall : theTiled.Calls())
    theCalls << theCall.mColumn << "," << theCall.mRow << "," << theCall.mMode << " ";
  EXPECT_EQ(theCalls.str(), theExpected.str());
  EXPECT_EQ(theTiled.MaxHeld(), 3);
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());

  // Backwards over tiles: a mirrored copy.
  std::vector<std::uint8_t> theMirror(33 * 18, 0);
  ASSERT_EQ(RectRead(theTiled.Header(), 37, 20, 5, 3, theMirror.data(), 0, 0, 33, 0, 1, 1), 0);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 33; ++x)
      ASSERT_EQ(theMirror[y * 33 + x], theBuffer[(17 - y) * 33 + (32 - x)]) << x << "," << y;
  EXPECT_EQ(theTiled.Held(), 0);
}

// A missing tile stores a status (where a bare -1 would store none), and the
// tiles already obtained in its row are released.
TEST(RectRead, AMissingTileIsSeenAndItsRowHandedBack)
{
  HeaderPtr theImage = Gray8(40, 30, [](int x, int) { return x; });
  TiledImage theTiled(theImage.get(), 16, 8);
  theTiled.Refuse(1, 1);
  ReportRecorder theRecorder;
  std::int64_t theStep = 0;
  EXPECT_EQ(RectFetchWithBorder(theTiled.Header(), 0, 0, 40, 30, &theStep), nullptr);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_ERROR);
  EXPECT_EQ(theTiled.Held(), 0);
  EXPECT_TRUE(theTiled.Faults().empty());
}

// Pixel access converts with clamping, on plain and tiled images alike.
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
  theTiled.Refuse(0, 0);
  PixelSet(theTiled.Header(), 1, 1, 0, 77.0f);
  EXPECT_EQ(PixelGet(theTiled.Header(), 1, 1, 0), 0.0f);
  EXPECT_TRUE(theTiled.Faults().empty());

  HeaderPtr theShorts = MakeImage(4, 4, IPL_DEPTH_16U, 2, 0, IPL_DATA_ORDER_PLANE);
  PixelSet(theShorts.get(), 3, 3, 1, 70000.0f);
  EXPECT_EQ(kerneltest::SampleAt(theShorts.get(), 3, 3, 1), 65535.0);
}

}  // namespace
