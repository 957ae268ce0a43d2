// Colour tables by kind, the nearest-entry lookup, and colour reduction
// plain and dithered.

#include "core/ColorLookup.h"
#include "core/ColorReducer.h"
#include "core/Paleteer.h"
#include "tests/core/PixelTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>

using namespace pixeltest;

namespace {

LONG Build(LONG inKind, LONG inCount, RGBQUAD* outTable, HBITMAP inSource = nullptr, const std::string& inPath = "")
{
  Paleteer thePaleteer;
  thePaleteer.SetKind(inKind);
  thePaleteer.SetColorCount(inCount);
  thePaleteer.SetSource(inSource);
  thePaleteer.SetPalettePath(inPath);
  return thePaleteer.BuildColorTable(outTable);
}

// Blue levels from the first entry on (the cubes), or the greys of the ramps.
TEST(Paleteer, CubesAndRampsByCount)
{
  struct Case {
    LONG mKind, mCount, mEntries;
    std::vector<int> mLevels;
  } const kCases[] = {
    {Paleteer::kUniform, -4, 8, {255, 0}}, {Paleteer::kUniform, 27, 27, {255, 127, 0}},
    {Paleteer::kUniform, 63, 27, {255, 127, 0}}, {Paleteer::kUniform, 64, 64, {255, 170, 85, 0}},
    {Paleteer::kUniform, 215, 125, {255, 191, 127, 63, 0}},
    {Paleteer::kUniform, 100000, 216, {255, 204, 153, 102, 51, 0}},
    {Paleteer::kWebSafe, 3, 216, {255, 204, 153, 102, 51, 0}}, {Paleteer::kGrayscale, 3, 3, {0, 127, 255}},
    {Paleteer::kGrayscale, -7, 2, {0, 255}}, {Paleteer::kGrayscale, 5, 5, {0, 63, 127, 191, 255}},
    {Paleteer::kGrayscale, 100000, 256, {0, 1, 2}}, {Paleteer::kBlackAndWhite, 200, 2, {0, 255}},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(testing::Message() << "kind " << theCase.mKind << ", count " << theCase.mCount);
    RGBQUAD theTable[256];
    ASSERT_EQ(Build(theCase.mKind, theCase.mCount, theTable), theCase.mEntries);
    const bool theGrey = theCase.mKind == Paleteer::kGrayscale || theCase.mKind == Paleteer::kBlackAndWhite;
    for (std::size_t i = 0; i < theCase.mLevels.size(); ++i) {
      const BYTE theLevel = static_cast<BYTE>(theCase.mLevels[i]);
      const Rgb theWanted{theGrey ? theLevel : BYTE(0), theGrey ? theLevel : BYTE(0), theLevel};
      const Rgb theSeen = theGrey ? ToRgb(theTable[i]) : Rgb{0, 0, theTable[i].rgbBlue};
      EXPECT_EQ(theSeen, theWanted) << "entry " << i;
    }
    if (!theGrey) {
      EXPECT_EQ(ToRgb(theTable[theCase.mEntries - 1]), kBlack) << "the cube ends in black";
    }
  }
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kUniform, 2, theTable), 8);
  const Rgb kTwoLevels[9] = {kWhite, kYellow, {255, 0, 255}, kRed, {0, 255, 255}, kGreen, kBlue, kBlack, kBlack};
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(ToRgb(theTable[i]), kTwoLevels[i]) << "entry " << i << " (the ninth stays cleared)";
}

