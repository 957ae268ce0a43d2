#include "kernels/AffineWarp.h"

#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/ImageLayout.h"
#include "kernels/QuarterTurn.h"
#include "kernels/WarpDriver.h"

#include <algorithm>
#include <cmath>

using namespace kernels;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kBadRect = "Bad rect ROI";
constexpr const char* kMatrixNotFinite = "Transform matrix is not finite";
constexpr const char* kQuadNotFinite = "Quadrangle is not finite";

bool AllFinite(const double* inValues, int inCount)
{
  return std::all_of(inValues, inValues + inCount, [](double v) { return std::isfinite(v); });
}

// The quadrangle of a rectangle under the matrix, or a report under inFunction.
bool QuadOfRect(const IplRect& inRect, const double inCoeffs[2][3], const char* inFunction, double outQuad[4][2])
{
  if (!AllFinite(inCoeffs[0], 3) || !AllFinite(inCoeffs[1], 3)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kMatrixNotFinite, kWarpModule, __LINE__);
    return false;
  }
  const double theCorners[4][2] = {
    {static_cast<double>(inRect.x1), static_cast<double>(inRect.y1)},
    {static_cast<double>(inRect.x2), static_cast<double>(inRect.y1)},
    {static_cast<double>(inRect.x2), static_cast<double>(inRect.y2)},
    {static_cast<double>(inRect.x1), static_cast<double>(inRect.y2)},
  };
  double theQuad[4][2];
  for (int i = 0; i < 4; ++i) {
    const double theX = theCorners[i][0];
    const double theY = theCorners[i][1];
    theQuad[i][0] = inCoeffs[0][0] * theX + inCoeffs[0][1] * theY + inCoeffs[0][2];
    theQuad[i][1] = inCoeffs[1][0] * theX + inCoeffs[1][1] * theY + inCoeffs[1][2];
  }
  if (!AllFinite(&theQuad[0][0], 8)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kQuadNotFinite, kWarpModule, __LINE__);
    return false;
  }
  std::copy(&theQuad[0][0], &theQuad[0][0] + 8, &outQuad[0][0]);
  return true;
}

bool ImageQuad(const ImageHeader* inImage, const double inCoeffs[2][3], double outQuad[4][2])
{
  constexpr const char* kFunction = "iplGetAffineQuad";
  if (iplHeaderCheck(inImage) != 0) {
    iplError(iplStatusGet(), kFunction, "Incorrect Image", kWarpModule, __LINE__);
    return false;
  }
  IplRect theRect;
  if (!RoiRect(inImage, true, theRect)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, kBadRect, kWarpModule, __LINE__);
    return false;
  }
  return QuadOfRect(theRect, inCoeffs, kFunction, outQuad);
}

bool RoiQuad(const RoiRecord* inRoi, const double inCoeffs[2][3], double outQuad[4][2])
{
  constexpr const char* kFunction = "iplGetAffineQuadROI";
  IplRect theRect;
  if (!RoiRecordRect(inRoi, theRect)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, kBadRect, kWarpModule, __LINE__);
    return false;
  }
  return QuadOfRect(theRect, inCoeffs, kFunction, outQuad);
}

void BoundOfQuad(const double inQuad[4][2], double outBound[2][2])
{
  outBound[0][0] = outBound[1][0] = inQuad[0][0];
  outBound[0][1] = outBound[1][1] = inQuad[0][1];
  for (int i = 1; i < 4; ++i) {
    outBound[0][0] = std::min(outBound[0][0], inQuad[i][0]);
    outBound[0][1] = std::min(outBound[0][1], inQuad[i][1]);
    outBound[1][0] = std::max(outBound[1][0], inQuad[i][0]);
    outBound[1][1] = std::max(outBound[1][1], inQuad[i][1]);
  }
}

// The matrix that maps the rectangle onto a convex parallelogram, or a report.
void TransformOfQuad(const IplRect* inRect, const double inQuad[4][2], const char* inFunction,
                     double outCoeffs[2][3])
{
  if (!AllFinite(&inQuad[0][0], 8)) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, kQuadNotFinite, kWarpModule, __LINE__);
    return;
  }
  // Cross products of consecutive edges at the four corners.
  int thePositive = 0;
  int theNegative = 0;
  for (int i = 0; i < 4; ++i) {
    const double* thePrevious = inQuad[(i + 3) % 4];
    const double* theCorner = inQuad[i];
    const double* theNext = inQuad[(i + 1) % 4];
    const double theCross = (theCorner[0] - thePrevious[0]) * (theNext[1] - theCorner[1]) -
                            (theCorner[1] - thePrevious[1]) * (theNext[0] - theCorner[0]);
    if (theCross == 0) {
      iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "Quadrangle is degenerate to triangle or length or point",
               kWarpModule, __LINE__);
      return;
    }
    (theCross > 0 ? thePositive : theNegative) += 1;
  }
  if (thePositive != 4 && theNegative != 4) {
    iplError(IPL_STATUS_BAD_ARGUMENT, inFunction, "Quadrangle is concave", kWarpModule, __LINE__);
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
  if (!ImageQuad(inSource, inCoeffs, theQuad)) {
    iplError(IPL_STATUS_BACKTRACE, kFunction, "", kWarpModule, __LINE__);
    return;
  }
  int theMethod = inInterpolate & ~IPL_INTER_SMOOTH_EDGES;
  if (theMethod != IPL_INTER_NN && theMethod != IPL_INTER_LINEAR && theMethod != IPL_INTER_CUBIC) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction,
             "interpolate != IPL_INTER_NN && interpolate != IPL_INTER_LINEAR && interpolate != IPL_INTER_CUBIC",
             kWarpModule, __LINE__);
    return;
  }
  // Sources one pixel wide or high are refused by the rectangle check of the
  // driver, so only depth 1 and small cubic sources change method here.
  if (inSource->depth == IPL_DEPTH_1U)
    theMethod = IPL_INTER_NN;
  else if (theMethod == IPL_INTER_CUBIC && (inSource->width < 4 || inSource->height < 4))
    theMethod = IPL_INTER_LINEAR;
  Quad theCorners;
  for (int i = 0; i < 4; ++i)
    theCorners[i] = {theQuad[i][0], theQuad[i][1]};
  WarpRectToQuad(inSource, inDestination, theCorners, theMethod | (inInterpolate & IPL_INTER_SMOOTH_EDGES),
                 kFunction, true);
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
  ImageQuad(inImage, inCoeffs, outQuad);
}

void iplGetAffineQuadROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outQuad[4][2])
{
  RoiQuad(inRoi, inCoeffs, outQuad);
}

void iplGetAffineBound(const ImageHeader* inImage, const double inCoeffs[2][3], double outBound[2][2])
{
  double theQuad[4][2];
  if (!ImageQuad(inImage, inCoeffs, theQuad)) {
    iplError(IPL_STATUS_BACKTRACE, "iplGetAffineBound", "", kWarpModule, __LINE__);
    return;
  }
  BoundOfQuad(theQuad, outBound);
}

void iplGetAffineBoundROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outBound[2][2])
{
  double theQuad[4][2];
  if (!RoiQuad(inRoi, inCoeffs, theQuad)) {
    iplError(IPL_STATUS_BACKTRACE, "iplGetAffineBoundROI", "", kWarpModule, __LINE__);
    return;
  }
  BoundOfQuad(theQuad, outBound);
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
