#pragma once
// Coverage masks of straight-edged figures through Cairo, one mask (a tile of
// device pixels) at a time. The figures must already be cut to a region near
// the mask (PathClipper), which keeps them inside Cairo's coordinate range.
//
// Without antialiasing a pixel is covered when its centre is inside, a centre
// on a left or top edge counting as inside and one on a right or bottom edge
// as outside (Cairo samples pixel centres that way); device coordinates put
// pixel centres on whole numbers, so figures move by half a pixel on their
// way into Cairo. Each answers false when Cairo failed (it ran out of memory)
// or cannot be loaded.

#include "platform/gdi/CoverageMask.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/PathClipper.h"

#include <vector>

namespace tlgdi {

class Rasterizer {
public:
  // Even-odd fill, no antialiasing.
  [[nodiscard]] static bool Fill(const std::vector<Polyline>& inFigures, CoverageMask& ioMask);

  // Round ends and joins, no antialiasing: inWidth in pen units, which
  // inPen (linear) maps to device pixels.
  [[nodiscard]] static bool Stroke(const std::vector<Polyline>& inFigures, double inWidth, const Affine& inPen,
                                   CoverageMask& ioMask);

  // Non-zero fill with greyscale antialiasing (glyphs too large to render whole).
  [[nodiscard]] static bool FillSmooth(const std::vector<Polyline>& inFigures, CoverageMask& ioMask);
};

}  // namespace tlgdi
