#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>

using namespace gditest;

namespace {

template <typename H>
H As(std::uint32_t inNumber)
{
  return NumberToHandle<H>(inNumber);
}

int CountFamilies(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM)
{
  return 1;
}

// Every function that takes a handle, called with inHandle in that place
// and otherwise valid arguments. True when the call succeeded.
struct Use {
  const char* mName;
  bool mTakesDC;  // else an object of the kind that mRightKind says
  std::function<bool(std::uint32_t)> mCall;
};

std::vector<Use> AllUses(HDC inGoodDC, HBRUSH inGoodBrush, HPALETTE inGoodPalette)
{
  static RGBQUAD gColors[4];
  static XFORM gXform = {1, 0, 0, 1, 0, 0};
  static RECT gRect = {0, 0, 1, 1};
  static LOGFONTA gFilter{};
  static DIBSECTION gSection;
  static PALETTEENTRY gEntries[2];
  return {
    {"GetCurrentObject", true, [](std::uint32_t h) { return GetCurrentObject(As<HDC>(h), OBJ_BRUSH) != nullptr; }},
    {"SelectObject(dc)", true, [=](std::uint32_t h) { return SelectObject(As<HDC>(h), inGoodBrush) != nullptr; }},
    {"DeleteDC", true, [](std::uint32_t h) { return DeleteDC(As<HDC>(h)) != 0; }},
    {"ReleaseDC", true, [](std::uint32_t h) { return ReleaseDC(nullptr, As<HDC>(h)) != 0; }},
    {"CreateCompatibleDC", true,
     [](std::uint32_t h) { HDC theDC = CreateCompatibleDC(As<HDC>(h)); return theDC && DeleteDC(theDC); }},
    {"CreateDIBSection", true,
     [](std::uint32_t h) {
       const std::vector<std::uint8_t> theInfo = MakeInfo(LayoutNamed("32"), 1, 1);
       const auto* theHeader = reinterpret_cast<const BITMAPINFO*>(theInfo.data());
       HBITMAP theBitmap = CreateDIBSection(As<HDC>(h), theHeader, DIB_RGB_COLORS, nullptr, nullptr, 0);
       return theBitmap && DeleteObject(theBitmap);
     }},
    {"CreateHalftonePalette", true,
     [](std::uint32_t h) { HPALETTE thePalette = CreateHalftonePalette(As<HDC>(h)); return thePalette && DeleteObject(thePalette); }},
    {"GetDeviceCaps", true, [](std::uint32_t h) { return GetDeviceCaps(As<HDC>(h), LOGPIXELSY) != 0; }},
    {"SetMapMode", true, [](std::uint32_t h) { return SetMapMode(As<HDC>(h), MM_TEXT) != 0; }},
    {"GetMapMode", true, [](std::uint32_t h) { return GetMapMode(As<HDC>(h)) != 0; }},
    {"SetGraphicsMode", true, [](std::uint32_t h) { return SetGraphicsMode(As<HDC>(h), GM_COMPATIBLE) != 0; }},
    {"GetGraphicsMode", true, [](std::uint32_t h) { return GetGraphicsMode(As<HDC>(h)) != 0; }},
    {"SetWorldTransform", true, [](std::uint32_t h) { return SetWorldTransform(As<HDC>(h), &gXform) != 0; }},
    {"GetWorldTransform", true, [](std::uint32_t h) { return GetWorldTransform(As<HDC>(h), &gXform) != 0; }},
    {"ModifyWorldTransform", true,
     [](std::uint32_t h) { return ModifyWorldTransform(As<HDC>(h), nullptr, MWT_IDENTITY) != 0; }},
    {"GetDIBColorTable", true, [](std::uint32_t h) { return GetDIBColorTable(As<HDC>(h), 0, 4, gColors) != 0; }},
    {"SetDIBColorTable", true, [](std::uint32_t h) { return SetDIBColorTable(As<HDC>(h), 0, 4, gColors) != 0; }},
    {"BitBlt(dest)", true, [=](std::uint32_t h) { return BitBlt(As<HDC>(h), 0, 0, 1, 1, inGoodDC, 0, 0, SRCCOPY) != 0; }},
    {"BitBlt(source)", true, [=](std::uint32_t h) { return BitBlt(inGoodDC, 0, 0, 1, 1, As<HDC>(h), 0, 0, SRCCOPY) != 0; }},
    {"StretchBlt", true,
     [=](std::uint32_t h) { return StretchBlt(As<HDC>(h), 0, 0, 2, 2, inGoodDC, 0, 0, 1, 1, SRCCOPY) != 0; }},
    {"FillRect(dc)", true, [=](std::uint32_t h) { return FillRect(As<HDC>(h), &gRect, inGoodBrush) != 0; }},
    {"GetPixel", true, [](std::uint32_t h) { return GetPixel(As<HDC>(h), 0, 0) != CLR_INVALID; }},
    {"SelectPalette(dc)", true,
     [=](std::uint32_t h) { return SelectPalette(As<HDC>(h), inGoodPalette, FALSE) != nullptr; }},
    {"RealizePalette", true, [](std::uint32_t h) { return RealizePalette(As<HDC>(h)) != 0xFFFFFFFFu; }},
    {"EnumFontFamiliesExA", true,
     [](std::uint32_t h) { return EnumFontFamiliesExA(As<HDC>(h), &gFilter, CountFamilies, 0, 0) != 0; }},
    {"GetObjectType", false, [](std::uint32_t h) { return GetObjectType(As<HGDIOBJ>(h)) != 0; }},
    {"GetObjectA", false, [](std::uint32_t h) { return GetObjectA(As<HGDIOBJ>(h), sizeof(gSection), &gSection) != 0; }},
    {"SelectObject(object)", false, [=](std::uint32_t h) { return SelectObject(inGoodDC, As<HGDIOBJ>(h)) != nullptr; }},
    {"DeleteObject", false, [](std::uint32_t h) { return DeleteObject(As<HGDIOBJ>(h)) != 0; }},
    {"FillRect(brush)", false, [=](std::uint32_t h) { return FillRect(inGoodDC, &gRect, As<HBRUSH>(h)) != 0; }},
    {"GetPaletteEntries", false, [](std::uint32_t h) { return GetPaletteEntries(As<HPALETTE>(h), 0, 2, gEntries) != 0; }},
    {"SelectPalette(palette)", false,
     [=](std::uint32_t h) { return SelectPalette(inGoodDC, As<HPALETTE>(h), FALSE) != nullptr; }},
  };
}

}  // namespace

