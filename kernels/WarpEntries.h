#pragma once
// What the public warp entries share, for a map of any kind: the quadrangle
// of a rectangle under coefficients, its bounding box, the warp given by a
// quadrangle (bilinear and perspective), and the coefficients that map a
// rectangle onto a quadrangle. Coefficients come as their values in row
// order: six (affine), eight (bilinear) or nine (perspective).
//
// Every failure is reported under the function name given, module "iplwarp".
// Coefficients and quadrangles that are not finite are refused before they
// can reach a position: "Transform matrix is not finite", "Quadrangle is not
// finite".

#include "kernels/IplTypes.h"
#include "kernels/QuadMaps.h"

namespace kernels {

// The quadrangle of the image's ROI rectangle (clipped) or of a RoiRecord's;
// false after a report.
bool ImageQuad(WarpKind inKind, const char* inFunction, const ImageHeader* inImage, const double* inCoeffs,
               double outQuad[4][2]);
bool RoiQuad(WarpKind inKind, const char* inFunction, const RoiRecord* inRoi, const double* inCoeffs,
             double outQuad[4][2]);

// The bounding box {min x, min y}, {max x, max y} of a quadrangle that was
// made (inMade); otherwise reports IPL_STATUS_BACKTRACE under inFunction.
void BoundOf(bool inMade, const double inQuad[4][2], const char* inFunction, double outBound[2][2]);

// The method of inInterpolate (without IPL_INTER_SMOOTH_EDGES); false after a
// report when it is none of nearest, linear and cubic.
bool MethodOf(const char* inFunction, int inInterpolate, int& outMethod);

// The entry given by a quadrangle: image checks, the direction flag, the
// quadrangle test, the interpolation, then rectangle to quadrangle (flag 0)
// or quadrangle to rectangle (flag 1).
void WarpQuad(WarpKind inKind, const char* inFunction, ImageHeader* inSource, ImageHeader* inDestination,
              const double inQuad[4][2], int inWarpFlag, int inInterpolate);

// After the quadrangle of the image named by the flag was asked for: the
// warp by inWarpQuad, with a failure before or after it reported again as
// IPL_STATUS_BACKTRACE under inFunction. Returns the status, or the handler's
// result for that report.
using QuadWarpEntry = void (*)(ImageHeader*, ImageHeader*, const double[4][2], int, int);
int WarpWithQuad(const char* inFunction, QuadWarpEntry inWarpQuad, ImageHeader* inSource, ImageHeader* inDestination,
                 const double inQuad[4][2], int inWarpFlag, int inInterpolate);

// The bilinear or perspective coefficients that map the image's ROI rectangle
// (after the header check), or a RoiRecord's, onto a convex quadrangle.
void ImageTransform(WarpKind inKind, const char* inFunction, const ImageHeader* inImage, const double inQuad[4][2],
                    double* outCoeffs);
void RoiTransform(WarpKind inKind, const char* inFunction, const RoiRecord* inRoi, const double inQuad[4][2],
                  double* outCoeffs);

}  // namespace kernels
