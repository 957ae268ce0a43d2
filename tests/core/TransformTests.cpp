#include "core/ColorValue.h"
#include "core/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

static std::ostream& operator<<(std::ostream& ioStream, const Transform& inTransform)
{
  return ioStream << "(" << inTransform.eM11 << ", " << inTransform.eM12 << ", " << inTransform.eM21 << ", "
                  << inTransform.eM22 << ", " << inTransform.eDx << ", " << inTransform.eDy << ")";
}

namespace {

struct Mapped {
  float mX;
  float mY;
};

Mapped Map(const Transform& inTransform, LONG inX, LONG inY)
{
  Mapped theResult{};
  inTransform.MapPoint(inX, inY, theResult.mX, theResult.mY);
  return theResult;
}

void ExpectMaps(const Transform& inTransform, LONG inX, LONG inY, float inToX, float inToY, float inTolerance = 1e-5f)
{
  Mapped theResult = Map(inTransform, inX, inY);
  EXPECT_NEAR(theResult.mX, inToX, inTolerance) << inTransform << " maps (" << inX << ", " << inY << ")";
  EXPECT_NEAR(theResult.mY, inToY, inTolerance) << inTransform << " maps (" << inX << ", " << inY << ")";
}

}  // namespace

TEST(Transform, RotatesAboutACentre)
{
  Transform theQuarter;
  theQuarter.Rotate(90, 0, 0);
  ExpectMaps(theQuarter, 1, 0, 0, 1);
  // cos 90 degrees is not exactly 0 in single precision.
  EXPECT_NE(theQuarter.eM11, 0.0f);
  EXPECT_FLOAT_EQ(theQuarter.eM12, 1.0f);
  EXPECT_FLOAT_EQ(theQuarter.eM21, -1.0f);

  Transform theHalf;
  theHalf.Rotate(180, 50, 50);
  ExpectMaps(theHalf, 0, 0, 100, 100, 1e-4f);
}

TEST(Transform, ScalesSkewsAndTranslates)
{
  Transform theScale;
  theScale.Scale(2, 3, 0, 0);
  EXPECT_EQ(theScale, Transform(2, 0, 0, 3, 0, 0));

  Transform theCentred;
  theCentred.Scale(2, 2, 10, 10);
  EXPECT_EQ(theCentred, Transform(2, 0, 0, 2, -10, -10));

  Transform theSkew;
  theSkew.Skew(0.5f, 0, 0, 0);
  ExpectMaps(theSkew, 0, 10, 5, 10);

  Transform theCentredSkew;
  theCentredSkew.Skew(1, 0, 0, 10);
  ExpectMaps(theCentredSkew, 0, 10, 0, 10);
  ExpectMaps(theCentredSkew, 0, 20, 10, 20);

  Transform theShift;
  theShift.Translate(3, -4);
  theShift.Translate(1, 1);
  EXPECT_EQ(theShift, Transform(1, 0, 0, 1, 4, -3));
}

TEST(Transform, ConcatAppliesThisTransformFirst)
{
  Transform theFirst;
  theFirst.Translate(10, 0);
  Transform theRotation;
  theRotation.Rotate(90, 0, 0);
  Transform theCombined = theFirst;
  theCombined.Concat(theRotation);
  ExpectMaps(theCombined, 0, 0, 0, 10);

  Transform theOther = theRotation;
  theOther.Concat(theFirst);
  ExpectMaps(theOther, 0, 0, 10, 0);
}

TEST(Transform, InvertsUnlessTheFloatDeterminantIsZero)
{
  Transform theSingular(2, 0, 0, 0, 5, 5);
  EXPECT_FALSE(theSingular.Invert());
  EXPECT_EQ(theSingular, Transform(2, 0, 0, 0, 5, 5));

  Transform theScale(2, 0, 0, 4, 10, 20);
  EXPECT_TRUE(theScale.Invert());
  EXPECT_EQ(theScale, Transform(0.5f, 0, 0, 0.25f, -5, -5));

  // A determinant that exists in double precision but underflows in single.
  Transform theTiny(1e-30f, 0, 0, 1e-30f, 0, 0);
  EXPECT_FALSE(theTiny.Invert());

  // Inverting a general transform and concatenating gives the identity.
  Transform theGeneral;
  theGeneral.Rotate(30, 5, 7);
  theGeneral.Scale(2, 0.5f, 1, 1);
  Transform theInverse = theGeneral;
  ASSERT_TRUE(theInverse.Invert());
  Transform theRoundTrip = theGeneral;
  theRoundTrip.Concat(theInverse);
  for (LONG theX : {-100, 0, 37})
    ExpectMaps(theRoundTrip, theX, theX * 2, static_cast<float>(theX), static_cast<float>(theX * 2), 1e-3f);
}

