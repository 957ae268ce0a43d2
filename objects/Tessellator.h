#pragma once
// One polygon contour cut into triangles by the GLU tessellator, by the odd
// winding rule. A tessellation error is reported as an assertion; the
// polygon may then be incomplete.

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

  // The polygon of inPoints, in order, as one contour: the corners of its
  // triangles, three by three.
  std::vector<TessVertex> Triangles(const std::vector<POINT>& inPoints);

private:
  static void GLAPIENTRY Vertex(void* inVertex, void* inOwner);
  // Asked for, so that the tessellator makes separate triangles only.
  static void GLAPIENTRY EdgeFlag(GLboolean inFlag);
  static void GLAPIENTRY Failure(GLenum inError);
  // A record at the crossing, owned by the Tessellator in inOwner.
  static void GLAPIENTRY Combine(GLdouble inCoordinates[3], void* inNeighbours[4], GLfloat inWeights[4],
                                 void** outVertex, void* inOwner);

  GLUtesselator* mTess;
  std::vector<TessVertex> mPoints;
  std::deque<TessVertex> mCreated;  // addresses stay put as it grows
  std::vector<TessVertex> mTriangles;
};
