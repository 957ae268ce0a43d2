#pragma once
// The driver every affine warp goes through: from the source ROI rectangle and
// the destination quadrangle it maps to, the inverse mapping, the spans of the
// quadrangle clipped to the destination ROI rectangle, one kernel over them,
// and edge smoothing. Tiled images go block by block (TiledWarp.h).

#include "kernels/ImageLayout.h"
#include "kernels/IplTypes.h"
#include "kernels/SpanBuilder.h"

#include <array>

namespace kernels {

constexpr const char* kWarpModule = "iplwarp";

// Images of the source rectangle's corners (x1, y1), (x2, y1), (x2, y2), (x1, y2).
using Quad = std::array<Point, 4>;

// Destination to source: sx = c0 x + c1 y + c2, sy = c3 x + c4 y + c5, mapping
// q0 to (x1, y1), q1 to (x2, y1) and q2 to (x2, y2). The orientation is 1 when
// the quadrangle's determinant is positive.
struct InverseMap {
  double mC[6];
  bool mOrientation;
};

// False when the mapping is not finite.
bool InverseFromQuad(const IplRect& inSource, const Quad& inQuad, InverseMap& outMap);

// The checks every warp makes of its images first, reported under inFunction:
// each header (its stored status, "Incorrect Image"), then depth, origin, data
// order, sign and in-place faults (IPL_STATUS_BAD_ARGUMENT, all of them
// reported). False when the warp must not go on, which is also the case when
// the status was already negative.
bool CheckWarpImages(const ImageHeader* inSource, const ImageHeader* inDestination, const char* inFunction);

// Warps the source ROI rectangle onto inQuad. inInterpolate is the method
// (IPL_INTER_NN, _LINEAR, _CUBIC) plus IPL_INTER_SMOOTH_EDGES. With inClip the
// ROIs are clipped to their images and edges may be smoothed; without it (the
// blocks of a tiled warp) the ROI rectangles are taken as they stand.
void WarpRectToQuad(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad,
                    int inInterpolate, const char* inFunction, bool inClip);

}  // namespace kernels
