#pragma once
// Rectangles, ovals, polygons, round rectangles and lines drawn with OpenGL
// on the canvas's rendering context (32-bit canvases), for DrawShape with the
// parameter "opengl". Built with the outer operation's record and error
// object; never impersonates.
//
// The context is current on the calling thread for the length of the run.
// Canvas coordinates are OpenGL's (glOrtho(0, width, 0, height), y counted
// from the top as GDI counts), through the record's transform of the shape
// rectangle onto itself. A fill is a display list drawn twice, solid and then
// with polygon smoothing; an outline a list of lines the pen wide and one of
// points the pen wide at every vertex, drawn once with smoothing, each side
// running half a pen past the corner. Polygons are cut by the GLU
// tessellator. Colours keep all four 16-bit channels, alpha included; a
// pattern colour is the canvas pattern as a texture repeating from (0, 0)
// (see GLPixelBuffer), for outlines too. Arcs take at most 4,096 steps.
//
// Failures: "Unable to initialise OpenGL." (no context), "Unable to make
// OpenGL current.", the OpenGL error code after drawing, and the pattern
// texture's status and Windows error. Every run ends with the context "Unable
// to draw shape".

#include "objects/Operation.h"

#include <GL/gl.h>

class DrawGLPoly : public Operation {
public:
  DrawGLPoly();

protected:
  LONG DoIt(Bitmap& inWorld) override;

private:
  void DrawGLShape(LONG inMode, LONG inShape, const RECT& inRect);
  void PaintList(GLuint inList);
  void StrokeList(GLuint inList);
  void PaintSolid(GLuint inList, bool inSmooth);
  void PaintTextured(GLuint inList, LONG inWidth, LONG inHeight, bool inSmooth);
  void StrokeSolid(GLuint inList, LONG inPen, bool inSmooth);
  void StrokeTextured(GLuint inList, LONG inWidth, LONG inHeight, LONG inPen, bool inSmooth);
  // The canvas pattern as the bound texture: its name (0 when none could be
  // made) and size.
  GLuint MakePatternTexture(LONG& outWidth, LONG& outHeight);

  GLuint MakePolyList(double inPen, GLenum inPrimitive);
  GLuint MakeTessellatedList();
  GLuint MakeOvalList(const RECT& inRect, GLenum inPrimitive, double inPen);
  GLuint MakeRectList(const RECT& inRect, GLenum inPrimitive, double inPen);
  GLuint MakeRoundRectList(const RECT& inRect, GLenum inPrimitive, double inPen, double inCornerWidth,
                           double inCornerHeight);
};
