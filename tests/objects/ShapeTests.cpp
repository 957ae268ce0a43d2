// Shapes and text on a Canvas in-process, through both roads (GDI paths and
// OpenGL), read back pixel by pixel: where the ink lies, in which colours,
// and what the measuring methods answer.

#include "core/Preferences.h"
#include "objects/Canvas.h"
#include "objects/SelfRegistration.h"
#include "platform/automation/Bstr.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/base/WinError.h"
#include "tests/support/HostProcess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <set>
#include <vector>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
const std::string kFont = "textfont='DejaVu Sans' textsize=15 ";  // 20 pixels to the em

// The smallest rectangle (right and bottom inclusive) of the pixels that are
// not white; all -1 when there are none.
struct Ink {
  LONG left = -1, top = -1, right = -1, bottom = -1;
  friend bool operator==(const Ink&, const Ink&) = default;
};

std::ostream& operator<<(std::ostream& ioStream, const Ink& inInk)
{
  return ioStream << inInk.left << "," << inInk.top << "," << inInk.right << "," << inInk.bottom;
}

class Shapes : public testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(RegisterModule(), S_OK);
    mCanvas = MakeCanvas(200, 100);
  }

  static ObjectPtr<Canvas> MakeCanvas(LONG inWidth, LONG inHeight, const char* inDepth = "millions")
  {
    ObjectPtr<Canvas> theCanvas;
    EXPECT_EQ(ComObject<Canvas>::Create(nullptr, theCanvas), S_OK);
    EXPECT_EQ(theCanvas->put_Depth(*Variant(inDepth).Get()), S_OK);
    if (inWidth > 0) {
      EXPECT_EQ(theCanvas->put_Width(*Variant(inWidth).Get()), S_OK);
    }
    if (inHeight > 0) {
      EXPECT_EQ(theCanvas->put_Height(*Variant(inHeight).Get()), S_OK);
    }
    return theCanvas;
  }

  // The rectangle answered, or the error description.
  static std::string Shape(Canvas& ioCanvas, const std::string& inShape, const std::string& inParams)
  {
    Variant theShape(inShape), theParams(inParams), theRect;
    return Outcome(ioCanvas.DrawShape(theShape.Get(), theParams.Get(), theRect.Receive()), theRect);
  }
  std::string Shape(const std::string& inShape, const std::string& inParams)
  {
    return Shape(*mCanvas.Get(), inShape, inParams);
  }
  std::string Text(const std::string& inText, const std::string& inParams)
  {
    Variant theText(inText), theParams(inParams), theRect;
    return Outcome(mCanvas->DrawText(theText.Get(), theParams.Get(), theRect.Receive()), theRect);
  }
  std::string Area(const std::string& inText, const std::string& inParams)
  {
    Variant theText(inText), theParams(inParams), theWidth, theHeight, theLine, theResult;
    const HRESULT theOutcome = mCanvas->TextArea(theText.Get(), theParams.Get(), theWidth.Receive(),
                                                 theHeight.Receive(), theLine.Receive(), theResult.Receive());
    if (SUCCEEDED(theOutcome)) {
      EXPECT_EQ(VariantText(*theResult.Get()), VariantText(*theWidth.Get()) + "," + VariantText(*theHeight.Get()) +
                                                   "," + VariantText(*theLine.Get()));
    }
    return Outcome(theOutcome, theResult);
  }
  std::string Length(const std::string& inText, const std::string& inParams)
  {
    Variant theText(inText), theParams(inParams), theValue, theResult;
    const HRESULT theOutcome =
      mCanvas->TextLength(theText.Get(), theParams.Get(), theValue.Receive(), theResult.Receive());
    if (SUCCEEDED(theOutcome)) {
      EXPECT_EQ(VariantText(*theValue.Get()), VariantText(*theResult.Get()));
    }
    return Outcome(theOutcome, theResult);
  }
  static std::string Outcome(HRESULT inResult, const Variant& inValue)
  {
    if (SUCCEEDED(inResult))
      return VariantText(*inValue.Get());
    ComPtr<IErrorInfo> theInfo;
    Bstr theDescription;
    if (GetErrorInfo(0, theInfo.Receive()) == S_OK)
      theInfo->GetDescription(theDescription.Receive());
    return "error: " + BstrToUtf8(theDescription.Get());
  }

  static HDC DC(Canvas& inCanvas)
  {
    LONG theImage = 0;
    EXPECT_EQ(inCanvas.get_Image(&theImage), S_OK);
    return NumberToHandle<HDC>(static_cast<std::uint32_t>(theImage));
  }
  COLORREF Pixel(LONG inX, LONG inY) { return GetPixel(DC(*mCanvas.Get()), inX, inY); }
  std::string Color(LONG inX, LONG inY)
  {
    Variant theLocation(std::to_string(inX) + "," + std::to_string(inY)), theColor;
    EXPECT_EQ(mCanvas->GetColor(theLocation.Get(), theColor.Receive()), S_OK);
    return VariantText(*theColor.Get());
  }
  // Every pixel's colour (alpha left out), row by row.
  struct Picture {
    LONG mWidth = 0;
    std::vector<COLORREF> mPixels;
  };
  Picture Snapshot()
  {
    DIBSECTION theSection{};
    EXPECT_EQ(GetObjectA(GetCurrentObject(DC(*mCanvas.Get()), OBJ_BITMAP), sizeof theSection, &theSection),
              static_cast<int>(sizeof theSection));
    EXPECT_EQ(theSection.dsBm.bmBitsPixel, 32);
    Picture thePicture{theSection.dsBm.bmWidth, {}};
    for (LONG y = 0; y < theSection.dsBm.bmHeight; ++y)
      for (LONG x = 0; x < theSection.dsBm.bmWidth; ++x) {
        const BYTE* thePixel =
          static_cast<const BYTE*>(theSection.dsBm.bmBits) + y * theSection.dsBm.bmWidthBytes + 4 * x;
        thePicture.mPixels.push_back(RGB(thePixel[2], thePixel[1], thePixel[0]));
      }
    return thePicture;
  }
  Ink FindInk()
  {
    Ink theInk;
    const Picture thePicture = Snapshot();
    for (std::size_t i = 0; i < thePicture.mPixels.size(); ++i)
      if (thePicture.mPixels[i] != kWhite) {
        const LONG x = static_cast<LONG>(i % thePicture.mWidth), y = static_cast<LONG>(i / thePicture.mWidth);
        theInk.left = theInk.left < 0 ? x : std::min(theInk.left, x);
        theInk.right = std::max(theInk.right, x);
        theInk.top = theInk.top < 0 ? y : theInk.top;
        theInk.bottom = y;
      }
    return theInk;
  }
  std::set<COLORREF> Colors()
  {
    const Picture thePicture = Snapshot();
    return std::set<COLORREF>(thePicture.mPixels.begin(), thePicture.mPixels.end());
  }
  void Erase() { ASSERT_EQ(mCanvas->Erase(), S_OK); }
  static void Paint(Canvas& ioCanvas, const std::string& inRect, const std::string& inColour)
  {
    ASSERT_EQ(Shape(ioCanvas, "rect", "op=paint rect=" + inRect + " paintcolor=" + inColour), inRect);
  }
  // inPattern's pixels as this canvas's pattern.
  void UsePattern(Canvas& inPattern)
  {
    LONG theImage = 0;
    ASSERT_EQ(inPattern.get_Image(&theImage), S_OK);
    ASSERT_EQ(mCanvas->put_Pattern(theImage), S_OK);
  }
  // The metrics of kFont's face and size.
  TEXTMETRICW Metrics()
  {
    HDC theDC = DC(*mCanvas.Get());
    HFONT theFont = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
    HGDIOBJ theOld = SelectObject(theDC, theFont);
    TEXTMETRICW theMetrics{};
    EXPECT_TRUE(GetTextMetricsW(theDC, &theMetrics));
    SelectObject(theDC, theOld);
    DeleteObject(theFont);
    return theMetrics;
  }

  ObjectPtr<Canvas> mCanvas;
};

