// Colour reduction, and the palette GetInfo reads back, on a white 20 x 20
// picture with one red pixel at (5,7).

#include "core/Bitmap.h"
#include "objects/GetInfo.h"
#include "objects/ReduceColors.h"
#include "platform/base/WinError.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace {

// The error text of a ReduceColors run (palette bytes when given, else the
// palette type), empty when there is no error.
std::string Reduce(Bitmap& ioWorld, const std::string& inType, LONG inColors, LONG inDither,
                   const std::vector<BYTE>* inData = nullptr)
{
  ReduceColors theOp;
  if (inData)
    theOp.SetPaletteData(inData->data(), static_cast<LONG>(inData->size()));
  else
    theOp.SetPaletteType(inType.c_str());
  theOp.SetColors(inColors);
  theOp.SetDither(inDither);
  theOp.Run(ioWorld, nullptr);
  return theOp.GetError()->HasError() ? theOp.GetError()->GetText() : "";
}

std::vector<BYTE> Palette(Bitmap& inWorld)
{
  GetInfo theOp;
  theOp.SetType("palette");
  theOp.Run(inWorld, nullptr);
  return std::vector<BYTE>(theOp.GetDataPtr(), theOp.GetDataPtr() + theOp.GetDataSize());
}

// Red, green and blue of a pixel as one number 0xRRGGBB.
DWORD Rgb(Bitmap& inWorld, LONG inX, LONG inY)
{
  ColorValue theColor;
  inWorld.GetPixel(inX, inY, theColor);
  return static_cast<DWORD>(theColor.mRed >> 8 << 16 | theColor.mGreen >> 8 << 8 | theColor.mBlue >> 8);
}

// The 8-bit canvas carries all 256 entries: inEntries of the palette, then
// entry 0 again.
void ExpectTable(Bitmap& inWorld, LONG inEntries)
{
  const std::vector<BYTE> thePalette = Palette(inWorld);
  ASSERT_EQ(thePalette.size(), 768u);
  for (LONG i = inEntries; i < 256; ++i)
    ASSERT_TRUE(std::equal(thePalette.begin(), thePalette.begin() + 3, thePalette.begin() + 3 * i)) << "entry " << i;
  EXPECT_FALSE(std::equal(thePalette.begin(), thePalette.begin() + 3, thePalette.begin() + 3 * (inEntries - 1)))
      << "the palette's last entry";
}

TEST(ReduceColors, EachPaletteKindDitheredOrNot)
{
  struct Case {
    const char* mType;
    LONG mColors, mDither;
    LONG mDepth, mEntries;
    DWORD mWhite, mRed;
  } const kCases[] = {
    {"websafe", 16, 0, 8, 216, 0xFFFFFF, 0xFF0000},
    {"windows", 16, 1, 8, 256, 0xFFFFFF, 0xFF0000},
    {"macintosh", 16, 0, 8, 256, 0xFFFFFF, 0xFF0000},
    {"uniform", 16, 1, 8, 8, 0xFFFFFF, 0xFF0000},
    {"uniform", 1000, 0, 8, 216, 0xFFFFFF, 0xFF0000},
    {"adaptive", 16, 0, 8, 2, 0xFFFFFF, 0xFF0000},
    {"adaptive", 0, 1, 8, 2, 0xFFFFFF, 0xFF0000},
    {"grayscale", 16, 1, 8, 16, 0xFFFFFF, 0x444444},
    {"black&white", 99, 1, 8, 2, 0xFFFFFF, 0x000000},
    // Undithered grey levels in place: g / (256 / levels) x (256 / levels).
    {"grayscale", 16, 0, 32, 0, 0xF0F0F0, 0x404040},
    {"black&white", 99, 0, 32, 0, 0x808080, 0x000000},
    {"grayscale", 0, 0, 32, 0, 0x000000, 0x000000},
    {"grayscale", 1000, 0, 32, 0, 0xFFFFFF, 0x4C4C4C},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mType) + " " + std::to_string(theCase.mColors) + " dither " +
                 std::to_string(theCase.mDither));
    Bitmap theWorld;
    tltest::MakeRedDotPicture(theWorld);
    EXPECT_EQ(Reduce(theWorld, theCase.mType, theCase.mColors, theCase.mDither), "");
    EXPECT_EQ(theWorld.GetDepth(), theCase.mDepth);
    if (theCase.mEntries > 0)
      ExpectTable(theWorld, theCase.mEntries);
    else
      EXPECT_TRUE(Palette(theWorld).empty());
    EXPECT_EQ(Rgb(theWorld, 19, 0), theCase.mWhite);
    EXPECT_EQ(Rgb(theWorld, 5, 7), theCase.mRed);
  }
}

