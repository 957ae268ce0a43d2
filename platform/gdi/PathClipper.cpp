#include "platform/gdi/PathClipper.h"

#include <algorithm>
#include <cmath>

namespace tlgdi {

namespace {

// Deeper than any curve of finite size needs to reach a region's scale: a
// piece still too long after this many halvings is taken as its chord.
constexpr int kMaxDepth = 48;

Point Middle(Point a, Point b)
{
  return Point{(a.mX + b.mX) / 2, (a.mY + b.mY) / 2};
}

// The distance of inPoint from the line through a and b (from a when they meet).
double DistanceFromChord(Point inPoint, Point a, Point b)
{
  const double dx = b.mX - a.mX, dy = b.mY - a.mY;
  const double theLength = std::hypot(dx, dy);
  if (theLength == 0)
    return std::hypot(inPoint.mX - a.mX, inPoint.mY - a.mY);
  return std::fabs((inPoint.mX - a.mX) * dy - (inPoint.mY - a.mY) * dx) / theLength;
}

class Flattener {
public:
  explicit Flattener(const Box& inRegion) : mRegion(inRegion) {}

  void Cubic(std::vector<Point>& ioPoints, Point p0, Point p1, Point p2, Point p3, int inDepth) const
  {
    const Box theHull{std::min({p0.mX, p1.mX, p2.mX, p3.mX}), std::min({p0.mY, p1.mY, p2.mY, p3.mY}),
                      std::max({p0.mX, p1.mX, p2.mX, p3.mX}), std::max({p0.mY, p1.mY, p2.mY, p3.mY})};
    if (!theHull.Meets(mRegion)) {
      ioPoints.insert(ioPoints.end(), {p1, p2, p3});
      return;
    }
    const bool theFlat = DistanceFromChord(p1, p0, p3) <= PathClipper::kTolerance &&
                         DistanceFromChord(p2, p0, p3) <= PathClipper::kTolerance;
    if (theFlat || inDepth >= kMaxDepth) {
      ioPoints.push_back(p3);
      return;
    }
    const Point p01 = Middle(p0, p1), p12 = Middle(p1, p2), p23 = Middle(p2, p3);
    const Point p012 = Middle(p01, p12), p123 = Middle(p12, p23);
    const Point theMid = Middle(p012, p123);
    Cubic(ioPoints, p0, p01, p012, theMid, inDepth + 1);
    Cubic(ioPoints, theMid, p123, p23, p3, inDepth + 1);
  }

private:
  Box mRegion;
};

// Each figure of inPath as points, curves flattened.
std::vector<Polyline> Figures(const Path& inPath, const Box& inRegion)
{
  const Flattener theFlattener(inRegion);
  std::vector<Polyline> theFigures;
  const std::vector<Point>& thePoints = inPath.Points();
  std::size_t theNext = 0;
  for (Path::Verb theVerb : inPath.Verbs()) {
    switch (theVerb) {
    case Path::Verb::kMove:
      theFigures.emplace_back();
      theFigures.back().mPoints.push_back(thePoints[theNext++]);
      break;
    case Path::Verb::kLine:
      theFigures.back().mPoints.push_back(thePoints[theNext++]);
      break;
    case Path::Verb::kCubic: {
      std::vector<Point>& theFigure = theFigures.back().mPoints;
      theFlattener.Cubic(theFigure, theFigure.back(), thePoints[theNext], thePoints[theNext + 1],
                         thePoints[theNext + 2], 0);
      theNext += 3;
      break;
    }
    case Path::Verb::kClose:
      theFigures.back().mClosed = true;
      break;
    }
  }
  return theFigures;
}

// One Sutherland-Hodgman pass: keeps the side of the line inAxis = inLimit
// where (value - inLimit) * inSign >= 0.
std::vector<Point> ClipAgainst(const std::vector<Point>& inPolygon, bool inAlongX, double inLimit, double inSign)
{
  std::vector<Point> theResult;
  theResult.reserve(inPolygon.size() + 4);
  auto Value = [inAlongX](Point p) { return inAlongX ? p.mX : p.mY; };
  auto Inside = [&](Point p) { return (Value(p) - inLimit) * inSign >= 0; };
  auto Crossing = [&](Point a, Point b) {
    const double t = (inLimit - Value(a)) / (Value(b) - Value(a));
    Point theCut{a.mX + (b.mX - a.mX) * t, a.mY + (b.mY - a.mY) * t};
    (inAlongX ? theCut.mX : theCut.mY) = inLimit;
    return theCut;
  };
  for (std::size_t i = 0; i < inPolygon.size(); ++i) {
    const Point theFrom = inPolygon[i];
    const Point theTo = inPolygon[(i + 1) % inPolygon.size()];
    const bool theFromInside = Inside(theFrom), theToInside = Inside(theTo);
    if (theFromInside)
      theResult.push_back(theFrom);
    if (theFromInside != theToInside)
      theResult.push_back(Crossing(theFrom, theTo));
  }
  return theResult;
}

// The part of the segment a-b inside inRegion (Liang-Barsky), as parameters
// 0 <= outStart <= outEnd <= 1; false when none of it is.
bool CutSegment(Point a, Point b, const Box& inRegion, double& outStart, double& outEnd)
{
  outStart = 0;
  outEnd = 1;
  const double dx = b.mX - a.mX, dy = b.mY - a.mY;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.mX - inRegion.mLeft, inRegion.mRight - a.mX, a.mY - inRegion.mTop, inRegion.mBottom - a.mY};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0)
        return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      outStart = std::max(outStart, t);
    else
      outEnd = std::min(outEnd, t);
  }
  return outStart <= outEnd;
}