// Both roads, every shape and draw mode: where the pen (red) and the brush
// (blue) land. The pen stays inside the shape: h = pen / 2 at left and top,
// (pen + 1) / 2 at right and bottom, (pen - 1) / 2 at an oval's left and top.
TEST_F(Shapes, EveryShapeAndDrawModeLandsInsideItsRectangle)
{
  const std::string kColours = " pencolor=#FF0000 paintcolor=#0000FF";
  const struct {
    const char* mShape;
    std::string mParams;
    Ink mInk;
    std::set<COLORREF> mColours;  // beside white
  } kCases[] = {
    {"rect", "rect=10,10,30,20", {10, 10, 29, 19}, {kRed, kBlue}},
    {"rect", "rect=10,10,30,20 op=paint", {10, 10, 29, 19}, {kBlue}},
    {"rect", "rect=10,30,50,70 pensize=5 op=draw", {10, 30, 49, 69}, {kRed}},
    {"oval", "rect=10,30,50,70 pensize=6 op=draw", {10, 30, 49, 69}, {kRed}},
    {"oval", "rect=10,30,50,70 op=paint", {10, 30, 49, 69}, {kBlue}},
    {"roundrect", "rect=10,30,50,70 pensize=3 cornersize=20", {10, 30, 49, 69}, {kRed, kBlue}},
    {"poly", "points=10,10,60,10,60,60 pensize=5 op=draw", {10, 10, 64, 64}, {kRed}},
    {"poly", "points=10,10,60,10,60,60 pensize=5 op=paint", {10, 10, 59, 59}, {kBlue}},
    {"line", "points=10,10,60,10,60,60 op=draw", {10, 10, 60, 60}, {kRed}},
    {"line", "points=10,10,60,10,60,60 op=paint", {10, 10, 59, 59}, {kBlue}},
    {"line", "points=10,10,60,10,60,60", {10, 10, 60, 60}, {kRed, kBlue}},
  };
  for (const auto& theCase : kCases) {
    for (const char* theRoad : {"", " opengl=true"}) {
      SCOPED_TRACE(std::string(theCase.mShape) + " " + theCase.mParams + theRoad);
      Erase();
      const std::size_t theRect = theCase.mParams.find("rect=");
      const std::string theAnswer = theRect == 0 ? theCase.mParams.substr(5, theCase.mParams.find(' ') - 5) : "0,0,0,0";
      ASSERT_EQ(Shape(theCase.mShape, theCase.mParams + kColours + theRoad), theAnswer);
      const Ink theInk = FindInk();
      if (*theRoad == 0) {
        EXPECT_EQ(theInk, theCase.mInk);
        std::set<COLORREF> theColours = Colors();
        theColours.erase(kWhite);
        EXPECT_EQ(theColours, theCase.mColours);
      } else {
        // Antialiased edges: within a pixel of the GDI road, in the same colours where solid.
        EXPECT_NEAR(theInk.left, theCase.mInk.left, 1);
        EXPECT_NEAR(theInk.top, theCase.mInk.top, 1);
        EXPECT_NEAR(theInk.right, theCase.mInk.right, 1);
        EXPECT_NEAR(theInk.bottom, theCase.mInk.bottom, 1);
        for (const COLORREF theColour : theCase.mColours)
          EXPECT_TRUE(Colors().count(theColour)) << std::hex << theColour;
      }
    }
  }
}

