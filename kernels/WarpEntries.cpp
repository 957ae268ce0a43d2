#include "kernels/WarpEntries.h"

#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/ImageLayout.h"
#include "kernels/WarpDriver.h"

#include <algorithm>
#include <cmath>

namespace kernels {

namespace {

constexpr const char* kBadRect = "Bad rect ROI";
constexpr const char* kMatrixNotFinite = "Transform matrix is not finite";

int CoefficientCount(WarpKind inKind)
{
  switch (inKind) {
    case WarpKind::kAffine:
      return 6;
    case WarpKind::kBilinear:
      return 8;
    case WarpKind::kPerspective:
      break;
  }
  return 9;
}

// The coefficients' form applied to the rectangle's corners.
Quad FormQuad(WarpKind inKind, const double* c, const IplRect& inRect)
{
  const double x1 = inRect.x1, y1 = inRect.y1, x2 = inRect.x2, y2 = inRect.y2;
  switch (inKind) {
    case WarpKind::kAffine:
      break;
    case WarpKind::kBilinear:
      return BilinearQuad(c, x1, y1, x2, y2);
    case WarpKind::kPerspective:
      return PerspectiveQuad(c, x1, y1, x2, y2);
  }
  auto At = [c](double x, double y) { return Point{c[0] * x + c[1] * y + c[2], c[3] * x + c[4] * y + c[5]}; };
  return {At(x1, y1), At(x2, y1), At(x2, y2), At(x1, y2)};
}

bool QuadOfRect(WarpKind inKind, const char* inFunction, const IplRect& inRect, const double* inCoeffs,
                double outQuad[4][2])
{
  if (!AllFinite(inCoeffs, CoefficientCount(inKind))) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kMatrixNotFinite, kWarpModule, __LINE__);
    return false;
  }
  const Quad theQuad = FormQuad(inKind, inCoeffs, inRect);
  if (!QuadFinite(theQuad)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kQuadNotFinite, kWarpModule, __LINE__);
    return false;
  }
  CopyQuad(theQuad, outQuad);
  return true;
}

// The coefficients that map the rectangle (null: no valid ROI) onto a convex
// quadrangle, or a report.
void TransformOfQuad(WarpKind inKind, const char* inFunction, const IplRect* inRect, const double inQuad[4][2],
                     double* outCoeffs)
{
  const Quad theQuad = QuadOf(inQuad);
  if (const char* theFault = QuadrangleFault(theQuad)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, theFault, kWarpModule, __LINE__);
    return;
  }
  if (!inRect) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kBadRect, kWarpModule, __LINE__);
    return;
  }
  if (!(inRect->x2 > inRect->x1) || !(inRect->y2 > inRect->y1)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "image Rectangle ROI is degenerate to length or point",
             kWarpModule, __LINE__);
    return;
  }
  double theCoeffs[9] = {};
  if (inKind == WarpKind::kBilinear)
    SolveBilinear(*inRect, theQuad, theCoeffs);
  else
    SolvePerspective(*inRect, theQuad, true, theCoeffs);
  const int theCount = CoefficientCount(inKind);
  if (!AllFinite(theCoeffs, theCount)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kMatrixNotFinite, kWarpModule, __LINE__);
    return;
  }
  std::copy(theCoeffs, theCoeffs + theCount, outCoeffs);
}

int Backtrace(const char* inFunction)
{
  return iplError(IPL_STATUS_BACKTRACE, inFunction, "", kWarpModule, __LINE__);
}

}  // namespace

bool ImageQuad(WarpKind inKind, const char* inFunction, const ImageHeader* inImage, const double* inCoeffs,
               double outQuad[4][2])
{
  if (iplHeaderCheck(inImage) != 0) {
    iplError(iplStatusGet(), inFunction, "Incorrect Image", kWarpModule, __LINE__);
    return false;
  }
  IplRect theRect;
  if (!RoiRect(inImage, true, theRect)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kBadRect, kWarpModule, __LINE__);
    return false;
  }
  return QuadOfRect(inKind, inFunction, theRect, inCoeffs, outQuad);
}

bool RoiQuad(WarpKind inKind, const char* inFunction, const RoiRecord* inRoi, const double* inCoeffs,
             double outQuad[4][2])
{
  IplRect theRect;
  if (!RoiRecordRect(inRoi, theRect)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kBadRect, kWarpModule, __LINE__);
    return false;
  }
  return QuadOfRect(inKind, inFunction, theRect, inCoeffs, outQuad);
}

