// Colour tables by kind, the nearest-entry lookup, and colour reduction
// plain and dithered.

#include "core/ColorLookup.h"
#include "core/ColorReducer.h"
#include "core/Paleteer.h"
#include "tests/core/PixelTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <tuple>

using namespace pixeltest;

namespace {

Rgb At(const RGBQUAD* inTable, int inIndex)
{
  return Rgb{inTable[inIndex].rgbRed, inTable[inIndex].rgbGreen, inTable[inIndex].rgbBlue};
}

LONG Build(LONG inKind, LONG inCount, RGBQUAD* outTable, HBITMAP inSource = nullptr, const std::string& inPath = "")
{
  Paleteer thePaleteer;
  thePaleteer.SetKind(inKind);
  thePaleteer.SetColorCount(inCount);
  thePaleteer.SetSource(inSource);
  thePaleteer.SetPalettePath(inPath);
  return thePaleteer.BuildColorTable(outTable);
}

std::string WriteBytes(const std::string& inName, const std::string& inBytes)
{
  const std::string thePath = tltest::TestHome() + "/" + inName;
  std::ofstream(thePath, std::ios::binary) << inBytes;
  return thePath;
}

TEST(Paleteer, UniformCubes)
{
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kUniform, 2, theTable), 8);
  const Rgb kTwoLevels[8] = {kWhite, kYellow, {255, 0, 255}, kRed, {0, 255, 255}, kGreen, kBlue, kBlack};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(At(theTable, i), kTwoLevels[i]) << "entry " << i;
  EXPECT_EQ(At(theTable, 8), kBlack) << "the rest stays cleared";

  struct Case {
    LONG mCount, mEntries;
    std::vector<int> mLevels;
  } const kCases[] = {
    {-4, 8, {255, 0}},          {26, 8, {255, 0}},           {27, 27, {255, 127, 0}},
    {63, 27, {255, 127, 0}},    {64, 64, {255, 170, 85, 0}}, {215, 125, {255, 191, 127, 63, 0}},
    {216, 216, {255, 204, 153, 102, 51, 0}},                 {100000, 216, {255, 204, 153, 102, 51, 0}},
  };
  for (const Case& theCase : kCases) {
    ASSERT_EQ(Build(Paleteer::kUniform, theCase.mCount, theTable), theCase.mEntries) << theCase.mCount;
    const int theLevels = static_cast<int>(theCase.mLevels.size());
    for (int i = 0; i < theLevels; ++i)
      EXPECT_EQ(theTable[i].rgbBlue, theCase.mLevels[i]) << "count " << theCase.mCount << ", blue level " << i;
    EXPECT_EQ(At(theTable, theCase.mEntries - 1), kBlack);
  }
  EXPECT_EQ(Build(Paleteer::kWebSafe, 3, theTable), 216);
}

TEST(Paleteer, GreyRamps)
{
  RGBQUAD theTable[256];
  struct Case {
    LONG mKind, mCount, mEntries;
    std::vector<int> mGreys;
  } const kCases[] = {
    {Paleteer::kGrayscale, 3, 3, {0, 127, 255}},
    {Paleteer::kGrayscale, 1, 2, {0, 255}},
    {Paleteer::kGrayscale, -7, 2, {0, 255}},
    {Paleteer::kGrayscale, 5, 5, {0, 63, 127, 191, 255}},
    {Paleteer::kBlackAndWhite, 200, 2, {0, 255}},
  };
  for (const Case& theCase : kCases) {
    ASSERT_EQ(Build(theCase.mKind, theCase.mCount, theTable), theCase.mEntries) << theCase.mCount;
    for (int i = 0; i < theCase.mEntries; ++i)
      EXPECT_EQ(At(theTable, i), (Rgb{static_cast<std::uint8_t>(theCase.mGreys[i]), static_cast<std::uint8_t>(theCase.mGreys[i]),
                                      static_cast<std::uint8_t>(theCase.mGreys[i])}))
        << "kind " << theCase.mKind << ", count " << theCase.mCount << ", entry " << i;
  }
  for (LONG theCount : {256, 257, 100000}) {
    ASSERT_EQ(Build(Paleteer::kGrayscale, theCount, theTable), 256) << theCount;
    EXPECT_EQ(At(theTable, 255), kWhite);
    EXPECT_EQ(At(theTable, 128), (Rgb{128, 128, 128}));
  }
}