// An adaptive palette on a canvas of 8, 4 or 1 bits is built from the 32-bit
// copy: at most the colours asked for, each one the picture holds.
TEST(ReduceColors, AdaptivePalettesServeEveryDepth)
{
  // Quadrants of red, green, blue and white and a black bar: colours of the
  // default tables (where 1 bit keeps black and white of them).
  const std::pair<RECT, COLORREF> kAreas[] = {
    {{0, 0, 10, 10}, RGB(255, 0, 0)},   {{10, 0, 20, 10}, RGB(0, 255, 0)}, {{0, 10, 10, 20}, RGB(0, 0, 255)},
    {{10, 10, 20, 20}, RGB(255, 255, 255)}, {{0, 8, 20, 12}, RGB(0, 0, 0)},
  };
  for (const auto& [theDepth, theColours] : {std::pair{8, 5u}, std::pair{4, 5u}, std::pair{1, 2u}}) {
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theWorld;
    tltest::MakePixels(theWorld, 20, 20, theDepth);
    for (const auto& [theRect, theColour] : kAreas) {
      HBRUSH theBrush = CreateSolidBrush(theColour);
      FillRect(theWorld.GetHDC(), &theRect, theBrush);
      DeleteObject(theBrush);
    }
    auto theColoursOf = [&] {
      std::set<DWORD> theSeen;
      for (LONG y = 0; y < 20; ++y)
        for (LONG x = 0; x < 20; ++x)
          theSeen.insert(Rgb(theWorld, x, y));
      return theSeen;
    };
    const std::set<DWORD> thePicture = theColoursOf();
    ASSERT_EQ(thePicture.size(), theColours);
    EXPECT_EQ(Reduce(theWorld, "adaptive", 4, 1), "");
    EXPECT_EQ(theWorld.GetDepth(), 8);
    const std::set<DWORD> theReduced = theColoursOf();
    EXPECT_GE(theReduced.size(), 2u);
    EXPECT_LE(theReduced.size(), 4u);
    EXPECT_TRUE(std::includes(thePicture.begin(), thePicture.end(), theReduced.begin(), theReduced.end()))
        << testing::PrintToString(theReduced);
  }
}

TEST(ReduceColors, PaletteBytesAndFilesGiveTheirEntriesFirst)
{
  std::vector<BYTE> theBytes(801);
  for (std::size_t i = 0; i < theBytes.size(); ++i)
    theBytes[i] = static_cast<BYTE>(i + 1);
  const std::vector<BYTE> theRedAndWhite = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF};
  const std::string thePath = tltest::MakeTempFolder("palette") + "/red-and-white.pal";
  std::ofstream(thePath, std::ios::binary).write(reinterpret_cast<const char*>(theRedAndWhite.data()), 6);
  struct Case {
    const char* mName;
    std::vector<BYTE> mData;  // empty: the file
    LONG mEntries;
    std::vector<BYTE> mFirst;
  } const kCases[] = {
    {"12 bytes, 3 each", {theBytes.begin(), theBytes.begin() + 12}, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    {"16 bytes, 4 each", {theBytes.begin(), theBytes.begin() + 16}, 4, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}},
    {"10 bytes, 3 each", {theBytes.begin(), theBytes.begin() + 10}, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"267 entries, 256 kept", theBytes, 256, {1, 2, 3}},
    {"a file", {}, 2, theRedAndWhite},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    Bitmap theWorld;
    tltest::MakeRedDotPicture(theWorld);
    EXPECT_EQ(Reduce(theWorld, thePath, 16, 0, theCase.mData.empty() ? nullptr : &theCase.mData), "");
    EXPECT_EQ(theWorld.GetDepth(), 8);
    const std::vector<BYTE> thePalette = Palette(theWorld);
    EXPECT_TRUE(std::equal(theCase.mFirst.begin(), theCase.mFirst.end(), thePalette.begin()));
    if (theCase.mEntries < 256)
      ExpectTable(theWorld, theCase.mEntries);
  }
}

