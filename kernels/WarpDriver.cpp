#include "kernels/WarpDriver.h"

#include "kernels/EdgeSmoothing.h"
#include "kernels/ErrorStatus.h"
#include "kernels/FastAffine.h"
#include "kernels/ImageHeader.h"
#include "kernels/TiledWarp.h"

#include <cmath>
#include <vector>

namespace kernels {

bool InverseFromQuad(const IplRect& inSource, const Quad& inQuad, InverseMap& outMap)
{
  const Point& q0 = inQuad[0];
  const Point& q1 = inQuad[1];
  const Point& q2 = inQuad[2];
  const double theD = (q2.y - q1.y) * (q1.x - q0.x) - (q1.y - q0.y) * (q2.x - q1.x);
  const double theW = inSource.x2 - inSource.x1;
  const double theH = inSource.y2 - inSource.y1;
  double* c = outMap.mC;
  c[0] = (q2.y - q1.y) * theW / theD;
  c[1] = -(q2.x - q1.x) * theW / theD;
  c[2] = inSource.x1 - c[0] * q0.x - c[1] * q0.y;
  c[3] = -(q1.y - q0.y) * theH / theD;
  c[4] = (q1.x - q0.x) * theH / theD;
  c[5] = inSource.y1 - c[3] * q0.x - c[4] * q0.y;
  outMap.mOrientation = 1 / theD > 0;
  for (double theValue : outMap.mC) {
    if (!std::isfinite(theValue))
      return false;
  }
  return true;
}

bool CheckWarpImages(const ImageHeader* inSource, const ImageHeader* inDestination, const char* inFunction)
{
  for (const ImageHeader* theImage : {inSource, inDestination}) {
    if (iplHeaderCheck(theImage) != 0) {
      iplError(iplStatusGet(), inFunction, "Incorrect Image", kWarpModule, __LINE__);
      return false;
    }
  }
  if (inSource->depth != inDestination->depth)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage->depth != dstImage->depth", kWarpModule, __LINE__);
  if (inSource->origin != inDestination->origin)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage->origin != dstImage->origin", kWarpModule, __LINE__);
  if (inSource->dataOrder != inDestination->dataOrder && inSource->depth != IPL_DEPTH_1U &&
      !(inSource->channelCount == 1 && inDestination->channelCount == 1))
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage->dataOrder != dstImage->dataOrder", kWarpModule,
             __LINE__);
  if (inSource->depth & IPL_DEPTH_SIGN)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage->depth & IPL_DEPTH_SIGN", kWarpModule, __LINE__);
  if (inSource == inDestination)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "This function is not in-place function", kWarpModule,
             __LINE__);
  return iplStatusGet() >= 0;
}

namespace {

// The kernel table index for the images, after holding the method to what the
// source can feed: cubic needs a 4 x 4 window, linear a 2 x 2 one.
int KernelIndex(const ImageHeader* inSource, bool inPlane, int inMethod)
{
  if (inSource->depth == IPL_DEPTH_1U)
    return kBitKernel;
  int theMethod = inMethod;
  if (theMethod == IPL_INTER_CUBIC && (inSource->width < 4 || inSource->height < 4))
    theMethod = IPL_INTER_LINEAR;
  if (theMethod == IPL_INTER_LINEAR && (inSource->width < 2 || inSource->height < 2))
    theMethod = IPL_INTER_NN;
  const int theBase = inSource->depth == IPL_DEPTH_8U ? 0 : (inSource->depth == IPL_DEPTH_16U ? 6 : 12);
  return theBase + 3 * inPlane + theMethod;
}

}  // namespace

void WarpRectToQuad(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad,
                    int inInterpolate, const char* inFunction, bool inClip)
{
  const int theMethod = inInterpolate & ~IPL_INTER_SMOOTH_EDGES;
  const bool theSmooth = (inInterpolate & IPL_INTER_SMOOTH_EDGES) != 0;
  IplRect theSourceRect;
  if (!RoiRect(inSource, inClip, theSourceRect))
    return;
  if (theSourceRect.Width() <= 1 || theSourceRect.Height() <= 1) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage Rectangle ROI is degenerate to length or point",
             kWarpModule, __LINE__);
    return;
  }
  IplRect theDestinationRect;
  if (!RoiRect(inDestination, inClip, theDestinationRect))
    return;
  InverseMap theInverse;
  if (!InverseFromQuad(theSourceRect, inQuad, theInverse)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "Inverse transform is not finite", kWarpModule, __LINE__);
    return;
  }
  if (inSource->tileInfo || inDestination->tileInfo) {
    WarpBlocks(inSource, inDestination, theSourceRect, theDestinationRect, inQuad, theInverse, inInterpolate,
               inFunction, inClip);
    return;
  }
  ChannelAccess theSource;
  ChannelAccess theDestination;
  if (!GetChannelAccess(inSource, theSource) || !GetChannelAccess(inDestination, theDestination))
    return;
  if (theSource.mProcessed != theDestination.mProcessed) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction,
             "Number of processed channels of srcImage != Number of processed channels of dstImage",
             kWarpModule, __LINE__);
    return;
  }
  const std::vector<Point> theQuad(inQuad.begin(), inQuad.end());
  {
    Spans theSpans;
    switch (theSpans.Build(theQuad, theDestinationRect, theInverse.mOrientation)) {
      case Spans::Result::kEmpty:
        if (iplStatusGet() < 0)
          iplError(IPL_STATUS_BACKTRACE, inFunction, "", kWarpModule, __LINE__);
        return;
      case Spans::Result::kNoMemory:
        iplError(IPL_STATUS_NO_MEMORY, inFunction, "for allocate spans", kWarpModule, __LINE__);
        return;
      case Spans::Result::kBuilt:
        break;
    }
    // Plane kernels step channels by planes; the others take the channel
    // count as the pixel step, which for one channel is right in both orders.
    const bool thePlane = inSource->dataOrder == IPL_DATA_ORDER_PLANE &&
                          (inSource->channelCount > 1 || inDestination->channelCount > 1);
    AffineKernelArgs theArgs;
    theArgs.mSource = theSource.mStart;
    theArgs.mDestination = theDestination.mStart + theSpans.YMin() * theDestination.mRowStep;
    theArgs.mSourceRowStep = theSource.mRowStep;
    theArgs.mDestinationRowStep = theDestination.mRowStep;
    theArgs.mSourceStep = thePlane ? theSource.mPlaneSize : theSource.mChannels;
    theArgs.mDestinationStep = thePlane ? theDestination.mPlaneSize : theDestination.mChannels;
    theArgs.mChannels = theSource.mProcessed;
    theArgs.mYMin = theSpans.YMin();
    theArgs.mYMax = theSpans.YMax();
    theArgs.mFirstColumns = theSpans.First();
    theArgs.mLastColumns = theSpans.Last();
    for (int i = 0; i < 6; ++i)
      theArgs.mC[i] = theInverse.mC[i];
    theArgs.mXLimit = inSource->width - 1;
    theArgs.mYLimit = inSource->height - 1;
    RunAffineKernel(KernelIndex(inSource, thePlane, theMethod), theArgs);
  }
  if (theSmooth && inClip && iplStatusGet() >= 0)
    SmoothEdges(inDestination, theQuad, theDestinationRect, theInverse.mOrientation);
}

}  // namespace kernels
