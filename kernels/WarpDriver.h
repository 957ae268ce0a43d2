#pragma once
// The drivers every warp goes through.
//
// Rectangle to quadrangle (WarpRectToQuad; affine, bilinear, perspective): from
// the source ROI rectangle and the destination quadrangle it maps to, the
// inverse map, the spans of the quadrangle clipped to the destination ROI
// rectangle, one kernel over them, and edge smoothing.
//
// Quadrangle to rectangle (WarpQuadToRect; bilinear, perspective): a
// quadrangle of the source onto the destination ROI rectangle. The forward map
// takes a mapping rectangle (the destination ROI counted from its first pixel,
// or for a block of a tiled warp that rectangle counted from the block) onto
// the quadrangle, and every destination ROI pixel is sampled at its image;
// when the quadrangle reaches outside the source ROI rectangle only the pixels
// whose source position lies inside it are written. Edges are never smoothed
// in this direction.
//
// Tiled images go block by block (TiledWarp.h).

#include "kernels/ImageLayout.h"
#include "kernels/IplTypes.h"
#include "kernels/QuadMaps.h"
#include "kernels/SpanBuilder.h"

namespace kernels {

constexpr const char* kWarpModule = "iplwarp";

// Destination to source. Affine: sx = c0 x + c1 y + c2, sy = c3 x + c4 y + c5,
// mapping q0 to (x1, y1), q1 to (x2, y1) and q2 to (x2, y2). Bilinear: the
// inverse solution. Perspective: a0..a8 in mC. The orientation says which
// chain of the quadrangle's edges is the left one (see Spans).
struct InverseMap {
  WarpKind mKind = WarpKind::kAffine;
  double mC[9] = {};
  BilinearInverse mBilinear{};
  bool mOrientation = false;

  Point SourceOf(double inX, double inY) const;
};

// False when the map is not finite.
bool InverseFromQuad(WarpKind inKind, const IplRect& inSource, const Quad& inQuad, InverseMap& outMap);

// The checks every warp makes of its images first, reported under inFunction:
// each header (its stored status, "Incorrect Image"), then depth, origin, data
// order, sign, direction flag (inWarpFlagValid false) and in-place faults
// (IPL_STATUS_BAD_ARGUMENT, all of them reported). False when the warp must
// not go on, which is also the case when the status was already negative.
bool CheckWarpImages(const ImageHeader* inSource, const ImageHeader* inDestination, const char* inFunction,
                     bool inWarpFlagValid = true);

// The quadrangle a rectangle-to-quadrangle warp covers: inQuad, or for an
// affine warp over pixel areas (IPL_INTER_PIXEL_AREAS in inInterpolate) that
// of inSource grown by half a pixel.
Quad CoveredQuad(const Quad& inQuad, const IplRect& inSource, WarpKind inKind, int inInterpolate);

// The method a source can feed: cubic needs a 4 x 4 window, linear a 2 x 2 one.
int MethodFor(const ImageHeader* inSource, int inMethod);

// Warps the source ROI rectangle onto inQuad. inInterpolate is the method
// (IPL_INTER_NN, _LINEAR, _CUBIC) plus IPL_INTER_SMOOTH_EDGES. With inClip the
// ROIs are clipped to their images and edges may be smoothed; without it (the
// blocks of a tiled warp) the ROI rectangles are taken as they stand.
void WarpRectToQuad(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad, int inInterpolate,
                    const char* inFunction, WarpKind inKind, bool inClip);

// Warps inQuad of the source onto the destination ROI rectangle (inKind
// bilinear or perspective). With inClip the ROIs are clipped, a destination
// ROI one pixel wide or high is refused and inMapping is null; the blocks of
// a tiled warp pass their mapping rectangle.
void WarpQuadToRect(ImageHeader* inSource, ImageHeader* inDestination, const Quad& inQuad, int inInterpolate,
                    const char* inFunction, WarpKind inKind, bool inClip, const IplRect* inMapping);

}  // namespace kernels