TEST(GdiHandles, ObjectTypes)
{
  Dib theDib(LayoutNamed("8"), 2, 2);
  HDC theScreen = GetDC(nullptr);
  HFONT theFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
  HPALETTE thePalette = CreateHalftonePalette(nullptr);
  HBRUSH theBrush = CreateSolidBrush(RGB(1, 2, 3));
  const std::pair<HGDIOBJ, DWORD> theCases[] = {
    {GetStockObject(BLACK_PEN), OBJ_PEN}, {theBrush, OBJ_BRUSH},      {theScreen, OBJ_DC},
    {thePalette, OBJ_PAL},                {theFont, OBJ_FONT},        {theDib.Bitmap(), OBJ_BITMAP},
    {theDib.DC(), OBJ_MEMDC},             {GetStockObject(DEFAULT_PALETTE), OBJ_PAL},
    {GetStockObject(SYSTEM_FONT), OBJ_FONT},
  };
  for (const auto& [theHandle, theType] : theCases) {
    EXPECT_EQ(GetObjectType(theHandle), theType) << Hex(HandleToNumber(theHandle));
    // Scripts pass handles as signed 32-bit numbers.
    const auto theNumber = static_cast<std::int32_t>(HandleToNumber(theHandle));
    EXPECT_GT(theNumber, 0);
    EXPECT_EQ(GetObjectType(NumberToHandle<HGDIOBJ>(static_cast<std::uint32_t>(theNumber))), theType);
  }
  EXPECT_EQ(GetCurrentObject(theDib.DC(), OBJ_BITMAP), theDib.Bitmap());
  EXPECT_EQ(GetCurrentObject(theScreen, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetStockObject(3), nullptr);
  EXPECT_TRUE(DeleteObject(theFont) && DeleteObject(thePalette) && DeleteObject(theBrush));
  EXPECT_TRUE(ReleaseDC(nullptr, theScreen));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));  // stock objects stay
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
}

