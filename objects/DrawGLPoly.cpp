#include "objects/DrawGLPoly.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/GDIAccess.h"
#include "objects/GLPixelBuffer.h"
#include "objects/Tessellator.h"
#include "platform/faults/Faults.h"
#include "platform/wgl/Wgl.h"

#include <algorithm>
#include <cmath>

namespace {

// The most steps one arc is cut into, whatever its size.
constexpr double kMaxArcSteps = 4096;

// The 4 x 4 column-major matrix of an affine transform.
void XFormToMatrix(const XFORM& inTransform, GLdouble outMatrix[16])
{
  std::fill(outMatrix, outMatrix + 16, 0.0);
  outMatrix[0] = inTransform.eM11;
  outMatrix[1] = inTransform.eM12;
  outMatrix[4] = inTransform.eM21;
  outMatrix[5] = inTransform.eM22;
  outMatrix[10] = 1;
  outMatrix[12] = inTransform.eDx;
  outMatrix[13] = inTransform.eDy;
  outMatrix[15] = 1;
}

// Antialiasing of one kind of primitive (inSmooth, with its quality hint
// inHint), blended over the pixels there; or neither.
void Smooth(GLenum inSmooth, GLenum inHint, bool inOn)
{
  if (inOn) {
    glEnable(inSmooth);
    glHint(inHint, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
  } else {
    glDisable(inSmooth);
    glDisable(GL_BLEND);
  }
}

// The bound texture repeating every inWidth x inHeight canvas units from (0, 0).
void SetupTexture(LONG inWidth, LONG inHeight)
{
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  const GLdouble theS[4] = {1.0 / inWidth, 0, 0, 0};
  const GLdouble theT[4] = {0, 1.0 / inHeight, 0, 0};
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGendv(GL_S, GL_OBJECT_PLANE, theS);
  glTexGendv(GL_T, GL_OBJECT_PLANE, theT);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

// A 16-bit channel as OpenGL's 0..1, full at 65280 as everywhere in the
// library (a byte b is the channel b x 256), so that #FF is 255 as through GDI.
GLdouble Channel(WORD inChannel)
{
  return std::min(inChannel / 65280.0, 1.0);
}

void Color(const ColorValue& inColor)
{
  glColor4d(Channel(inColor.mRed), Channel(inColor.mGreen), Channel(inColor.mBlue), Channel(inColor.mAlpha));
}

// Vertices on the ellipse about (inX, inY) from inStart to inEnd radians, in
// steps of about 5 canvas units (at least three, at most kMaxArcSteps), and
// one at inEnd.
void AddArcVertices(double inX, double inY, double inRadiusX, double inRadiusY, double inStart, double inEnd)
{
  double theStep = std::min(5 / ((inRadiusX + inRadiusY) / 2), (inEnd - inStart) / 3);
  if (!(theStep > 0))
    return;
  theStep = std::max(theStep, (inEnd - inStart) / kMaxArcSteps);
  for (double a = inStart; a <= inEnd; a += theStep)
    glVertex2d(inX + std::cos(a) * inRadiusX, inY + std::sin(a) * inRadiusY);
  glVertex2d(inX + std::cos(inEnd) * inRadiusX, inY + std::sin(inEnd) * inRadiusY);
}

// A new display list being compiled with one glBegin of inPrimitive.
GLuint BeginList(GLenum inPrimitive)
{
  const GLuint theList = glGenLists(1);
  glNewList(theList, GL_COMPILE);
  glBegin(inPrimitive);
  return theList;
}

GLuint EndList(GLuint inList)
{
  glEnd();
  glEndList();
  return inList;
}

}  // namespace

DrawGLPoly::DrawGLPoly() : Operation("")
{
  AllowImpersonation(false);
}

LONG DrawGLPoly::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = inWorld.Create(256, 256, -1, nullptr);
  HDC theDC = inWorld.GetHDC();
  HGLRC theContext = inWorld.GetGLContext();
  const RECT theBounds = inWorld.GetBounds();
  const RECT thePlace = mParams->GetPlacement(theBounds, theBounds);
  GLdouble theMatrix[16];
  XFormToMatrix(mParams->GetDestTransform(thePlace, thePlace), theMatrix);

  if (!theContext) {
    mError->AddMessage("Unable to initialise OpenGL.");
  } else if (!wglMakeCurrent(theDC, theContext)) {
    mError->AddMessage("Unable to make OpenGL current.");
  } else {
    // A fault while drawing must not leave the context current on this thread.
    FaultUndo theRelease;
    theRelease.Enter([](void*) { wglMakeCurrent(nullptr, nullptr); }, nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, theBounds.right, theBounds.bottom);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, theBounds.right, 0, theBounds.bottom, -1, 1);
    glMultMatrixd(theMatrix);
    glShadeModel(GL_FLAT);
    DrawGLShape(mParams->DrawOperation, mParams->Shape, thePlace);
    glPopAttrib();
    glFlush();
    mError->mOpenGLCode = static_cast<LONG>(glGetError());
    theRelease.Leave();
    wglMakeCurrent(nullptr, nullptr);
  }
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  mError->AddContext("Unable to draw shape");
  return 0;
}

