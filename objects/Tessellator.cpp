#include "objects/Tessellator.h"

#include "core/EventLog.h"

Tessellator::Tessellator() : mTess(gluNewTess())
{
  TL_ASSERT(mTess);
  if (!mTess)
    return;
  gluTessCallback(mTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&Begin));
  gluTessCallback(mTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(&Vertex));
  gluTessCallback(mTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&End));
  gluTessCallback(mTess, GLU_TESS_ERROR, reinterpret_cast<_GLUfuncptr>(&Failure));
  gluTessCallback(mTess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&Combine));
  gluTessProperty(mTess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
}

Tessellator::~Tessellator()
{
  if (mTess)
    gluDeleteTess(mTess);
}

void Tessellator::Draw(const std::vector<POINT>& inPoints)
{
  if (!mTess)
    return;
  mPoints.clear();
  for (const POINT& thePoint : inPoints)
    mPoints.push_back(TessVertex{GLdouble(thePoint.x), GLdouble(thePoint.y), 0});
  gluTessBeginPolygon(mTess, this);
  gluTessBeginContour(mTess);
  for (TessVertex& theVertex : mPoints)
    gluTessVertex(mTess, &theVertex.mX, &theVertex);
  gluTessEndContour(mTess);
  gluTessEndPolygon(mTess);
}

void Tessellator::Begin(GLenum inType)
{
  glBegin(inType);
}

void Tessellator::Vertex(void* inVertex)
{
  glVertex3dv(&static_cast<const TessVertex*>(inVertex)->mX);
}

void Tessellator::End()
{
  glEnd();
}

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