TEST(Transform, RoundsMappedPointsHalfAwayFromZero)
{
  Transform theHalf;
  theHalf.Scale(0.5f, 0.5f, 0, 0);
  LONG theX = 0, theY = 0;
  theHalf.MapPointRounded(-5, 5, theX, theY);
  EXPECT_EQ(theX, -3);
  EXPECT_EQ(theY, 3);

  // Far outside the 32-bit range: the nearest end, not undefined behaviour.
  Transform theHuge(1e30f, 0, 0, -1e30f, 0, 0);
  theHuge.MapPointRounded(1, 1, theX, theY);
  EXPECT_EQ(theX, 2147483647);
  EXPECT_EQ(theY, -2147483647 - 1);
}

TEST(Transform, TellsWhetherARectangleStaysInPlace)
{
  struct Case {
    Transform mTransform;
    RECT mRect;
    bool mUnchanged;
  };
  const Case kCases[] = {
    {Transform(), {0, 0, 10, 10}, true},
    {Transform(), {-1, 0, 10, 10}, false},  // -1 + 0.5 truncates to 0
    {Transform(1, 0, 0, 1, 0.4f, 0), {0, 0, 10, 10}, true},
    {Transform(1, 0, 0, 1, 0.6f, 0), {0, 0, 10, 10}, false},
    {Transform(1, 0, 0, 1, 0, -0.4f), {0, 1, 10, 10}, true},
    {Transform(2, 0, 0, 1, 0, 0), {0, 0, 0, 10}, true},
    {Transform(2, 0, 0, 1, 0, 0), {0, 0, 1, 10}, false},
  };
  for (const Case& theCase : kCases)
    EXPECT_EQ(theCase.mTransform.LeavesRectUnchanged(theCase.mRect), theCase.mUnchanged)
      << theCase.mTransform << " on " << theCase.mRect.left << "," << theCase.mRect.top << "," << theCase.mRect.right
      << "," << theCase.mRect.bottom;
}

TEST(Transform, MapsParallelograms)
{
  Transform theUnit;
  EXPECT_TRUE(theUnit.SetFromParallelogram(10, 20, 30, 20, 10, 60));
  ExpectMaps(theUnit, 1, 0, 30, 20);
  ExpectMaps(theUnit, 0, 1, 10, 60);
  EXPECT_FALSE(theUnit.SetFromParallelogram(0, 0, 1, 1, 2, 2));
  EXPECT_EQ(theUnit, Transform(1, 1, 2, 2, 0, 0));

  const float kP[6] = {0, 0, 10, 0, 10, 20};
  const float kQ[6] = {100, 100, 120, 100, 120, 140};
  Transform theMap;
  EXPECT_TRUE(theMap.MapParallelogram(kP, kQ));
  ExpectMaps(theMap, 5, 10, 110, 120);

  // A degenerate source changes nothing.
  const float kFlat[6] = {0, 0, 10, 0, 20, 0};
  Transform theUntouched(3, 0, 0, 3, 1, 1);
  EXPECT_FALSE(theUntouched.MapParallelogram(kFlat, kQ));
  EXPECT_EQ(theUntouched, Transform(3, 0, 0, 3, 1, 1));

  // A degenerate destination collapses the source onto it.
  const float kLine[6] = {50, 10, 50, 10, 50, 30};
  Transform theCollapse;
  EXPECT_FALSE(theCollapse.MapParallelogram(kP, kLine));
  ExpectMaps(theCollapse, 10, 0, 50, 10);
  ExpectMaps(theCollapse, 10, 20, 50, 30);
  ExpectMaps(theCollapse, 0, 20, 50, 30);
}

TEST(ColorValue, IsAPlainColourUnlessTagged)
{
  ColorValue theBlack(0, 0, 0, 65535);
  EXPECT_EQ(theBlack.mTag, 0);
  EXPECT_FALSE(theBlack.IsPattern());
  EXPECT_EQ(ColorValue(), theBlack);
  theBlack.mTag = 7;
  EXPECT_TRUE(theBlack.IsPattern());
}

TEST(Transform, GoesToGDIAsItStands)
{
  HDC theDC = CreateCompatibleDC(nullptr);
  ASSERT_NE(theDC, nullptr);
  SetGraphicsMode(theDC, GM_ADVANCED);
  Transform theTransform;
  theTransform.Rotate(30, 5, 5);
  theTransform.Translate(2, 3);
  ASSERT_TRUE(SetWorldTransform(theDC, &theTransform));
  XFORM theBack{};
  ASSERT_TRUE(GetWorldTransform(theDC, &theBack));
  EXPECT_EQ(Transform(theBack.eM11, theBack.eM12, theBack.eM21, theBack.eM22, theBack.eDx, theBack.eDy), theTransform);
  // A transform that collapses the plane is refused.
  const Transform kCollapse(0, 0, 0, 1, 20, 10);
  EXPECT_FALSE(SetWorldTransform(theDC, &kCollapse));
  DeleteDC(theDC);
}