TEST(GdiHandles, BadHandlesAreRefusedByEveryFunction)
{
  Dib theGood(LayoutNamed("8"), 2, 2);
  HBRUSH theGoodBrush = CreateSolidBrush(RGB(9, 9, 9));
  HPALETTE theGoodPalette = CreateHalftonePalette(nullptr);

  HDC theDeletedDC = CreateCompatibleDC(nullptr);
  const std::uint32_t theStaleDC = HandleToNumber(theDeletedDC);
  ASSERT_TRUE(DeleteDC(theDeletedDC));
  HBRUSH theDeletedBrush = CreateSolidBrush(0);
  const std::uint32_t theStaleBrush = HandleToNumber(theDeletedBrush);
  ASSERT_TRUE(DeleteObject(theDeletedBrush));
  // A new object may take the freed slot; the old number stays dead.
  HBRUSH theReplacement = CreateSolidBrush(0);
  EXPECT_NE(HandleToNumber(theReplacement), theStaleBrush);

  const std::uint32_t theDC = HandleToNumber(theGood.DC());
  const std::uint32_t theBitmap = HandleToNumber(theGood.Bitmap());
  const std::vector<std::pair<const char*, std::uint32_t>> theForged = {
    {"one", 1},
    {"all bits", 0xFFFFFFFFu},
    {"pattern", 0x12345678u},
    {"last slot", (theDC & 0xFFFF0000u) | 0xFFFFu},
    {"next generation", theDC + 0x100000u},
    {"retyped", (theDC & ~0xF0000u) | (OBJ_BITMAP << 16)},
    {"retyped bitmap", (theBitmap & ~0xF0000u) | (OBJ_BRUSH << 16)},
  };

  for (const Use& theUse : AllUses(theGood.DC(), theGoodBrush, theGoodPalette)) {
    SCOPED_TRACE(theUse.mName);
    std::vector<std::pair<std::string, std::uint32_t>> theBad;
    for (const auto& [theName, theNumber] : theForged)
      theBad.emplace_back(theName, theNumber);
    theBad.emplace_back("deleted", theUse.mTakesDC ? theStaleDC : theStaleBrush);
    // A live handle of another type.
    if (theUse.mTakesDC)
      theBad.emplace_back("a brush", HandleToNumber(theGoodBrush));
    else if (std::string(theUse.mName) == "FillRect(brush)" || std::string(theUse.mName) == "SelectObject(object)")
      theBad.emplace_back("a palette", HandleToNumber(theGoodPalette));
    else if (std::string(theUse.mName) != "GetObjectType")
      theBad.emplace_back("a device context", theDC);
    if (std::string(theUse.mName) == "GetPaletteEntries" || std::string(theUse.mName) == "SelectPalette(palette)")
      theBad.emplace_back("a brush", HandleToNumber(theGoodBrush));
    if (std::string(theUse.mName) != "CreateCompatibleDC" && std::string(theUse.mName) != "CreateDIBSection" &&
        std::string(theUse.mName) != "CreateHalftonePalette")
      theBad.emplace_back("null", 0);

    for (const auto& [theName, theNumber] : theBad) {
      SetLastError(ERROR_SUCCESS);
      EXPECT_FALSE(theUse.mCall(theNumber)) << theName << " " << Hex(theNumber);
      EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << theName << " " << Hex(theNumber);
    }
  }
  // A pointer-wide value whose low half is a live handle names nothing.
  const auto Widened = [](std::uint32_t inNumber) {
    return reinterpret_cast<HGDIOBJ>((std::uintptr_t{1} << 32) | inNumber);
  };
  EXPECT_EQ(GetObjectType(Widened(theDC)), 0u);
  EXPECT_FALSE(DeleteObject(Widened(HandleToNumber(theGoodBrush))));
  EXPECT_FALSE(DeleteDC(static_cast<HDC>(Widened(theDC))));
  // Nothing was harmed: the good objects still work.
  EXPECT_EQ(GetObjectType(theGood.DC()), OBJ_MEMDC);
  EXPECT_EQ(GetObjectType(theGoodBrush), OBJ_BRUSH);
  EXPECT_TRUE(DeleteObject(theReplacement));
  EXPECT_TRUE(DeleteObject(theGoodBrush));
  EXPECT_TRUE(DeleteObject(theGoodPalette));
}

