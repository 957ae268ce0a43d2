#include "objects/Tessellator.h"

#include "core/EventLog.h"

Tessellator::Tessellator() : mTess(gluNewTess())
{
  TL_ASSERT(mTess);
  if (!mTess)
    return;
  gluTessCallback(mTess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&Vertex));
  gluTessCallback(mTess, GLU_TESS_EDGE_FLAG, reinterpret_cast<_GLUfuncptr>(&EdgeFlag));
  gluTessCallback(mTess, GLU_TESS_ERROR, reinterpret_cast<_GLUfuncptr>(&Failure));
  gluTessCallback(mTess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&Combine));
  gluTessProperty(mTess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
}

Tessellator::~Tessellator()
{
  if (mTess)
    gluDeleteTess(mTess);
}

std::vector<TessVertex> Tessellator::Triangles(const std::vector<POINT>& inPoints)
{
  mTriangles.clear();
  if (!mTess)
    return mTriangles;
  mPoints.clear();
  for (const POINT& thePoint : inPoints)
    mPoints.push_back(TessVertex{GLdouble(thePoint.x), GLdouble(thePoint.y), 0});
  gluTessBeginPolygon(mTess, this);
  gluTessBeginContour(mTess);
  for (TessVertex& theVertex : mPoints)
    gluTessVertex(mTess, &theVertex.mX, &theVertex);
  gluTessEndContour(mTess);
  gluTessEndPolygon(mTess);
  // A failure midway may leave a triangle unfinished.
  mTriangles.resize(mTriangles.size() / 3 * 3);
  return mTriangles;
}

void Tessellator::Vertex(void* inVertex, void* inOwner)
{
  static_cast<Tessellator*>(inOwner)->mTriangles.push_back(*static_cast<const TessVertex*>(inVertex));
}

void Tessellator::EdgeFlag(GLboolean) {}

void Tessellator::Failure(GLenum)
{
  TL_ASSERT_TEXT(false, "FALSE");
}

void Tessellator::Combine(GLdouble inCoordinates[3], void*[4], GLfloat[4], void** outVertex, void* inOwner)
{
  std::deque<TessVertex>& theCreated = static_cast<Tessellator*>(inOwner)->mCreated;
  theCreated.push_back(TessVertex{inCoordinates[0], inCoordinates[1], inCoordinates[2]});
  *outVertex = &theCreated.back();
}
