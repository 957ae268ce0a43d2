#include "kernels/SpanBuilder.h"

#include "kernels/AlignedAlloc.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kernels {

int ToIndex(double inValue, int inLow, int inHigh)
{
  if (!(inValue > inLow))
    return inLow;
  if (!(inValue < inHigh))
    return inHigh;
  return static_cast<int>(inValue);
}

namespace {

struct Box {
  double mMinX;
  double mMinY;
  double mMaxX;
  double mMaxY;
};

Box BoundsOf(const std::vector<Point>& inPolygon)
{
  Box theBox = {inPolygon[0].x, inPolygon[0].y, inPolygon[0].x, inPolygon[0].y};
  for (const Point& thePoint : inPolygon) {
    theBox.mMinX = std::min(theBox.mMinX, thePoint.x);
    theBox.mMinY = std::min(theBox.mMinY, thePoint.y);
    theBox.mMaxX = std::max(theBox.mMaxX, thePoint.x);
    theBox.mMaxY = std::max(theBox.mMaxY, thePoint.y);
  }
  return theBox;
}

// One side of the rectangle: a coordinate (x or y) held above or below a limit.
struct Side {
  bool mOnY;
  bool mBelow;  // the inside is coordinate <= limit
  double mLimit;

  bool Inside(const Point& inPoint) const
  {
    const double theValue = mOnY ? inPoint.y : inPoint.x;
    return mBelow ? theValue <= mLimit : theValue >= mLimit;
  }

  bool BoxInside(const Box& inBox) const
  {
    if (mOnY)
      return mBelow ? inBox.mMaxY <= mLimit : inBox.mMinY >= mLimit;
    return mBelow ? inBox.mMaxX <= mLimit : inBox.mMinX >= mLimit;
  }

