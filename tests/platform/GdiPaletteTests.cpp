#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>

using namespace gditest;

TEST(GdiPalette, HalftonePaletteIsPinned)
{
  HPALETTE thePalette = CreateHalftonePalette(nullptr);
  ASSERT_NE(thePalette, nullptr);
  ASSERT_EQ(GetPaletteEntries(thePalette, 0, 0, nullptr), 256u);
  PALETTEENTRY theEntries[256];
  ASSERT_EQ(GetPaletteEntries(thePalette, 0, 256, theEntries), 256u);

  // A 6x6x6 cube, then a grey ramp; FNV-1a of all 1024 bytes pins the rest.
  for (const auto& [theIndex, theRed, theBlue] : {std::tuple{1, 0, 51}, std::tuple{180, 255, 0}, std::tuple{216, 6, 6}}) {
    const PALETTEENTRY& e = theEntries[theIndex];
    EXPECT_EQ(std::tie(e.peRed, e.peBlue, e.peFlags), std::make_tuple(BYTE(theRed), BYTE(theBlue), BYTE(0))) << theIndex;
  }
  std::uint32_t theHash = 0x811C9DC5u;
  for (const PALETTEENTRY& e : theEntries)
    for (BYTE b : {e.peRed, e.peGreen, e.peBlue, e.peFlags})
      theHash = (theHash ^ b) * 0x01000193u;
  EXPECT_EQ(Hex(theHash), Hex(0xD7237889u));

  std::set<std::tuple<BYTE, BYTE, BYTE>> theDistinct;
  for (const PALETTEENTRY& e : theEntries)
    theDistinct.emplace(e.peRed, e.peGreen, e.peBlue);
  EXPECT_EQ(theDistinct.size(), 256u);

  EXPECT_EQ(GetPaletteEntries(thePalette, 250, 10, theEntries), 6u);
  EXPECT_EQ(GetPaletteEntries(thePalette, 256, 1, theEntries), 0u);
  EXPECT_TRUE(DeleteObject(thePalette));
}

TEST(GdiPalette, LogicalPalettesAndSelection)
{
  std::vector<std::uint8_t> theRecord(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* theLogical = reinterpret_cast<LOGPALETTE*>(theRecord.data());
  theLogical->palVersion = 0x300;
  theLogical->palNumEntries = 3;
  const PALETTEENTRY theGiven[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  std::memcpy(theRecord.data() + offsetof(LOGPALETTE, palPalEntry), theGiven, sizeof(theGiven));
  HPALETTE thePalette = CreatePalette(theLogical);
  ASSERT_NE(thePalette, nullptr);
  PALETTEENTRY theRead[3];
  ASSERT_EQ(GetPaletteEntries(thePalette, 1, 5, theRead), 2u);
  EXPECT_EQ(theRead[1].peBlue, 9);

  HDC theDC = CreateCompatibleDC(nullptr);
  HPALETTE theDefault = SelectPalette(theDC, thePalette, FALSE);
  EXPECT_EQ(theDefault, GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(RealizePalette(theDC), 3u);
  EXPECT_EQ(GetCurrentObject(theDC, OBJ_PAL), thePalette);
  EXPECT_FALSE(DeleteObject(thePalette));  // selected
  EXPECT_EQ(SelectPalette(theDC, theDefault, TRUE), thePalette);
  EXPECT_TRUE(DeleteObject(thePalette));
  DeleteDC(theDC);

  for (WORD theVersion : {WORD(0x200), WORD(0x300)}) {
    theLogical->palVersion = theVersion;
    theLogical->palNumEntries = theVersion == 0x300 ? 0 : 3;
    SetLastError(0);
    EXPECT_EQ(CreatePalette(theLogical), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(CreatePalette(nullptr), nullptr);
}

TEST(GdiPalette, NearestEntryMatchesAFullScan)
{
  // Random tables, some with few entries and many repeated colours (ties go
  // to the first), against the tests' own full scan, by blit and by fill.
  for (unsigned theSeed = 1; theSeed <= 30; ++theSeed) {
    SCOPED_TRACE("seed " + std::to_string(theSeed));
    std::mt19937 theRandom(theSeed);
    Layout theLayout;
    theLayout.mBits = theSeed % 3 == 0 ? 4 : 8;
    const int theLevels = theSeed % 2 ? 256 : 4;  // 4: many repeated entries
    for (int i = 0; i < (1 << theLayout.mBits); ++i) {
      auto Level = [&] { return BYTE(std::uniform_int_distribution<int>(0, theLevels - 1)(theRandom) * 255 / (theLevels - 1)); };
      theLayout.mTable.push_back(RGBQUAD{Level(), Level(), Level(), 0});
    }
    constexpr LONG kSide = 64;
    Dib theSource(LayoutNamed("32"), kSide, kSide);
    for (LONG y = 0; y < kSide; ++y)
      for (LONG x = 0; x < kSide; ++x)
        theSource.Put(x, y, static_cast<std::uint32_t>(theRandom()) & 0x00FFFFFF);
    Dib theTarget(theLayout, kSide, kSide);
    ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, kSide, kSide, theSource.DC(), 0, 0, SRCCOPY));
    for (LONG y = 0; y < kSide; ++y)
      for (LONG x = 0; x < kSide; ++x)
        ASSERT_EQ(int(theTarget.Word(x, y)), NearestIndex(theLayout.mTable, theSource.Get(x, y)))
          << "colour " << Hex(theSource.Get(x, y)) << " at " << x << "," << y;
    HBRUSH theBrush = CreateSolidBrush(RGB(5, 5, 0));
    const RECT theRect = {0, 0, 1, 1};
    ASSERT_TRUE(FillRect(theTarget.DC(), &theRect, theBrush));
    EXPECT_EQ(int(theTarget.Word(0, 0)), NearestIndex(theLayout.mTable, 0x050500));
    DeleteObject(theBrush);
  }
}