TEST(Paleteer, MacintoshAndWindows)
{
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kMacintosh, 2, theTable), 256);
  EXPECT_EQ(At(theTable, 0), kWhite);
  EXPECT_EQ(At(theTable, 214), (Rgb{0, 0, 51}));
  EXPECT_EQ(At(theTable, 215), (Rgb{238, 0, 0}));
  EXPECT_EQ(At(theTable, 224), (Rgb{17, 0, 0}));
  EXPECT_EQ(At(theTable, 225), (Rgb{0, 238, 0}));
  EXPECT_EQ(At(theTable, 235), (Rgb{0, 0, 238}));
  EXPECT_EQ(At(theTable, 245), (Rgb{238, 238, 238}));
  EXPECT_EQ(At(theTable, 254), (Rgb{17, 17, 17}));
  EXPECT_EQ(At(theTable, 255), kBlack);

  ASSERT_EQ(Build(Paleteer::kWindows, 2, theTable), 256);
  HPALETTE theHalftone = CreateHalftonePalette(nullptr);
  PALETTEENTRY theEntries[256];
  ASSERT_EQ(GetPaletteEntries(theHalftone, 0, 256, theEntries), 256u);
  DeleteObject(theHalftone);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(At(theTable, i), (Rgb{theEntries[i].peRed, theEntries[i].peGreen, theEntries[i].peBlue})) << i;
}

TEST(Paleteer, PaletteFiles)
{
  RGBQUAD theTable[256];
  const std::string theTen = WriteBytes("ten.pal", std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 10));
  ASSERT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, theTen), 3);
  EXPECT_EQ(At(theTable, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(At(theTable, 2), (Rgb{7, 8, 9}));
  EXPECT_EQ(At(theTable, 3), kBlack) << "the tenth byte is ignored";

  std::string theMany;
  for (int i = 0; i < 1000; ++i)
    theMany.push_back(static_cast<char>(i));
  ASSERT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, WriteBytes("many.pal", theMany)), 256);
  EXPECT_EQ(At(theTable, 255), (Rgb{253, 254, 255}));
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, WriteBytes("empty.pal", "")), 0);
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, tltest::TestHome() + "/missing.pal"), 0);
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable), 0) << "no path";
  EXPECT_EQ(Build(8, 0, theTable), 0) << "no such kind";
  EXPECT_TRUE(AssertionLogged("Paleteer", "FALSE"));
}

TEST(Paleteer, IndexedDIBCarriesTheTable)
{
  TestDib theSource(7, 5);
  Paleteer thePaleteer;
  thePaleteer.SetKind(Paleteer::kUniform);
  thePaleteer.SetColorCount(27);
  thePaleteer.SetSource(theSource.Bitmap());
  RGBQUAD theTable[256];
  ASSERT_EQ(thePaleteer.CreateIndexedDIB(theTable), 27);
  EXPECT_EQ(At(theTable, 13), (Rgb{127, 127, 127}));
  DIBSECTION theDIB{};
  ASSERT_EQ(GetObjectA(thePaleteer.GetHBITMAP(), sizeof theDIB, &theDIB), static_cast<int>(sizeof theDIB));
  EXPECT_EQ(theDIB.dsBm.bmWidth, 7);
  EXPECT_EQ(theDIB.dsBm.bmHeight, 5);
  EXPECT_EQ(theDIB.dsBm.bmBitsPixel, 8);
  EXPECT_LT(theDIB.dsBmih.biHeight, 0) << "top row first, as the canvases";
  EXPECT_EQ(theDIB.dsBmih.biClrUsed, 27u);
  EXPECT_NE(thePaleteer.GetHDC(), nullptr);

  Paleteer theWithoutSource;
  EXPECT_EQ(theWithoutSource.CreateIndexedDIB(theTable), 0);
  EXPECT_TRUE(AssertionLogged("Paleteer", "mSrc"));

  HPALETTE thePalette = CreatePaletteFromTable(theTable, 27);
  ASSERT_NE(thePalette, nullptr);
  EXPECT_EQ(GetPaletteEntries(thePalette, 0, 0, nullptr), 27u);
  DeleteObject(thePalette);
  EXPECT_EQ(CreatePaletteFromTable(theTable, 257), nullptr);
}

