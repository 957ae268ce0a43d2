#pragma once
// The destination area of a warp: a quadrangle clipped to the destination
// rectangle, and for each of its rows the first and last covered column.
//
// Clipping is Sutherland-Hodgman against y >= y1, y <= y2, x >= x1, x <= x2, in
// that order; a side the polygon's bounding box already lies inside is passed
// over, and consecutive equal vertices are merged. The spans follow the two
// chains of edges down from the topmost vertex; columns are the whole pixels
// between the edges, with a tolerance of 1e-14 for edges a rounding error away
// from a whole column. Spans are clamped to the rectangle.

#include "kernels/ImageLayout.h"

#include <cstdint>
#include <vector>

namespace kernels {

struct Point {
  double x;
  double y;
};

// The polygon clipped to inRect (inclusive); empty when nothing is left or a
// vertex is not finite.
std::vector<Point> ClipToRect(const std::vector<Point>& inPolygon, const IplRect& inRect);

// The covered columns of rows mYMin..mYMax, in arrays from the aligned
// allocator that the object frees. A row whose first column exceeds its last
// is empty.
class Spans {
 public:
  enum class Result { kEmpty, kNoMemory, kBuilt };

  Spans() = default;
  ~Spans();
  Spans(const Spans&) = delete;
  Spans& operator=(const Spans&) = delete;

  // Clips inQuad to inRect and walks its edges; inOrientation says which chain
  // is the left edge (1: the chain to lower vertex numbers).
  Result Build(const std::vector<Point>& inQuad, const IplRect& inRect, bool inOrientation);

  int YMin() const { return mYMin; }
  int YMax() const { return mYMax; }
  const std::int32_t* First() const { return mFirst; }
  const std::int32_t* Last() const { return mLast; }

 private:
  void Set(int inRow, double inLeft, double inRight);

  IplRect mRect;
  int mYMin = 0;
  int mYMax = -1;
  std::int32_t* mFirst = nullptr;
  std::int32_t* mLast = nullptr;
};

// A double known to lie near inLow..inHigh, as an int held to that range.
int ToIndex(double inValue, int inLow, int inHigh);

}  // namespace kernels
