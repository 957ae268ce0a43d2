// The GDI when Cairo and fontconfig cannot be loaded: the test runs with
// empty stand-ins of both found first (see CMakeLists.txt). Shapes and text
// fail with a last error and draw nothing, the GDI says once why, and blits
// go on working.

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int CountOf(const std::string& inText, const std::string& inPart)
{
  int theCount = 0;
  for (std::size_t i = inText.find(inPart); i != std::string::npos; i = inText.find(inPart, i + 1))
    ++theCount;
  return theCount;
}

int CountFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM inCount)
{
  ++*reinterpret_cast<int*>(inCount);
  return 1;
}

TEST(GdiWithoutLibraries, ShapesAndTextFailWithALastErrorAndDrawNothing)
{
  gditest::Dib theDib(gditest::LayoutNamed("32"), 16, -16);
  for (LONG y = 0; y < 16; ++y)
    for (LONG x = 0; x < 16; ++x)
      theDib.Put(x, y, 0xFF336699);
  LOGFONTA theFilter{};
  theFilter.lfCharSet = DEFAULT_CHARSET;
  int theFamilies = 0;

  ::testing::internal::CaptureStderr();
  const POINT theLine[] = {{1, 1}, {14, 9}};
  for (int theRound = 1; theRound <= 2; ++theRound) {
    // A fill without a stroke, then a stroke alone.
    HGDIOBJ thePen = SelectObject(theDib.DC(), GetStockObject(NULL_PEN));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Ellipse(theDib.DC(), 1, 1, 14, 14)) << "round " << theRound;
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY) << "round " << theRound;
    SelectObject(theDib.DC(), thePen);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Polyline(theDib.DC(), theLine, 2)) << "round " << theRound;
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY) << "round " << theRound;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(TextOutW(theDib.DC(), 1, 1, u"Hg", 2)) << "round " << theRound;
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << "round " << theRound;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(EnumFontFamiliesExA(theDib.DC(), &theFilter, CountFamily, reinterpret_cast<LPARAM>(&theFamilies), 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << "round " << theRound;
  }
  const std::string theSaid = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountOf(theSaid, "cannot load libcairo.so.2"), 1) << theSaid;
  EXPECT_EQ(CountOf(theSaid, "cannot load libfontconfig.so.1"), 1) << theSaid;
  EXPECT_EQ(theFamilies, 0);
  for (LONG y = 0; y < 16; ++y)
    for (LONG x = 0; x < 16; ++x)
      ASSERT_EQ(theDib.Get(x, y), 0xFF336699u) << x << "," << y;

  gditest::Dib theCopy(gditest::LayoutNamed("32"), 16, -16);
  ASSERT_TRUE(BitBlt(theCopy.DC(), 0, 0, 16, 16, theDib.DC(), 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(theCopy.DC(), 5, 5), RGB(0x33, 0x66, 0x99));
}

}  // namespace