// Text as a shape fills and strokes glyph outlines without antialiasing;
// DrawText draws them antialiased in the text colour.
TEST_F(Shapes, ShapeTextIsFilledOrStrokedAndDrawnTextIsSmooth)
{
  const std::string kText = kFont + "textsize=40 rect=0,0,200,100 text=Hello pencolor=#FF0000 paintcolor=#0000FF";
  ASSERT_EQ(Shape("text", kText + " op=paint"), "0,0,200,100");
  EXPECT_EQ(Colors(), (std::set<COLORREF>{kWhite, kBlue}));
  Erase();
  ASSERT_EQ(Shape("text", kText + " op=draw"), "0,0,200,100");
  EXPECT_EQ(Colors(), (std::set<COLORREF>{kWhite, kRed}));
  Erase();
  ASSERT_EQ(Text("Hello", kText + " textcolor=#000000"), "0,0,200,100");
  const std::set<COLORREF> theColours = Colors();
  EXPECT_GT(theColours.size(), 8u);
  for (const COLORREF theColour : theColours)
    EXPECT_TRUE(GetRValue(theColour) == GetGValue(theColour) && GetGValue(theColour) == GetBValue(theColour))
      << "only greys between the text colour and white: " << std::hex << theColour;
}

// A canvas without pixels gets them at the first shape: 256 x 256, or a
// square of the one side set.
TEST_F(Shapes, ACanvasWithoutPixelsIsMadeAtTheFirstShape)
{
  for (const char* theRoad : {"", " opengl=true"}) {
    for (const auto& [theWidth, theSide] : {std::pair{LONG{0}, LONG{256}}, std::pair{LONG{100}, LONG{100}}}) {
      SCOPED_TRACE(std::to_string(theWidth) + theRoad);
      ObjectPtr<Canvas> theCanvas = MakeCanvas(theWidth, 0);
      ASSERT_EQ(Shape(*theCanvas.Get(), "oval", std::string("rect=0,0,10,10") + theRoad), "0,0,10,10");
      Variant theWidthNow, theHeightNow;
      ASSERT_EQ(theCanvas->get_Width(theWidthNow.Receive()), S_OK);
      ASSERT_EQ(theCanvas->get_Height(theHeightNow.Receive()), S_OK);
      EXPECT_EQ(VariantLong(*theWidthNow.Get()), theSide);
      EXPECT_EQ(VariantLong(*theHeightNow.Get()), theSide);
    }
  }
}

// A pattern pen is refused whatever the draw mode; a pattern brush is the
// other canvas's pixels tiled from the canvas's (0, 0).
TEST_F(Shapes, PatternsPaintButNeverDrawThroughGDI)
{
  const std::string kRefusal = "error: You can paint using patterns but you cannot draw using them.\n\n\n";
  for (const char* theMode : {"draw", "paint", "both"})
    EXPECT_EQ(Shape("rect", std::string("pencolor=pattern op=") + theMode).substr(0, kRefusal.size()), kRefusal)
      << theMode;
  EXPECT_EQ(Text("Hello", "pencolor=pattern").substr(0, kRefusal.size()), kRefusal);
  EXPECT_EQ(Shape("rect", "paintcolor=pattern").substr(0, 30), "error: Cannot access pattern.\n");

  ObjectPtr<Canvas> thePattern = MakeCanvas(3, 2);
  Paint(*thePattern.Get(), "0,0,1,1", "#FF0000");
  Paint(*thePattern.Get(), "1,0,2,1", "#00FF00");
  Paint(*thePattern.Get(), "2,1,3,2", "#0000FF");
  UsePattern(*thePattern.Get());
  ASSERT_EQ(Shape("rect", "rect=5,3,50,40 paintcolor=pattern op=paint"), "5,3,50,40");
  for (LONG y = 3; y < 40; ++y)
    for (LONG x = 5; x < 50; ++x)
      ASSERT_EQ(Pixel(x, y), GetPixel(DC(*thePattern.Get()), x % 3, y % 2)) << x << "," << y;
}

