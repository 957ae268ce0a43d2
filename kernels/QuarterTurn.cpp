#include "kernels/QuarterTurn.h"

#include "kernels/ErrorStatus.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/WarpDriver.h"

#include <algorithm>
#include <cstring>

namespace kernels {

namespace {

constexpr const char* kFunction = "iplRotate";

// The source pixel a destination pixel takes.
void SourceOf(int inAngle, std::int64_t inXShift, std::int64_t inYShift, std::int64_t inX, std::int64_t inY,
              std::int64_t& outX, std::int64_t& outY)
{
  switch (inAngle) {
    case 90:
      outX = inYShift - inY;
      outY = inX - inXShift;
      break;
    case 180:
      outX = inXShift - inX;
      outY = inYShift - inY;
      break;
    default:
      outX = inY - inYShift;
      outY = inXShift - inX;
      break;
  }
}

// Byte distances of one image for the copy: to the next pixel and the next
// processed channel (pixel form: consecutive samples; plane form: planes).
struct CopyLayout {
  std::int64_t mPixel;
  std::int64_t mChannel;
};

CopyLayout LayoutOf(const ChannelAccess& inAccess, int inSampleBytes, bool inPlaneForm)
{
  if (inPlaneForm)
    return {inSampleBytes, inAccess.mPlaneSize};
  return {static_cast<std::int64_t>(inAccess.mChannels) * inSampleBytes, inSampleBytes};
}

}  // namespace

void RotateQuarter(ImageHeader* inSource, ImageHeader* inDestination, int inAngle, int inXShift, int inYShift)
{
  if (!CheckWarpImages(inSource, inDestination, kFunction))
    return;
  IplRect theSourceRect;
  IplRect theDestinationRect;
  ChannelAccess theSource;
  ChannelAccess theDestination;
  if (!RoiRect(inSource, true, theSourceRect) || !RoiRect(inDestination, true, theDestinationRect) ||
      !GetChannelAccess(inSource, theSource) || !GetChannelAccess(inDestination, theDestination))
    return;
  if (theSource.mProcessed != theDestination.mProcessed) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction,
             "Number of processed channels of srcImage != Number of processed channels of dstImage",
             kWarpModule, __LINE__);
    return;
  }
  const std::int64_t theXs = inXShift;
  const std::int64_t theYs = inYShift;
  std::int64_t theX1 = 0, theX2 = 0, theY1 = 0, theY2 = 0;
  switch (inAngle) {
    case 90:
      theX1 = theXs + theSourceRect.y1, theX2 = theXs + theSourceRect.y2;
      theY1 = theYs - theSourceRect.x2, theY2 = theYs - theSourceRect.x1;
      break;
    case 180:
      theX1 = theXs - theSourceRect.x2, theX2 = theXs - theSourceRect.x1;
      theY1 = theYs - theSourceRect.y2, theY2 = theYs - theSourceRect.y1;
      break;
    default:
      theX1 = theXs - theSourceRect.y2, theX2 = theXs - theSourceRect.y1;
      theY1 = theYs + theSourceRect.x1, theY2 = theYs + theSourceRect.x2;
      break;
  }
  theX1 = std::max<std::int64_t>(theX1, theDestinationRect.x1);
  theX2 = std::min<std::int64_t>(theX2, theDestinationRect.x2);
  theY1 = std::max<std::int64_t>(theY1, theDestinationRect.y1);
  theY2 = std::min<std::int64_t>(theY2, theDestinationRect.y2);
  if (theX2 < theX1 || theY2 < theY1)
    return;

  const int theBytes = BytesPerSample(inSource->depth);
  std::int64_t theSX = 0;
  std::int64_t theSY = 0;
  if (theBytes == 0) {
    for (std::int64_t y = theY1; y <= theY2; ++y) {
      std::uint8_t* theOut = theDestination.mStart + y * theDestination.mRowStep;
      for (std::int64_t x = theX1; x <= theX2; ++x) {
        SourceOf(inAngle, theXs, theYs, x, y, theSX, theSY);
        if (BitAt(theSource.mStart + theSY * theSource.mRowStep, theSX))
          SetBit(theOut, x);
        else
          ClearBit(theOut, x);
      }
    }
    return;
  }
  const bool thePlaneForm = inSource->dataOrder == IPL_DATA_ORDER_PLANE ||
                            (inSource->channelCount == 1 && inDestination->channelCount == 1);
  const CopyLayout theFrom = LayoutOf(theSource, theBytes, thePlaneForm);
  const CopyLayout theTo = LayoutOf(theDestination, theBytes, thePlaneForm);
  // Along a destination row the source walks down a column (90), back along
  // a row (180) or up a column (270); the next destination row starts one
  // source column to the left (90), one row up (180) or one column right (270).
  std::int64_t theAlong = 0;
  std::int64_t theNext = 0;
  switch (inAngle) {
    case 90: theAlong = theSource.mRowStep, theNext = -theFrom.mPixel; break;
    case 180: theAlong = -theFrom.mPixel, theNext = -theSource.mRowStep; break;
    default: theAlong = -theSource.mRowStep, theNext = theFrom.mPixel; break;
  }
  SourceOf(inAngle, theXs, theYs, theX1, theY1, theSX, theSY);
  const std::uint8_t* theSourceRow = theSource.mStart + theSY * theSource.mRowStep + theSX * theFrom.mPixel;
  for (std::int64_t y = theY1; y <= theY2; ++y) {
    const std::uint8_t* theIn = theSourceRow;
    std::uint8_t* theOut = theDestination.mStart + y * theDestination.mRowStep + theX1 * theTo.mPixel;
    for (std::int64_t x = theX1; x <= theX2; ++x) {
      for (int c = 0; c < theSource.mProcessed; ++c)
        std::memcpy(theOut + c * theTo.mChannel, theIn + c * theFrom.mChannel, static_cast<std::size_t>(theBytes));
      theIn += theAlong;
      theOut += theTo.mPixel;
    }
    theSourceRow += theNext;
  }
}

}  // namespace kernels