TEST(GdiHandles, SuccessLeavesTheLastErrorAlone)
{
  SetLastError(ERROR_FILE_NOT_FOUND);
  Dib theDib(LayoutNamed("32"), 3, 3);
  HBRUSH theBrush = CreateSolidBrush(RGB(1, 2, 3));
  const RECT theRect = {0, 0, 3, 3};
  EXPECT_TRUE(FillRect(theDib.DC(), &theRect, theBrush));
  EXPECT_TRUE(BitBlt(theDib.DC(), 1, 1, 2, 2, theDib.DC(), 0, 0, NOTSRCCOPY));
  EXPECT_NE(GetPixel(theDib.DC(), 2, 2), CLR_INVALID);
  EXPECT_EQ(GetPixel(theDib.DC(), 9, 9), CLR_INVALID);
  EXPECT_TRUE(DeleteObject(theBrush));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(GdiHandles, ABitmapIsSelectedIntoOneDeviceContextAtATime)
{
  const std::vector<std::uint8_t> theInfo = MakeInfo(LayoutNamed("24"), 4, 4);
  HBITMAP theBitmap =
    CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(theInfo.data()), DIB_RGB_COLORS, nullptr, nullptr, 0);
  HDC theFirst = CreateCompatibleDC(nullptr);
  HDC theSecond = CreateCompatibleDC(nullptr);
  HGDIOBJ thePlaceholder = SelectObject(theFirst, theBitmap);
  BITMAP theRecord{};
  ASSERT_EQ(GetObjectA(thePlaceholder, sizeof(theRecord), &theRecord), int(sizeof(BITMAP)));
  EXPECT_EQ(theRecord.bmWidth * theRecord.bmHeight * theRecord.bmBitsPixel, 1) << "the stock 1x1 monochrome bitmap";

  SetLastError(0);
  EXPECT_EQ(SelectObject(theSecond, theBitmap), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  EXPECT_FALSE(DeleteObject(theBitmap));
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  EXPECT_EQ(SelectObject(theFirst, theBitmap), theBitmap);  // again into the same one

  // The screen takes no bitmap.
  HDC theScreen = GetDC(nullptr);
  EXPECT_EQ(SelectObject(theScreen, thePlaceholder), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ReleaseDC(nullptr, theScreen);

  // Deleting the first context lets the bitmap go.
  EXPECT_TRUE(DeleteDC(theFirst));
  EXPECT_EQ(SelectObject(theSecond, theBitmap), thePlaceholder);
  EXPECT_EQ(SelectObject(theSecond, thePlaceholder), theBitmap);
  EXPECT_TRUE(DeleteObject(theBitmap));
  EXPECT_EQ(GetObjectType(theBitmap), 0u);
  EXPECT_TRUE(DeleteDC(theSecond));

  // A brush may be selected into many contexts, and is not deleted while it is.
  HBRUSH theBrush = CreateSolidBrush(RGB(5, 5, 5));
  HDC theA = CreateCompatibleDC(nullptr);
  HDC theB = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(theA, theBrush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(theB, theBrush), GetStockObject(WHITE_BRUSH));
  DeleteDC(theA);
  EXPECT_FALSE(DeleteObject(theBrush));
  DeleteDC(theB);
  EXPECT_TRUE(DeleteObject(theBrush));
}

TEST(GdiHandles, AFullTableFailsCleanly)
{
  std::vector<HBRUSH> theBrushes;
  for (;;) {
    HBRUSH theBrush = CreateSolidBrush(0);
    if (!theBrush)
      break;
    theBrushes.push_back(theBrush);
    ASSERT_LE(theBrushes.size(), 0x10000u);
  }
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_GT(theBrushes.size(), 60000u);
  for (HBRUSH theBrush : theBrushes)
    ASSERT_TRUE(DeleteObject(theBrush));
  HBRUSH theAgain = CreateSolidBrush(0);
  EXPECT_NE(theAgain, nullptr);
  DeleteObject(theAgain);
}

TEST(GdiHandles, ManyThreadsDrawOnTheirOwnBitmaps)
{
  constexpr int kThreads = 8;
  std::atomic<bool> theStop{false};
  std::atomic<int> theFailures{0};
  // One thread makes, probes and deletes objects all the while.
  std::thread theChurn([&] {
    std::mt19937 theRandom(7);
    while (!theStop) {
      HBRUSH theBrush = CreateSolidBrush(theRandom());
      GetObjectType(NumberToHandle<HGDIOBJ>(theRandom()));
      if (!DeleteObject(theBrush))
        ++theFailures;
    }
  });
  std::vector<std::thread> theThreads;
  for (int t = 0; t < kThreads; ++t)
    theThreads.emplace_back([&, t] {
      Dib theCanvas(LayoutNamed("32"), 40, 30);
      Dib theTile(LayoutNamed(t % 2 ? "24" : "8"), 10, 10);
      const COLORREF theColor = RGB(t * 30, 255 - t * 30, 128);
      HBRUSH theBrush = CreateSolidBrush(theColor);
      const RECT theRect = {0, 0, 10, 10};
      for (int i = 0; i < 200; ++i) {
        FillRect(theTile.DC(), &theRect, theBrush);
        BitBlt(theCanvas.DC(), i % 30, i % 20, 10, 10, theTile.DC(), 0, 0, SRCCOPY);
        if (GetPixel(theCanvas.DC(), i % 30 + 5, i % 20 + 5) != GetPixel(theTile.DC(), 5, 5))
          ++theFailures;
      }
      DeleteObject(theBrush);
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  theStop = true;
  theChurn.join();
  EXPECT_EQ(theFailures.load(), 0);
}