void DrawGLPoly::DrawGLShape(LONG inMode, LONG inShape, const RECT& inRect)
{
  GLuint theFill = 0;
  GLuint theOutline = 0;
  GLuint thePoints = 0;
  const double theCornerWidth = mParams->CornerSize.x;
  const double theCornerHeight = mParams->CornerSize.y;
  if (inMode == 2 || inMode == 3) {
    switch (inShape) {
      case 1:
        theFill = MakeRectList(inRect, GL_POLYGON, 0);
        break;
      case 2:
        theFill = MakeOvalList(inRect, GL_POLYGON, 0);
        break;
      case 3:
      case 6:
        theFill = MakeTessellatedList();
        break;
      case 4:
        theFill = MakeRoundRectList(inRect, GL_POLYGON, 0, theCornerWidth, theCornerHeight);
        break;
      default:
        TL_ASSERT_TEXT(false, "FALSE");
        break;
    }
  }
  if (inMode == 1 || inMode == 3) {
    const double thePen = mParams->PenSize;
    switch (inShape) {
      case 1:
        theOutline = MakeRectList(inRect, GL_LINE_LOOP, thePen);
        break;
      case 2:
        theOutline = MakeOvalList(inRect, GL_LINE_LOOP, thePen);
        thePoints = MakeOvalList(inRect, GL_POINTS, thePen);
        break;
      case 3:
        theOutline = MakePolyList(thePen, GL_LINE_LOOP);
        thePoints = MakePolyList(thePen, GL_POINTS);
        break;
      case 4:
        theOutline = MakeRoundRectList(inRect, GL_LINE_LOOP, thePen, theCornerWidth, theCornerHeight);
        thePoints = MakeRoundRectList(inRect, GL_POINTS, thePen, theCornerWidth, theCornerHeight);
        break;
      case 6:
        theOutline = MakePolyList(thePen, GL_LINE_STRIP);
        thePoints = MakePolyList(thePen, GL_POINTS);
        break;
      default:
        TL_ASSERT_TEXT(false, "FALSE");
        break;
    }
  }
  if (theFill)
    PaintList(theFill);
  if (theOutline)
    StrokeList(theOutline);
  if (thePoints)
    StrokeList(thePoints);
  for (GLuint theList : {theFill, theOutline, thePoints})
    if (theList)
      glDeleteLists(theList, 1);
}

void DrawGLPoly::PaintList(GLuint inList)
{
  if (!mParams->PaintColor.IsPattern()) {
    PaintSolid(inList, true);
    glFlush();
    return;
  }
  LONG theWidth = 0, theHeight = 0;
  GLuint theTexture = MakePatternTexture(theWidth, theHeight);
  if (theTexture)
    PaintTextured(inList, theWidth, theHeight, true);
  glFlush();
  glDeleteTextures(1, &theTexture);
}

void DrawGLPoly::StrokeList(GLuint inList)
{
  if (!mParams->PenColor.IsPattern()) {
    StrokeSolid(inList, mParams->PenSize, true);
    return;
  }
  LONG theWidth = 0, theHeight = 0;
  GLuint theTexture = MakePatternTexture(theWidth, theHeight);
  if (theTexture)
    StrokeTextured(inList, theWidth, theHeight, mParams->PenSize, true);
  glDeleteTextures(1, &theTexture);
}

void DrawGLPoly::PaintSolid(GLuint inList, bool inSmooth)
{
  Color(mParams->PaintColor);
  Smooth(GL_POLYGON_SMOOTH, GL_POLYGON_SMOOTH_HINT, false);
  glCallList(inList);
  if (inSmooth) {
    // The solid interior again, with antialiased edges.
    Smooth(GL_POLYGON_SMOOTH, GL_POLYGON_SMOOTH_HINT, true);
    glCallList(inList);
  }
}

void DrawGLPoly::PaintTextured(GLuint inList, LONG inWidth, LONG inHeight, bool inSmooth)
{
  SetupTexture(inWidth, inHeight);
  PaintSolid(inList, inSmooth);
}

