#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

using namespace gditest;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr std::uint32_t kWhitePixel = 0xFFFFFF;

std::uint32_t PixelOf(COLORREF inColor)
{
  return (static_cast<std::uint32_t>(GetRValue(inColor)) << 16) | (GetGValue(inColor) << 8) | GetBValue(inColor);
}

// A white DIB with a pen and a brush selected; everything undone at the end.
class Canvas {
public:
  Canvas(const Layout& inLayout, LONG inWidth, LONG inHeight, int inPenWidth, COLORREF inPenColor,
         HBRUSH inBrush = CreateSolidBrush(kBlue))
    : mDib(inLayout, inWidth, inHeight), mPen(CreatePen(PS_SOLID, inPenWidth, inPenColor)), mBrush(inBrush)
  {
    Clear();
    SetGraphicsMode(DC(), GM_ADVANCED);
    mOldPen = SelectObject(DC(), mPen);
    mOldBrush = SelectObject(DC(), mBrush);
  }
  ~Canvas()
  {
    SelectObject(DC(), mOldPen);
    SelectObject(DC(), mOldBrush);
    DeleteObject(mPen);
    DeleteObject(mBrush);
  }

  HDC DC() const { return mDib.DC(); }
  const Dib& Pixels() const { return mDib; }
  void Clear() const
  {
    const RECT theAll{0, 0, mDib.Width(), mDib.Height()};
    FillRect(DC(), &theAll, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }

private:
  Dib mDib;
  HPEN mPen;
  HBRUSH mBrush;
  HGDIOBJ mOldPen = nullptr;
  HGDIOBJ mOldBrush = nullptr;
};

XFORM Turn(double inDegrees, double inScale, float inDX, float inDY)
{
  const double a = inDegrees * std::numbers::pi / 180;
  return XFORM{float(inScale * std::cos(a)), float(inScale * std::sin(a)), float(-inScale * std::sin(a)),
               float(inScale * std::cos(a)), inDX, inDY};
}

// ---------------------------------------------------------------------------
// The test's own geometry: outlines sampled densely in logical units and an
// inside test, for the reference the rasterised shapes are held to.

struct Shape {
  std::string mName;
  std::function<void(HDC)> mDraw;
  std::vector<std::pair<double, double>> mOutline;  // logical, dense
  std::function<bool(double, double)> mInside;      // logical; null for a polyline
};

void AddSegment(std::vector<std::pair<double, double>>& ioOutline, double x0, double y0, double x1, double y1)
{
  for (int i = 0; i <= 400; ++i)
    ioOutline.emplace_back(x0 + (x1 - x0) * i / 400, y0 + (y1 - y0) * i / 400);
}

void AddArc(std::vector<std::pair<double, double>>& ioOutline, double cx, double cy, double rx, double ry, double a0,
            double a1)
{
  for (int i = 0; i <= 2000; ++i) {
    const double a = a0 + (a1 - a0) * i / 2000;
    ioOutline.emplace_back(cx + rx * std::cos(a), cy + ry * std::sin(a));
  }
}

bool InsideEvenOdd(const std::vector<POINT>& inPolygon, double x, double y)
{
  bool theInside = false;
  for (std::size_t i = 0, j = inPolygon.size() - 1; i < inPolygon.size(); j = i++) {
    const double xi = inPolygon[i].x, yi = inPolygon[i].y, xj = inPolygon[j].x, yj = inPolygon[j].y;
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
      theInside = !theInside;
  }
  return theInside;
}

std::vector<Shape> Shapes()
{
  std::vector<Shape> theShapes;
  {
    Shape s{"rectangle", [](HDC dc) { Rectangle(dc, 20, 30, 110, 90); }, {}, nullptr};
    AddSegment(s.mOutline, 20, 30, 110, 30);
    AddSegment(s.mOutline, 110, 30, 110, 90);
    AddSegment(s.mOutline, 110, 90, 20, 90);
    AddSegment(s.mOutline, 20, 90, 20, 30);
    s.mInside = [](double x, double y) { return x > 20 && x < 110 && y > 30 && y < 90; };
    theShapes.push_back(s);
  }
  {
    Shape s{"ellipse", [](HDC dc) { Ellipse(dc, 15, 25, 125, 95); }, {}, nullptr};
    AddArc(s.mOutline, 70, 60, 55, 35, 0, 2 * std::numbers::pi);
    s.mInside = [](double x, double y) { return std::pow((x - 70) / 55, 2) + std::pow((y - 60) / 35, 2) < 1; };
    theShapes.push_back(s);
  }
  {
    Shape s{"round rectangle", [](HDC dc) { RoundRect(dc, 20, 20, 120, 100, 40, 30); }, {}, nullptr};
    const double pi = std::numbers::pi;
    AddSegment(s.mOutline, 40, 20, 100, 20);
    AddArc(s.mOutline, 100, 35, 20, 15, -pi / 2, 0);
    AddSegment(s.mOutline, 120, 35, 120, 85);
    AddArc(s.mOutline, 100, 85, 20, 15, 0, pi / 2);
    AddSegment(s.mOutline, 100, 100, 40, 100);
    AddArc(s.mOutline, 40, 85, 20, 15, pi / 2, pi);
    AddSegment(s.mOutline, 20, 85, 20, 35);
    AddArc(s.mOutline, 40, 35, 20, 15, pi, 1.5 * pi);
    s.mInside = [](double x, double y) {
      if (!(x > 20 && x < 120 && y > 20 && y < 100))
        return false;
      const double cx = std::clamp(x, 40.0, 100.0), cy = std::clamp(y, 35.0, 85.0);
      return std::pow((x - cx) / 20, 2) + std::pow((y - cy) / 15, 2) < 1;
    };
    theShapes.push_back(s);
  }
  const std::vector<POINT> theStar = {{70, 10}, {95, 100}, {20, 45}, {120, 45}, {45, 100}};
  {
    Shape s{"polygon", [theStar](HDC dc) { Polygon(dc, theStar.data(), int(theStar.size())); }, {}, nullptr};
    for (std::size_t i = 0; i < theStar.size(); ++i) {
      const POINT a = theStar[i], b = theStar[(i + 1) % theStar.size()];
      AddSegment(s.mOutline, a.x, a.y, b.x, b.y);
    }
    s.mInside = [theStar](double x, double y) { return InsideEvenOdd(theStar, x, y); };
    theShapes.push_back(s);
  }
  {
    Shape s{"polyline", [theStar](HDC dc) { Polyline(dc, theStar.data(), int(theStar.size())); }, {}, nullptr};
    for (std::size_t i = 0; i + 1 < theStar.size(); ++i)
      AddSegment(s.mOutline, theStar[i].x, theStar[i].y, theStar[i + 1].x, theStar[i + 1].y);
    theShapes.push_back(s);
  }
  return theShapes;
}

enum class Render { kStroke, kFill, kBoth };

// Draws inShape into a path and renders it.
void DrawAsPath(HDC inDC, const Shape& inShape, Render inRender)
{
  ASSERT_TRUE(BeginPath(inDC));
  inShape.mDraw(inDC);
  ASSERT_TRUE(EndPath(inDC));
  const BOOL theDone = inRender == Render::kStroke ? StrokePath(inDC)
                       : inRender == Render::kFill ? FillPath(inDC)
                                                   : StrokeAndFillPath(inDC);
  ASSERT_TRUE(theDone);
}

}  // namespace