TEST(ColorLookup, NearestEntries)
{
  RGBQUAD theTable[8] = {};
  theTable[3] = RGBQUAD{0, 0, 100, 0};  // red 100
  theTable[7] = RGBQUAD{0, 0, 120, 0};  // red 120
  for (int i : {0, 1, 2, 4, 5, 6})
    theTable[i] = RGBQUAD{255, 255, 255, 0};
  ColorLookup theLookup;
  EXPECT_FALSE(theLookup.Init(theTable, 8, Paleteer::kAdaptive, false));
  EXPECT_EQ(theLookup.FindNearest(110, 0, 0), 3) << "a tie goes to the lower index";
  EXPECT_EQ(theLookup.FindNearest(111, 0, 0), 7);
  EXPECT_EQ(theLookup.FindNearest(250, 250, 250), 0);
  theTable[7] = theTable[3];
  EXPECT_EQ(theLookup.FindNearest(100, 0, 0), 3) << "equal entries: the lower index";
  EXPECT_EQ(theLookup.FindNearestGrey(100, 0, 0), 3) << "equal entries: the lower index";

  RGBQUAD theGreys[3] = {{0, 0, 0, 0}, {127, 127, 127, 0}, {255, 255, 255, 0}};
  ASSERT_TRUE(theLookup.Init(theGreys, 3, Paleteer::kGrayscale, true));
  EXPECT_EQ(theLookup.FindNearestGrey(100, 0, 0), 0) << "dark red: 30";
  EXPECT_EQ(theLookup.FindNearestGrey(255, 0, 0), 1) << "red: 76";
  EXPECT_EQ(theLookup.FindNearestGrey(0, 255, 0), 1) << "green: 150";
  EXPECT_EQ(theLookup.Map(200, 200, 200), 2);

  ColorLookup theEmpty;
  EXPECT_TRUE(theEmpty.Init(theTable, 0, Paleteer::kAdaptive, true));
  EXPECT_EQ(theEmpty.FindNearest(1, 2, 3), 0);
  RGBQUAD theTooMany[300] = {};
  EXPECT_FALSE(theEmpty.Init(theTooMany, 300, Paleteer::kAdaptive, true));
  EXPECT_TRUE(AssertionLogged("ColorLookup", "inNum <= 256"));
}

TEST(Paleteer, AdaptiveFindsTheFewColoursOfAPicture)
{
  const std::uint32_t kColors[5] = {0xF80000, 0x00F800, 0x0000F8, 0x808000, 0x101010};
  TestDib theDib(25, 4);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 25; ++x)
      theDib.Put(x, y, kColors[(x + y) % 5]);
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kAdaptive, 256, theTable, theDib.Bitmap()), 5);
  std::set<std::uint32_t> theFound;
  for (int i = 0; i < 5; ++i)
    theFound.insert(static_cast<std::uint32_t>(theTable[i].rgbRed) << 16 | theTable[i].rgbGreen << 8 | theTable[i].rgbBlue);
  EXPECT_EQ(theFound, std::set<std::uint32_t>(std::begin(kColors), std::end(kColors)));
}

TEST(Paleteer, AdaptiveKeepsToTheCount)
{
  TestDib theDib(96, 80);
  PaintPhoto(theDib);
  RGBQUAD theTable[256];
  struct Case {
    LONG mAsked, mMost;
  } const kCases[] = {{256, 256}, {100, 100}, {16, 16}, {2, 2}, {1, 2}, {0, 2}, {300, 256}};
  for (const Case& theCase : kCases) {
    const LONG theCount = Build(Paleteer::kAdaptive, theCase.mAsked, theTable, theDib.Bitmap());
    EXPECT_GE(theCount, 2) << "asked " << theCase.mAsked;
    EXPECT_LE(theCount, theCase.mMost) << "asked " << theCase.mAsked;
  }
  EXPECT_TRUE(AssertionLogged("Paleteer", "(inBM) && (inNumCols > 1) && (inNumCols <= 256)"));
  EXPECT_EQ(Build(Paleteer::kAdaptive, 16, theTable), 0) << "no source";
}

// --- Reduction ---------------------------------------------------------------

// An 8-bit top-down DIB section of a size.
class IndexedDib {
public:
  IndexedDib(LONG inWidth, LONG inHeight)
  {
    auto theInfo = std::make_unique<IndexedBitmapInfo>();
    theInfo->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    theInfo->bmiHeader.biWidth = inWidth;
    theInfo->bmiHeader.biHeight = -inHeight;
    theInfo->bmiHeader.biPlanes = 1;
    theInfo->bmiHeader.biBitCount = 8;
    void* theBits = nullptr;
    mBitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(theInfo.get()), DIB_RGB_COLORS, &theBits, nullptr, 0);
    GetObjectA(mBitmap, sizeof mSection, &mSection);
  }
  ~IndexedDib() { DeleteObject(mBitmap); }
  const DIBSECTION& Section() const { return mSection; }
  BYTE Index(LONG inX, LONG inY) const
  {
    return static_cast<const BYTE*>(mSection.dsBm.bmBits)[inY * mSection.dsBm.bmWidthBytes + inX];
  }