TEST(Paleteer, MacintoshWindowsAndFiles)
{
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kMacintosh, 2, theTable), 256);
  const std::pair<int, Rgb> kMacintosh[] = {{0, kWhite},          {214, {0, 0, 51}},     {215, {238, 0, 0}},
                                            {224, {17, 0, 0}},    {235, {0, 0, 238}},    {245, {238, 238, 238}},
                                            {254, {17, 17, 17}},  {255, kBlack}};
  for (const auto& [theIndex, theColor] : kMacintosh)
    EXPECT_EQ(ToRgb(theTable[theIndex]), theColor) << "Macintosh entry " << theIndex;

  ASSERT_EQ(Build(Paleteer::kWindows, 2, theTable), 256);
  HPALETTE theHalftone = CreateHalftonePalette(nullptr);
  PALETTEENTRY theEntries[256];
  ASSERT_EQ(GetPaletteEntries(theHalftone, 0, 256, theEntries), 256u);
  DeleteObject(theHalftone);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(ToRgb(theTable[i]), (Rgb{theEntries[i].peRed, theEntries[i].peGreen, theEntries[i].peBlue})) << i;

  auto theFile = [](const std::string& inName, const std::string& inBytes) {
    const std::string thePath = tltest::TestHome() + "/" + inName;
    std::ofstream(thePath, std::ios::binary) << inBytes;
    return thePath;
  };
  ASSERT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, theFile("ten.pal", "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A")), 3);
  EXPECT_EQ(ToRgb(theTable[2]), (Rgb{7, 8, 9}));
  EXPECT_EQ(ToRgb(theTable[3]), kBlack) << "the tenth byte is ignored";
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, theFile("many.pal", std::string(1000, 'x'))), 256);
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, theFile("empty.pal", "")), 0);
  EXPECT_EQ(Build(Paleteer::kPaletteFile, 0, theTable, nullptr, tltest::TestHome() + "/missing.pal"), 0);
  EXPECT_EQ(Build(8, 0, theTable), 0) << "no such kind";
}

TEST(Paleteer, DumpsATableAsHexTriples)
{
  const RGBQUAD kTable[] = {{0x30, 0x20, 0x10, 0}, {0xFF, 0x0A, 0xC5, 7}};  // blue, green, red, reserved
  testing::internal::CaptureStderr();
  DumpPalette(kTable, 2);
  DumpPalette(kTable, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Palette Dump [2 RGB Hex]\n10 20 30\nc5 0a ff\nPalette Dump [0 RGB Hex]\n");
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
  DIBSECTION theDIB{};
  ASSERT_EQ(GetObjectA(thePaleteer.GetHBITMAP(), sizeof theDIB, &theDIB), static_cast<int>(sizeof theDIB));
  EXPECT_EQ(theDIB.dsBm.bmWidth, 7);
  EXPECT_EQ(theDIB.dsBm.bmBitsPixel, 8);
  EXPECT_LT(theDIB.dsBmih.biHeight, 0) << "top row first, as the canvases";
  EXPECT_EQ(theDIB.dsBmih.biClrUsed, 27u);

  EXPECT_EQ(Paleteer().CreateIndexedDIB(theTable), 0) << "no source";
  EXPECT_EQ(CreatePaletteFromTable(theTable, 257), nullptr);
}

TEST(ColorLookup, TiesGoToTheLowerIndex)
{
  RGBQUAD theTable[8] = {};
  for (RGBQUAD& theEntry : theTable)
    theEntry = RGBQUAD{255, 255, 255, 0};
  theTable[3] = RGBQUAD{0, 0, 100, 0};  // red 100
  theTable[7] = RGBQUAD{0, 0, 120, 0};  // red 120
  ColorLookup theLookup;
  EXPECT_FALSE(theLookup.Init(theTable, 8, Paleteer::kAdaptive, false));
  EXPECT_EQ(theLookup.FindNearest(110, 0, 0), 3) << "a tie";
  EXPECT_EQ(theLookup.FindNearest(111, 0, 0), 7);
  theTable[7] = theTable[3];
  EXPECT_EQ(theLookup.FindNearestGrey(100, 0, 0), 3) << "equal entries";

  RGBQUAD theGreys[3] = {{0, 0, 0, 0}, {127, 127, 127, 0}, {255, 255, 255, 0}};
  ASSERT_TRUE(theLookup.Init(theGreys, 3, Paleteer::kGrayscale, true));
  EXPECT_EQ(theLookup.FindNearestGrey(255, 0, 0), 1) << "red: luminance 76";
  EXPECT_EQ(theLookup.Map(200, 200, 200), 2);
  RGBQUAD theTooMany[300] = {};
  EXPECT_FALSE(theLookup.Init(theTooMany, 300, Paleteer::kAdaptive, true));
}

TEST(Paleteer, AdaptiveKeepsToTheCount)
{
  const std::uint32_t kColors[5] = {0xF80000, 0x00F800, 0x0000F8, 0x808000, 0x101010};
  TestDib theFew(25, 4);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 25; ++x)
      theFew.Put(x, y, kColors[(x + y) % 5]);
  RGBQUAD theTable[256];
  ASSERT_EQ(Build(Paleteer::kAdaptive, 256, theTable, theFew.Bitmap()), 5) << "exactly the colours of the picture";
  std::set<std::uint32_t> theFound;
  for (int i = 0; i < 5; ++i)
    theFound.insert(static_cast<std::uint32_t>(theTable[i].rgbRed) << 16 | theTable[i].rgbGreen << 8 | theTable[i].rgbBlue);
  EXPECT_EQ(theFound, std::set<std::uint32_t>(std::begin(kColors), std::end(kColors)));

  TestDib thePhoto(96, 80);
  PaintPhoto(thePhoto);
  const std::pair<LONG, LONG> kAskedAndMost[] = {{256, 256}, {16, 16}, {2, 2}, {1, 2}, {0, 2}, {300, 256}};
  for (const auto& [theAsked, theMost] : kAskedAndMost) {
    const LONG theCount = Build(Paleteer::kAdaptive, theAsked, theTable, thePhoto.Bitmap());
    EXPECT_GE(theCount, 2) << "asked " << theAsked;
    EXPECT_LE(theCount, theMost) << "asked " << theAsked;
  }
  EXPECT_EQ(Build(Paleteer::kAdaptive, 16, theTable), 0) << "no source";
}