TEST(GdiShapes, RectangleOutlineAndInsideInEveryLayout)
{
  for (const char* theName : {"32", "24", "16-555", "8"}) {
    SCOPED_TRACE(theName);
    const Layout& theLayout = LayoutNamed(theName);
    Canvas theCanvas(theLayout, 60, 72, 1, kRed);
    ASSERT_TRUE(Rectangle(theCanvas.DC(), 10, 10, 29, 19));
    for (LONG y = 0; y < 30; ++y)
      for (LONG x = 0; x < 40; ++x) {
        const bool theEdge = ((x == 10 || x == 29) && y >= 10 && y <= 19) || ((y == 10 || y == 19) && x >= 10 && x <= 29);
        const bool theInside = x >= 11 && x <= 28 && y >= 11 && y <= 18;
        const std::uint32_t theWanted = theEdge ? PixelOf(kRed) : theInside ? PixelOf(kBlue) : kWhitePixel;
        ASSERT_TRUE(Holds(theCanvas.Pixels(), x, y, theWanted, false));
      }

    // The same rectangle as a path, filled: the right and bottom edges stay out.
    theCanvas.Clear();
    ASSERT_TRUE(BeginPath(theCanvas.DC()));
    ASSERT_TRUE(Rectangle(theCanvas.DC(), 10, 10, 29, 19));
    ASSERT_TRUE(EndPath(theCanvas.DC()));
    ASSERT_TRUE(FillPath(theCanvas.DC()));
    for (LONG y = 0; y < 30; ++y)
      for (LONG x = 0; x < 40; ++x) {
        const bool theInside = x >= 10 && x <= 28 && y >= 10 && y <= 18;
        ASSERT_TRUE(Holds(theCanvas.Pixels(), x, y, theInside ? PixelOf(kBlue) : kWhitePixel, false));
      }

    // A 5-pixel pen is centred on the outline.
    Canvas theWide(theLayout, 60, 72, 5, kRed);
    ASSERT_TRUE(BeginPath(theWide.DC()));
    ASSERT_TRUE(Rectangle(theWide.DC(), 12, 32, 47, 67));
    ASSERT_TRUE(EndPath(theWide.DC()));
    ASSERT_TRUE(StrokePath(theWide.DC()));
    for (LONG x = 0; x < 60; ++x) {
      const bool theInked = (x >= 10 && x <= 14) || (x >= 45 && x <= 49);
      ASSERT_TRUE(Holds(theWide.Pixels(), x, 50, theInked ? PixelOf(kRed) : kWhitePixel, false));
    }
  }
}

