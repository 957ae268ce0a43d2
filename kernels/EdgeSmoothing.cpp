#include "kernels/EdgeSmoothing.h"

#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace kernels {

namespace {

// The blend on contiguous storage: both pixels' first samples and the step
// from one channel to the next are found once.
template <typename T>
void BlendStorage(const ImageHeader* inImage, int inX0, int inY0, int inX1, int inY1, int inFirstChannel,
                  int inLastChannel, double inW0, double inW1)
{
  const bool thePlane = inImage->dataOrder == IPL_DATA_ORDER_PLANE;
  const std::int64_t thePixel = thePlane ? sizeof(T) : static_cast<std::int64_t>(inImage->channelCount) * sizeof(T);
  const std::int64_t theChannel =
    thePlane ? static_cast<std::int64_t>(inImage->widthStep) * inImage->height : static_cast<std::int64_t>(sizeof(T));
  std::uint8_t* theOuter = inImage->imageData + static_cast<std::int64_t>(inY0) * inImage->widthStep + inX0 * thePixel;
  const std::uint8_t* theInner =
    inImage->imageData + static_cast<std::int64_t>(inY1) * inImage->widthStep + inX1 * thePixel;
  for (int c = inFirstChannel; c <= inLastChannel; ++c) {
    std::uint8_t* theOut = theOuter + c * theChannel;
    const double theValue = inW0 * LoadSample<T>(theOut) + inW1 * LoadSample<T>(theInner + c * theChannel);
    if constexpr (std::is_same_v<T, float>)
      StoreSample(theOut, static_cast<float>(theValue));
    else
      StoreSample(theOut, RoundToSample<T>(theValue));
  }
}

bool Inside(const IplRect& inRect, int inX, int inY)
{
  return inX >= inRect.x1 && inX <= inRect.x2 && inY >= inRect.y1 && inY <= inRect.y2;
}

}  // namespace

void BlendPixels(const ImageHeader* inImage, int inX0, int inY0, int inX1, int inY1, int inFirstChannel,
                 int inLastChannel, double inW0, double inW1)
{
  if (inImage->tileInfo) {
    for (int c = inFirstChannel; c <= inLastChannel; ++c) {
      const double theValue = inW0 * PixelGet(inImage, inX0, inY0, c) + inW1 * PixelGet(inImage, inX1, inY1, c);
      PixelSet(inImage, inX0, inY0, c, static_cast<float>(theValue));
    }
    return;
  }
  switch (inImage->depth) {
    case IPL_DEPTH_8U:
      BlendStorage<std::uint8_t>(inImage, inX0, inY0, inX1, inY1, inFirstChannel, inLastChannel, inW0, inW1);
      break;
    case IPL_DEPTH_16U:
      BlendStorage<std::uint16_t>(inImage, inX0, inY0, inX1, inY1, inFirstChannel, inLastChannel, inW0, inW1);
      break;
    case IPL_DEPTH_32F:
      BlendStorage<float>(inImage, inX0, inY0, inX1, inY1, inFirstChannel, inLastChannel, inW0, inW1);
      break;
    default:
      break;
  }
}

void SmoothEdges(const ImageHeader* inImage, const std::vector<Point>& inQuad, const IplRect& inRect,
                 bool inOrientation)
{
  if (inImage->depth == IPL_DEPTH_1U)
    return;
  const std::vector<Point> thePolygon = ClipToRect(inQuad, inRect);
  if (thePolygon.size() < 3)
    return;
  const int theCoi = ChannelOfInterest(inImage);
  const int theFirstChannel = theCoi > 0 ? theCoi - 1 : 0;
  const int theLastChannel =
    theCoi > 0 ? theCoi - 1 : inImage->channelCount - (inImage->alphaChannel ? 2 : 1);
  const std::size_t theCount = thePolygon.size();
  for (std::size_t i = 0; i < theCount; ++i) {
    const Point& theFrom = thePolygon[i];
    const Point& theTo = thePolygon[(i + 1) % theCount];
    const double theDx = theTo.x - theFrom.x;
    const double theDy = theTo.y - theFrom.y;
    if (theDx == 0 || theDy == 0)
      continue;
    if (std::fabs(theDy) <= std::fabs(theDx)) {
      const double theSlope = theDy / theDx;
      const int theX1 = ToIndex(std::ceil(std::min(theFrom.x, theTo.x)), inRect.x1, inRect.x2 + 1);
      const int theX2 = ToIndex(std::floor(std::max(theFrom.x, theTo.x)), inRect.x1 - 1, inRect.x2);
      for (int x = theX1; x <= theX2; ++x) {
        const double theV = theFrom.y + (x - theFrom.x) * theSlope;
        const double theFloor = std::floor(theV);
        if (theFloor == theV)
          continue;
        const bool theOuterBelow = inOrientation == (theDx > 0);  // outer row is floor(v)
        const double theOuter = theOuterBelow ? theFloor : theFloor + 1;
        const double theInner = theOuterBelow ? theFloor + 1 : theFloor;
        const int theO = ToIndex(theOuter, inRect.y1 - 1, inRect.y2 + 1);
        const int theN = ToIndex(theInner, inRect.y1 - 1, inRect.y2 + 1);
        if (!Inside(inRect, x, theO) || !Inside(inRect, x, theN))
          continue;
        BlendPixels(inImage, x, theO, x, theN, theFirstChannel, theLastChannel, std::fabs(theV - theOuter),
                    std::fabs(theV - theInner));
      }
    } else {
      const double theSlope = theDx / theDy;
      const int theY1 = ToIndex(std::ceil(std::min(theFrom.y, theTo.y)), inRect.y1, inRect.y2 + 1);
      const int theY2 = ToIndex(std::floor(std::max(theFrom.y, theTo.y)), inRect.y1 - 1, inRect.y2);
      for (int y = theY1; y <= theY2; ++y) {
        const double theV = theFrom.x + (y - theFrom.y) * theSlope;
        const double theFloor = std::floor(theV);
        if (theFloor == theV)
          continue;
        const bool theOuterAbove = inOrientation == (theDy > 0);  // outer column is ceil(v)
        const double theOuter = theOuterAbove ? theFloor + 1 : theFloor;
        const double theInner = theOuterAbove ? theFloor : theFloor + 1;
        const int theO = ToIndex(theOuter, inRect.x1 - 1, inRect.x2 + 1);
        const int theN = ToIndex(theInner, inRect.x1 - 1, inRect.x2 + 1);
        if (!Inside(inRect, theO, y) || !Inside(inRect, theN, y))
          continue;
        BlendPixels(inImage, theO, y, theN, y, theFirstChannel, theLastChannel, std::fabs(theV - theOuter),
                    std::fabs(theV - theInner));
      }
    }
  }
}

}  // namespace kernels