TEST(ReduceColors, APaletteOfNoEntriesFailsAndLeavesThePicture)
{
  const std::string theEmptyFile = tltest::MakeTempFolder("palette") + "/empty.pal";
  std::ofstream{theEmptyFile};
  const std::vector<BYTE> kTwoBytes = {1, 2};
  const std::vector<BYTE> kNoBytes;
  struct Case {
    std::string mType;
    const std::vector<BYTE>* mData;
  } const kCases[] = {{"", &kTwoBytes}, {"", &kNoBytes}, {"/no/such/palette", nullptr}, {theEmptyFile, nullptr},
                      {"", nullptr}};
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mType + (theCase.mData ? std::to_string(theCase.mData->size()) + " bytes" : ""));
    Bitmap theWorld;
    tltest::MakeRedDotPicture(theWorld);
    EXPECT_EQ(Reduce(theWorld, theCase.mType, 16, 1, theCase.mData).substr(0, 29), "Unable to understand palette\n");
    EXPECT_EQ(theWorld.GetDepth(), 32);
    EXPECT_EQ(tltest::PixelWord(theWorld, 5, 7), tltest::kRedWord);
  }
}

TEST(ReduceColors, AnIndexedCanvasHasItsTableQuantisedAndAnEmptyOneFails)
{
  // 85 levels are steps of 3; the 6-level cube's green, entry 185, is
  // 149.685 + 0.5 in grey.
  Bitmap theWorld;
  tltest::MakePixels(theWorld, 4, 4, 8);
  EXPECT_EQ(Reduce(theWorld, "grayscale", 85, 0), "");
  EXPECT_EQ(theWorld.GetDepth(), 8);
  const std::vector<BYTE> thePalette = Palette(theWorld);
  ASSERT_EQ(thePalette.size(), 768u);
  for (std::size_t i = 0; i < thePalette.size(); ++i)
    ASSERT_EQ(thePalette[i], thePalette[i / 3 * 3] / 3 * 3) << "entry " << i / 3;
  EXPECT_EQ(Rgb(theWorld, 0, 0), 0xFFFFFFu) << "white, by its unchanged index";
  EXPECT_EQ(thePalette[3 * 185], 150);

  Bitmap theEmpty;
  const std::vector<BYTE> theBytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(Reduce(theEmpty, "", 16, 1, &theBytes),
            "Unable to reduce colors.\n\n\nReduceColors: Palette Data={12 bytes, 0x04030201 0x08070605 ...} "
            "Colors={16} Dither={True} Canvas={Width=0 Height=0 Depth=32 Buffer=0}");
}

// Refused puts leave the wanted size or depth ahead of the pixels.
TEST(ReduceColors, AfterARefusedResizeItWorksOnThePixelsAndNeverWalksOthersAs32Bit)
{
  Bitmap theWorld;
  tltest::MakePixels(theWorld, 50, 50);
  theWorld.SetHeight(30000000);
  ASSERT_EQ(theWorld.Update(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Reduce(theWorld, "grayscale", 16, 0), "");
  EXPECT_EQ(Rgb(theWorld, 49, 49), 0xF0F0F0u);
  EXPECT_EQ(Reduce(theWorld, "adaptive", 16, 0), "");
  EXPECT_EQ(std::to_string(theWorld.GetDepth()) + " " + std::to_string(theWorld.GetWidth()) + "x" +
                std::to_string(theWorld.GetHeight()),
            "8 50x50");
  EXPECT_EQ(Rgb(theWorld, 49, 49), 0xF0F0F0u);

  theWorld.SetHeight(100000000);
  theWorld.SetDepth(32);
  ASSERT_EQ(theWorld.Update(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Reduce(theWorld, "grayscale", 16, 0).substr(0, 25), "Unable to reduce colors.\n");
  GetInfo theOp;
  theOp.SetType("selectionrect");
  theOp.Run(theWorld, nullptr);
  EXPECT_STREQ(theOp.GetResultText(), "0,0,50,50") << "the bounds of the 8-bit pixels";
}

}  // namespace
