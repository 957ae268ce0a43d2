#include "kernels/WarpDriver.h"

#include "kernels/AlignedAlloc.h"
#include "kernels/CheckedSize.h"
#include "kernels/EdgeSmoothing.h"
#include "kernels/ErrorStatus.h"
#include "kernels/FastAffine.h"
#include "kernels/ImageHeader.h"
#include "kernels/QuadKernels.h"
#include "kernels/TiledWarp.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kernels {

namespace {

bool AffineInverse(const IplRect& inSource, const Quad& inQuad, InverseMap& outMap)
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
  return AllFinite(c, 6);
}

}  // namespace

Point InverseMap::SourceOf(double inX, double inY) const
{
  const double* c = mC;
  switch (mKind) {
    case WarpKind::kAffine:
      return {c[0] * inX + c[1] * inY + c[2], c[3] * inX + c[4] * inY + c[5]};
    case WarpKind::kBilinear:
      return mBilinear.At(inX, inY);
    case WarpKind::kPerspective:
      break;
  }
  return PerspectiveAt(c, inX, inY);
}

bool InverseFromQuad(WarpKind inKind, const IplRect& inSource, const Quad& inQuad, InverseMap& outMap)
{
  outMap.mKind = inKind;
  switch (inKind) {
    case WarpKind::kAffine:
      return AffineInverse(inSource, inQuad, outMap);
    case WarpKind::kBilinear: {
      outMap.mOrientation = SolveBilinear(inSource, inQuad, outMap.mBilinear);
      const BilinearInverse& b = outMap.mBilinear;
      const double theValues[] = {b.mQx, b.mQy, b.mQ0, b.mK, b.mPx, b.mRx, b.mPy, b.mRy, b.mP0, b.mR0, b.mS};
      return AllFinite(theValues, 11);
    }
    case WarpKind::kPerspective:
      break;
  }
  outMap.mOrientation = SolvePerspective(inSource, inQuad, false, outMap.mC);
  return AllFinite(outMap.mC, 9);
}

bool CheckWarpImages(const ImageHeader* inSource, const ImageHeader* inDestination, const char* inFunction,
                     bool inWarpFlagValid)
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
  if (!inWarpFlagValid)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "warpFlag != 0 && warpFlag != 1", kWarpModule, __LINE__);
  if (inSource == inDestination)
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "This function is not in-place function", kWarpModule,
             __LINE__);
  return iplStatusGet() >= 0;
}

Quad CoveredQuad(const Quad& inQuad, const IplRect& inSource, WarpKind inKind, int inInterpolate)
{
  if (inKind == WarpKind::kAffine && (inInterpolate & IPL_INTER_PIXEL_AREAS))
    return PixelAreaQuad(inQuad, inSource);
  return inQuad;
}

int MethodFor(const ImageHeader* inSource, int inMethod)
{
  int theMethod = inMethod;
  if (theMethod == IPL_INTER_CUBIC && (inSource->width < 4 || inSource->height < 4))
    theMethod = IPL_INTER_LINEAR;
  if (theMethod == IPL_INTER_LINEAR && (inSource->width < 2 || inSource->height < 2))
    theMethod = IPL_INTER_NN;
  return theMethod;
}

namespace {

int KernelIndex(const ImageHeader* inSource, bool inPlane, int inMethod)
{
  if (inSource->depth == IPL_DEPTH_1U)
    return kBitKernel;
  const int theBase = inSource->depth == IPL_DEPTH_8U ? 0 : (inSource->depth == IPL_DEPTH_16U ? 6 : 12);
  return theBase + 3 * inPlane + MethodFor(inSource, inMethod);
}

// The row buffer of the bilinear and perspective kernels: inDoubles doubles
// from the kernels' allocator, or null.
class RowBuffer {
 public:
  explicit RowBuffer(std::int64_t inDoubles)
      : mData(inDoubles <= kInt32Max ? iplAlignedAllocDouble(static_cast<int>(inDoubles)) : nullptr)
  {
  }
  ~RowBuffer() { iplAlignedFree(mData); }
  RowBuffer(const RowBuffer&) = delete;
  RowBuffer& operator=(const RowBuffer&) = delete;

