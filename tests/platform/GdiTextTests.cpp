#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/TextLayout.h"
#include "tests/platform/GdiTestDibs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <magick/MagickCore.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

using namespace gditest;
using tlgdi::TextLayout;

namespace {

constexpr std::uint32_t kWhitePixel = 0xFFFFFF;
constexpr UINT kLayoutFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;

std::u16string Wide(const std::string& inText)
{
  return std::u16string(inText.begin(), inText.end());
}

// The file fontconfig gives for a family, for the oracles to open.
std::string FontFile(const char* inFamily)
{
  FcPattern* thePattern = FcNameParse(reinterpret_cast<const FcChar8*>(inFamily));
  FcConfigSubstitute(nullptr, thePattern, FcMatchPattern);
  FcDefaultSubstitute(thePattern);
  FcResult theResult;
  FcPattern* theMatch = FcFontMatch(nullptr, thePattern, &theResult);
  FcChar8* theFile = nullptr;
  FcPatternGetString(theMatch, FC_FILE, 0, &theFile);
  std::string thePath = reinterpret_cast<const char*>(theFile);
  FcPatternDestroy(theMatch);
  FcPatternDestroy(thePattern);
  return thePath;
}

// A white 32-bit DIB with a font selected, black text, transparent mode.
class TextCanvas {
public:
  TextCanvas(LONG inWidth, LONG inHeight, LONG inFontHeight, LONG inEscapement = 0, const char* inFace = "DejaVu Sans")
    : mDib(LayoutNamed("32"), inWidth, inHeight),
      mFont(CreateFontA(inFontHeight, 0, inEscapement, inEscapement, FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, inFace))
  {
    Clear();
    SetGraphicsMode(DC(), GM_ADVANCED);
    mOld = SelectObject(DC(), mFont);
    SetBkMode(DC(), TRANSPARENT);
  }
  ~TextCanvas()
  {
    SelectObject(DC(), mOld);
    DeleteObject(mFont);
  }
  HDC DC() const { return mDib.DC(); }
  const Dib& Pixels() const { return mDib; }
  void Clear() const
  {
    const RECT theAll{0, 0, mDib.Width(), mDib.Height()};
    FillRect(DC(), &theAll, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  TEXTMETRICW Metrics() const
  {
    TEXTMETRICW theMetrics{};
    EXPECT_TRUE(GetTextMetricsW(DC(), &theMetrics));
    return theMetrics;
  }
  LONG Width(const std::string& inText) const
  {
    LONG theWidth = 0;
    for (char c : inText) {
      INT theAdvance = 0;
      EXPECT_TRUE(GetCharWidthW(DC(), UINT(c), UINT(c), &theAdvance));
      theWidth += theAdvance;
    }
    return theWidth;
  }
  // The box of the pixels darker than mid-grey: left, top, right, bottom (inclusive); all -1 when none.
  std::tuple<LONG, LONG, LONG, LONG> Ink() const
  {
    LONG l = -1, t = -1, r = -1, b = -1;
    for (LONG y = 0; y < mDib.Height(); ++y)
      for (LONG x = 0; x < mDib.Width(); ++x)
        if ((mDib.Get(x, y) & 0xFF) < 128) {
          l = l < 0 ? x : std::min(l, x);
          r = std::max(r, x);
          t = t < 0 ? y : t;
          b = y;
        }
    return {l, t, r, b};
  }

private:
  Dib mDib;
  HFONT mFont;
  HGDIOBJ mOld = nullptr;
};

// ImageMagick's own rendering of a text with its baseline starting at a
// point, as the box of its dark pixels.
std::tuple<LONG, LONG, LONG, LONG> MagickInk(const std::string& inFontFile, double inPixels, const char* inText,
                                             long inX, long inBaseline, LONG inWidth, LONG inHeight)
{
  static std::once_flag gStarted;
  std::call_once(gStarted, [] { MagickCoreGenesis(nullptr, MagickFalse); });
  ExceptionInfo* theException = AcquireExceptionInfo();
  ImageInfo* theInfo = AcquireImageInfo();
  Image* theImage = AcquireImage(theInfo);
  SetImageExtent(theImage, inWidth, inHeight);
  QueryColorDatabase("white", &theImage->background_color, theException);
  SetImageBackgroundColor(theImage);
  DrawInfo* theDraw = AcquireDrawInfo();
  CloneString(&theDraw->font, inFontFile.c_str());
  theDraw->pointsize = inPixels;
  CloneString(&theDraw->text, inText);
  const std::string theGeometry = "+" + std::to_string(inX) + "+" + std::to_string(inBaseline);
  CloneString(&theDraw->geometry, theGeometry.c_str());
  QueryColorDatabase("black", &theDraw->fill, theException);
  EXPECT_EQ(AnnotateImage(theImage, theDraw), MagickTrue);
  LONG l = -1, t = -1, r = -1, b = -1;
  CacheView* theView = AcquireVirtualCacheView(theImage, theException);
  for (LONG y = 0; y < inHeight; ++y) {
    const PixelPacket* theRow = GetCacheViewVirtualPixels(theView, 0, y, inWidth, 1, theException);
    for (LONG x = 0; x < inWidth; ++x)
      if (ScaleQuantumToChar(theRow[x].blue) < 128) {
        l = l < 0 ? x : std::min(l, x);
        r = std::max(r, x);
        t = t < 0 ? y : t;
        b = y;
      }
  }
  DestroyCacheView(theView);
  DestroyDrawInfo(theDraw);
  DestroyImage(theImage);
  DestroyImageInfo(theInfo);
  DestroyExceptionInfo(theException);
  return {l, t, r, b};
}

int DrawText(const TextCanvas& inCanvas, const std::u16string& inText, RECT& ioRect, UINT inFlags,
             UINT* outLength = nullptr)
{
  DRAWTEXTPARAMS theParams{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
  const int theResult = DrawTextExW(inCanvas.DC(), inText.c_str(), -1, &ioRect, inFlags, &theParams);
  if (outLength)
    *outLength = theParams.uiLengthDrawn;
  return theResult;
}

}  // namespace

TEST(GdiText, MetricsAndAdvancesMatchFreeType)
{
  FT_Library theLibrary;
  ASSERT_EQ(FT_Init_FreeType(&theLibrary), 0);
  FT_Face theFace;
  ASSERT_EQ(FT_New_Face(theLibrary, FontFile("DejaVu Sans").c_str(), 0, &theFace), 0);
  ASSERT_EQ(FT_Set_Pixel_Sizes(theFace, 0, 20), 0);
  const FT_Size_Metrics& theSize = theFace->size->metrics;

  TextCanvas theCanvas(40, 40, -20);
  const TEXTMETRICW m = theCanvas.Metrics();
  EXPECT_NEAR(m.tmAscent, theSize.ascender / 64.0, 1);
  EXPECT_NEAR(m.tmHeight, theSize.height / 64.0, 1);
  EXPECT_EQ(m.tmHeight, m.tmAscent + m.tmDescent);
  EXPECT_NEAR(m.tmMaxCharWidth, theSize.max_advance / 64.0, 1);
  std::vector<INT> theWidths('~' - ' ' + 1);
  ASSERT_TRUE(GetCharWidthW(theCanvas.DC(), ' ', '~', theWidths.data()));
  for (char c = ' '; c <= '~'; ++c) {
    ASSERT_EQ(FT_Load_Char(theFace, FT_ULong(c), FT_LOAD_DEFAULT), 0);
    EXPECT_NEAR(theWidths[c - ' '], theFace->glyph->advance.x / 64.0, 1) << c;
  }
  FT_Done_Face(theFace);
  FT_Done_FreeType(theLibrary);

  // The cell holds the font's tallest and deepest glyphs.
  TextCanvas theInk(200, 60, -20);
  ASSERT_TRUE(TextOutW(theInk.DC(), 5, 10, u"\u00c5\u00c9gjpq|", 7));
  const auto [l, t, r, b] = theInk.Ink();
  EXPECT_GE(t, 10);
  EXPECT_LT(b, 10 + m.tmHeight);
  EXPECT_GE(b, 10 + m.tmHeight - 2);

  // A positive height is the cell; the em follows.
  TextCanvas theCell(40, 40, 24);
  EXPECT_EQ(theCell.Metrics().tmHeight, 24);
  SetLastError(0);
  EXPECT_FALSE(GetCharWidthW(theCanvas.DC(), 'b', 'a', theWidths.data()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GdiText, GlyphsLandWhereImageMagickPutsThem)
{
  for (const char* theText : {"H", "Tg", "lib"}) {
    SCOPED_TRACE(theText);
    TextCanvas theCanvas(80, 60, -20);
    const std::u16string theWide = Wide(theText);
    ASSERT_TRUE(TextOutW(theCanvas.DC(), 10, 10, theWide.c_str(), int(theWide.size())));
    const auto [l, t, r, b] = theCanvas.Ink();
    const auto [ml, mt, mr, mb] =
      MagickInk(FontFile("DejaVu Sans"), 20, theText, 10, 10 + theCanvas.Metrics().tmAscent, 80, 60);
    ASSERT_GE(ml, 0) << "ImageMagick drew nothing";
    EXPECT_NEAR(l, ml, 1);
    EXPECT_NEAR(t, mt, 1);
    EXPECT_NEAR(r, mr, 1);
    EXPECT_NEAR(b, mb, 1);
  }
}

TEST(GdiText, EscapementTurnsTheTextAboutItsTopLeft)
{
  TextCanvas theCanvas(200, 200, -16, 450);
  const std::u16string theText = u"HHHHHHHHHHHH";
  ASSERT_TRUE(TextOutW(theCanvas.DC(), 30, 170, theText.c_str(), int(theText.size())));
  // The principal axis of the ink.
  double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (LONG y = 0; y < 200; ++y)
    for (LONG x = 0; x < 200; ++x)
      if ((theCanvas.Pixels().Get(x, y) & 0xFF) < 128) {
        n += 1, sx += x, sy += y, sxx += double(x) * x, syy += double(y) * y, sxy += double(x) * y;
      }
  ASSERT_GT(n, 100);
  const double cxx = sxx / n - sx / n * sx / n, cyy = syy / n - sy / n * sy / n, cxy = sxy / n - sx / n * sy / n;
  const double theDegrees = 0.5 * std::atan2(2 * cxy, cxx - cyy) * 180 / 3.14159265358979;
  EXPECT_NEAR(theDegrees, -45, 2) << "up and to the right on the screen";
  EXPECT_GT(sx / n, 30);
  EXPECT_LT(sy / n, 170);
}

TEST(GdiText, DrawTextBreaksMeasuresAndClips)
{
  TextCanvas theCanvas(300, 200, -20);
  const LONG theLine = theCanvas.Metrics().tmHeight;

  RECT theBox{10, 10, 110, 10};
  EXPECT_EQ(DrawText(theCanvas, u"aaa bbb ccc", theBox, kLayoutFlags | DT_CALCRECT), 2 * theLine);
  EXPECT_EQ(theBox.right, 10 + theCanvas.Width("aaa bbb"));
  EXPECT_EQ(theBox.bottom, 10 + 2 * theLine);
  EXPECT_EQ(std::get<0>(theCanvas.Ink()), -1) << "measuring draws nothing";

  // A box one and a bit lines high: only the first line is laid out.
  theBox = RECT{10, 10, 110, 40};
  UINT theLength = 0;
  EXPECT_EQ(DrawText(theCanvas, u"aaa bbb ccc", theBox, kLayoutFlags, &theLength), theLine);
  EXPECT_EQ(theLength, 8u);
  EXPECT_LT(std::get<3>(theCanvas.Ink()), 10 + theLine);

  // A word wider than the line breaks only under DT_EDITCONTROL.
  const std::u16string theWord = u"abcdefghijklmnopqrst";
  theBox = RECT{10, 10, 110, 10};
  EXPECT_EQ(DrawText(theCanvas, theWord, theBox, DT_WORDBREAK | DT_CALCRECT), theLine);
  EXPECT_EQ(theBox.right, 10 + theCanvas.Width("abcdefghijklmnopqrst"));
  theBox = RECT{10, 10, 110, 10};
  EXPECT_GT(DrawText(theCanvas, theWord, theBox, kLayoutFlags | DT_CALCRECT), theLine);
  EXPECT_LE(theBox.right, 110);

  // Line ends, trailing blanks, one line without DT_WORDBREAK.
  theBox = RECT{0, 0, 300, 0};
  EXPECT_EQ(DrawText(theCanvas, u"ab  \r\nc\n\ni", theBox, kLayoutFlags | DT_CALCRECT), 4 * theLine);
  EXPECT_EQ(theBox.right, theCanvas.Width("ab"));
  theBox = RECT{0, 0, 30, 0};
  EXPECT_EQ(DrawText(theCanvas, u"aaa bbb ccc", theBox, DT_CALCRECT), theLine);

  // The empty text.
  theBox = RECT{5, 6, 50, 60};
  EXPECT_EQ(DrawText(theCanvas, u"", theBox, kLayoutFlags | DT_CALCRECT), theLine);
  EXPECT_EQ(std::tie(theBox.right, theBox.bottom), std::make_tuple(LONG{5}, LONG{6}));
  theBox = RECT{5, 6, 50, 60};
  EXPECT_EQ(DrawText(theCanvas, u"", theBox, kLayoutFlags | DT_CALCRECT | DT_SINGLELINE), theLine);
  EXPECT_EQ(theBox.bottom, 6 + theLine);

  // Alignment and clipping.
  for (UINT theAlign : {DT_LEFT, DT_CENTER, DT_RIGHT}) {
    SCOPED_TRACE(theAlign);
    theCanvas.Clear();
    theBox = RECT{50, 50, 250, 150};
    ASSERT_EQ(DrawText(theCanvas, u"HH", theBox, kLayoutFlags | theAlign), theLine);
    const auto [l, t, r, b] = theCanvas.Ink();
    const LONG theInk = theCanvas.Width("HH");
    const LONG theStart = theAlign == DT_LEFT ? 50 : theAlign == DT_CENTER ? 150 - theInk / 2 : 250 - theInk;
    EXPECT_NEAR(l, theStart, 3);
    EXPECT_NEAR(r, theStart + theInk, 3);
  }
  theCanvas.Clear();
  theBox = RECT{50, 50, 80, 60};
  ASSERT_EQ(DrawText(theCanvas, u"WWWWWW", theBox, DT_SINGLELINE), theLine);
  const auto [l, t, r, b] = theCanvas.Ink();
  EXPECT_GE(l, 50);
  EXPECT_EQ(r, 79);
  EXPECT_EQ(b, 59);

  // The ANSI forms count bytes of UTF-8.
  theBox = RECT{10, 10, 10 + theCanvas.Width("eee eee") + 2, 40};
  DRAWTEXTPARAMS theParams{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
  EXPECT_EQ(DrawTextExA(theCanvas.DC(), "\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9", -1, &theBox,
                        kLayoutFlags, &theParams),
            theLine);
  EXPECT_EQ(theParams.uiLengthDrawn, 14u);
  theParams.cbSize = 4;
  SetLastError(0);
  EXPECT_EQ(DrawTextExA(theCanvas.DC(), "x", -1, &theBox, kLayoutFlags, &theParams), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GdiText, LayoutRules)
{
  struct Case {
    std::u32string mText;
    std::int64_t mWidth;
    bool mWrap, mBreakWords;
    std::size_t mMaxLines;
    std::vector<std::u32string> mLines;
    std::vector<std::int64_t> mWidths;
    std::size_t mNext;
  };
  const std::size_t kAll = TextLayout::kNoLimit;
  const Case theCases[] = {
    {U"aa bb cc", 5, true, false, kAll, {U"aa bb", U"cc"}, {5, 2}, 8},
    {U"aa   bb", 4, true, false, kAll, {U"aa", U"bb"}, {2, 2}, 7},
    {U"  aa bb", 5, true, false, kAll, {U"  aa", U"bb"}, {4, 2}, 7},
    {U"aaaaaa b", 4, true, false, kAll, {U"aaaaaa", U"b"}, {6, 1}, 8},
    {U"aaaaaa b", 4, true, true, kAll, {U"aaaa", U"aa b"}, {4, 4}, 8},
    {U"a\r\nb\rc\n\nd\n", 9, true, false, kAll, {U"a", U"b", U"c", U"", U"d"}, {1, 1, 1, 0, 1}, 10},
    {U"aaaaaa   \nb", 3, true, false, kAll, {U"aaaaaa", U"b"}, {6, 1}, 11},
    {U"aa bb cc", 2, true, false, 2, {U"aa", U"bb"}, {2, 2}, 6},
    {U"aa bb\ncc  ", 2, false, false, kAll, {U"aa bb\ncc  "}, {8}, 10},
    {U"x", 0, true, true, 0, {}, {}, 0},
  };
  for (const Case& c : theCases) {
    const std::string theName(c.mText.begin(), c.mText.end());
    SCOPED_TRACE(theName + " in " + std::to_string(c.mWidth));
    TextLayout::Options theOptions;
    theOptions.mMaxWidth = c.mWidth;
    theOptions.mWrap = c.mWrap;
    theOptions.mBreakWords = c.mBreakWords;
    theOptions.mMaxLines = c.mMaxLines;
    const TextLayout theLayout = TextLayout::Lay(c.mText, std::vector<std::int64_t>(c.mText.size(), 1), theOptions);
    std::vector<std::u32string> theLines;
    std::vector<std::int64_t> theWidths;
    for (const TextLayout::Line& theLine : theLayout.mLines) {
      theLines.push_back(c.mText.substr(theLine.mStart, theLine.mEnd - theLine.mStart));
      theWidths.push_back(theLine.mWidth);
    }
    EXPECT_EQ(theLines, c.mLines);
    EXPECT_EQ(theWidths, c.mWidths);
    EXPECT_EQ(theLayout.mNext, c.mNext);
  }
}

TEST(GdiText, ModesColoursAndPaths)
{
  // OPAQUE fills the cells white; TRANSPARENT keeps what is there; every
  // pixel drawn on a 32-bit DIB gets alpha 0.
  TextCanvas theCanvas(120, 40, -20);
  HDC dc = theCanvas.DC();
  for (int theMode : {TRANSPARENT, OPAQUE}) {
    SCOPED_TRACE(theMode);
    for (LONG y = 0; y < 40; ++y)
      for (LONG x = 0; x < 120; ++x)
        const_cast<Dib&>(theCanvas.Pixels()).Put(x, y, 0xFF0000FFu);
    SetBkMode(dc, theMode);
    EXPECT_EQ(SetTextColor(dc, RGB(255, 0, 0)), theMode == TRANSPARENT ? RGB(0, 0, 0) : RGB(255, 0, 0));
    ASSERT_TRUE(TextOutW(dc, 5, 5, u"o i", 3));
    const std::uint32_t theGap = theCanvas.Pixels().Get(5 + theCanvas.Width("o") + 2, 5 + 10);
    EXPECT_EQ(theGap, theMode == OPAQUE ? kWhitePixel : 0xFF0000FFu);
    for (LONG y = 0; y < 40; ++y)
      for (LONG x = 0; x < 120; ++x) {
        const std::uint32_t p = theCanvas.Pixels().Get(x, y);
        ASSERT_TRUE(p == 0xFF0000FFu || (p >> 24) == 0) << Hex(p) << " at " << x << "," << y;
      }
  }
  EXPECT_EQ(SetBkMode(dc, 3), 0);

  // Text filled as a path: the brush's colour or nothing, no antialiasing.
  theCanvas.Clear();
  HBRUSH theBrush = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ theOld = SelectObject(dc, theBrush);
  ASSERT_TRUE(BeginPath(dc));
  ASSERT_TRUE(TextOutW(dc, 5, 5, u"Sag", 3));
  ASSERT_TRUE(EndPath(dc));
  ASSERT_TRUE(FillPath(dc));
  int theFilled = 0;
  for (LONG y = 0; y < 40; ++y)
    for (LONG x = 0; x < 120; ++x) {
      const std::uint32_t p = theCanvas.Pixels().Get(x, y);
      ASSERT_TRUE(p == kWhitePixel || p == 0x0000FF) << Hex(p) << " at " << x << "," << y;
      theFilled += p == 0x0000FF;
    }
  EXPECT_GT(theFilled, 60);
  SelectObject(dc, theOld);
  DeleteObject(theBrush);
}

TEST(GdiText, MulDivRoundsHalfAwayFromZero)
{
  const std::tuple<int, int, int, int> theCases[] = {
    {10, 96, 72, 13}, {-10, 96, 72, -13}, {1, 1, 2, 1},          {-1, 1, 2, -1},
    {3, 1, -2, -2},   {INT_MAX, 2, 2, INT_MAX}, {INT_MIN, 1, 1, INT_MIN}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    {INT_MAX, 2, 1, -1}, {INT_MIN, -1, 1, -1}, {5, 5, 0, -1},
  };
  for (const auto& [a, b, c, theWanted] : theCases)
    EXPECT_EQ(MulDiv(a, b, c), theWanted) << a << " * " << b << " / " << c;
  SetLastError(0);
  MulDiv(1, 1, 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Success leaves the last error alone, also when the answer is 0.
TEST(GdiText, SuccessKeepsTheLastError)
{
  TextCanvas theCanvas(40, 40, -20);
  SetLastError(12345);
  RECT theBox{0, 0, 40, 5};
  UINT theLength = 99;
  EXPECT_EQ(DrawText(theCanvas, u"abc", theBox, kLayoutFlags, &theLength), 0);
  EXPECT_EQ(theLength, 0u);
  EXPECT_TRUE(TextOutW(theCanvas.DC(), 0, 0, u"", 0));
  EXPECT_EQ(MulDiv(0, 5, 7), 0);
  EXPECT_EQ(GetLastError(), 12345u);
}

// 100,000 characters, a 300-character face name, a font a million pixels
// high, a NaN transform: each answers quickly, drawing only what shows.
TEST(GdiText, HostileTextIsClipped)
{
  const std::u16string theLong(100000, u'w');
  TextCanvas theCanvas(64, 64, -12, 0, std::string(300, 'x').c_str());
  ASSERT_TRUE(TextOutW(theCanvas.DC(), 0, 0, theLong.c_str(), int(theLong.size())));
  RECT theBox{0, 0, 64, 64};
  UINT theLength = 0;
  EXPECT_GT(DrawText(theCanvas, theLong, theBox, kLayoutFlags, &theLength), 0);
  EXPECT_GT(theLength, 0u);
  EXPECT_LT(theLength, 1000u);
  theBox = RECT{0, 0, 64, 0};
  EXPECT_GT(DrawText(theCanvas, theLong, theBox, kLayoutFlags | DT_CALCRECT, &theLength), 64 * 100);
  EXPECT_EQ(theLength, 100000u);

  TextCanvas theHuge(64, 64, -1000000);
  ASSERT_GT(theHuge.Metrics().tmHeight, 1000000);
  ASSERT_TRUE(TextOutW(theHuge.DC(), -120000, -500000, u"H", 1));
  EXPECT_EQ(theHuge.Pixels().Get(32, 32), 0u) << "inside the stem of the H";
  theBox = RECT{0, 0, 100, 0};
  EXPECT_GT(DrawText(theHuge, std::u16string(1000, u'H'), theBox, kLayoutFlags | DT_CALCRECT), 1000000);

  TextCanvas theLargest(64, 64, INT_MIN);
  EXPECT_EQ(theLargest.Metrics().tmHeight, INT_MAX);
  EXPECT_TRUE(TextOutW(theLargest.DC(), 0, 0, u"Hx", 2));
}
