#include "kernels/AffineWarp.h"

#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/ImageLayout.h"
#include "kernels/QuadMaps.h"
#include "kernels/QuarterTurn.h"
#include "kernels/WarpDriver.h"
#include "kernels/WarpEntries.h"

#include <algorithm>
#include <cmath>

using namespace kernels;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kBadRect = "Bad rect ROI";
constexpr const char* kMatrixNotFinite = "Transform matrix is not finite";

// The matrix that maps the rectangle onto a convex parallelogram, or a report.
void TransformOfQuad(const IplRect* inRect, const double inQuad[4][2], const char* inFunction,
                     double outCoeffs[2][3])
{
  if (const char* theFault = QuadrangleFault(QuadOf(inQuad))) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, theFault, kWarpModule, __LINE__);
    return;
  }
  const double (*q)[2] = inQuad;
  const double theFirst = std::fabs((q[3][0] - q[2][0]) * (q[1][1] - q[0][1]) - (q[3][1] - q[2][1]) * (q[1][0] - q[0][0]));
  const double theSecond = std::fabs((q[2][0] - q[1][0]) * (q[0][1] - q[3][1]) - (q[2][1] - q[1][1]) * (q[0][0] - q[3][0]));
  if (!(theFirst < 1e-7) || !(theSecond < 1e-7)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "Quadrangle is not parallelogram", kWarpModule, __LINE__);
    return;
  }
  if (!inRect) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kBadRect, kWarpModule, __LINE__);
    return;
  }
  if (!(inRect->x2 > inRect->x1) || !(inRect->y2 > inRect->y1)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "srcImage Rectangle ROI is degenerate to length or point",
             kWarpModule, __LINE__);
    return;
  }
  const double theW = inRect->x2 - inRect->x1;
  const double theH = inRect->y2 - inRect->y1;
  double theCoeffs[2][3];
  theCoeffs[0][0] = (q[1][0] - q[0][0]) / theW;
  theCoeffs[0][1] = (q[2][0] - q[1][0]) / theH;
  theCoeffs[0][2] = q[0][0] - theCoeffs[0][0] * inRect->x1 - theCoeffs[0][1] * inRect->y1;
  theCoeffs[1][0] = (q[1][1] - q[0][1]) / theW;
  theCoeffs[1][1] = (q[2][1] - q[1][1]) / theH;
  theCoeffs[1][2] = q[0][1] - theCoeffs[1][0] * inRect->x1 - theCoeffs[1][1] * inRect->y1;
  if (!AllFinite(&theCoeffs[0][0], 6)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kMatrixNotFinite, kWarpModule, __LINE__);
    return;
  }
  std::copy(&theCoeffs[0][0], &theCoeffs[0][0] + 6, &outCoeffs[0][0]);
}

}  // namespace

void iplWarpAffine(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[2][3],
                   int inInterpolate)
{
  constexpr const char* kFunction = "iplWarpAffine";
  if (!CheckWarpImages(inSource, inDestination, kFunction))
    return;
  const double theDet = inCoeffs[0][0] * inCoeffs[1][1] - inCoeffs[0][1] * inCoeffs[1][0];
  if (!AllFinite(inCoeffs[0], 3) || !AllFinite(inCoeffs[1], 3) || !std::isfinite(theDet)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, kMatrixNotFinite, kWarpModule, __LINE__);
    return;
  }
  if (std::fabs(theDet) <= 1e-7) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "Determinant of transform matrix == 0.0", kWarpModule, __LINE__);
    return;
  }
  double theQuad[4][2];
  if (!ImageQuad(WarpKind::kAffine, "iplGetAffineQuad", inSource, &inCoeffs[0][0], theQuad)) {
    iplError(IPL_STATUS_BACKTRACE, kFunction, "", kWarpModule, __LINE__);
    return;
  }
  const int theAreas = inInterpolate & IPL_INTER_PIXEL_AREAS;
  int theMethod = 0;
  if (!MethodOf(kFunction, inInterpolate & ~IPL_INTER_PIXEL_AREAS, theMethod))
    return;
  // Sources one pixel wide or high are refused by the rectangle check of the
  // driver, so only depth 1 and small cubic sources change method here.
  if (inSource->depth == IPL_DEPTH_1U)
    theMethod = IPL_INTER_NN;
  else if (theMethod == IPL_INTER_CUBIC && (inSource->width < 4 || inSource->height < 4))
    theMethod = IPL_INTER_LINEAR;
  WarpRectToQuad(inSource, inDestination, QuadOf(theQuad),
                 theMethod | (inInterpolate & IPL_INTER_SMOOTH_EDGES) | theAreas, kFunction, WarpKind::kAffine, true);
}