private:
  HBITMAP mBitmap = nullptr;
  DIBSECTION mSection{};
};

struct Errors {
  double mMean = 0;     // mean absolute error per channel
  double mBlurred = 0;  // the same after a 4 x 4 box average of both pictures
};

Errors MeasureErrors(const TestDib& inSource, const IndexedDib& inReduced, const RGBQUAD* inTable)
{
  const LONG theWidth = inSource.Width(), theHeight = inSource.Height();
  auto Source = [&](LONG x, LONG y, int c) { return static_cast<double>((inSource.Get(x, y) >> (16 - 8 * c)) & 0xFF); };
  auto Reduced = [&](LONG x, LONG y, int c) {
    const RGBQUAD& theEntry = inTable[inReduced.Index(x, y)];
    return static_cast<double>(c == 0 ? theEntry.rgbRed : c == 1 ? theEntry.rgbGreen : theEntry.rgbBlue);
  };
  Errors theErrors;
  double theBlocks = 0;
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x)
      for (int c = 0; c < 3; ++c)
        theErrors.mMean += std::fabs(Source(x, y, c) - Reduced(x, y, c));
  theErrors.mMean /= 3.0 * theWidth * theHeight;
  for (LONG y = 0; y + 4 <= theHeight; y += 4)
    for (LONG x = 0; x + 4 <= theWidth; x += 4, ++theBlocks)
      for (int c = 0; c < 3; ++c) {
        double theDifference = 0;
        for (LONG dy = 0; dy < 4; ++dy)
          for (LONG dx = 0; dx < 4; ++dx)
            theDifference += Source(x + dx, y + dy, c) - Reduced(x + dx, y + dy, c);
        theErrors.mBlurred += std::fabs(theDifference / 16);
      }
  theErrors.mBlurred /= 3.0 * theBlocks;
  return theErrors;
}

// An adaptive palette of a photo-like picture, and the picture reduced to it
// plainly and with Floyd-Steinberg dithering. The bounds: a plain mapping
// stays within 10 levels per channel on average, a dithered one within 13
// per pixel, and once both are averaged over 4 x 4 blocks the dithered
// picture is the closer one and within 3.5 levels. (Measured: 9.0 and 11.5
// per pixel, 5.9 and 2.7 over blocks.)
TEST(ColorReducer, ReducesAPhotoToItsAdaptivePalette)
{
  TestDib theSource(160, 120);
  PaintPhoto(theSource);
  RGBQUAD theTable[256];
  const LONG theCount = Build(Paleteer::kAdaptive, 64, theTable, theSource.Bitmap());
  ASSERT_GE(theCount, 32);
  ASSERT_LE(theCount, 64);
  const DIBSECTION theSection = theSource.Section();

  IndexedDib thePlain(160, 120), theDithered(160, 120);
  ColorReducer theReducer;
  ASSERT_TRUE(theReducer.Reduce(&theSection, &thePlain.Section(), theTable, theCount, false));
  ASSERT_TRUE(theReducer.Reduce(&theSection, &theDithered.Section(), theTable, theCount, true));
  const Errors thePlainErrors = MeasureErrors(theSource, thePlain, theTable);
  const Errors theDitheredErrors = MeasureErrors(theSource, theDithered, theTable);
  EXPECT_LT(thePlainErrors.mMean, 10.0);
  EXPECT_LT(theDitheredErrors.mMean, 13.0);
  EXPECT_LT(theDitheredErrors.mBlurred, 3.5);
  EXPECT_LT(theDitheredErrors.mBlurred, thePlainErrors.mBlurred);
  for (LONG y = 0; y < 120; ++y)
    for (LONG x = 0; x < 160; ++x)
      ASSERT_LT(theDithered.Index(x, y), theCount) << "(" << x << ", " << y << ")";
}

