#pragma once
// The 2-D affine transform of placements and drawing. It is the Windows
// world-transform record (XFORM) with operations, so it can be handed to GDI
// as it stands: a point (x, y) maps to
//   x' = eM11 x + eM21 y + eDx,   y' = eM12 x + eM22 y + eDy.
// Every operation computes in double precision and stores each result back as
// a float. In the library's top-down pixel coordinates a positive rotation
// turns clockwise on the screen.

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"

class Transform : public XFORM {
public:
  // The identity.
  constexpr Transform() : XFORM{1, 0, 0, 1, 0, 0} {}
  constexpr Transform(float inM11, float inM12, float inM21, float inM22, float inDx, float inDy)
    : XFORM{inM11, inM12, inM21, inM22, inDx, inDy}
  {
  }

  void SetIdentity() { *this = Transform(); }
  bool Copy(const Transform& inOther);

  // This transform followed by inOther: a point goes through this one first.
  bool Concat(const Transform& inOther);
  // False, and nothing changed, when the single-precision determinant is 0.
  bool Invert();

  bool Translate(float inDx, float inDy);
  // Scales the linear part on the source side and the translation about
  // (inCx, inCy); for a transform without rotation or shear this is a scaling
  // about the centre after the transform.
  bool Scale(float inSx, float inSy, float inCx, float inCy);
  // Shear x' = x + kx y, y' = ky x + y about (inCx, inCy), after the transform.
  bool Skew(float inKx, float inKy, float inCx, float inCy);
  bool Rotate(float inDegrees, float inCx, float inCy);

  void MapPoint(LONG inX, LONG inY, float& outX, float& outY) const;
  // Each coordinate rounded half away from zero.
  void MapPointRounded(LONG inX, LONG inY, LONG& outX, LONG& outY) const;
  // True when each corner, mapped, plus 0.5 and truncated toward zero, is itself.
  bool LeavesRectUnchanged(const RECT& inRect) const;

  // The map of the unit square's (0,0), (1,0), (0,1) onto the three points;
  // the fields are set either way, false when the points lie on a line.
  bool SetFromParallelogram(float inX0, float inY0, float inX1, float inY1, float inX2, float inY2);
  // The map that carries parallelogram inP onto inQ (each x0, y0, x1, y1, x2,
  // y2). False when either is degenerate: for a degenerate inP nothing
  // changes; a degenerate inQ still gives the map that carries inP onto it,
  // which collapses the plane onto inQ's line or point.
  bool MapParallelogram(const float inP[6], const float inQ[6]);

  friend constexpr bool operator==(const Transform& inA, const Transform& inB)
  {
    return inA.eM11 == inB.eM11 && inA.eM12 == inB.eM12 && inA.eM21 == inB.eM21 && inA.eM22 == inB.eM22 &&
           inA.eDx == inB.eDx && inA.eDy == inB.eDy;
  }
};

static_assert(sizeof(Transform) == sizeof(XFORM));