  double* Data() const { return mData; }

 private:
  double* mData;
};

// What a missing row buffer leaves: nothing drawn, and a report only when an
// earlier failure stands.
void NoRowBuffer(const char* inFunction)
{
  if (iplStatusGet() < 0)
    iplError(IPL_STATUS_BACKTRACE, inFunction, "", kWarpModule, __LINE__);
}

// Plane kernels step channels by planes; the others take the channel count as
// the pixel step, which for one channel is right in both orders.
bool PlaneKernels(const ImageHeader* inSource, const ImageHeader* inDestination)
{
  return inSource->dataOrder == IPL_DATA_ORDER_PLANE && (inSource->channelCount > 1 || inDestination->channelCount > 1);
}

// Source and destination channel access with the same number of processed
// channels, or false (a mismatch is reported).
bool AccessBoth(const ImageHeader* inSource, const ImageHeader* inDestination, const char* inFunction,
                ChannelAccess& outSource, ChannelAccess& outDestination)
{
  if (!GetChannelAccess(inSource, outSource) || !GetChannelAccess(inDestination, outDestination))
    return false;
  if (outSource.mProcessed != outDestination.mProcessed) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction,
             "Number of processed channels of srcImage != Number of processed channels of dstImage", kWarpModule,
             __LINE__);
    return false;
  }
  return true;
}

// The arguments every bilinear and perspective kernel takes.
QuadKernelArgs QuadArgs(WarpKind inKind, const ImageHeader* inSource, const ImageHeader* inDestination,
                        const ChannelAccess& inSourceAccess, const ChannelAccess& inDestinationAccess, int inMethod)
{
  const bool thePlane = PlaneKernels(inSource, inDestination);
  QuadKernelArgs theArgs{};
  theArgs.mKind = inKind;
  theArgs.mDepth = inSource->depth;
  theArgs.mPlane = thePlane;
  theArgs.mSource = inSourceAccess.mStart;
  theArgs.mSourceRowStep = inSourceAccess.mRowStep;
  theArgs.mDestinationRowStep = inDestinationAccess.mRowStep;
  theArgs.mSourceStep = thePlane ? inSourceAccess.mPlaneSize : inSourceAccess.mChannels;
  theArgs.mDestinationStep = thePlane ? inDestinationAccess.mPlaneSize : inDestinationAccess.mChannels;
  theArgs.mChannels = inSourceAccess.mProcessed;
  theArgs.mXLimit = inSource->width - 1;
  theArgs.mYLimit = inSource->height - 1;
  theArgs.mMethod = inSource->depth == IPL_DEPTH_1U ? IPL_INTER_NN : MethodFor(inSource, inMethod);
  return theArgs;
}

}  // namespace