void BoundOf(bool inMade, const double inQuad[4][2], const char* inFunction, double outBound[2][2])
{
  if (!inMade) {
    Backtrace(inFunction);
    return;
  }
  outBound[0][0] = outBound[1][0] = inQuad[0][0];
  outBound[0][1] = outBound[1][1] = inQuad[0][1];
  for (int i = 1; i < 4; ++i) {
    outBound[0][0] = std::min(outBound[0][0], inQuad[i][0]);
    outBound[0][1] = std::min(outBound[0][1], inQuad[i][1]);
    outBound[1][0] = std::max(outBound[1][0], inQuad[i][0]);
    outBound[1][1] = std::max(outBound[1][1], inQuad[i][1]);
  }
}

bool MethodOf(const char* inFunction, int inInterpolate, int& outMethod)
{
  outMethod = inInterpolate & ~IPL_INTER_SMOOTH_EDGES;
  if (outMethod == IPL_INTER_NN || outMethod == IPL_INTER_LINEAR || outMethod == IPL_INTER_CUBIC)
    return true;
  iplError(IPL_STATUS_BAD_ARGUMENT, inFunction,
           "interpolate != IPL_INTER_NN && interpolate != IPL_INTER_LINEAR && interpolate != IPL_INTER_CUBIC",
           kWarpModule, __LINE__);
  return false;
}

void WarpQuad(WarpKind inKind, const char* inFunction, ImageHeader* inSource, ImageHeader* inDestination,
              const double inQuad[4][2], int inWarpFlag, int inInterpolate)
{
  if (!CheckWarpImages(inSource, inDestination, inFunction, inWarpFlag == 0 || inWarpFlag == 1))
    return;
  const Quad theQuad = QuadOf(inQuad);
  if (const char* theFault = QuadrangleFault(theQuad)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, theFault, kWarpModule, __LINE__);
    return;
  }
  int theMethod = 0;
  if (!MethodOf(inFunction, inInterpolate, theMethod))
    return;
  if (inSource->depth == IPL_DEPTH_1U || inSource->width == 1 || inSource->height == 1)
    theMethod = IPL_INTER_NN;
  else if (theMethod == IPL_INTER_CUBIC && (inSource->width < 4 || inSource->height < 4))
    theMethod = IPL_INTER_LINEAR;
  const int theInterpolate = theMethod | (inInterpolate & IPL_INTER_SMOOTH_EDGES);
  if (inWarpFlag == 1)
    WarpQuadToRect(inSource, inDestination, theQuad, theInterpolate, inFunction, inKind, true, nullptr);
  else
    WarpRectToQuad(inSource, inDestination, theQuad, theInterpolate, inFunction, inKind, true);
}

int WarpWithQuad(const char* inFunction, QuadWarpEntry inWarpQuad, ImageHeader* inSource, ImageHeader* inDestination,
                 const double inQuad[4][2], int inWarpFlag, int inInterpolate)
{
  if (iplStatusGet() < 0)
    return Backtrace(inFunction);
  inWarpQuad(inSource, inDestination, inQuad, inWarpFlag, inInterpolate);
  if (iplStatusGet() < 0)
    return Backtrace(inFunction);
  return iplStatusGet();
}

void ImageTransform(WarpKind inKind, const char* inFunction, const ImageHeader* inImage, const double inQuad[4][2],
                    double* outCoeffs)
{
  if (iplHeaderCheck(inImage) != 0) {
    iplError(iplStatusGet(), inFunction, "Incorrect Image", kWarpModule, __LINE__);
    return;
  }
  IplRect theRect;
  TransformOfQuad(inKind, inFunction, RoiRect(inImage, true, theRect) ? &theRect : nullptr, inQuad, outCoeffs);
}

void RoiTransform(WarpKind inKind, const char* inFunction, const RoiRecord* inRoi, const double inQuad[4][2],
                  double* outCoeffs)
{
  IplRect theRect;
  TransformOfQuad(inKind, inFunction, RoiRecordRect(inRoi, theRect) ? &theRect : nullptr, inQuad, outCoeffs);
}

}  // namespace kernels