// --- Reduction ---------------------------------------------------------------

// The mean absolute error per channel: pixel by pixel, and between averages
// of 4 x 4 blocks.
struct Errors {
  double mMean = 0, mBlurred = 0;
};

Errors MeasureErrors(const TestDib& inSource, const TestDib& inReduced, const RGBQUAD* inTable)
{
  const LONG theWidth = inSource.Width(), theHeight = inSource.Height();
  auto Error = [&](LONG x, LONG y, int c) {
    const RGBQUAD& theEntry = inTable[inReduced.Word(x, y)];
    const BYTE theReduced = c == 0 ? theEntry.rgbRed : c == 1 ? theEntry.rgbGreen : theEntry.rgbBlue;
    return static_cast<double>((inSource.Get(x, y) >> (16 - 8 * c)) & 0xFF) - theReduced;
  };
  Errors theErrors;
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x)
      for (int c = 0; c < 3; ++c)
        theErrors.mMean += std::fabs(Error(x, y, c)) / (3.0 * theWidth * theHeight);
  for (LONG y = 0; y + 4 <= theHeight; y += 4)
    for (LONG x = 0; x + 4 <= theWidth; x += 4)
      for (int c = 0; c < 3; ++c) {
        double theSum = 0;
        for (LONG d = 0; d < 16; ++d)
          theSum += Error(x + d % 4, y + d / 4, c);
        theErrors.mBlurred += std::fabs(theSum / 16) / (3.0 * (theWidth / 4) * (theHeight / 4));
      }
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
  TestDib thePlain(160, 120, false, "8"), theDithered(160, 120, false, "8");
  const DIBSECTION thePlainSection = thePlain.Section(), theDitheredSection = theDithered.Section();
  ColorReducer theReducer;
  ASSERT_TRUE(theReducer.Reduce(&theSection, &thePlainSection, theTable, theCount, false));
  ASSERT_TRUE(theReducer.Reduce(&theSection, &theDitheredSection, theTable, theCount, true));
  const Errors thePlainErrors = MeasureErrors(theSource, thePlain, theTable);
  const Errors theDitheredErrors = MeasureErrors(theSource, theDithered, theTable);
  EXPECT_LT(thePlainErrors.mMean, 10.0);
  EXPECT_LT(theDitheredErrors.mMean, 13.0);
  EXPECT_LT(theDitheredErrors.mBlurred, 3.5);
  EXPECT_LT(theDitheredErrors.mBlurred, thePlainErrors.mBlurred);
  for (LONG y = 0; y < 120; ++y)
    for (LONG x = 0; x < 160; ++x)
      ASSERT_LT(theDithered.Word(x, y), static_cast<std::uint32_t>(theCount)) << "(" << x << ", " << y << ")";
}

