#pragma once
// Bilinear warps of image headers: a rectangle onto a convex quadrangle with
// straight edges and a curved grid inside, or such a quadrangle onto a
// rectangle.
//
// Coefficients are two rows of four doubles:
//   x' = c[0][0] x y + c[0][1] x + c[0][2] y + c[0][3],
//   y' = c[1][0] x y + c[1][1] x + c[1][2] y + c[1][3].
// Quadrangles are four points (x, y), the images of the ROI rectangle's
// corners (x1, y1), (x2, y1), (x2, y2), (x1, y2); bounds are {min x, min y},
// {max x, max y}.
//
// warpFlag 0: the coefficients or the quadrangle say where the source ROI
// goes in the destination; its pixels outside the quadrangle are left as they
// were and, with IPL_INTER_SMOOTH_EDGES, those just outside its slanted edges
// are blended. warpFlag 1: they say where the destination ROI comes from in
// the source; every destination ROI pixel is written whose source position
// lies inside the source ROI, and edges are not smoothed.
//
// interpolate: IPL_INTER_NN, IPL_INTER_LINEAR or IPL_INTER_CUBIC, plus
// IPL_INTER_SMOOTH_EDGES. 1-bit sources and sources one pixel wide or high
// take nearest; cubic takes linear on a source narrower or lower than 4.
// Images with an alpha channel are warped in their other channels.
//
// Failures are reported through the status (ErrorStatus.h) under the
// routine's own name and module "iplwarp"; callers set the status to 0 first.
// Quadrangles must be convex and not degenerate; coefficients and quadrangles
// that are not finite are refused with IPL_STATUS_BAD_ARGUMENT.

#include "kernels/IplTypes.h"

// Warps with the quadrangle that the coefficients make of the ROI rectangle of
// the destination (warpFlag non-zero) or of the source; returns the status, or
// after a failure the handler's result for its IPL_STATUS_BACKTRACE report.
int iplWarpBilinear(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[2][4], int inWarpFlag,
                    int inInterpolate);
void iplWarpBilinearQ(ImageHeader* inSource, ImageHeader* inDestination, const double inQuad[4][2], int inWarpFlag,
                      int inInterpolate);

void iplGetBilinearQuad(const ImageHeader* inImage, const double inCoeffs[2][4], double outQuad[4][2]);
void iplGetBilinearQuadROI(const RoiRecord* inRoi, const double inCoeffs[2][4], double outQuad[4][2]);
void iplGetBilinearBound(const ImageHeader* inImage, const double inCoeffs[2][4], double outBound[2][2]);
void iplGetBilinearBoundROI(const RoiRecord* inRoi, const double inCoeffs[2][4], double outBound[2][2]);

// The coefficients that map the ROI rectangle (at least 2 x 2 pixels) onto a
// convex quadrangle.
void iplGetBilinearTransform(const ImageHeader* inImage, double outCoeffs[2][4], const double inQuad[4][2]);
void iplGetBilinearTransformROI(const RoiRecord* inRoi, double outCoeffs[2][4], const double inQuad[4][2]);
