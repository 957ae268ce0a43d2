#include "platform/gdi/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tlgdi {

namespace {

constexpr double kArcTolerance = 0.05;  // device pixels

// Bézier pieces per quarter of an ellipse whose larger radius reaches
// inRadius device pixels: a cubic of a quarter circle strays by 0.027 % of
// the radius, and by 1/n^6 of that when the quarter is cut into n.
int PiecesPerQuarter(double inRadius)
{
  const double theNeeded = std::ceil(std::pow(2.7e-4 * inRadius / kArcTolerance, 1.0 / 6.0));
  return static_cast<int>(std::clamp(theNeeded, 1.0, 64.0));
}

}  // namespace

void Path::MoveTo(Point inPoint)
{
  mVerbs.push_back(Verb::kMove);
  mPoints.push_back(inPoint);
}

void Path::LineTo(Point inPoint)
{
  mVerbs.push_back(Verb::kLine);
  mPoints.push_back(inPoint);
}

void Path::CubicTo(Point inControl1, Point inControl2, Point inEnd)
{
  mVerbs.push_back(Verb::kCubic);
  mPoints.insert(mPoints.end(), {inControl1, inControl2, inEnd});
}

void Path::Close()
{
  mVerbs.push_back(Verb::kClose);
}

void Path::Append(const Path& inOther)
{
  mVerbs.insert(mVerbs.end(), inOther.mVerbs.begin(), inOther.mVerbs.end());
  mPoints.insert(mPoints.end(), inOther.mPoints.begin(), inOther.mPoints.end());
}

Box Path::Bounds() const
{
  return mPoints.empty() ? Box{} : Box::Around(mPoints.data(), mPoints.size());
}

void Path::AddRectangle(const Affine& inWorld, const Box& inRect)
{
  MoveTo(inWorld.Apply({inRect.mLeft, inRect.mTop}));
  LineTo(inWorld.Apply({inRect.mRight, inRect.mTop}));
  LineTo(inWorld.Apply({inRect.mRight, inRect.mBottom}));
  LineTo(inWorld.Apply({inRect.mLeft, inRect.mBottom}));
  Close();
}

void Path::AddQuarters(const Affine& inWorld, Point inCentre, double inRadiusX, double inRadiusY, int inFirstQuarter,
                       int inQuarters, int inPerQuarter)
{
  const double theStep = std::numbers::pi / 2 / inPerQuarter;
  const double k = 4.0 / 3.0 * std::tan(theStep / 4);  // control arm of a circular arc of theStep
  auto At = [&](double inAngle, double inArm) {
    // The ellipse point at inAngle, moved along its tangent by inArm.
    const double c = std::cos(inAngle), s = std::sin(inAngle);
    return inWorld.Apply({inCentre.mX + inRadiusX * (c - inArm * s), inCentre.mY + inRadiusY * (s + inArm * c)});
  };
  for (int i = 0; i < inQuarters * inPerQuarter; ++i) {
    const double a0 = (inFirstQuarter * inPerQuarter + i) * theStep;
    const double a1 = a0 + theStep;
    CubicTo(At(a0, k), At(a1, -k), At(a1, 0));
  }
}

void Path::AddEllipse(const Affine& inWorld, const Box& inRect)
{
  const Point theCentre{(inRect.mLeft + inRect.mRight) / 2, (inRect.mTop + inRect.mBottom) / 2};
  const double rx = std::fabs(inRect.mRight - inRect.mLeft) / 2;
  const double ry = std::fabs(inRect.mBottom - inRect.mTop) / 2;
  MoveTo(inWorld.Apply({theCentre.mX + rx, theCentre.mY}));
  AddQuarters(inWorld, theCentre, rx, ry, 0, 4, PiecesPerQuarter(std::max(rx, ry) * inWorld.MostStretch()));
  Close();
}

void Path::AddRoundRect(const Affine& inWorld, const Box& inRect, double inCornerWidth, double inCornerHeight)
{
  const double theLeft = std::min(inRect.mLeft, inRect.mRight), theRight = std::max(inRect.mLeft, inRect.mRight);
  const double theTop = std::min(inRect.mTop, inRect.mBottom), theBottom = std::max(inRect.mTop, inRect.mBottom);
  const double rx = std::min(std::fabs(inCornerWidth), theRight - theLeft) / 2;
  const double ry = std::min(std::fabs(inCornerHeight), theBottom - theTop) / 2;
  if (rx == 0 || ry == 0) {
    AddRectangle(inWorld, Box{theLeft, theTop, theRight, theBottom});
    return;
  }
  const int thePieces = PiecesPerQuarter(std::max(rx, ry) * inWorld.MostStretch());
  // Clockwise on the screen from the end of the top edge's straight part.
  MoveTo(inWorld.Apply({theLeft + rx, theTop}));
  LineTo(inWorld.Apply({theRight - rx, theTop}));
  AddQuarters(inWorld, {theRight - rx, theTop + ry}, rx, ry, 3, 1, thePieces);
  LineTo(inWorld.Apply({theRight, theBottom - ry}));
  AddQuarters(inWorld, {theRight - rx, theBottom - ry}, rx, ry, 0, 1, thePieces);
  LineTo(inWorld.Apply({theLeft + rx, theBottom}));
  AddQuarters(inWorld, {theLeft + rx, theBottom - ry}, rx, ry, 1, 1, thePieces);
  LineTo(inWorld.Apply({theLeft, theTop + ry}));
  AddQuarters(inWorld, {theLeft + rx, theTop + ry}, rx, ry, 2, 1, thePieces);
  Close();
}

void Path::AddPoints(const Affine& inWorld, const POINT* inPoints, int inCount, bool inClosed)
{
  MoveTo(inWorld.Apply({double(inPoints[0].x), double(inPoints[0].y)}));
  for (int i = 1; i < inCount; ++i)
    LineTo(inWorld.Apply({double(inPoints[i].x), double(inPoints[i].y)}));
  if (inClosed)
    Close();
}

}  // namespace tlgdi
