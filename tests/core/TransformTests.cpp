#include "core/Transform.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

static std::ostream& operator<<(std::ostream& ioStream, const Transform& inTransform)
{
  return ioStream << "(" << inTransform.eM11 << ", " << inTransform.eM12 << ", " << inTransform.eM21 << ", "
                  << inTransform.eM22 << ", " << inTransform.eDx << ", " << inTransform.eDy << ")";
}

namespace {

void ExpectMaps(const Transform& inTransform, LONG inX, LONG inY, float inToX, float inToY, float inTolerance = 1e-4f)
{
  float theX = 0, theY = 0;
  inTransform.MapPoint(inX, inY, theX, theY);
  EXPECT_NEAR(theX, inToX, inTolerance) << inTransform << " maps (" << inX << ", " << inY << ")";
  EXPECT_NEAR(theY, inToY, inTolerance) << inTransform << " maps (" << inX << ", " << inY << ")";
}

Transform Made(const std::function<void(Transform&)>& inSteps)
{
  Transform theTransform;
  inSteps(theTransform);
  return theTransform;
}

}  // namespace

TEST(Transform, EachStepMapsItsWorkedPoints)
{
  struct Case {
    const char* mName;
    Transform mTransform;
    LONG mX, mY;
    float mToX, mToY;
  } const kCases[] = {
    {"rotate 90", Made([](Transform& t) { t.Rotate(90, 0, 0); }), 1, 0, 0, 1},
    {"rotate 180 about (50, 50)", Made([](Transform& t) { t.Rotate(180, 50, 50); }), 0, 0, 100, 100},
    {"scale about (10, 10)", Made([](Transform& t) { t.Scale(2, 2, 10, 10); }), 0, 0, -10, -10},
    // After a turn the linear part is scaled on the source side: x before it turns.
    {"rotate 90, then scale x", Made([](Transform& t) { t.Rotate(90, 0, 0); t.Scale(2, 1, 0, 0); }), 1, 0, 0, 2},
    {"rotate 90, then scale y", Made([](Transform& t) { t.Rotate(90, 0, 0); t.Scale(1, 3, 0, 0); }), 0, 1, -3, 0},
    {"skew", Made([](Transform& t) { t.Skew(0.5f, 0, 0, 0); }), 0, 10, 5, 10},
    {"skew about y 10", Made([](Transform& t) { t.Skew(1, 0, 0, 10); }), 0, 20, 10, 20},
    {"translations add", Made([](Transform& t) { t.Translate(3, -4); t.Translate(1, 1); }), 0, 0, 4, -3},
    // Concat applies this transform first, then the argument.
    {"translate, then rotate", Made([](Transform& t) { t.Translate(10, 0); t.Concat(Made([](Transform& r) { r.Rotate(90, 0, 0); })); }), 0, 0, 0, 10},
    {"rotate, then translate", Made([](Transform& t) { t.Rotate(90, 0, 0); t.Concat(Transform(1, 0, 0, 1, 10, 0)); }), 0, 0, 10, 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    ExpectMaps(theCase.mTransform, theCase.mX, theCase.mY, theCase.mToX, theCase.mToY);
  }
  // In single precision cos 90 degrees is not exactly 0.
  EXPECT_NE(Made([](Transform& t) { t.Rotate(90, 0, 0); }).eM11, 0.0f);
}

TEST(Transform, InvertsUnlessTheFloatDeterminantIsZero)
{
  Transform theSingular(2, 0, 0, 0, 5, 5);
  EXPECT_FALSE(theSingular.Invert());
  EXPECT_EQ(theSingular, Transform(2, 0, 0, 0, 5, 5));
  // A determinant that exists in double precision but underflows in single.
  Transform theTiny(1e-30f, 0, 0, 1e-30f, 0, 0);
  EXPECT_FALSE(theTiny.Invert());

  Transform theScale(2, 0, 0, 4, 10, 20);
  EXPECT_TRUE(theScale.Invert());
  EXPECT_EQ(theScale, Transform(0.5f, 0, 0, 0.25f, -5, -5));
  Transform theGeneral = Made([](Transform& t) { t.Rotate(30, 5, 7); t.Scale(2, 0.5f, 1, 1); });
  Transform theRoundTrip = theGeneral;
  ASSERT_TRUE(theGeneral.Invert());
  theRoundTrip.Concat(theGeneral);
  for (LONG theX : {-100, 0, 37})
    ExpectMaps(theRoundTrip, theX, theX * 2, static_cast<float>(theX), static_cast<float>(theX * 2), 1e-3f);
}

TEST(Transform, RoundsHalfAwayFromZeroAndClampsTo32Bits)
{
  LONG theX = 0, theY = 0;
  Transform(0.5f, 0, 0, 0.5f, 0, 0).MapPointRounded(-5, 5, theX, theY);
  EXPECT_EQ(theX, -3);
  EXPECT_EQ(theY, 3);
  Transform(1e30f, 0, 0, -1e30f, 0, 0).MapPointRounded(1, 1, theX, theY);
  EXPECT_EQ(theX, 2147483647);
  EXPECT_EQ(theY, -2147483647 - 1);
}

TEST(Transform, TellsWhetherARectangleStaysInPlace)
{
  const std::tuple<Transform, RECT, bool> kCases[] = {
    {Transform(), {0, 0, 10, 10}, true},
    {Transform(), {-1, 0, 10, 10}, false},  // -1 + 0.5 truncates to 0
    {Transform(1, 0, 0, 1, 0.4f, 0), {0, 0, 10, 10}, true}, {Transform(1, 0, 0, 1, 0.6f, 0), {0, 0, 10, 10}, false},
    {Transform(1, 0, 0, 1, 0, -0.4f), {0, 1, 10, 10}, true}, {Transform(2, 0, 0, 1, 0, 0), {0, 0, 0, 10}, true},
    {Transform(2, 0, 0, 1, 0, 0), {0, 0, 1, 10}, false},
  };
  for (const auto& [theTransform, theRect, theUnchanged] : kCases)
    EXPECT_EQ(theTransform.LeavesRectUnchanged(theRect), theUnchanged)
      << theTransform << " on " << theRect.left << "," << theRect.top << "," << theRect.right << "," << theRect.bottom;
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
  ExpectMaps(theCollapse, 0, 20, 50, 30);
}
