#pragma once
// Rectangles, ovals, polygons, round rectangles and lines drawn with OpenGL
// on the canvas's rendering context (32-bit canvases), for DrawShape with the
// parameter "opengl". Built with the outer operation's record and error
// object; never impersonates.
//
// The context is current on the calling thread for the length of the run,
// over the pixels the shape can touch only (its bounding box, widened by the
// antialiased fringe and, but for a solid fill of whole-pixel vertices, by
// the pen and the corner sizes), so that a call costs what its shape covers,
// whatever the size of the canvas. Canvas coordinates are OpenGL's
// (glOrtho over that box, y counted from the top as GDI counts), through the
// record's transform of the shape rectangle onto itself.
//
// A fill is antialiased by its coverage of each pixel, sampled at
// kFillSamples points spread over the pixel: the fill is drawn once for each
// point, moved by it, adding up the coverage in the alpha channel (the
// canvas's alpha is kept aside in a texture meanwhile, read from the canvas's
// own pixels, so that OpenGL renders a call's drawing in one go, when the
// context is released); then the paint goes
// through that coverage (pixel = paint x coverage + canvas x (1 - coverage),
// all four channels, so a fully covered pixel takes the paint, alpha
// included). An outline is a list of lines the pen wide and one of points the
// pen wide at every vertex, drawn once with smoothing, each side running half
// a pen past the corner. Polygons are cut by the GLU tessellator. Colours
// keep all four 16-bit channels, alpha included; a pattern colour is the
// canvas pattern as a texture repeating from (0, 0) (see GLPixelBuffer), for
// outlines too. Arcs take at most 4,096 steps.
//
// Failures: "Unable to initialise OpenGL." (no context), "Unable to make
// OpenGL current.", the OpenGL error code after drawing, and the pattern
// texture's status and Windows error. Every run ends with the context "Unable
// to draw shape".

#include "objects/Operation.h"

#include <GL/gl.h>

#include <vector>

class DrawGLPoly : public Operation {
public:
  // The points of each pixel where a fill's coverage is sampled.
  static constexpr int kFillSamples = 32;

  DrawGLPoly();

protected:
  LONG DoIt(Bitmap& inWorld) override;

private:
  struct Vertex {
    double mX;
    double mY;
  };

  // The canvas's alpha over mBox into mBoxAlpha, row by row from the top,
  // when the shape is filled; releases the context and answers false when
  // the pixels cannot be read.
  bool KeepBoxAlpha(Bitmap& inWorld);
  void DrawGLShape(LONG inMode, LONG inShape, const RECT& inRect);
  void PaintList(const std::vector<Vertex>& inTriangles);
  void StrokeList(GLuint inList);
  // The fill of inTriangles through its coverage, in the paint colour, or in
  // the pattern texture inTexture of inWidth x inHeight when not 0.
  void PaintCoverage(const std::vector<Vertex>& inTriangles, GLuint inTexture, LONG inWidth, LONG inHeight);
  void StrokeSolid(GLuint inList, LONG inPen, bool inSmooth);
  void StrokeTextured(GLuint inList, LONG inWidth, LONG inHeight, LONG inPen, bool inSmooth);
  // The canvas pattern as the bound texture: its name (0 when none could be
  // made) and size.
  GLuint MakePatternTexture(LONG& outWidth, LONG& outHeight);

  std::vector<Vertex> PolyVertices(double inPen) const;
  std::vector<Vertex> TessellatedTriangles() const;
  static std::vector<Vertex> OvalVertices(const RECT& inRect, double inPen);
  static std::vector<Vertex> RectVertices(const RECT& inRect, double inPen);
  static std::vector<Vertex> RoundRectVertices(const RECT& inRect, double inPen, double inCornerWidth,
                                               double inCornerHeight);

  // The canvas pixels the context is current over, and the transform of the
  // shape's coordinates onto the canvas.
  RECT mBox{};
  XFORM mTransform{};
  std::vector<GLubyte> mBoxAlpha;
};