Point At(Point a, Point b, double t)
{
  if (t == 0)
    return a;
  if (t == 1)
    return b;
  return Point{a.mX + (b.mX - a.mX) * t, a.mY + (b.mY - a.mY) * t};
}

}  // namespace

std::vector<Polyline> PathClipper::ForFill(const Path& inPath, const Box& inRegion)
{
  std::vector<Polyline> theResult;
  for (Polyline& theFigure : Figures(inPath, inRegion)) {
    theFigure.mClosed = true;
    if (theFigure.mPoints.size() < 3)
      continue;
    if (!inRegion.Contains(Box::Around(theFigure.mPoints.data(), theFigure.mPoints.size()))) {
      std::vector<Point>& p = theFigure.mPoints;
      p = ClipAgainst(p, true, inRegion.mLeft, 1);
      p = ClipAgainst(p, true, inRegion.mRight, -1);
      p = ClipAgainst(p, false, inRegion.mTop, 1);
      p = ClipAgainst(p, false, inRegion.mBottom, -1);
      if (p.size() < 3)
        continue;
    }
    theResult.push_back(std::move(theFigure));
  }
  return theResult;
}

std::vector<Polyline> PathClipper::ForStroke(const Path& inPath, const Box& inRegion)
{
  std::vector<Polyline> theResult;
  for (Polyline& theFigure : Figures(inPath, inRegion)) {
    std::vector<Point>& p = theFigure.mPoints;
    if (inRegion.Contains(Box::Around(p.data(), p.size()))) {
      theResult.push_back(std::move(theFigure));
      continue;
    }
    if (theFigure.mClosed)
      p.push_back(p.front());
    Polyline thePiece;
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
      double theStart = 0, theEnd = 0;
      if (!CutSegment(p[i], p[i + 1], inRegion, theStart, theEnd)) {
        if (!thePiece.mPoints.empty())
          theResult.push_back(std::move(thePiece));
        thePiece = Polyline();
        continue;
      }
      if (thePiece.mPoints.empty())
        thePiece.mPoints.push_back(At(p[i], p[i + 1], theStart));
      thePiece.mPoints.push_back(At(p[i], p[i + 1], theEnd));
      if (theEnd < 1) {
        theResult.push_back(std::move(thePiece));
        thePiece = Polyline();
      }
    }
    if (!thePiece.mPoints.empty())
      theResult.push_back(std::move(thePiece));
  }
  return theResult;
}

}  // namespace tlgdi