TEST(GdiShapes, PatternBrushesTileFromTheDeviceOrigin)
{
  const std::uint32_t theColors[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0x000000}};
  for (const char* theSource : {"32", "8", "1"}) {
    SCOPED_TRACE(theSource);
    auto* thePatternDib = new Dib(LayoutNamed(theSource), 2, 2);
    for (LONG y = 0; y < 2; ++y)
      for (LONG x = 0; x < 2; ++x)
        thePatternDib->Put(x, y, 0xAB000000u | theColors[y][x]);
    std::uint32_t theKept[2][2];
    for (LONG y = 0; y < 2; ++y)
      for (LONG x = 0; x < 2; ++x)
        theKept[y][x] = thePatternDib->Get(x, y) & 0xFFFFFF;
    HBRUSH theBrush = CreatePatternBrush(thePatternDib->Bitmap());
    ASSERT_NE(theBrush, nullptr);
    delete thePatternDib;  // the brush keeps its own copy

    Canvas theCanvas(LayoutNamed("32"), 16, 16, 0, 0, theBrush);
    SelectObject(theCanvas.DC(), GetStockObject(NULL_PEN));
    ASSERT_TRUE(Rectangle(theCanvas.DC(), 3, 5, 12, 14));
    for (LONG y = 5; y < 14; ++y)
      for (LONG x = 3; x < 12; ++x)
        ASSERT_TRUE(Holds(theCanvas.Pixels(), x, y, theKept[y % 2][x % 2], false));
  }
}

