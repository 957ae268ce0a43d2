#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiSelection.h"
#include "tests/platform/GdiTestDibs.h"
#include "tests/platform/GdiTestPng.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace gditest;

namespace {

HFONT Font(LONG inHeight, LONG inEscapement, LONG inWeight, BYTE inItalic, BYTE inUnderline, BYTE inStrikeOut,
           const char* inFace)
{
  return CreateFontA(inHeight, 0, inEscapement, inEscapement, inWeight, inItalic, inUnderline, inStrikeOut,
                     ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, inFace);
}

void Text(HDC inDC, int inX, int inY, const std::u16string& inText)
{
  TextOutW(inDC, inX, inY, inText.c_str(), int(inText.size()));
}

// Every kind of shape, pen, brush and text this stand-in draws, on a 640 x 480 DIB.
void DrawScene(HDC dc)
{
  const RECT theAll{0, 0, 640, 480};
  FillRect(dc, &theAll, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetGraphicsMode(dc, GM_ADVANCED);
  SetBkMode(dc, TRANSPARENT);

  Dib thePatternDib(LayoutNamed("32"), 4, 4);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x)
      thePatternDib.Put(x, y, (x + y) % 4 < 2 ? 0xF0A000 : 0x3060C0);

  {
    Use thePen(dc, CreatePen(PS_SOLID, 1, RGB(200, 0, 0)));
    Use theBrush(dc, CreateSolidBrush(RGB(0, 0, 255)));
    Rectangle(dc, 10, 10, 29, 19);
    Ellipse(dc, 40, 10, 120, 60);
  }
  {
    Use thePen(dc, CreatePen(PS_SOLID, 5, RGB(0, 140, 0)));
    Use theBrush(dc, CreatePatternBrush(thePatternDib.Bitmap()));
    RoundRect(dc, 130, 10, 230, 70, 40, 30);
    const POINT theStar[] = {{300, 10}, {325, 100}, {250, 45}, {350, 45}, {275, 100}};
    Polygon(dc, theStar, 5);
  }
  {
    Use thePen(dc, CreatePen(PS_SOLID, 0, RGB(0, 0, 0)));
    const POINT theZigzag[] = {{370, 20}, {400, 90}, {430, 20}, {460, 90}, {490, 20}};
    Polyline(dc, theZigzag, 5);
  }
  {
    // Turned and scaled: the pen turns with the shape.
    Use thePen(dc, CreatePen(PS_SOLID, 4, RGB(120, 0, 160)));
    Use theBrush(dc, CreateSolidBrush(RGB(255, 220, 0)));
    const XFORM theTurn = {0.7f, 0.5f, -0.25f, 0.8f, 540, 20};
    SetWorldTransform(dc, &theTurn);
    Ellipse(dc, 0, 0, 100, 60);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  }
  {
    Use theFont(dc, Font(-20, 0, FW_NORMAL, 0, 0, 0, "DejaVu Sans"));
    Text(dc, 10, 130, u"DejaVu Sans 20: Hamburgefonts \u00e9\u00e8");
    SetTextColor(dc, RGB(180, 0, 0));
    RECT theBox{10, 170, 210, 300};
    DRAWTEXTPARAMS theParams{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
    const std::u16string theParagraph = u"Centred text laid out by our own rules, broken at blanks.";
    DrawTextExW(dc, theParagraph.c_str(), -1, &theBox, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL | DT_CENTER,
                &theParams);
    SetTextColor(dc, RGB(0, 0, 0));
  }
  {
    Use theFont(dc, Font(-24, 0, FW_BOLD, 1, 1, 1, "Liberation Serif"));
    Text(dc, 240, 170, u"Bold italic, underlined, struck");
  }
  {
    Use theFont(dc, Font(-18, 450, FW_NORMAL, 0, 0, 0, "Liberation Mono"));
    SetTextColor(dc, RGB(0, 120, 0));
    Text(dc, 170, 470, u"escapement 45 degrees");
    SetTextColor(dc, RGB(0, 0, 0));
  }
  {
    // Text as a path: stroked and filled outlines.
    Use thePen(dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    Use theBrush(dc, CreatePatternBrush(thePatternDib.Bitmap()));
    Use theFont(dc, Font(-64, 0, FW_BOLD, 0, 0, 0, "DejaVu Sans"));
    BeginPath(dc);
    Text(dc, 20, 340, u"Paths");
    EndPath(dc);
    StrokeAndFillPath(dc);
  }
  {
    Use theFont(dc, Font(-22, 0, FW_NORMAL, 0, 0, 0, "DejaVu Sans"));
    Use theBand(dc, CreateSolidBrush(RGB(150, 220, 150)));
    const RECT theBandRect{380, 280, 630, 350};
    FillRect(dc, &theBandRect, static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH)));
    SetBkMode(dc, OPAQUE);
    const XFORM theSlant = {1, 0, -0.4f, 1, 400, 300};
    SetWorldTransform(dc, &theSlant);
    SetTextColor(dc, RGB(0, 0, 160));
    Text(dc, 0, 0, u"opaque, slanted");
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  }
}

std::vector<std::uint8_t> SceneBytes()
{
  Dib theDib(LayoutNamed("32"), 640, -480);
  DrawScene(theDib.DC());
  const std::uint8_t* theFirst = theDib.Row(0);
  return std::vector<std::uint8_t>(theFirst, theFirst + theDib.RowBytes() * theDib.Height());
}

}  // namespace

TEST(GdiScene, FourThreadsDrawTheBytesOneThreadDraws)
{
  const std::vector<std::uint8_t> theWanted = SceneBytes();
  std::vector<std::vector<std::uint8_t>> theResults(4);
  std::vector<std::thread> theThreads;
  for (int i = 0; i < 4; ++i)
    theThreads.emplace_back([&theResults, i] {
      for (int theRound = 0; theRound < 3; ++theRound)
        theResults[i] = SceneBytes();
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(theResults[i] == theWanted) << "thread " << i;
}

// The scene as pictures for the developer to look at: gdi-sheet.png (32 bits)
// and gdi-sheet-halftone.png (8 bits, our halftone palette).
TEST(GdiScene, WritesTheSheet)
{
  Dib theDib(LayoutNamed("32"), 640, 480);
  DrawScene(theDib.DC());
  ASSERT_TRUE(WritePng(theDib, "gdi-sheet.png"));

  Layout theHalftone = LayoutNamed("8");
  theHalftone.mName = "halftone";
  HPALETTE thePalette = CreateHalftonePalette(nullptr);
  std::vector<PALETTEENTRY> theEntries(256);
  ASSERT_EQ(GetPaletteEntries(thePalette, 0, 256, theEntries.data()), 256u);
  DeleteObject(thePalette);
  for (int i = 0; i < 256; ++i)
    theHalftone.mTable[i] = RGBQUAD{theEntries[i].peBlue, theEntries[i].peGreen, theEntries[i].peRed, 0};
  Dib theIndexed(theHalftone, 640, 480);
  DrawScene(theIndexed.DC());
  ASSERT_TRUE(WritePng(theIndexed, "gdi-sheet-halftone.png"));
  std::printf("sheets: %s and gdi-sheet-halftone.png\n", std::filesystem::absolute("gdi-sheet.png").c_str());
}