  // Where the edge inA -> inB crosses the side; the slope is taken first.
  Point Cross(const Point& inA, const Point& inB) const
  {
    if (mOnY) {
      const double theSlope = (inB.x - inA.x) / (inB.y - inA.y);
      return {inA.x + (mLimit - inA.y) * theSlope, mLimit};
    }
    const double theSlope = (inB.y - inA.y) / (inB.x - inA.x);
    return {mLimit, inA.y + (mLimit - inA.x) * theSlope};
  }
};

std::vector<Point> ClipSide(const std::vector<Point>& inPolygon, const Side& inSide)
{
  std::vector<Point> theResult;
  const std::size_t theCount = inPolygon.size();
  for (std::size_t i = 0; i < theCount; ++i) {
    const Point& theCurrent = inPolygon[i];
    const Point& thePrevious = inPolygon[(i + theCount - 1) % theCount];
    const bool theCurrentIn = inSide.Inside(theCurrent);
    const bool thePreviousIn = inSide.Inside(thePrevious);
    if (theCurrentIn) {
      if (!thePreviousIn)
        theResult.push_back(inSide.Cross(thePrevious, theCurrent));
      theResult.push_back(theCurrent);
    } else if (thePreviousIn) {
      theResult.push_back(inSide.Cross(thePrevious, theCurrent));
    }
  }
  return theResult;
}

bool Finite(const std::vector<Point>& inPolygon)
{
  return std::all_of(inPolygon.begin(), inPolygon.end(),
                     [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

}  // namespace

std::vector<Point> ClipToRect(const std::vector<Point>& inPolygon, const IplRect& inRect)
{
  if (inPolygon.empty() || !Finite(inPolygon))
    return {};
  const Box theBox = BoundsOf(inPolygon);
  if (theBox.mMaxX < inRect.x1 || theBox.mMinX > inRect.x2 || theBox.mMaxY < inRect.y1 ||
      theBox.mMinY > inRect.y2)
    return {};
  std::vector<Point> thePolygon = inPolygon;
  const Side theSides[] = {
    {true, false, static_cast<double>(inRect.y1)},
    {true, true, static_cast<double>(inRect.y2)},
    {false, false, static_cast<double>(inRect.x1)},
    {false, true, static_cast<double>(inRect.x2)},
  };
  for (const Side& theSide : theSides) {
    if (thePolygon.empty())
      return {};
    if (!theSide.BoxInside(BoundsOf(thePolygon)))
      thePolygon = ClipSide(thePolygon, theSide);
  }
  std::vector<Point> theMerged;
  for (const Point& thePoint : thePolygon) {
    if (theMerged.empty() || theMerged.back().x != thePoint.x || theMerged.back().y != thePoint.y)
      theMerged.push_back(thePoint);
  }
  while (theMerged.size() > 1 && theMerged.back().x == theMerged.front().x &&
         theMerged.back().y == theMerged.front().y)
    theMerged.pop_back();
  if (!Finite(theMerged))
    return {};
  return theMerged;
}

Spans::~Spans()
{
  iplAlignedFree(mFirst);
  iplAlignedFree(mLast);
}

void Spans::Set(int inRow, double inLeft, double inRight)
{
  double theFirst = std::ceil(inLeft);
  if (theFirst - inLeft > 1 - 1e-14)
    theFirst -= 1;
  double theLast = std::floor(inRight);
  if (inRight - theLast > 1 - 1e-14)
    theLast += 1;
  const int theIndex = inRow - mYMin;
  mFirst[theIndex] = ToIndex(theFirst, mRect.x1, mRect.x2 + 1);
  mLast[theIndex] = ToIndex(theLast, mRect.x1 - 1, mRect.x2);
}

Spans::Result Spans::Build(const std::vector<Point>& inQuad, const IplRect& inRect, bool inOrientation)
{
  const std::vector<Point> thePolygon = ClipToRect(inQuad, inRect);
  if (thePolygon.empty())
    return Result::kEmpty;
  mRect = inRect;
  const Box theBox = BoundsOf(thePolygon);
  const double theTop = std::ceil(theBox.mMinY);
  const double theBottom = std::floor(theBox.mMaxY);
  if (theBottom < theTop || std::floor(theBox.mMaxX) < std::ceil(theBox.mMinX))
    return Result::kEmpty;
  mYMin = ToIndex(theTop, inRect.y1, inRect.y2);
  mYMax = ToIndex(theBottom, inRect.y1, inRect.y2);
  if (mYMax < mYMin)
    return Result::kEmpty;
  const int theRows = mYMax - mYMin + 1;
  mFirst = iplAlignedAllocInt(theRows);
  mLast = iplAlignedAllocInt(theRows);
  if (!mFirst || !mLast)
    return Result::kNoMemory;
  std::fill(mFirst, mFirst + theRows, std::numeric_limits<std::int32_t>::max());
  std::fill(mLast, mLast + theRows, std::numeric_limits<std::int32_t>::min());

  const int theCount = static_cast<int>(thePolygon.size());
  auto X = [&thePolygon](int i) { return thePolygon[i].x; };
  auto Y = [&thePolygon](int i) { return thePolygon[i].y; };
  if (theCount == 1) {
    mFirst[0] = mLast[0] = ToIndex(std::floor(X(0)), inRect.x1, inRect.x2);
    return Result::kBuilt;
  }
  mFirst[0] = ToIndex(std::ceil(std::min(X(0), X(1))), inRect.x1, inRect.x2 + 1);
  mLast[0] = ToIndex(std::floor(std::max(X(0), X(1))), inRect.x1 - 1, inRect.x2);

  int theStart = 0;
  for (int i = 1; i < theCount; ++i) {
    if (Y(i) < Y(theStart))
      theStart = i;
  }
  auto Down = [theCount](int i) { return (i + theCount - 1) % theCount; };
  auto Up = [theCount](int i) { return (i + 1) % theCount; };
  // Chain A walks to lower vertex numbers, chain B to higher ones; together
  // they use every edge once, and meet when all are used.
  int theA = theStart;
  int theB = theStart;
  int theUsed = 0;
  int theRow = mYMin;
  while (theUsed < theCount) {
    while (theUsed < theCount && Y(Down(theA)) == Y(theA)) {
      theA = Down(theA);
      ++theUsed;
    }
    while (theUsed < theCount && Y(Up(theB)) == Y(theB)) {
      theB = Up(theB);
      ++theUsed;
    }
    if (theUsed >= theCount)
      break;
    const int theANext = Down(theA);
    const int theBNext = Up(theB);
    const double theSlopeA = (X(theANext) - X(theA)) / (Y(theANext) - Y(theA));
    const double theSlopeB = (X(theBNext) - X(theB)) / (Y(theBNext) - Y(theB));
    const double theEnd = std::min(Y(theANext), Y(theBNext));
    const int theEndRow = ToIndex(std::floor(theEnd), mYMin - 1, mYMax);
    for (; theRow <= theEndRow; ++theRow) {
      const double theXA = X(theA) + (theRow - Y(theA)) * theSlopeA;
      const double theXB = X(theB) + (theRow - Y(theB)) * theSlopeB;
      if (inOrientation)
        Set(theRow, theXA, theXB);
      else
        Set(theRow, theXB, theXA);
    }
    const bool theAEnds = Y(theANext) <= Y(theBNext);
    const bool theBEnds = Y(theBNext) <= Y(theANext);
    if (theAEnds) {
      theA = theANext;
      ++theUsed;
    }
    if (theBEnds) {
      theB = theBNext;
      ++theUsed;
    }
  }
  return Result::kBuilt;
}

}  // namespace kernels
