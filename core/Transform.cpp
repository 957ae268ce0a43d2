#include "core/Transform.h"

#include "core/SystemUtilities.h"

#include <cmath>

namespace {
constexpr double kRadiansPerDegree = 0.017453292519944444;  // 3.14159265359 / 180
}

bool Transform::Copy(const Transform& inOther)
{
  *this = inOther;
  return true;
}

bool Transform::Concat(const Transform& inOther)
{
  const double a11 = eM11, a12 = eM12, a21 = eM21, a22 = eM22, aDx = eDx, aDy = eDy;
  const double b11 = inOther.eM11, b12 = inOther.eM12, b21 = inOther.eM21, b22 = inOther.eM22;
  eM11 = static_cast<float>(a11 * b11 + a12 * b21);
  eM12 = static_cast<float>(a11 * b12 + a12 * b22);
  eM21 = static_cast<float>(a21 * b11 + a22 * b21);
  eM22 = static_cast<float>(a21 * b12 + a22 * b22);
  eDx = static_cast<float>(aDx * b11 + aDy * b21 + inOther.eDx);
  eDy = static_cast<float>(aDx * b12 + aDy * b22 + inOther.eDy);
  return true;
}

bool Transform::Invert()
{
  const float theDeterminant = static_cast<float>(double(eM11) * eM22 - double(eM12) * eM21);
  if (theDeterminant == 0)
    return false;
  const double d = theDeterminant;
  const double theDx = eDx, theDy = eDy;
  const float the11 = static_cast<float>(eM22 / d);
  const float the12 = static_cast<float>(-eM12 / d);
  const float the21 = static_cast<float>(-eM21 / d);
  const float the22 = static_cast<float>(eM11 / d);
  eM11 = the11;
  eM12 = the12;
  eM21 = the21;
  eM22 = the22;
  eDx = static_cast<float>(-(double(the21) * theDy + double(the11) * theDx));
  eDy = static_cast<float>(-(double(the22) * theDy + double(the12) * theDx));
  return true;
}

bool Transform::Translate(float inDx, float inDy)
{
  eDx = static_cast<float>(double(eDx) + inDx);
  eDy = static_cast<float>(double(eDy) + inDy);
  return true;
}

bool Transform::Scale(float inSx, float inSy, float inCx, float inCy)
{
  eM11 = static_cast<float>(double(eM11) * inSx);
  eM12 = static_cast<float>(double(eM12) * inSx);
  eM21 = static_cast<float>(double(eM21) * inSy);
  eM22 = static_cast<float>(double(eM22) * inSy);
  eDx = static_cast<float>((double(eDx) - inCx) * inSx + inCx);
  eDy = static_cast<float>((double(eDy) - inCy) * inSy + inCy);
  return true;
}

bool Transform::Skew(float inKx, float inKy, float inCx, float inCy)
{
  Translate(-inCx, -inCy);
  Concat(Transform(1, inKy, inKx, 1, 0, 0));
  Translate(inCx, inCy);
  return true;
}

bool Transform::Rotate(float inDegrees, float inCx, float inCy)
{
  const double theAngle = inDegrees * kRadiansPerDegree;
  const float c = static_cast<float>(std::cos(theAngle));
  const float s = static_cast<float>(std::sin(theAngle));
  Translate(-inCx, -inCy);
  Concat(Transform(c, s, -s, c, 0, 0));
  Translate(inCx, inCy);
  return true;
}

void Transform::MapPoint(LONG inX, LONG inY, float& outX, float& outY) const
{
  outX = static_cast<float>(double(eM11) * inX + double(eM21) * inY + eDx);
  outY = static_cast<float>(double(eM12) * inX + double(eM22) * inY + eDy);
}

void Transform::MapPointRounded(LONG inX, LONG inY, LONG& outX, LONG& outY) const
{
  float theX = 0, theY = 0;
  MapPoint(inX, inY, theX, theY);
  outX = RoundToLong(theX);
  outY = RoundToLong(theY);
}

bool Transform::LeavesRectUnchanged(const RECT& inRect) const
{
  const POINT kCorners[] = {
    {inRect.left, inRect.top}, {inRect.right, inRect.top}, {inRect.left, inRect.bottom}, {inRect.right, inRect.bottom}};
  for (const POINT& theCorner : kCorners) {
    float theX = 0, theY = 0;
    MapPoint(theCorner.x, theCorner.y, theX, theY);
    if (TruncToLong(double(theX) + 0.5) != theCorner.x || TruncToLong(double(theY) + 0.5) != theCorner.y)
      return false;
  }
  return true;
}

bool Transform::SetFromParallelogram(float inX0, float inY0, float inX1, float inY1, float inX2, float inY2)
{
  eDx = inX0;
  eDy = inY0;
  eM11 = static_cast<float>(double(inX1) - inX0);
  eM12 = static_cast<float>(double(inY1) - inY0);
  eM21 = static_cast<float>(double(inX2) - inX0);
  eM22 = static_cast<float>(double(inY2) - inY0);
  return double(eM22) * eM11 != double(eM21) * eM12;
}

bool Transform::MapParallelogram(const float inP[6], const float inQ[6])
{
  Transform theSource;
  if (!theSource.SetFromParallelogram(inP[0], inP[1], inP[2], inP[3], inP[4], inP[5]) || !theSource.Invert())
    return false;
  Transform theDestination;
  const bool theDestinationOk = theDestination.SetFromParallelogram(inQ[0], inQ[1], inQ[2], inQ[3], inQ[4], inQ[5]);
  theSource.Concat(theDestination);
  *this = theSource;
  return theDestinationOk;
}