// OpenGL on a 32-bit canvas: the GDI road's pixels but for the edges, the
// colour's alpha kept (GDI writes 0); shape text draws nothing; a 16-bit
// canvas draws through GDI.
TEST_F(Shapes, OpenGLCoversWhatGDIPaintsAndKeepsAlpha)
{
  ASSERT_EQ(Shape("rect", "rect=10,5,40,15 op=paint paintcolor=#0000FF"), "10,5,40,15");
  const Picture theGDI = Snapshot();
  EXPECT_EQ(Color(20, 10), "0.0,0.0,100.0,0.0");
  Erase();
  ASSERT_EQ(Shape("rect", "rect=10,5,40,15 op=paint paintcolor=#0000FF opengl=true"), "10,5,40,15");
  const Picture theGL = Snapshot();
  for (LONG y = 0; y < 100; ++y)
    for (LONG x = 0; x < 200; ++x) {
      const bool theEdge = ((x == 10 || x == 39) && y >= 5 && y < 15) || ((y == 5 || y == 14) && x >= 10 && x < 40);
      if (!theEdge) {
        ASSERT_EQ(theGL.mPixels[y * 200 + x], theGDI.mPixels[y * 200 + x]) << x << "," << y;
      }
    }
  EXPECT_EQ(Color(20, 10), "0.0,0.0,100.0,100.0");
  ASSERT_EQ(Shape("rect", "rect=10,5,40,15 op=paint paintcolor=0x00,0x00,0xFF,0x80 opengl=true"), "10,5,40,15");
  EXPECT_EQ(Color(20, 10), "0.0,0.0,100.0,50.2");

  Erase();
  ASSERT_EQ(Shape("text", kFont + "text=Hello opengl=true"), "0,0,0,0");
  EXPECT_EQ(Colors(), std::set<COLORREF>{kWhite});

  mCanvas = MakeCanvas(200, 100, "thousands");
  ASSERT_EQ(Shape("rect", "rect=10,5,40,15 op=paint paintcolor=#0000FF opengl=true"), "10,5,40,15");
  for (LONG y = 0; y < 100; y += 3)
    for (LONG x = 0; x < 200; x += 3)
      ASSERT_EQ(Pixel(x, y), theGDI.mPixels[y * 200 + x]) << x << "," << y;
}

// Through OpenGL a pattern is the top-left corner of the pattern's pixels
// that has power-of-two sides, in its own colours, repeating from (0, 0).
TEST_F(Shapes, OpenGLPatternsRepeatTheirPowerOfTwoCorner)
{
  for (const auto& [theWidth, theHeight] : {std::pair{LONG{100}, LONG{60}}, std::pair{LONG{64}, LONG{32}}}) {
    SCOPED_TRACE(std::to_string(theWidth) + " x " + std::to_string(theHeight));
    ObjectPtr<Canvas> thePattern = MakeCanvas(theWidth, theHeight);
    ASSERT_EQ(thePattern->put_Color(*Variant("#102030").Get()), S_OK);
    ASSERT_EQ(thePattern->Erase(), S_OK);
    Paint(*thePattern.Get(), "0,0,10,5", "#FF8000");
    Paint(*thePattern.Get(), "54,22,64,32", "#0000FF");
    Paint(*thePattern.Get(), "64,0,100,60", "#00FF00");  // never shows
    Paint(*thePattern.Get(), "0,32,100,60", "#00FF00");
    UsePattern(*thePattern.Get());
    ASSERT_EQ(Shape("rect", "rect=0,0,200,100 paintcolor=pattern op=paint opengl=true"), "0,0,200,100");
    const Picture theCanvas = Snapshot();
    for (LONG y = 0; y < 100; ++y)
      for (LONG x = 0; x < 200; ++x)
        ASSERT_EQ(theCanvas.mPixels[y * 200 + x], GetPixel(DC(*thePattern.Get()), x % 64, y % 32)) << x << "," << y;
  }
}