// Every shape stroked, filled and both, with pens of 0, 1 and 5 units, solid
// and pattern brushes, under turned and scaled transforms: away from the
// outline every pixel is what the reference says; the pen leaves no gap.
TEST(GdiShapes, ShapesFollowTheTrueOutline)
{
  constexpr LONG kSide = 200;
  constexpr double kFar = 8;  // distances are worked out this far from the outline
  const XFORM theTransforms[] = {Turn(0, 1, 0, 0), Turn(30, 1.25, 60, -20), Turn(-70, 0.8, 10, 140)};
  Dib thePatternDib(LayoutNamed("32"), 2, 2);
  const std::uint32_t thePattern[2][2] = {{0x00C000, 0x0000C0}, {0x0000C0, 0x00C000}};
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 2; ++x)
      thePatternDib.Put(x, y, thePattern[y][x]);

  for (const Shape& theShape : Shapes())
    for (const XFORM& t : theTransforms) {
      // The outline in device pixels, and each pixel's distance from it.
      std::vector<std::pair<double, double>> theOutline;
      for (const auto& [x, y] : theShape.mOutline)
        theOutline.emplace_back(t.eM11 * x + t.eM21 * y + t.eDx, t.eM12 * x + t.eM22 * y + t.eDy);
      std::vector<double> theDistance(kSide * kSide, kFar);
      for (const auto& [ox, oy] : theOutline)
        for (LONG py = std::max(LONG{0}, LONG(oy - kFar)); py <= std::min(kSide - 1, LONG(oy + kFar)); ++py)
          for (LONG px = std::max(LONG{0}, LONG(ox - kFar)); px <= std::min(kSide - 1, LONG(ox + kFar)); ++px)
            theDistance[py * kSide + px] = std::min(theDistance[py * kSide + px], std::hypot(px - ox, py - oy));
      const double theScale = std::hypot(t.eM11, t.eM12), theDet = double(t.eM11) * t.eM22 - double(t.eM12) * t.eM21;

      for (int thePenWidth : {0, 1, 5})
        for (Render theRender : {Render::kStroke, Render::kFill, Render::kBoth})
          for (bool theUsesPattern : {false, true}) {
            if (!theShape.mInside && theRender != Render::kStroke)
              continue;
            SCOPED_TRACE(theShape.mName + ", transform m12 " + std::to_string(t.eM12) + ", pen " +
                         std::to_string(thePenWidth) + ", render " + std::to_string(int(theRender)) +
                         (theUsesPattern ? ", pattern" : ""));
            HBRUSH theBrush = theUsesPattern ? CreatePatternBrush(thePatternDib.Bitmap()) : CreateSolidBrush(kBlue);
            Canvas theCanvas(LayoutNamed("32"), kSide, kSide, thePenWidth, kRed, theBrush);
            ASSERT_TRUE(SetWorldTransform(theCanvas.DC(), &t));
            DrawAsPath(theCanvas.DC(), theShape, theRender);

            const bool theStroked = theRender != Render::kFill;
            const bool theFilled = theRender != Render::kStroke;
            const double theHalf = std::max(0.5, thePenWidth * theScale / 2);
            int theChecked = 0;
            for (LONG py = 0; py < kSide; ++py)
              for (LONG px = 0; px < kSide; ++px) {
                const double d = theDistance[py * kSide + px];
                std::uint32_t theWanted = kWhitePixel;
                if (theStroked && d <= theHalf - 1) {
                  theWanted = PixelOf(kRed);
                } else if ((theStroked && d < theHalf + 1) || (theFilled && d < 1)) {
                  continue;  // near an edge: either side is right
                } else if (theFilled) {
                  const double dx = px - t.eDx, dy = py - t.eDy;
                  if (theShape.mInside((t.eM22 * dx - t.eM21 * dy) / theDet, (t.eM11 * dy - t.eM12 * dx) / theDet))
                    theWanted = theUsesPattern ? thePattern[py % 2][px % 2] : PixelOf(kBlue);
                }
                ++theChecked;
                ASSERT_TRUE(Holds(theCanvas.Pixels(), px, py, theWanted, false));
              }
            EXPECT_GT(theChecked, 30000);
            if (!theStroked)
              continue;
            for (const auto& [ox, oy] : theOutline) {
              bool theInked = false;
              for (LONG py = LONG(std::floor(oy)); py <= LONG(std::ceil(oy)); ++py)
                for (LONG px = LONG(std::floor(ox)); px <= LONG(std::ceil(ox)); ++px)
                  theInked = theInked || (px >= 0 && py >= 0 && px < kSide && py < kSide &&
                                          theCanvas.Pixels().Get(px, py) == PixelOf(kRed));
              ASSERT_TRUE(theInked) << "a gap in the outline at " << ox << "," << oy;
            }
          }
    }
}

