#pragma once
// Points, boxes and affine maps in double precision for shapes and text.
// Device coordinates are GDI's: whole numbers are pixel centres, so pixel
// (x, y) covers x - 0.5 to x + 0.5 across.

#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tlgdi {

struct Point {
  double mX = 0;
  double mY = 0;
};

// An axis-aligned box; empty when right <= left or bottom <= top.
struct Box {
  double mLeft = 0;
  double mTop = 0;
  double mRight = 0;
  double mBottom = 0;

  // The smallest box around inCount points (at least one).
  static Box Around(const Point* inPoints, std::size_t inCount)
  {
    Box theBox{inPoints[0].mX, inPoints[0].mY, inPoints[0].mX, inPoints[0].mY};
    for (std::size_t i = 1; i < inCount; ++i) {
      theBox.mLeft = std::min(theBox.mLeft, inPoints[i].mX);
      theBox.mRight = std::max(theBox.mRight, inPoints[i].mX);
      theBox.mTop = std::min(theBox.mTop, inPoints[i].mY);
      theBox.mBottom = std::max(theBox.mBottom, inPoints[i].mY);
    }
    return theBox;
  }

  bool IsEmpty() const { return !(mRight > mLeft && mBottom > mTop); }
  bool Meets(const Box& inOther) const
  {
    return mLeft <= inOther.mRight && inOther.mLeft <= mRight && mTop <= inOther.mBottom && inOther.mTop <= mBottom;
  }
  bool Contains(const Box& inOther) const
  {
    return mLeft <= inOther.mLeft && inOther.mRight <= mRight && mTop <= inOther.mTop && inOther.mBottom <= mBottom;
  }
  Box Grown(double inBy) const { return Box{mLeft - inBy, mTop - inBy, mRight + inBy, mBottom + inBy}; }
  Box Intersection(const Box& inOther) const
  {
    return Box{std::fmax(mLeft, inOther.mLeft), std::fmax(mTop, inOther.mTop), std::fmin(mRight, inOther.mRight),
               std::fmin(mBottom, inOther.mBottom)};
  }
};

// A point (x, y) maps to (m11 x + m21 y + dx, m12 x + m22 y + dy), as XFORM
// says, so that text and shapes can compose their own placement with the
// world transform without losing precision to XFORM's floats.
struct Affine {
  double m11 = 1;
  double m12 = 0;
  double m21 = 0;
  double m22 = 1;
  double dx = 0;
  double dy = 0;

  static Affine From(const XFORM& inXform)
  {
    return Affine{inXform.eM11, inXform.eM12, inXform.eM21, inXform.eM22, inXform.eDx, inXform.eDy};
  }

  Point Apply(Point inPoint) const
  {
    return Point{m11 * inPoint.mX + m21 * inPoint.mY + dx, m12 * inPoint.mX + m22 * inPoint.mY + dy};
  }

  // This map followed by inOuter.
  Affine Then(const Affine& inOuter) const
  {
    return Affine{m11 * inOuter.m11 + m12 * inOuter.m21, m11 * inOuter.m12 + m12 * inOuter.m22,
                  m21 * inOuter.m11 + m22 * inOuter.m21, m21 * inOuter.m12 + m22 * inOuter.m22,
                  dx * inOuter.m11 + dy * inOuter.m21 + inOuter.dx, dx * inOuter.m12 + dy * inOuter.m22 + inOuter.dy};
  }

  Affine Linear() const { return Affine{m11, m12, m21, m22, 0, 0}; }

  // The map back; the map must be invertible.
  Affine Inverse() const
  {
    const double d = m11 * m22 - m12 * m21;
    Affine theInverse{m22 / d, -m12 / d, -m21 / d, m11 / d, 0, 0};
    const Point theShift = theInverse.Apply({-dx, -dy});
    theInverse.dx = theShift.mX;
    theInverse.dy = theShift.mY;
    return theInverse;
  }

  // The least and the most the linear part stretches a length (its
  // singular values).
  double LeastStretch() const { return std::sqrt(std::fmax(0, StretchSquares(-1))); }
  double MostStretch() const { return std::sqrt(StretchSquares(1)); }

private:
  // The eigenvalues of the linear part times its transpose: inSign -1 the
  // smaller, 1 the larger.
  double StretchSquares(double inSign) const
  {
    const double a = m11 * m11 + m12 * m12, b = m11 * m21 + m12 * m22, c = m21 * m21 + m22 * m22;
    return ((a + c) + inSign * std::hypot(a - c, 2 * b)) / 2;
  }
};

}  // namespace tlgdi