// Without dithering every pixel of one cache cell (4 bits of red, 5 of
// green, 4 of blue) takes the same entry.
TEST(ColorReducer, PlainMappingIsOneEntryPerCacheCell)
{
  TestDib theSource(16, 16);
  for (LONG y = 0; y < 16; ++y)
    for (LONG x = 0; x < 16; ++x)
      theSource.Put(x, y, 0x400000u | static_cast<std::uint32_t>(x) << 16 | 0x8000u | (y & 7) << 8 | 0x20u | (y >> 3));
  RGBQUAD theTable[256];
  const LONG theCount = Build(Paleteer::kUniform, 216, theTable);
  IndexedDib theReduced(16, 16);
  const DIBSECTION theSection = theSource.Section();
  ColorReducer theReducer;
  ASSERT_TRUE(theReducer.Reduce(&theSection, &theReduced.Section(), theTable, theCount, false));
  for (LONG y = 0; y < 16; ++y)
    for (LONG x = 0; x < 16; ++x)
      ASSERT_EQ(theReduced.Index(x, y), theReduced.Index(0, 0)) << "(" << x << ", " << y << ")";
}

// Error diffusion keeps the mean: a flat grey field dithered to black and
// white keeps its level over the whole picture, and roughly in its first and
// last columns, where the rows start and end. (Clearing the buffered error at
// each row's first pixel makes the edge columns of a 25% grey average 28 and
// 10.)
TEST(ColorReducer, DitheringKeepsTheMeanOfAFlatField)
{
  for (int theGrey : {64, 128, 200}) {
    TestDib theSource(61, 200);
    for (LONG y = 0; y < 200; ++y)
      for (LONG x = 0; x < 61; ++x)
        theSource.Put(x, y, static_cast<std::uint32_t>(theGrey) * 0x010101u);
    RGBQUAD theTable[256];
    for (LONG theKind : {Paleteer::kBlackAndWhite, Paleteer::kUniform}) {
      const LONG theCount = Build(theKind, 2, theTable);
      IndexedDib theReduced(61, 200);
      const DIBSECTION theSection = theSource.Section();
      ColorReducer theReducer;
      theReducer.SetPaletteKind(theKind);
      ASSERT_TRUE(theReducer.Reduce(&theSection, &theReduced.Section(), theTable, theCount, true));
      auto Mean = [&](LONG inFirst, LONG inLast) {
        double theSum = 0;
        for (LONG y = 0; y < 200; ++y)
          for (LONG x = inFirst; x <= inLast; ++x)
            theSum += theTable[theReduced.Index(x, y)].rgbGreen;
        return theSum / (200.0 * (inLast - inFirst + 1));
      };
      const std::string theCase = "grey " + std::to_string(theGrey) + ", kind " + std::to_string(theKind);
      EXPECT_NEAR(Mean(0, 60), theGrey, 2.5) << theCase;
      EXPECT_NEAR(Mean(0, 0), theGrey, 30.0) << theCase << ", first column";
      EXPECT_NEAR(Mean(60, 60), theGrey, 30.0) << theCase << ", last column";
    }
  }
}

TEST(ColorReducer, RefusesWhatItCannotMap)
{
  TestDib theSource(8, 4), theOther(9, 4);
  IndexedDib theReduced(8, 4), theWrongSize(8, 5);
  RGBQUAD theTable[256];
  const LONG theCount = Build(Paleteer::kUniform, 8, theTable);
  const DIBSECTION theSection = theSource.Section();
  const DIBSECTION theOtherSection = theOther.Section();
  ColorReducer theReducer;
  struct Case {
    const char* mName;
    const DIBSECTION* mSrc;
    const DIBSECTION* mDst;
    const RGBQUAD* mTable;
    LONG mCount;
  } const kCases[] = {
    {"no source", nullptr, &theReduced.Section(), theTable, theCount},
    {"no destination", &theSection, nullptr, theTable, theCount},
    {"other height", &theSection, &theWrongSize.Section(), theTable, theCount},
    {"other width", &theOtherSection, &theReduced.Section(), theTable, theCount},
    {"8 bits into 8 bits", &theReduced.Section(), &theReduced.Section(), theTable, theCount},
    {"32 bits into 32 bits", &theSection, &theSection, theTable, theCount},
    {"no table", &theSection, &theReduced.Section(), nullptr, theCount},
    {"an empty table", &theSection, &theReduced.Section(), theTable, 0},
    {"a table of 257 entries", &theSection, &theReduced.Section(), theTable, 257},
  };
  for (const Case& theCase : kCases)
    EXPECT_FALSE(theReducer.Reduce(theCase.mSrc, theCase.mDst, theCase.mTable, theCase.mCount, true)) << theCase.mName;
  EXPECT_TRUE(AssertionLogged("ColorReducer", "inSrc->dsBm.bmBitsPixel == 32"));
  EXPECT_TRUE(theReducer.Reduce(&theSection, &theReduced.Section(), theTable, theCount, true));
}

}  // namespace
