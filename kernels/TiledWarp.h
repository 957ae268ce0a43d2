#pragma once
// The block-by-block road of a warp when the source or the destination is
// tiled. The blocks are the destination's tiles, or cells of 128 x 128 pixels
// when only the source is tiled. For each block that the quadrangle may reach,
// the source pixels under the block (its mapped bounding box widened by 3
// pixels, cut to the source image) are fetched into a buffer, the block's
// destination tile is asked for with mode 2, and the block is warped between
// working copies of the headers (no mask, no tiles, ROIs of their own). Edge
// smoothing runs once at the end, on the destination itself.

#include "kernels/IplTypes.h"
#include "kernels/WarpDriver.h"

namespace kernels {

void WarpBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                const IplRect& inDestinationRect, const Quad& inQuad, const InverseMap& inInverse,
                int inInterpolate, const char* inFunction, bool inClip);

}  // namespace kernels
