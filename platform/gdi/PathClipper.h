#pragma once
// Turns a path into straight-edged figures cut to a region of device space,
// ready for a rasteriser with a bounded coordinate range.
//
// Curves are cut in halves until each piece lies within kTolerance of its
// chord; a piece whose control points all lie outside the region is replaced
// by its control polygon at once, which changes nothing inside the region
// (the curve and the polygon sweep only the hull of those points), so a curve
// far larger than the region costs only the pieces that come near it.
//
// For filling, every figure is closed and cut to the region edge by edge
// (Sutherland-Hodgman): what falls outside is folded onto the region's
// border, which keeps the winding of every point inside the region and so
// the fill there. For stroking, segments are cut to the region and a figure
// that leaves it falls apart into open pieces; with round ends and joins the
// stroke is the same inside the region as long as the region reaches half a
// pen width beyond the pixels that are drawn.

#include "platform/gdi/Geometry.h"
#include "platform/gdi/Path.h"

#include <vector>

namespace tlgdi {

struct Polyline {
  std::vector<Point> mPoints;
  bool mClosed = false;
};

class PathClipper {
public:
  static constexpr double kTolerance = 0.05;  // device pixels

  static std::vector<Polyline> ForFill(const Path& inPath, const Box& inRegion);
  static std::vector<Polyline> ForStroke(const Path& inPath, const Box& inRegion);
};

}  // namespace tlgdi
