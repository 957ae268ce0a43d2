#pragma once
// Edge smoothing after a warp: along every slanted edge of the warped
// quadrangle (clipped to the destination rectangle), the pixel just outside the
// edge keeps the part of its own value that the edge leaves uncovered and
// takes the rest from its inside neighbour: with the edge at v between the
// outer pixel o and the inner pixel n, outer = |v - o| outer + |v - n| inner.
// Flat edges (|dy| <= |dx|) are walked by whole columns, steep ones by whole
// rows; axis-parallel edges, 1-bit images and the alpha channel are left alone.
// Pixels outside the rectangle are never touched.

#include "kernels/ImageLayout.h"
#include "kernels/IplTypes.h"
#include "kernels/SpanBuilder.h"

#include <vector>

namespace kernels {

// inOrientation is the warp's orientation flag (1 when the inverse mapping's
// determinant is positive).
void SmoothEdges(const ImageHeader* inImage, const std::vector<Point>& inQuad, const IplRect& inRect,
                 bool inOrientation);

// Writes pixel (inX0, inY0) = inW0 x pixel (inX0, inY0) + inW1 x pixel (inX1, inY1)
// for channels inFirstChannel..inLastChannel, in double precision (through tile
// access for a tiled image).
void BlendPixels(const ImageHeader* inImage, int inX0, int inY0, int inX1, int inY1, int inFirstChannel,
                 int inLastChannel, double inW0, double inW1);

}  // namespace kernels