TEST(GdiShapes, PathsAreOpenedClosedAndUsedUp)
{
  Canvas theCanvas(LayoutNamed("32"), 40, 40, 1, kRed);
  HDC dc = theCanvas.DC();
  SetLastError(0);
  EXPECT_FALSE(EndPath(dc));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(StrokePath(dc));

  // Shapes go into an open path and draw nothing; an open path cannot be rendered.
  ASSERT_TRUE(BeginPath(dc));
  const POINT theCorner[] = {{5, 30}, {5, 5}, {30, 5}};
  ASSERT_TRUE(Polyline(dc, theCorner, 3));
  EXPECT_FALSE(FillPath(dc));
  EXPECT_EQ(theCanvas.Pixels().Get(5, 20), kWhitePixel);
  ASSERT_TRUE(EndPath(dc));

  // Stroking leaves the figure open: nothing on the closing diagonal.
  ASSERT_TRUE(StrokePath(dc));
  EXPECT_EQ(theCanvas.Pixels().Get(5, 20), PixelOf(kRed));
  EXPECT_EQ(theCanvas.Pixels().Get(17, 17), kWhitePixel);
  EXPECT_FALSE(StrokePath(dc)) << "the path is used up";

  // Filling closes it.
  ASSERT_TRUE(BeginPath(dc));
  ASSERT_TRUE(Polyline(dc, theCorner, 3));
  ASSERT_TRUE(EndPath(dc));
  ASSERT_TRUE(FillPath(dc));
  EXPECT_EQ(theCanvas.Pixels().Get(10, 10), PixelOf(kBlue));
  EXPECT_EQ(theCanvas.Pixels().Get(25, 25), kWhitePixel);

  // In GM_COMPATIBLE a rectangle stops one short of its right and bottom.
  theCanvas.Clear();
  ASSERT_EQ(SetGraphicsMode(dc, GM_COMPATIBLE), GM_ADVANCED);
  ASSERT_TRUE(Rectangle(dc, 10, 10, 20, 20));
  EXPECT_EQ(theCanvas.Pixels().Get(19, 15), PixelOf(kRed));
  EXPECT_EQ(theCanvas.Pixels().Get(20, 15), kWhitePixel);

  SetLastError(0);
  EXPECT_FALSE(Polygon(dc, theCorner, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreatePen(3, 1, 0), nullptr);
  EXPECT_EQ(CreatePen(PS_SOLID, -1, 0), nullptr);
}

// Coordinates at the ends of 32 bits, a pen 100,000 wide, scales that send
// shapes far past Cairo's range: drawn where they show, and nothing else.
TEST(GdiShapes, HostileSizesAreClipped)
{
  Canvas theCanvas(LayoutNamed("32"), 64, 200, 1, kRed);
  HDC dc = theCanvas.DC();
  SelectObject(dc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(dc, INT_MIN, -100, INT_MAX, 100));
  for (LONG y = 0; y < 200; y += 7)
    ASSERT_TRUE(y >= 98 && y <= 101 ? ::testing::AssertionSuccess()
                                     : Holds(theCanvas.Pixels(), 31, y, y < 98 ? PixelOf(kBlue) : kWhitePixel, false));

  theCanvas.Clear();
  const POINT theWedge[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
  ASSERT_TRUE(Polygon(dc, theWedge, 3));
  EXPECT_EQ(theCanvas.Pixels().Get(10, 40), PixelOf(kBlue));
  EXPECT_EQ(theCanvas.Pixels().Get(40, 10), kWhitePixel);

  HPEN theWide = CreatePen(PS_SOLID, 100000, kRed);
  HGDIOBJ theOld = SelectObject(dc, theWide);
  ASSERT_TRUE(RoundRect(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX));
  ASSERT_TRUE(Rectangle(dc, 20, 20, 30, 30));
  EXPECT_EQ(theCanvas.Pixels().Get(63, 199), PixelOf(kRed));
  SelectObject(dc, theOld);
  DeleteObject(theWide);

  // A wide pen's line just outside the bitmap still reaches into it, and
  // strokes join up across tiles.
  HPEN theForty = CreatePen(PS_SOLID, 40, kRed);
  theOld = SelectObject(dc, theForty);
  theCanvas.Clear();
  const POINT theAbove[] = {{-100, -15}, {300, -15}};
  ASSERT_TRUE(Polyline(dc, theAbove, 2));
  EXPECT_EQ(theCanvas.Pixels().Get(32, 4), PixelOf(kRed));
  EXPECT_EQ(theCanvas.Pixels().Get(32, 5), kWhitePixel);
  SelectObject(dc, theOld);
  DeleteObject(theForty);
  Canvas theStrip(LayoutNamed("24"), 3000, 40, 3, kRed);
  const POINT theLong[] = {{-50, 5}, {3100, 35}};
  ASSERT_TRUE(Polyline(theStrip.DC(), theLong, 2));
  for (LONG x = 0; x < 3000; ++x) {
    const double y = 5 + 30.0 * (x + 50) / 3150;
    ASSERT_TRUE(Holds(theStrip.Pixels(), x, LONG(std::lround(y)), PixelOf(kRed), false)) << x;
    ASSERT_TRUE(Holds(theStrip.Pixels(), x, LONG(std::lround(y)) + 3, kWhitePixel, false)) << x;
  }

  theCanvas.Clear();
  const XFORM theHuge = {1e30f, 0, 0, 1e30f, 0, 0};
  ASSERT_TRUE(SetWorldTransform(dc, &theHuge));
  ASSERT_TRUE(Ellipse(dc, -10, -10, 10, 10));
  EXPECT_EQ(theCanvas.Pixels().Get(32, 100), PixelOf(kBlue));
  for (float theBad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    const XFORM theTransform = {theBad, 0, 0, 1, 0, 0};
    SetLastError(0);
    EXPECT_FALSE(SetWorldTransform(dc, &theTransform));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}
