// The bytes the stand-in draws, pinned: seeded stars, ellipses, rounded
// rectangles and paths with solid and pattern brushes and pens of several
// widths, and wrapped, aligned, clipped and transformed text, in four DIB
// layouts. Each picture's FNV-1a hash was recorded from the drawing code
// before its fast paths (the Cairo masks written pixel by pixel through the
// layouts' codecs), on Debian 12 with its Cairo 1.16, FreeType 2.12 and
// fonts-dejavu-core 2.37; run with --gtest_also_run_disabled_tests to print
// the hashes again. A faster road that changes one byte fails here.

#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiSelection.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace gditest;

namespace {

constexpr LONG kSide = 512;

class Seeded {
public:
  int Next(int inRange)
  {
    mSeed = mSeed * 1664525u + 1013904223u;
    return static_cast<int>((mSeed >> 8) % static_cast<std::uint32_t>(inRange));
  }

private:
  std::uint32_t mSeed = 2024;
};

COLORREF Colour(Seeded& ioSeed)
{
  return RGB(ioSeed.Next(256), ioSeed.Next(256), ioSeed.Next(256));
}

void Clear(HDC inDC)
{
  const RECT theAll{0, 0, kSide, kSide};
  FillRect(inDC, &theAll, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

// Stars, ellipses, rounded rectangles and a path, each with a seeded brush
// (null, solid or one of two patterns) and pen (null or 1, 3 or 6 wide).
void DrawShapes(HDC dc)
{
  Clear(dc);
  Dib theSmall(LayoutNamed("32"), 4, 4);
  Dib theLarge(LayoutNamed("32"), 7, 5);
  for (LONG y = 0; y < 5; ++y)
    for (LONG x = 0; x < 7; ++x) {
      if (x < 4 && y < 4)
        theSmall.Put(x, y, (x + y) % 4 < 2 ? 0xF0A000 : 0x3060C0);
      theLarge.Put(x, y, 0x101010u * static_cast<std::uint32_t>(x + 2 * y));
    }
  Seeded theSeed;
  auto Brush = [&]() -> HGDIOBJ {
    switch (theSeed.Next(4)) {
    case 0:
      return CreatePatternBrush(theSmall.Bitmap());
    case 1:
      return CreatePatternBrush(theLarge.Bitmap());
    case 2:
      return GetStockObject(NULL_BRUSH);
    default:
      return CreateSolidBrush(Colour(theSeed));
    }
  };
  const int kPens[] = {0, 1, 3, 6};
  for (int i = 0; i < 400; ++i) {
    const int theWidth = kPens[theSeed.Next(4)];
    Use thePen(dc, theWidth == 0 ? CreatePen(PS_NULL, 0, 0) : CreatePen(PS_SOLID, theWidth, Colour(theSeed)));
    Use theBrush(dc, Brush());
    const int x = theSeed.Next(kSide + 40) - 20, y = theSeed.Next(kSide + 40) - 20, r = 3 + theSeed.Next(40);
    switch (i % 4) {
    case 0:
    case 1: {
      POINT theStar[10];
      for (int k = 0; k < 10; ++k) {
        const double a = M_PI / 5 * k - M_PI / 2, d = k % 2 ? r * 0.4 : r;
        theStar[k] = POINT{LONG(std::lround(x + d * std::cos(a))), LONG(std::lround(y + d * std::sin(a)))};
      }
      Polygon(dc, theStar, 10);
      break;
    }
    case 2:
      Ellipse(dc, x - r, y - r / 2, x + r, y + r / 2);
      break;
    default:
      RoundRect(dc, x - r, y - r, x + r / 2, y + r, r / 2, r / 3);
      break;
    }
  }
  SetGraphicsMode(dc, GM_ADVANCED);
  const XFORM theTurn = {0.8f, 0.45f, -0.3f, 0.9f, 300, 40};
  SetWorldTransform(dc, &theTurn);
  {
    Use thePen(dc, CreatePen(PS_SOLID, 5, RGB(20, 90, 40)));
    Use theBrush(dc, CreatePatternBrush(theLarge.Bitmap()));
    BeginPath(dc);
    Ellipse(dc, 0, 0, 150, 90);
    const POINT theZigzag[] = {{0, 120}, {40, 200}, {80, 120}, {120, 200}};
    Polyline(dc, theZigzag, 4);
    EndPath(dc);
    StrokeAndFillPath(dc);
  }
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
}

HFONT Font(LONG inHeight, LONG inWeight, BYTE inItalic, const char* inFace)
{
  return CreateFontA(inHeight, 0, 0, 0, inWeight, inItalic, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, inFace);
}

// Seeded paragraphs wrapped in boxes that cut some of them short, left,
// centred and right, in three fonts (a new font for every paragraph, as the
// canvas makes them), in colour, one set under a turning world transform,
// and a line in OPAQUE mode.
void DrawParagraphs(HDC dc)
{
  Clear(dc);
  static const char16_t* const kWords[] = {u"the", u"quick", u"brown", u"fox", u"jumps", u"over", u"lazy",
                                           u"dog", u"imaging", u"server", u"\u00e9t\u00e9", u"wraps", u"text"};
  const char* const kFaces[] = {"DejaVu Sans", "Liberation Serif", "DejaVu Sans Mono"};
  const UINT kAlign[] = {0, DT_CENTER, DT_RIGHT};
  Seeded theSeed;
  SetBkMode(dc, TRANSPARENT);
  SetGraphicsMode(dc, GM_ADVANCED);
  for (int i = 0; i < 24; ++i) {
    std::u16string theText;
    for (int w = 0; w < 10 + theSeed.Next(30); ++w)
      theText += std::u16string(w ? u" " : u"") + kWords[theSeed.Next(13)];
    if (i == 20) {
      const XFORM theTurn = {0.9f, 0.3f, -0.3f, 0.9f, 40, 20};
      SetWorldTransform(dc, &theTurn);
    }
    Use theFont(dc, Font(-(10 + theSeed.Next(12)), theSeed.Next(2) ? FW_BOLD : FW_NORMAL, BYTE(theSeed.Next(2)),
                         kFaces[theSeed.Next(3)]));
    SetTextColor(dc, Colour(theSeed));
    const LONG theLeft = (i % 4) * 128, theTop = (i / 4) % 5 * 100;
    RECT theBox{theLeft + 2, theTop + 2, theLeft + 122 + theSeed.Next(20), theTop + 60 + theSeed.Next(50)};
    DRAWTEXTPARAMS theParams{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
    DrawTextExW(dc, theText.c_str(), -1, &theBox, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL | kAlign[i % 3],
                &theParams);
  }
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  Use theFont(dc, Font(-18, FW_NORMAL, 0, "DejaVu Sans"));
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, RGB(0, 0, 160));
  const std::u16string theLine = u"opaque line, 18 pixels";
  TextOutW(dc, 20, 480, theLine.c_str(), int(theLine.size()));
}

Layout Halftone()
{
  Layout theLayout = LayoutNamed("8");
  theLayout.mName = "halftone";
  HPALETTE thePalette = CreateHalftonePalette(nullptr);
  std::vector<PALETTEENTRY> theEntries(256);
  GetPaletteEntries(thePalette, 0, 256, theEntries.data());
  DeleteObject(thePalette);
  for (int i = 0; i < 256; ++i)
    theLayout.mTable[i] = RGBQUAD{theEntries[i].peBlue, theEntries[i].peGreen, theEntries[i].peRed, 0};
  return theLayout;
}

std::uint64_t Hash(const Dib& inDib)
{
  std::uint64_t theHash = 14695981039346656037ull;
  for (LONG y = 0; y < inDib.Height(); ++y) {
    const std::uint8_t* theRow = inDib.Row(y);
    for (std::int64_t i = 0; i < inDib.RowBytes(); ++i)
      theHash = (theHash ^ theRow[i]) * 1099511628211ull;
  }
  return theHash;
}

struct Picture {
  const char* mDrawing;
  std::string mLayout;
  std::uint64_t mHash;
};

const Picture kPictures[] = {
  {"shapes", "32", 0x9a5c93fb6aad7d28ull},         {"shapes", "24", 0x42b6cfe25d7a67feull},
  {"shapes", "16-565", 0x26390bd505cf23d6ull},     {"shapes", "halftone", 0x29b7cc5ede65d29eull},
  {"paragraphs", "32", 0x11ac245ac5f24de1ull},     {"paragraphs", "24", 0x078b050fbd1db891ull},
  {"paragraphs", "16-565", 0xe9566c542f2cd089ull}, {"paragraphs", "halftone", 0x3b844711891cb660ull},
};

std::uint64_t Draw(const Picture& inPicture)
{
  Dib theDib(inPicture.mLayout == "halftone" ? Halftone() : LayoutNamed(inPicture.mLayout), kSide, -kSide);
  if (std::string(inPicture.mDrawing) == "shapes")
    DrawShapes(theDib.DC());
  else
    DrawParagraphs(theDib.DC());
  return Hash(theDib);
}

}  // namespace

TEST(GdiPixels, ShapesAndTextDrawTheRecordedBytes)
{
  for (const Picture& thePicture : kPictures) {
    char theHex[32];
    std::snprintf(theHex, sizeof theHex, "0x%016llx", static_cast<unsigned long long>(Draw(thePicture)));
    char theWanted[32];
    std::snprintf(theWanted, sizeof theWanted, "0x%016llx", static_cast<unsigned long long>(thePicture.mHash));
    EXPECT_STREQ(theHex, theWanted) << thePicture.mDrawing << " on " << thePicture.mLayout;
  }
}

TEST(GdiPixels, DISABLED_PrintsTheHashes)
{
  for (const Picture& thePicture : kPictures)
    std::printf("  {\"%s\", \"%s\", 0x%016llxull},\n", thePicture.mDrawing, thePicture.mLayout.c_str(),
                static_cast<unsigned long long>(Draw(thePicture)));
}