// Error diffusion keeps the mean: a flat grey field dithered to black and
// white keeps its level over the whole picture, and roughly in its first and
// last columns, where the rows start and end. (Clearing the buffered error at
// each row's first pixel makes the edge columns of a 25% grey average 28 and
// 10.)
TEST(ColorReducer, DitheringKeepsTheMeanOfAFlatField)
{
  for (int theGrey : {64, 200}) {
    TestDib theSource(61, 200);
    for (LONG y = 0; y < 200; ++y)
      for (LONG x = 0; x < 61; ++x)
        theSource.Put(x, y, static_cast<std::uint32_t>(theGrey) * 0x010101u);
    for (LONG theKind : {Paleteer::kBlackAndWhite, Paleteer::kUniform}) {
      RGBQUAD theTable[256];
      const LONG theCount = Build(theKind, 2, theTable);
      TestDib theReduced(61, 200, false, "8");
      const DIBSECTION theSection = theSource.Section(), theReducedSection = theReduced.Section();
      ColorReducer theReducer;
      theReducer.SetPaletteKind(theKind);
      ASSERT_TRUE(theReducer.Reduce(&theSection, &theReducedSection, theTable, theCount, true));
      auto Mean = [&](LONG inFirst, LONG inLast) {
        double theSum = 0;
        for (LONG y = 0; y < 200; ++y)
          for (LONG x = inFirst; x <= inLast; ++x)
            theSum += theTable[theReduced.Word(x, y)].rgbGreen;
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
  TestDib theSource(8, 4), theOther(9, 4), theReduced(8, 4, false, "8"), theWrongSize(8, 5, false, "8");
  RGBQUAD theTable[256];
  const LONG theCount = Build(Paleteer::kUniform, 8, theTable);
  const DIBSECTION theSection = theSource.Section(), theOtherSection = theOther.Section();
  const DIBSECTION theIndexed = theReduced.Section(), theWrongIndexed = theWrongSize.Section();
  struct Case {
    const char* mName;
    const DIBSECTION* mSrc;
    const DIBSECTION* mDst;
    const RGBQUAD* mTable;
    LONG mCount;
  } const kCases[] = {
    {"no source", nullptr, &theIndexed, theTable, theCount},
    {"no destination", &theSection, nullptr, theTable, theCount},
    {"other height", &theSection, &theWrongIndexed, theTable, theCount},
    {"other width", &theOtherSection, &theIndexed, theTable, theCount},
    {"8 bits into 8 bits", &theIndexed, &theIndexed, theTable, theCount},
    {"32 bits into 32 bits", &theSection, &theSection, theTable, theCount},
    {"no table", &theSection, &theIndexed, nullptr, theCount},
    {"an empty table", &theSection, &theIndexed, theTable, 0},
    {"a table of 257 entries", &theSection, &theIndexed, theTable, 257},
  };
  ColorReducer theReducer;
  for (const Case& theCase : kCases)
    EXPECT_FALSE(theReducer.Reduce(theCase.mSrc, theCase.mDst, theCase.mTable, theCase.mCount, true)) << theCase.mName;
  EXPECT_TRUE(theReducer.Reduce(&theSection, &theIndexed, theTable, theCount, true));

  // Rows pair up from the top whatever the orientation of either side.
  TestDib theBottomUp(8, 4, true);
  PaintQuadrants(theBottomUp);
  const DIBSECTION theBottomUpSection = theBottomUp.Section();
  ASSERT_TRUE(theReducer.Reduce(&theBottomUpSection, &theIndexed, theTable, theCount, false));
  EXPECT_EQ(ToRgb(theTable[theReduced.Word(0, 0)]), kRed);
  EXPECT_EQ(ToRgb(theTable[theReduced.Word(7, 3)]), kYellow);
}

}  // namespace
