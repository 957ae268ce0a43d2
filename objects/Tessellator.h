#pragma once
// One polygon contour cut into triangles by the GLU tessellator, by the odd
// winding rule, and drawn (glBegin, glVertex3d, glEnd) into whatever is being
// built: between glNewList and glEndList, the display list. The vertex
// records of the contour, and those the tessellator makes where edges cross,
// live as long as the object, which must outlive glEndList. A tessellation
// error is reported as an assertion; the polygon may then be incomplete.

#include "platform/base/WinTypes.h"

#include <GL/glu.h>

#include <deque>
#include <vector>

// One vertex as the tessellator takes it: z is 0.
struct TessVertex {
  GLdouble mX;
  GLdouble mY;
  GLdouble mZ;
};

class Tessellator {
public:
  Tessellator();
  ~Tessellator();
  Tessellator(const Tessellator&) = delete;
  Tessellator& operator=(const Tessellator&) = delete;

  // The polygon of inPoints, in order, as one contour.
  void Draw(const std::vector<POINT>& inPoints);

private:
  static void GLAPIENTRY Begin(GLenum inType);
  static void GLAPIENTRY Vertex(void* inVertex);
  static void GLAPIENTRY End();
  static void GLAPIENTRY Failure(GLenum inError);
  // A record at the crossing, owned by the Tessellator in inOwner.
  static void GLAPIENTRY Combine(GLdouble inCoordinates[3], void* inNeighbours[4], GLfloat inWeights[4],
                                 void** outVertex, void* inOwner);

  GLUtesselator* mTess;
  std::vector<TessVertex> mPoints;
  std::deque<TessVertex> mCreated;  // addresses stay put as it grows
};