// Cairo's coverage (0..255) of the polygon of inPoints (x, y, x, y ...) on a
// canvas of inWidth x inHeight, antialiased as Cairo fills by default, row by row.
std::vector<int> CairoCoverage(LONG inWidth, LONG inHeight, const std::vector<int>& inPoints)
{
  std::string theArguments;
  for (const int theNumber : inPoints)
    theArguments += std::to_string(theNumber) + " ";
  const tltest::RunResult theRun = tltest::RunProgram(
    {"/usr/bin/python3", "-c",
     "import cairo, sys\n"
     "w, h, p = int(sys.argv[1]), int(sys.argv[2]), [int(v) for v in sys.argv[3].split()]\n"
     "s = cairo.ImageSurface(cairo.FORMAT_A8, w, h)\n"
     "c = cairo.Context(s)\n"
     "c.move_to(p[0], p[1])\n"
     "for i in range(2, len(p), 2): c.line_to(p[i], p[i + 1])\n"
     "c.close_path()\n"
     "c.fill()\n"
     "s.flush()\n"
     "d = s.get_data()\n"
     "print(' '.join(str(d[y * s.get_stride() + x]) for y in range(h) for x in range(w)))\n",
     std::to_string(inWidth), std::to_string(inHeight), theArguments});
  EXPECT_EQ(theRun.mStatus, 0) << theRun.mErr;
  std::vector<int> theCoverage;
  std::istringstream theStream(theRun.mOut);
  for (int theValue = 0; theStream >> theValue;)
    theCoverage.push_back(theValue);
  EXPECT_EQ(theCoverage.size(), static_cast<std::size_t>(inWidth * inHeight));
  return theCoverage;
}

// A filled polygon through OpenGL has antialiased edges, as Cairo fills it:
// every pixel's coverage within 1/8 of Cairo's, and along a 30-degree edge at
// least 8 distinct levels between none and full.
TEST_F(Shapes, OpenGLFillsAreAntialiasedAsCairoFillsThem)
{
  const std::vector<std::vector<int>> kPolygons = {
    {10, 10, 107, 66, 10, 66},  // the long edge at 30 degrees (56 / 97 = tan 29.999)
    {100, 5, 112, 39, 148, 39, 119, 61, 130, 95, 100, 74, 70, 95, 81, 61, 52, 39, 88, 39},  // a star
  };
  for (const std::vector<int>& thePolygon : kPolygons) {
    std::string thePoints;
    for (const int theNumber : thePolygon)
      thePoints += (thePoints.empty() ? "" : ",") + std::to_string(theNumber);
    SCOPED_TRACE(thePoints);
    Erase();
    ASSERT_EQ(Shape("poly", "op=paint paintcolor=#000000 opengl=true points=" + thePoints), "0,0,0,0");
    const Picture theOurs = Snapshot();
    const std::vector<int> theCairo = CairoCoverage(200, 100, thePolygon);
    ASSERT_EQ(theCairo.size(), theOurs.mPixels.size());
    std::set<int> theLevels;
    for (std::size_t i = 0; i < theCairo.size(); ++i) {
      const COLORREF thePixel = theOurs.mPixels[i];
      ASSERT_TRUE(GetRValue(thePixel) == GetGValue(thePixel) && GetGValue(thePixel) == GetBValue(thePixel))
        << std::hex << thePixel;
      const int theCoverage = 255 - GetRValue(thePixel);
      EXPECT_LE(std::abs(theCoverage - theCairo[i]), 255 / 8)
        << "pixel " << i % 200 << "," << i / 200 << ": ours " << theCoverage << ", Cairo's " << theCairo[i];
      const LONG y = static_cast<LONG>(i / 200);
      if (theCoverage > 0 && theCoverage < 255 && y > 11 && y < 64)
        theLevels.insert(theCoverage);
    }
    EXPECT_GE(theLevels.size(), 8u);
  }
}

// Every pixel of a 32-bit canvas as it lies in memory, alpha included.
std::vector<std::uint32_t> Words(HDC inDC, LONG& outWidth)
{
  DIBSECTION theSection{};
  EXPECT_EQ(GetObjectA(GetCurrentObject(inDC, OBJ_BITMAP), sizeof theSection, &theSection),
            static_cast<int>(sizeof theSection));
  outWidth = theSection.dsBm.bmWidth;
  std::vector<std::uint32_t> theWords(static_cast<std::size_t>(outWidth) * theSection.dsBm.bmHeight);
  for (LONG y = 0; y < theSection.dsBm.bmHeight; ++y)
    std::memcpy(theWords.data() + static_cast<std::size_t>(y) * outWidth,
                static_cast<const BYTE*>(theSection.dsBm.bmBits) + y * theSection.dsBm.bmWidthBytes,
                static_cast<std::size_t>(outWidth) * 4);
  return theWords;
}