void DrawGLPoly::StrokeSolid(GLuint inList, LONG inPen, bool inSmooth)
{
  Color(mParams->PenColor);
  Smooth(GL_LINE_SMOOTH, GL_LINE_SMOOTH_HINT, inSmooth);
  Smooth(GL_POINT_SMOOTH, GL_LINE_SMOOTH_HINT, inSmooth);
  // A pen of 0 draws as thin as OpenGL can.
  const auto theWidth = static_cast<GLfloat>(std::max<LONG>(inPen, 1));
  glPointSize(theWidth);
  glLineWidth(theWidth);
  glCallList(inList);
}

void DrawGLPoly::StrokeTextured(GLuint inList, LONG inWidth, LONG inHeight, LONG inPen, bool inSmooth)
{
  SetupTexture(inWidth, inHeight);
  StrokeSolid(inList, inPen, inSmooth);
}

GLuint DrawGLPoly::MakePatternTexture(LONG& outWidth, LONG& outHeight)
{
  GDIAccess thePattern(mParams->Pattern);
  GLPixelBuffer theBuffer;
  const GLuint theTexture = theBuffer.MakeTexture(thePattern.GetHBITMAP(), thePattern.GetHDC());
  mError->mQuickTimeCode = theBuffer.GetStatus();
  if (theBuffer.GetWindowsError() != 0)
    mError->mWindowsCode = theBuffer.GetWindowsError();
  outWidth = theBuffer.GetWidth();
  outHeight = theBuffer.GetHeight();
  return theTexture;
}

GLuint DrawGLPoly::MakePolyList(double inPen, GLenum inPrimitive)
{
  const GLuint theList = BeginList(inPrimitive);
  for (const POINT& thePoint : mParams->RoundedPoints)
    glVertex2d(thePoint.x + inPen * 0.5, thePoint.y + inPen * 0.5);
  return EndList(theList);
}

GLuint DrawGLPoly::MakeTessellatedList()
{
  const GLuint theList = glGenLists(1);
  Tessellator theTessellator;
  glNewList(theList, GL_COMPILE);
  theTessellator.Draw(mParams->RoundedPoints);
  glEndList();
  return theList;
}

GLuint DrawGLPoly::MakeOvalList(const RECT& inRect, GLenum inPrimitive, double inPen)
{
  const double theRight = std::trunc(inRect.right - inPen);
  const double theBottom = std::trunc(inRect.bottom - inPen);
  const GLuint theList = BeginList(inPrimitive);
  AddArcVertices((inRect.left + theRight) / 2 + inPen * 0.5, (inRect.top + theBottom) / 2 + inPen * 0.5,
                 (theRight - inRect.left) / 2, (theBottom - inRect.top) / 2, 0, 6.28);
  return EndList(theList);
}

GLuint DrawGLPoly::MakeRectList(const RECT& inRect, GLenum inPrimitive, double inPen)
{
  const double h = inPen * 0.5;
  const double l = inRect.left;
  const double t = inRect.top;
  const double r = std::trunc(inRect.right - inPen);
  const double b = std::trunc(inRect.bottom - inPen);
  const GLuint theList = BeginList(inPrimitive);
  // Each side runs half a pen past its corner, so a thick loop covers the corners.
  glVertex2d(l + h, t + h);
  glVertex2d(r + h, t + h);
  glVertex2d(r + h, t);
  glVertex2d(r + h, b + h);
  glVertex2d(r + inPen, b + h);
  glVertex2d(l + h, b + h);
  glVertex2d(l + h, b + inPen);
  glVertex2d(l + h, t);
  return EndList(theList);
}

GLuint DrawGLPoly::MakeRoundRectList(const RECT& inRect, GLenum inPrimitive, double inPen, double inCornerWidth,
                                     double inCornerHeight)
{
  const double h = inPen * 0.5;
  const double l = inRect.left;
  const double t = inRect.top;
  const double r = std::trunc(inRect.right - inPen);
  const double b = std::trunc(inRect.bottom - inPen);
  const double rx = inCornerWidth * 0.5;
  const double ry = inCornerHeight * 0.5;
  const GLuint theList = BeginList(inPrimitive);
  glVertex2d(l + h + inCornerWidth, t + h);
  AddArcVertices(r + h - rx, t + h + ry, rx, ry, -1.571, 0);
  glVertex2d(r + h, b + h - inCornerHeight);
  AddArcVertices(r + h - rx, b + h - ry, rx, ry, 0, 1.571);
  glVertex2d(l + h + inCornerWidth, b + h);
  AddArcVertices(l + h + rx, b + h - ry, rx, ry, 1.571, 3.141);
  glVertex2d(l + h, t + h + ry);
  AddArcVertices(l + h + rx, t + h + ry, rx, ry, 3.141, 4.712);
  return EndList(theList);
}