int iplShear(ImageHeader* inSource, ImageHeader* inDestination, double inXShear, double inYShear,
             double inXShift, double inYShift, int inInterpolate)
{
  const double theCoeffs[2][3] = {{1.0, inXShear, inXShift}, {inYShear, 1.0, inYShift}};
  iplWarpAffine(inSource, inDestination, theCoeffs, inInterpolate);
  if (iplStatusGet() < 0)
    return iplError(IPL_STATUS_BACKTRACE, "iplShear", "", kWarpModule, __LINE__);
  return iplStatusGet();
}

void iplRotate(ImageHeader* inSource, ImageHeader* inDestination, double inAngle, double inXShift,
               double inYShift, int inInterpolate)
{
  double theAngle = inAngle - 360.0 * std::trunc(inAngle * (1.0 / 360.0));
  if (theAngle < 0)
    theAngle += 360.0;
  const bool theQuarter = theAngle == 90.0 || theAngle == 180.0 || theAngle == 270.0;
  constexpr double kLargestShift = 1 << 30;
  const bool theWholeShifts = inXShift == std::floor(inXShift) && inYShift == std::floor(inYShift) &&
                              std::fabs(inXShift) <= kLargestShift && std::fabs(inYShift) <= kLargestShift;
  const bool theTiled = (inSource && inSource->tileInfo) || (inDestination && inDestination->tileInfo);
  if (theQuarter && theWholeShifts && !theTiled) {
    RotateQuarter(inSource, inDestination, static_cast<int>(theAngle), static_cast<int>(inXShift),
                  static_cast<int>(inYShift));
    return;
  }
  double theCoeffs[2][3] = {{0, 0, inXShift}, {0, 0, inYShift}};
  if (theAngle == 90.0) {
    theCoeffs[0][1] = 1;
    theCoeffs[1][0] = -1;
  } else if (theAngle == 180.0) {
    theCoeffs[0][0] = -1;
    theCoeffs[1][1] = -1;
  } else if (theAngle == 270.0) {
    theCoeffs[0][1] = -1;
    theCoeffs[1][0] = 1;
  } else {
    const double theRadians = theAngle * kPi / 180.0;
    theCoeffs[0][0] = std::cos(theRadians);
    theCoeffs[0][1] = std::sin(theRadians);
    theCoeffs[1][0] = -std::sin(theRadians);
    theCoeffs[1][1] = std::cos(theRadians);
  }
  iplWarpAffine(inSource, inDestination, theCoeffs, inInterpolate);
  if (iplStatusGet() < 0)
    iplError(IPL_STATUS_BACKTRACE, "iplRotate", "", kWarpModule, __LINE__);
}

void iplGetAffineQuad(const ImageHeader* inImage, const double inCoeffs[2][3], double outQuad[4][2])
{
  ImageQuad(WarpKind::kAffine, "iplGetAffineQuad", inImage, &inCoeffs[0][0], outQuad);
}

void iplGetAffineQuadROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outQuad[4][2])
{
  RoiQuad(WarpKind::kAffine, "iplGetAffineQuadROI", inRoi, &inCoeffs[0][0], outQuad);
}

void iplGetAffineBound(const ImageHeader* inImage, const double inCoeffs[2][3], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(ImageQuad(WarpKind::kAffine, "iplGetAffineQuad", inImage, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetAffineBound", outBound);
}

void iplGetAffineBoundROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(RoiQuad(WarpKind::kAffine, "iplGetAffineQuadROI", inRoi, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetAffineBoundROI", outBound);
}

void iplGetAffineTransform(const ImageHeader* inImage, double outCoeffs[2][3], const double inQuad[4][2])
{
  constexpr const char* kFunction = "iplGetAffineTransform";
  if (iplHeaderCheck(inImage) != 0) {
    iplError(iplStatusGet(), kFunction, "Incorrect Image", kWarpModule, __LINE__);
    return;
  }
  IplRect theRect;
  TransformOfQuad(RoiRect(inImage, true, theRect) ? &theRect : nullptr, inQuad, kFunction, outCoeffs);
}

void iplGetAffineTransformROI(const RoiRecord* inRoi, double outCoeffs[2][3], const double inQuad[4][2])
{
  IplRect theRect;
  TransformOfQuad(RoiRecordRect(inRoi, theRect) ? &theRect : nullptr, inQuad, "iplGetAffineTransformROI",
                  outCoeffs);
}