// Through OpenGL a shape touches the pixels of its own box alone: in the
// corner of a large canvas every pixel outside that corner keeps its bytes,
// and the corner takes the bytes the same shapes give on a canvas of just the
// corner's size, all of which is drawn on. (The vertices lie on the grid of
// half pixels: OpenGL holds coordinates in single precision, so a vertex
// between them, such as an oval's, lies a little apart at 1440 and at 0.)
TEST_F(Shapes, OpenGLDrawsOnTheShapesBoxAlone)
{
  ObjectPtr<Canvas> thePattern = MakeCanvas(8, 4);
  Paint(*thePattern.Get(), "0,0,3,2", "#C08020");
  Paint(*thePattern.Get(), "3,1,8,4", "#2040E0");
  LONG thePatternImage = 0;
  ASSERT_EQ(thePattern->get_Image(&thePatternImage), S_OK);
  constexpr LONG kLeft = 1440, kTop = 1080, kWidth = 160, kHeight = 120;  // multiples of the pattern's sides
  const auto theShapes = [](LONG inX, LONG inY) {
    const auto thePoints = [&](std::vector<int> inCoordinates) {
      std::string theText;
      for (std::size_t i = 0; i < inCoordinates.size(); ++i)
        theText += (i ? "," : "") + std::to_string(inCoordinates[i] + (i % 2 ? inY : inX));
      return theText;
    };
    const auto theRect = [&](int l, int t, int r, int b) { return thePoints({l, t, r, b}); };
    return std::vector<std::pair<std::string, std::string>>{
      {"poly", "op=both pensize=3 pencolor=#C02040 paintcolor=#30A050 points=" +
                 thePoints({80, 20, 92, 54, 128, 54, 99, 76, 110, 100, 80, 89, 50, 100, 61, 76, 32, 54, 68, 54})},
      {"rect", "op=both pensize=2 pencolor=#000000 paintcolor=pattern rect=" + theRect(25, 30, 95, 90)},
      {"poly", "op=draw pensize=5 pencolor=0x10,0x20,0xF0,0x90 points=" + thePoints({60, 25, 135, 40, 110, 95})},
      {"line", "op=draw pensize=1 pencolor=#FF00FF points=" + thePoints({22, 98, 140, 21})},
    };
  };
  std::vector<std::uint32_t> theResults[2], theBackground;
  LONG theWidths[2] = {};
  for (const bool theLarge : {false, true}) {
    ObjectPtr<Canvas> theCanvas = theLarge ? MakeCanvas(1600, 1200) : MakeCanvas(kWidth, kHeight);
    ASSERT_EQ(theCanvas->put_Pattern(thePatternImage), S_OK);
    ASSERT_EQ(Shape(*theCanvas.Get(), "rect", "op=paint paintcolor=pattern").find("error"), std::string::npos);
    if (theLarge)
      theBackground = Words(DC(*theCanvas.Get()), theWidths[1]);
    for (const auto& [theShape, theParams] : theShapes(theLarge ? kLeft : 0, theLarge ? kTop : 0))
      ASSERT_EQ(Shape(*theCanvas.Get(), theShape, theParams + " opengl=true").find("error"), std::string::npos)
        << theParams;
    theResults[theLarge] = Words(DC(*theCanvas.Get()), theWidths[theLarge]);
  }
  ASSERT_NE(theResults[0], std::vector<std::uint32_t>(theResults[0].size(), theResults[0][0])) << "something drawn";
  for (LONG y = 0; y < 1200; ++y)
    for (LONG x = 0; x < 1600; ++x) {
      const bool theCorner = x >= kLeft && y >= kTop;
      const std::uint32_t theExpected = theCorner ? theResults[0][(y - kTop) * kWidth + (x - kLeft)]
                                                  : theBackground[static_cast<std::size_t>(y) * 1600 + x];
      ASSERT_EQ(theResults[1][static_cast<std::size_t>(y) * 1600 + x], theExpected) << "pixel " << x << "," << y;
    }
}