void WarpRectToQuad(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad, int inInterpolate,
                    const char* inFunction, WarpKind inKind, bool inClip)
{
  const int theMethod = inInterpolate & ~(IPL_INTER_SMOOTH_EDGES | IPL_INTER_PIXEL_AREAS);
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
  if (!InverseFromQuad(inKind, theSourceRect, inQuad, theInverse)) {
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
  if (!AccessBoth(inSource, inDestination, inFunction, theSource, theDestination))
    return;
  const Quad theArea = CoveredQuad(inQuad, theSourceRect, inKind, inInterpolate);
  const std::vector<Point> theQuad(theArea.begin(), theArea.end());
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
    const std::int64_t theYMinOffset = theSpans.YMin() * theDestination.mRowStep;
    if (inKind == WarpKind::kAffine) {
      const bool thePlane = PlaneKernels(inSource, inDestination);
      AffineKernelArgs theArgs;
      theArgs.mSource = theSource.mStart;
      theArgs.mDestination = theDestination.mStart + theYMinOffset;
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
    } else {
      RowBuffer theBuffer(2 * static_cast<std::int64_t>(theDestinationRect.Width()));
      if (!theBuffer.Data()) {
        NoRowBuffer(inFunction);
        return;
      }
      QuadKernelArgs theArgs = QuadArgs(inKind, inSource, inDestination, theSource, theDestination, theMethod);
      theArgs.mRectToQuad = true;
      theArgs.mDestination = theDestination.mStart + theYMinOffset;
      theArgs.mRowBuffer = theBuffer.Data();
      theArgs.mYMin = theSpans.YMin();
      theArgs.mYMax = theSpans.YMax();
      theArgs.mFirstColumns = theSpans.First();
      theArgs.mLastColumns = theSpans.Last();
      theArgs.mBilinear = theInverse.mBilinear;
      std::copy(theInverse.mC, theInverse.mC + 9, theArgs.mC);
      RunQuadKernel(theArgs);
    }
  }
  if (theSmooth && inClip && iplStatusGet() >= 0)
    SmoothEdges(inDestination, theQuad, theDestinationRect, theInverse.mOrientation);
}

void WarpQuadToRect(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad, int inInterpolate,
                    const char* inFunction, WarpKind inKind, bool inClip, const IplRect* inMapping)
{
  const int theMethod = inInterpolate & ~IPL_INTER_SMOOTH_EDGES;
  IplRect theDestinationRect;
  if (!RoiRect(inDestination, inClip, theDestinationRect))
    return;
  if (inClip && (theDestinationRect.Width() <= 1 || theDestinationRect.Height() <= 1)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "dstImage Rectangle ROI is degenerate to length or point",
             kWarpModule, __LINE__);
    return;
  }
  IplRect theSourceRect;
  if (!RoiRect(inSource, inClip, theSourceRect))
    return;
  if (inSource->tileInfo || inDestination->tileInfo) {
    WarpQuadBlocks(inSource, inDestination, theSourceRect, theDestinationRect, inQuad, theMethod, inFunction, inKind);
    return;
  }
  ChannelAccess theSource;
  ChannelAccess theDestination;
  if (!AccessBoth(inSource, inDestination, inFunction, theSource, theDestination))
    return;
  const IplRect theMapping =
    inMapping ? *inMapping : IplRect{0, 0, theDestinationRect.Width() - 1, theDestinationRect.Height() - 1};
  QuadKernelArgs theArgs = QuadArgs(inKind, inSource, inDestination, theSource, theDestination, theMethod);
  if (inKind == WarpKind::kBilinear)
    SolveBilinear(theMapping, inQuad, theArgs.mC);
  else
    SolvePerspective(theMapping, inQuad, true, theArgs.mC);
  if (!AllFinite(theArgs.mC, 9)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "Transform matrix is not finite", kWarpModule, __LINE__);
    return;
  }
  theArgs.mOutside = std::any_of(inQuad.begin(), inQuad.end(), [&theSourceRect](const Point& p) {
    return p.x < theSourceRect.x1 || p.y < theSourceRect.y1 || p.x > theSourceRect.x2 || p.y > theSourceRect.y2;
  });
  theArgs.mSourceRect = theSourceRect;
  theArgs.mDestination =
    theDestination.At(theDestinationRect.x1, theDestinationRect.y1, BytesPerSample(inDestination->depth));
  theArgs.mDestinationBit = theDestinationRect.x1 % 8;
  theArgs.mColumns = theDestinationRect.Width();
  theArgs.mRows = theDestinationRect.Height();
  RowBuffer theBuffer(inKind == WarpKind::kPerspective ? 2 * static_cast<std::int64_t>(theArgs.mColumns) : 0);
  if (inKind == WarpKind::kPerspective && !theBuffer.Data()) {
    NoRowBuffer(inFunction);
    return;
  }
  theArgs.mRowBuffer = theBuffer.Data();
  RunQuadKernel(theArgs);
}

}  // namespace kernels
