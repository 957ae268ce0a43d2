#pragma once
// Perspective warps of image headers: a rectangle onto a convex quadrangle by a
// projective map, or such a quadrangle onto a rectangle.
//
// Coefficients are three rows of three doubles:
//   x' = (c[0][0] x + c[0][1] y + c[0][2]) / (c[2][0] x + c[2][1] y + c[2][2]),
//   y' = (c[1][0] x + c[1][1] y + c[1][2]) / (c[2][0] x + c[2][1] y + c[2][2]).
// Quadrangles are four points (x, y), the images of the ROI rectangle's
// corners (x1, y1), (x2, y1), (x2, y2), (x1, y2); bounds are {min x, min y},
// {max x, max y}.
//
// warpFlag, interpolate, the channels warped and the reports are as for the
// bilinear warps (BilinearWarp.h).

#include "kernels/IplTypes.h"

// Warps with the quadrangle that the coefficients make of the ROI rectangle of
// the destination (warpFlag non-zero) or of the source; returns the status, or
// after a failure the handler's result for its IPL_STATUS_BACKTRACE report.
int iplWarpPerspective(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[3][3],
                       int inWarpFlag, int inInterpolate);
void iplWarpPerspectiveQ(ImageHeader* inSource, ImageHeader* inDestination, const double inQuad[4][2],
                         int inWarpFlag, int inInterpolate);

void iplGetPerspectiveQuad(const ImageHeader* inImage, const double inCoeffs[3][3], double outQuad[4][2]);
void iplGetPerspectiveQuadROI(const RoiRecord* inRoi, const double inCoeffs[3][3], double outQuad[4][2]);
void iplGetPerspectiveBound(const ImageHeader* inImage, const double inCoeffs[3][3], double outBound[2][2]);
void iplGetPerspectiveBoundROI(const RoiRecord* inRoi, const double inCoeffs[3][3], double outBound[2][2]);

// The coefficients that map the ROI rectangle (at least 2 x 2 pixels) onto a
// convex quadrangle.
void iplGetPerspectiveTransform(const ImageHeader* inImage, double outCoeffs[3][3], const double inQuad[4][2]);
void iplGetPerspectiveTransformROI(const RoiRecord* inRoi, double outCoeffs[3][3], const double inQuad[4][2]);