// What TextArea measures, TextLength counts, and where the alignments put
// the ink.
TEST_F(Shapes, TextIsMeasuredCountedAndAligned)
{
  // The line height is the font's: ascent and descent of 20-pixel DejaVu Sans.
  const TEXTMETRICW theMetrics = Metrics();
  const std::string L = std::to_string(theMetrics.tmHeight);

  const tltest::RunResult theMagick =
    tltest::RunProgram({"/usr/bin/convert-im6.q16", "-font", "DejaVu-Sans", "-pointsize", "20", "label:Hello",
                        "-format", "%w", "info:"});
  ASSERT_EQ(theMagick.mStatus, 0) << theMagick.mErr;
  const std::string theArea = Area("Hello", kFont);
  EXPECT_NEAR(std::stol(theArea), std::stol(theMagick.mOut), 3) << theArea;
  EXPECT_EQ(theArea.substr(theArea.find(',')), "," + L + "," + L);

  const Picture theBlank = Snapshot();
  EXPECT_EQ(Area("Hello", kFont + "op=draw"), theArea);
  EXPECT_EQ(Area("Hello", kFont + "shape=rect rect=0,0,50,50"), "0,0,0") << "only text has lines";
  EXPECT_EQ(Snapshot().mPixels, theBlank.mPixels) << "measuring draws nothing";
  EXPECT_EQ(Area("aaa bbb ccc", kFont + "rect=0,0,100,100").substr(3),
            std::to_string(2 * theMetrics.tmHeight) + "," + L) << "two lines";
  const std::string theOneLetter = Area("x", "");
  EXPECT_EQ(Area("", ""), "0,0" + theOneLetter.substr(theOneLetter.rfind(','))) << "no width, no height, one line";
  EXPECT_EQ(Length("aaa bbb ccc", kFont + "rect=0,0,100,30"), "8");
  EXPECT_EQ(Length("aaa bbb ccc", kFont + "rect=0,0,100,60"), "11");
  EXPECT_EQ(Length("aaa bbb ccc", kFont + "rect=0,0,100,30 valign=bottom"), "8") << "aligned as if as tall as the box";
  EXPECT_EQ(Length("", kFont), "0");
  EXPECT_EQ(Text("", kFont), "0,0,0,0");
  EXPECT_EQ(Snapshot().mPixels, theBlank.mPixels) << "counting and empty text leave the canvas as it was";

  ObjectPtr<Canvas> theEmpty = MakeCanvas(0, 0);
  std::swap(mCanvas, theEmpty);
  EXPECT_EQ(Length("aaa bbb ccc", kFont + "rect=0,0,100,30"), "8");
  LONG theImage = 1;
  ASSERT_EQ(mCanvas->get_Image(&theImage), S_OK);
  EXPECT_EQ(theImage, 0) << "an empty canvas stays without pixels";
  std::swap(mCanvas, theEmpty);

  const LONG W = std::stol(theArea);
  const LONG H = theMetrics.tmHeight;
  ASSERT_EQ(Text("Hello", kFont + "rect=0,0,200,100"), "0,0,200,100");
  const Ink theLeft = FindInk();
  const struct {
    const char* mAlign;
    LONG mDx, mDy;
  } kAlignments[] = {
    {"halign=middle", (200 - W) / 2, 0},
    {"halign=right", 200 - W, 0},
    {"valign=middle", 0, (100 - H) / 2},
    {"valign=bottom", 0, 100 - H},
    {"halign=right valign=bottom", 200 - W, 100 - H},
  };
  for (const auto& theCase : kAlignments) {
    Erase();
    ASSERT_EQ(Text("Hello", kFont + "rect=0,0,200,100 " + theCase.mAlign), "0,0,200,100");
    EXPECT_EQ(FindInk(), (Ink{theLeft.left + theCase.mDx, theLeft.top + theCase.mDy, theLeft.right + theCase.mDx,
                              theLeft.bottom + theCase.mDy}))
      << theCase.mAlign;
  }
}

// Text along points: each character turned to its segment, above the path
// from left to right, below it and upside down from right to left; right
// alignment ends at the last point, middle alignment straddles the middle of
// the path with every character.
TEST_F(Shapes, TextFollowsItsPoints)
{
  mCanvas = MakeCanvas(300, 200);
  const std::string kHello = kFont + "points=10,100,290,100";
  ASSERT_EQ(Text("Hello", kHello), "0,0,0,0");
  const Ink theForward = FindInk();
  EXPECT_LT(theForward.bottom, 100);
  EXPECT_NEAR(theForward.left, 10, 3);
  const Picture theAbove = Snapshot();

  Erase();
  ASSERT_EQ(Text("Hello", kFont + "points=290,100,10,100"), "0,0,0,0");
  EXPECT_GE(FindInk().top, 100);
  // Turned by 180.1 degrees about the middle of the path (whole coordinates
  // are pixel centres): the same dark pixels but for a few at the edges.
  const Picture theBelow = Snapshot();
  auto theDark = [](COLORREF inColour) { return GetRValue(inColour) < 128; };
  int theDarkPixels = 0, theMismatches = 0;
  for (LONG y = 1; y < 200; ++y)
    for (LONG x = 1; x < 300; ++x) {
      theDarkPixels += theDark(theAbove.mPixels[y * 300 + x]);
      theMismatches += theDark(theBelow.mPixels[y * 300 + x]) != theDark(theAbove.mPixels[(200 - y) * 300 + 300 - x]);
    }
  EXPECT_LT(theMismatches, theDarkPixels / 10) << theDarkPixels;

  // A path of many short segments along the same line places the same ink.
  std::string theSteps = "points=10,100";
  for (int x = 13; x <= 290; x += 3)
    theSteps += "," + std::to_string(x) + ",100";
  Erase();
  ASSERT_EQ(Text("Hello", kFont + theSteps), "0,0,0,0");
  EXPECT_EQ(Snapshot().mPixels, theAbove.mPixels);

  // The offset from the path: the whole cell above it (top), the baseline on
  // it (middle), the whole cell below it (bottom); plus a share of the height.
  const TEXTMETRICW theMetrics = Metrics();
  const struct {
    const char* mParams;
    LONG mDown;
  } kOffsets[] = {
    {" valign=middle", theMetrics.tmHeight - theMetrics.tmAscent},
    {" valign=bottom", theMetrics.tmHeight},
    {" offset=50", -theMetrics.tmHeight / 2},
    {" valign=bottom offset=100", 0},
  };
  for (const auto& theCase : kOffsets) {
    Erase();
    ASSERT_EQ(Text("Hello", kHello + theCase.mParams), "0,0,0,0");
    EXPECT_EQ(FindInk(), (Ink{theForward.left, theForward.top + theCase.mDown, theForward.right,
                              theForward.bottom + theCase.mDown}))
      << theCase.mParams;
  }

  Erase();
  ASSERT_EQ(Text("Hello", kHello + " halign=right"), "0,0,0,0");
  EXPECT_NEAR(FindInk().right, 290, 3);
  EXPECT_EQ(FindInk().right - FindInk().left, theForward.right - theForward.left);

  for (const char* thePoints : {"points=10,100,290,100", "points=10,100,50,100,290,100"}) {
    Erase();
    ASSERT_EQ(Text("Hello", kFont + thePoints + " halign=middle"), "0,0,0,0");
    const Ink theMiddle = FindInk();
    EXPECT_NEAR((theMiddle.left + theMiddle.right) / 2, 150, 15) << thePoints;
    EXPECT_EQ(theMiddle.right - theMiddle.left, theForward.right - theForward.left) << thePoints;
    EXPECT_EQ(Length("Hello", kFont + thePoints + " halign=middle"), "5") << thePoints;
  }
  EXPECT_EQ(Length("Hello", kHello + " halign=right"), "5");
  EXPECT_EQ(Length("Hello", kFont + "points=10,100,20,100"), "0") << "no room for the H";

  for (const char* theCase : {"points=50,50,50,50 kerning=-500", "points=50,50,50,50,50,50 halign=middle",
                              "points=50,50,80,50 kerning=-500 halign=right"}) {
    EXPECT_EQ(Text("Hello", kFont + theCase), "0,0,0,0") << theCase;
    EXPECT_EQ(Length("Hello", kFont + theCase).substr(0, 6).find("error"), std::string::npos) << theCase;
  }
}

