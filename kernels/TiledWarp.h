#pragma once
// The block-by-block road of a warp when the source or the destination is
// tiled. The blocks are the destination's tiles, or cells of 128 x 128 pixels
// when only the source is tiled. For each block, the source area it reads
// (the bounding box of the block mapped into the source, widened by 3 pixels
// and cut to the source image) is fetched into a buffer, unless it misses the
// source ROI altogether; the block's destination tile is asked for with mode
// 2; and the block is warped between working copies of the headers (no mask,
// no tiles, ROIs of their own).
//
// Rectangle to quadrangle maps the corners of the block cell through the
// inverse map, and smooths edges once at the end, on the destination itself.
// Quadrangle to rectangle solves the forward map for the destination ROI
// counted from the block's first pixel and maps the block's own rectangle.

#include "kernels/IplTypes.h"
#include "kernels/WarpDriver.h"

namespace kernels {

void WarpBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                const IplRect& inDestinationRect, const Quad& inQuad, const InverseMap& inInverse,
                int inInterpolate, const char* inFunction, bool inClip);

void WarpQuadBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                    const IplRect& inDestinationRect, const Quad& inQuad, int inMethod, const char* inFunction,
                    WarpKind inKind);

}  // namespace kernels
