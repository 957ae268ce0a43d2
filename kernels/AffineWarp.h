#pragma once
// Affine warps of image headers, and the affine helpers.
//
// Coefficients are two rows of three doubles, source to destination:
//   x' = c[0][0] x + c[0][1] y + c[0][2],  y' = c[1][0] x + c[1][1] y + c[1][2].
// A warp maps the source ROI rectangle (inclusive, clipped to the image) to a
// destination quadrangle, clips it to the destination ROI rectangle and, for
// every destination pixel inside, samples the source at the inversely mapped
// position. Pixels outside the quadrangle are left as they were; with edge
// smoothing the pixels just outside its slanted edges are blended. Images with
// an alpha channel are warped in their other channels; the destination's alpha
// is left as it was.
//
// Quadrangles are four points (x, y): the images of (x1, y1), (x2, y1),
// (x2, y2), (x1, y2). Bounds are {min x, min y}, {max x, max y}.
//
// Failures are reported through the status (ErrorStatus.h) under the routine's
// own name and module "iplwarp"; callers set the status to 0 first, since a
// warp does nothing while it is negative. Coefficients or quadrangles that are
// not finite are refused with IPL_STATUS_BAD_ARGUMENT, and so are sources
// whose ROI is one pixel wide or high.

#include "kernels/IplTypes.h"

// interpolate: IPL_INTER_NN, IPL_INTER_LINEAR or IPL_INTER_CUBIC, plus
// IPL_INTER_SMOOTH_EDGES and IPL_INTER_PIXEL_AREAS (the quadrangle is then
// that of the ROI grown by half a pixel on every side; positions that fall
// outside the source there take its edge pixels). 1-bit sources take nearest;
// cubic takes linear on a source narrower or lower than 4 pixels.
void iplWarpAffine(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[2][3],
                   int inInterpolate);

// Warps with [[1, xShear, xShift], [yShear, 1, yShift]]; returns the status
// (or, after a failure, the handler's result for its -1 report).
int iplShear(ImageHeader* inSource, ImageHeader* inDestination, double inXShear, double inYShear,
             double inXShift, double inYShift, int inInterpolate);

// Rotates by inAngle degrees: [[cos, sin, xShift], [-sin, cos, yShift]]. Exact
// quarter, half and three-quarter turns with whole shifts of untiled images
// move samples instead (QuarterTurn.h).
void iplRotate(ImageHeader* inSource, ImageHeader* inDestination, double inAngle, double inXShift,
               double inYShift, int inInterpolate);

void iplGetAffineQuad(const ImageHeader* inImage, const double inCoeffs[2][3], double outQuad[4][2]);
void iplGetAffineQuadROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outQuad[4][2]);
void iplGetAffineBound(const ImageHeader* inImage, const double inCoeffs[2][3], double outBound[2][2]);
void iplGetAffineBoundROI(const RoiRecord* inRoi, const double inCoeffs[2][3], double outBound[2][2]);

// The coefficients that map the ROI rectangle onto a convex, non-degenerate
// parallelogram.
void iplGetAffineTransform(const ImageHeader* inImage, double outCoeffs[2][3], const double inQuad[4][2]);
void iplGetAffineTransformROI(const RoiRecord* inRoi, double outCoeffs[2][3], const double inQuad[4][2]);
