#pragma once
// A path: figures of straight and cubic Bézier segments in device
// coordinates. Shape calls map their logical coordinates through the world
// transform as they add their outlines (as GDI records paths), glyph
// outlines arrive already mapped; pens and brushes meet the path only when it
// is rendered.
//
// A figure starts with a move and may end with a close. Curves of ellipses
// and rounded corners are Bézier arcs, as many per quarter as keep them
// within 0.05 device pixels of the true ellipse.

#include "platform/gdi/Geometry.h"

#include <cstdint>
#include <vector>

namespace tlgdi {

class Path {
public:
  enum class Verb : std::uint8_t { kMove, kLine, kCubic, kClose };

  void MoveTo(Point inPoint);
  void LineTo(Point inPoint);
  void CubicTo(Point inControl1, Point inControl2, Point inEnd);
  void Close();
  void Append(const Path& inOther);

  bool IsEmpty() const { return mVerbs.empty(); }
  const std::vector<Verb>& Verbs() const { return mVerbs; }
  // One point for a move or a line, three for a cubic, none for a close.
  const std::vector<Point>& Points() const { return mPoints; }

  // The box of every point, control points included (empty for no points).
  Box Bounds() const;

  // Shapes in logical coordinates, mapped by inWorld. Rectangles are taken
  // as given (left may exceed right); corner sizes are cut to the
  // rectangle's.
  void AddRectangle(const Affine& inWorld, const Box& inRect);
  void AddEllipse(const Affine& inWorld, const Box& inRect);
  void AddRoundRect(const Affine& inWorld, const Box& inRect, double inCornerWidth, double inCornerHeight);
  void AddPoints(const Affine& inWorld, const POINT* inPoints, int inCount, bool inClosed);

private:
  // The quarter arcs of the ellipse about inCentre from inFirstQuarter on
  // (quarter q runs from q x 90 degrees, clockwise on the screen), each in
  // inPerQuarter Bézier pieces, the current point being the arc's start.
  void AddQuarters(const Affine& inWorld, Point inCentre, double inRadiusX, double inRadiusY, int inFirstQuarter,
                   int inQuarters, int inPerQuarter);

  std::vector<Verb> mVerbs;
  std::vector<Point> mPoints;
};

}  // namespace tlgdi