// A parameter string that does not parse, an unknown shape, and a user while
// impersonation is off fail with their message and draw nothing; the text
// methods never impersonate.
TEST_F(Shapes, RefusalsDrawNothing)
{
  ASSERT_EQ(SetPrefLong("EnableImpersonation", 0), ERROR_SUCCESS);
  ASSERT_EQ(Shape("rect", "rect=0,0,50,50"), "0,0,50,50");
  const Picture theBefore = Snapshot();
  const struct {
    const char* mShape;
    const char* mParams;
    const char* mMessage;
  } kCases[] = {
    {"oval", "rect=0,0,100,100 pensize=", "Could not find a parameter expected at"},
    {"oval", "rect=0,0,100,100 colour=red", "Do not recognise parameter \"colour\""},
    {"circle", "rect=0,0,100,100", "Could not understand value of parameter \"shape=circle\""},
    {"circle", "rect=0,0,100,100 password=secret", "Could not understand value of parameter \"shape=circle\""},
    {"oval", "rect=0,0,100,100 user=bob password=secret", "Impersonation is not currently enabled."},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mShape) + " " + theCase.mParams);
    const std::string theOutcome = Shape(theCase.mShape, theCase.mParams);
    EXPECT_EQ(theOutcome.substr(0, 7 + std::strlen(theCase.mMessage)), std::string("error: ") + theCase.mMessage);
    EXPECT_EQ(theOutcome.find("secret"), std::string::npos);
    EXPECT_EQ(Snapshot().mPixels, theBefore.mPixels);
  }
  EXPECT_EQ(Text("Hello", "user=bob password=secret"), "0,0,0,0");
}

// Sizes that come from a script: each call ends, none overflows.
TEST_F(Shapes, HostileSizesEndInTime)
{
  const std::string theLongText(100000, 'w');
  const struct {
    const char* mShape;
    std::string mParams;
  } kCases[] = {
    {"oval", "rect=0,0,2000000000,2000000000"},
    {"oval", "rect=-2147483648,-2147483648,2147483647,2147483647 pensize=100000"},
    {"roundrect", "rect=0,0,2000000000,2000000000 cornersize=2000000000 pensize=2147483647"},
    {"line", "points=-32000,-32000,32000,-32000,0,32000 pensize=100000"},
    {"text", kFont + "textsize=1000000 text=Hello"},
    {"text", kFont + "textsize=1000000 text=Hello points=0,0,200,100"},
    {"text", "rect=-2147483648,-2147483648,2147483647,2147483647 valign=bottom text=" + theLongText.substr(0, 4095)},
  };
  for (const auto& theCase : kCases)
    for (const char* theRoad : {"", " opengl=true"})
      EXPECT_EQ(Shape(theCase.mShape, theCase.mParams + theRoad).find("error"), std::string::npos)
        << theCase.mShape << " " << theCase.mParams.substr(0, 80) << theRoad;
  EXPECT_EQ(Text(theLongText, "textsize=1000000"), "0,0,0,0");
  EXPECT_EQ(Text(theLongText, "rect=-2147483648,-2147483648,2147483647,2147483647 valign=bottom halign=right"),
            "-2147483648,-2147483648,2147483647,2147483647");
  EXPECT_EQ(Text(theLongText, "points=0,0,200,100,0,100,200,0"), "0,0,0,0");
  EXPECT_EQ(Area(theLongText, "rect=0,0,200,100").find("error"), std::string::npos);
  EXPECT_EQ(Length(theLongText, "rect=-2147483648,0,2147483647,100 valign=middle halign=middle"), "100000");
}

}  // namespace
