// Cairo, fontconfig and FreeType loaded by the first text or shape call that
// needs them, not with the platform library: this program links none of
// them.

#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kCairo = "libcairo.so.2";
constexpr const char* kFontconfig = "libfontconfig.so.1";
constexpr const char* kFreeType = "libfreetype.so.6";

std::string LoadedOnes()
{
  std::string theNames;
  for (const char* theName : {kCairo, kFontconfig, kFreeType})
    if (tltest::IsLibraryLoaded(theName))
      theNames += std::string(" ") + theName;
  return theNames;
}

constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// A white 32-bit picture.
struct WhiteDib : gditest::Dib {
  WhiteDib() : gditest::Dib(gditest::LayoutNamed("32"), 24, -24)
  {
    for (LONG y = 0; y < Height(); ++y)
      for (LONG x = 0; x < Width(); ++x)
        Put(x, y, kWhite);
  }

  int Inked() const
  {
    int theCount = 0;
    for (LONG y = 0; y < Height(); ++y)
      for (LONG x = 0; x < Width(); ++x)
        theCount += (Get(x, y) & 0xFFFFFF) != (kWhite & 0xFFFFFF);
    return theCount;
  }
};

TEST(GdiLoading, BlitsAndDibsLoadNothingTextAndShapesLoadWhatTheyDrawWith)
{
  ASSERT_EQ(LoadedOnes(), "") << "loaded with the platform library";

  WhiteDib theSource, theTarget;
  theSource.Put(3, 4, 0xFF102030);
  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, 24, 24, theSource.DC(), 0, 0, SRCCOPY));
  ASSERT_TRUE(StretchBlt(theTarget.DC(), 12, 12, 12, 12, theSource.DC(), 0, 0, 24, 24, SRCCOPY));
  const RECT theRect{20, 0, 24, 4};
  HBRUSH theBrush = CreateSolidBrush(RGB(200, 0, 0));
  ASSERT_EQ(FillRect(theTarget.DC(), &theRect, theBrush), 1);
  EXPECT_EQ(GetPixel(theTarget.DC(), 3, 4), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(GetPixel(theTarget.DC(), 21, 1), RGB(200, 0, 0));
  // Several threads make the first text call at once.
  constexpr int kThreads = 4;
  std::array<WhiteDib, kThreads> theTexts;
  HFONT theFont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
  ASSERT_TRUE(theFont);
  std::array<HGDIOBJ, kThreads> theOldFonts{};
  for (int i = 0; i < kThreads; ++i) {
    theOldFonts[i] = SelectObject(theTexts[i].DC(), theFont);
    SetBkMode(theTexts[i].DC(), TRANSPARENT);
  }
  EXPECT_EQ(LoadedOnes(), "") << "loaded by blits, DIB work or a font selected";

  std::array<BOOL, kThreads> theDrawn{};
  {
    std::latch theStart(kThreads);
    std::vector<std::jthread> theThreads;
    for (int i = 0; i < kThreads; ++i)
      theThreads.emplace_back([&, i] {
        theStart.arrive_and_wait();
        theDrawn[i] = TextOutW(theTexts[i].DC(), 2, 2, u"Hg", 2);
      });
  }
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_TRUE(theDrawn[i]) << "thread " << i;
    EXPECT_GT(theTexts[i].Inked(), 10) << "thread " << i << ": text drew nothing";
  }
  EXPECT_TRUE(tltest::IsLibraryLoaded(kFontconfig) && tltest::IsLibraryLoaded(kFreeType)) << "after text:" << LoadedOnes();

  WhiteDib theShape;
  HGDIOBJ theOldBrush = SelectObject(theShape.DC(), theBrush);
  ASSERT_TRUE(Ellipse(theShape.DC(), 2, 2, 20, 20));
  EXPECT_EQ(GetPixel(theShape.DC(), 11, 11), RGB(200, 0, 0));
  EXPECT_GT(theShape.Inked(), 200) << "the ellipse is not there";
  EXPECT_TRUE(tltest::IsLibraryLoaded(kCairo)) << "after a shape:" << LoadedOnes();
  SelectObject(theShape.DC(), theOldBrush);

  for (int i = 0; i < kThreads; ++i)
    SelectObject(theTexts[i].DC(), theOldFonts[i]);
  EXPECT_TRUE(DeleteObject(theFont) && DeleteObject(theBrush));
}

}  // namespace
