#include "objects/DrawGLPoly.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/GDIAccess.h"
#include "objects/GLPixelBuffer.h"
#include "objects/Tessellator.h"
#include "platform/faults/Faults.h"
#include "platform/wgl/Wgl.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

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

// The radical inverse of inIndex in base 2: its bits mirrored behind the
// binary point (0, 1/2, 1/4, 3/4, 1/8 ...).
double RadicalInverse(unsigned inIndex)
{
  double theValue = 0;
  for (double theBit = 0.5; inIndex != 0; inIndex >>= 1, theBit /= 2)
    theValue += (inIndex & 1) * theBit;
  return theValue;
}

// The canvas vector (inX, inY) taken back through the linear part of
// inTransform, into outX and outY; false when the transform flattens the
// plane (or is not finite).
bool InverseMap(const XFORM& inTransform, double inX, double inY, double& outX, double& outY)
{
  const double theDeterminant = double{inTransform.eM11} * inTransform.eM22 - double{inTransform.eM12} * inTransform.eM21;
  if (theDeterminant == 0 || !std::isfinite(1 / theDeterminant))
    return false;
  outX = (inTransform.eM22 * inX - inTransform.eM21 * inY) / theDeterminant;
  outY = (inTransform.eM11 * inY - inTransform.eM12 * inX) / theDeterminant;
  return std::isfinite(outX) && std::isfinite(outY);
}

// Whether inTransform only moves the plane by whole pixels.
bool MovesByWholePixels(const XFORM& inTransform)
{
  return inTransform.eM11 == 1 && inTransform.eM12 == 0 && inTransform.eM21 == 0 && inTransform.eM22 == 1 &&
         std::trunc(inTransform.eDx) == inTransform.eDx && std::trunc(inTransform.eDy) == inTransform.eDy;
}

// The pixels of inBounds that a shape whose vertices lie in inExtent (shape
// coordinates) can touch: the extent mapped by inTransform, widened by half a
// pen (lines and points are the pen wide on the canvas) and by the
// antialiased fringe; all of inBounds when the transform leaves it unknown.
// An empty box is the top-left pixel, on which nothing of the shape falls.
RECT DrawnBox(double inLeft, double inTop, double inRight, double inBottom, double inPen, const XFORM& inTransform,
              const RECT& inBounds)
{
  double theLeft = HUGE_VAL, theTop = HUGE_VAL, theRight = -HUGE_VAL, theBottom = -HUGE_VAL;
  for (const double x : {inLeft, inRight})
    for (const double y : {inTop, inBottom}) {
      const double theX = inTransform.eM11 * x + inTransform.eM21 * y + inTransform.eDx;
      const double theY = inTransform.eM12 * x + inTransform.eM22 * y + inTransform.eDy;
      theLeft = std::min(theLeft, theX);
      theRight = std::max(theRight, theX);
      theTop = std::min(theTop, theY);
      theBottom = std::max(theBottom, theY);
    }
  const double theMargin = std::abs(inPen) / 2 + 2;
  const double theBox[4] = {theLeft - theMargin, theTop - theMargin, theRight + theMargin, theBottom + theMargin};
  if (!std::all_of(std::begin(theBox), std::end(theBox), [](double inValue) { return std::isfinite(inValue); }))
    return inBounds;
  const auto theClamp = [](double inValue, LONG inLow, LONG inHigh) {
    return static_cast<LONG>(std::clamp(inValue, static_cast<double>(inLow), static_cast<double>(inHigh)));
  };
  const RECT theResult{theClamp(std::floor(theBox[0]), inBounds.left, inBounds.right),
                       theClamp(std::floor(theBox[1]), inBounds.top, inBounds.bottom),
                       theClamp(std::ceil(theBox[2]), inBounds.left, inBounds.right),
                       theClamp(std::ceil(theBox[3]), inBounds.top, inBounds.bottom)};
  if (theResult.left >= theResult.right || theResult.top >= theResult.bottom)
    return RECT{0, 0, 1, 1};
  return theResult;
}

// The side of the viewport over inSide pixels of the box: the power of two
// not below it.
GLsizei ViewportSide(LONG inSide)
{
  return static_cast<GLsizei>(std::bit_ceil(static_cast<std::uint32_t>(inSide)));
}

// A new display list of one glBegin of inPrimitive over inVertices.
template <typename V>
GLuint MakeList(GLenum inPrimitive, const std::vector<V>& inVertices)
{
  const GLuint theList = glGenLists(1);
  glNewList(theList, GL_COMPILE);
  glBegin(inPrimitive);
  for (const V& theVertex : inVertices)
    glVertex2d(theVertex.mX, theVertex.mY);
  glEnd();
  glEndList();
  return theList;
}

// The triangles of a convex polygon, as OpenGL draws GL_POLYGON: a fan about
// its first vertex.
template <typename V>
std::vector<V> Fan(const std::vector<V>& inPolygon)
{
  std::vector<V> theTriangles;
  for (std::size_t i = 2; i < inPolygon.size(); ++i)
    theTriangles.insert(theTriangles.end(), {inPolygon[0], inPolygon[i - 1], inPolygon[i]});
  return theTriangles;
}

// Vertices on the ellipse about (inX, inY) from inStart to inEnd radians, in
// steps of about 5 canvas units (at least three, at most kMaxArcSteps), and
// one at inEnd, after those of ioVertices.
template <typename V>
void AddArcVertices(std::vector<V>& ioVertices, double inX, double inY, double inRadiusX, double inRadiusY,
                    double inStart, double inEnd)
{
  double theStep = std::min(5 / ((inRadiusX + inRadiusY) / 2), (inEnd - inStart) / 3);
  if (!(theStep > 0))
    return;
  theStep = std::max(theStep, (inEnd - inStart) / kMaxArcSteps);
  for (double a = inStart; a <= inEnd; a += theStep)
    ioVertices.push_back(V{inX + std::cos(a) * inRadiusX, inY + std::sin(a) * inRadiusY});
  ioVertices.push_back(V{inX + std::cos(inEnd) * inRadiusX, inY + std::sin(inEnd) * inRadiusY});
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
  mTransform = mParams->GetDestTransform(thePlace, thePlace);
  GLdouble theMatrix[16];
  XFormToMatrix(mTransform, theMatrix);
  // Where the shape's vertices lie: its points, or its rectangle (with the
  // corners of a round rectangle, which may reach past it), and the pen's
  // half-widths beside them. A solid fill of whole-pixel vertices (a
  // rectangle or a polygon, moved by whole pixels alone) has exact window
  // coordinates wherever its box lies, so its box is that of its vertices;
  // any other shape keeps the reach of the pen and of the corners whatever
  // the shape, since moving its box would move the rounding of its pixels.
  RECT theExtent = thePlace;
  if (mParams->Shape == 3 || mParams->Shape == 6) {
    constexpr LONG kMost = std::numeric_limits<LONG>::max(), kLeast = std::numeric_limits<LONG>::min();
    theExtent = mParams->RoundedPoints.empty() ? RECT{} : RECT{kMost, kMost, kLeast, kLeast};
    for (const POINT& thePoint : mParams->RoundedPoints)
      theExtent = RECT{std::min(theExtent.left, thePoint.x), std::min(theExtent.top, thePoint.y),
                       std::max(theExtent.right, thePoint.x), std::max(theExtent.bottom, thePoint.y)};
  }
  const bool theExact = mParams->DrawOperation == 2 && !mParams->PaintColor.IsPattern() &&
                        (mParams->Shape == 1 || mParams->Shape == 3 || mParams->Shape == 6) &&
                        MovesByWholePixels(mTransform);
  const double thePen = theExact ? 0 : mParams->PenSize;
  const double theReach = theExact ? 0
                                   : std::abs(thePen) + std::abs(static_cast<double>(mParams->CornerSize.x)) +
                                       std::abs(static_cast<double>(mParams->CornerSize.y));
  mBox = DrawnBox(theExtent.left - theReach, theExtent.top - theReach, theExtent.right + theReach,
                  theExtent.bottom + theReach, thePen, mTransform, theBounds);

  if (!theContext) {
    mError->AddMessage("Unable to initialise OpenGL.");
  } else if (!wglMakeCurrentRect(theDC, theContext, mBox) || !KeepBoxAlpha(inWorld)) {
    mError->AddMessage("Unable to make OpenGL current.");
  } else {
    // A fault while drawing must not leave the context current on this thread.
    FaultUndo theRelease;
    theRelease.Enter([](void*) { wglMakeCurrent(nullptr, nullptr); }, nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // A viewport of powers of two from the box's top-left pixel (reaching past
    // the buffer where the box is smaller) makes window coordinates exact
    // offsets from that pixel, so a shape gets the same pixels wherever its
    // box lies on whatever canvas.
    glViewport(0, 0, ViewportSide(mBox.right - mBox.left), ViewportSide(mBox.bottom - mBox.top));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, ViewportSide(mBox.right - mBox.left), 0, ViewportSide(mBox.bottom - mBox.top), -1, 1);
    glTranslated(-mBox.left, -mBox.top, 0);
    glMultMatrixd(theMatrix);
    glShadeModel(GL_FLAT);
    DrawGLShape(mParams->DrawOperation, mParams->Shape, thePlace);
    glPopAttrib();
    mError->mOpenGLCode = static_cast<LONG>(glGetError());
    theRelease.Leave();
    wglMakeCurrent(nullptr, nullptr);
  }
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  mError->AddContext("Unable to draw shape");
  return 0;
}

bool DrawGLPoly::KeepBoxAlpha(Bitmap& inWorld)
{
  mBoxAlpha.clear();
  if (mParams->DrawOperation != 2 && mParams->DrawOperation != 3)
    return true;
  LockedPixels thePixels;
  if (!inWorld.LockPixels(thePixels)) {
    wglMakeCurrent(nullptr, nullptr);
    return false;
  }
  for (LONG y = mBox.top; y < mBox.bottom; ++y) {
    const BYTE* theRow = thePixels.mBase + static_cast<std::ptrdiff_t>(y) * thePixels.mRowBytes;
    for (LONG x = mBox.left; x < mBox.right; ++x)
      mBoxAlpha.push_back(theRow[4 * x + 3]);
  }
  inWorld.UnlockPixels();
  return true;
}

void DrawGLPoly::DrawGLShape(LONG inMode, LONG inShape, const RECT& inRect)
{
  bool theFilled = true;
  std::vector<Vertex> theFill;
  GLuint theOutline = 0;
  GLuint thePoints = 0;
  const double theCornerWidth = mParams->CornerSize.x;
  const double theCornerHeight = mParams->CornerSize.y;
  if (inMode == 2 || inMode == 3) {
    switch (inShape) {
      case 1:
        theFill = Fan(RectVertices(inRect, 0));
        break;
      case 2:
        theFill = Fan(OvalVertices(inRect, 0));
        break;
      case 3:
      case 6:
        theFill = TessellatedTriangles();
        break;
      case 4:
        theFill = Fan(RoundRectVertices(inRect, 0, theCornerWidth, theCornerHeight));
        break;
      default:
        theFilled = false;
        TL_ASSERT_TEXT(false, "FALSE");
        break;
    }
  } else {
    theFilled = false;
  }
  if (inMode == 1 || inMode == 3) {
    const double thePen = mParams->PenSize;
    switch (inShape) {
      case 1:
        theOutline = MakeList(GL_LINE_LOOP, RectVertices(inRect, thePen));
        break;
      case 2:
        theOutline = MakeList(GL_LINE_LOOP, OvalVertices(inRect, thePen));
        thePoints = MakeList(GL_POINTS, OvalVertices(inRect, thePen));
        break;
      case 3:
        theOutline = MakeList(GL_LINE_LOOP, PolyVertices(thePen));
        thePoints = MakeList(GL_POINTS, PolyVertices(thePen));
        break;
      case 4:
        theOutline = MakeList(GL_LINE_LOOP, RoundRectVertices(inRect, thePen, theCornerWidth, theCornerHeight));
        thePoints = MakeList(GL_POINTS, RoundRectVertices(inRect, thePen, theCornerWidth, theCornerHeight));
        break;
      case 6:
        theOutline = MakeList(GL_LINE_STRIP, PolyVertices(thePen));
        thePoints = MakeList(GL_POINTS, PolyVertices(thePen));
        break;
      default:
        TL_ASSERT_TEXT(false, "FALSE");
        break;
    }
  }
  if (theFilled)
    PaintList(theFill);
  if (theOutline)
    StrokeList(theOutline);
  if (thePoints)
    StrokeList(thePoints);
  for (GLuint theList : {theOutline, thePoints})
    if (theList)
      glDeleteLists(theList, 1);
}

void DrawGLPoly::PaintList(const std::vector<Vertex>& inTriangles)
{
  if (!mParams->PaintColor.IsPattern()) {
    PaintCoverage(inTriangles, 0, 0, 0);
    return;
  }
  LONG theWidth = 0, theHeight = 0;
  GLuint theTexture = MakePatternTexture(theWidth, theHeight);
  if (theTexture)
    PaintCoverage(inTriangles, theTexture, theWidth, theHeight);
  glDeleteTextures(1, &theTexture);
}

void DrawGLPoly::PaintCoverage(const std::vector<Vertex>& inTriangles, GLuint inTexture, LONG inWidth,
                               LONG inHeight)
{
  // The fill once for each sample point, moved by it (the point's offset from
  // the pixel's centre, taken back into the shape's coordinates); the box's
  // corners likewise, for the paint over every pixel of the box. A transform
  // that flattens the plane leaves the fill no pixels.
  std::vector<Vertex> theSampled;
  theSampled.reserve(inTriangles.size() * kFillSamples);
  for (int i = 0; i < kFillSamples; ++i) {
    Vertex theOffset{};
    if (!InverseMap(mTransform, (i + 0.5) / kFillSamples - 0.5, RadicalInverse(i) + 0.5 / kFillSamples - 0.5,
                    theOffset.mX, theOffset.mY))
      return;
    for (const Vertex& theVertex : inTriangles)
      theSampled.push_back(Vertex{theVertex.mX + theOffset.mX, theVertex.mY + theOffset.mY});
  }
  Vertex theCorners[4];
  const POINT kCorners[4] = {{mBox.left, mBox.top}, {mBox.right, mBox.top}, {mBox.right, mBox.bottom}, {mBox.left, mBox.bottom}};
  for (int i = 0; i < 4; ++i)
    if (!InverseMap(mTransform, kCorners[i].x - double{mTransform.eDx}, kCorners[i].y - double{mTransform.eDy},
                    theCorners[i].mX, theCorners[i].mY))
      return;
  const GLsizei theWidth = mBox.right - mBox.left, theHeight = mBox.bottom - mBox.top;
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT | GL_TEXTURE_BIT);

  // The canvas's alpha aside, and the coverage added up in its place.
  GLuint theAlpha = 0;
  glGenTextures(1, &theAlpha);
  glBindTexture(GL_TEXTURE_2D, theAlpha);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, theWidth, theHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mBoxAlpha.data());
  glPopClientAttrib();
  glDisable(GL_TEXTURE_2D);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4d(0, 0, 0, 1.0 / kFillSamples);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_DOUBLE, 0, theSampled.data());
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(theSampled.size()));
  glDisableClientState(GL_VERTEX_ARRAY);

  // The paint through the coverage.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glBlendFunc(GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA);
  Color(mParams->PaintColor);
  if (inTexture) {
    glBindTexture(GL_TEXTURE_2D, inTexture);
    SetupTexture(inWidth, inHeight);
  }
  glBegin(GL_QUADS);
  for (const Vertex& theCorner : theCorners)
    glVertex2d(theCorner.mX, theCorner.mY);
  glEnd();

  // The alpha back: the canvas's through the part not covered, the paint's
  // through the coverage.
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_CONSTANT_ALPHA);
  glBlendColor(0, 0, 0, static_cast<GLclampf>(Channel(mParams->PaintColor.mAlpha)));
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, theAlpha);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glBegin(GL_QUADS);
  // The viewport may reach past the box, and the texture is the box.
  const double theS = ViewportSide(theWidth) / static_cast<double>(theWidth),
               theT = ViewportSide(theHeight) / static_cast<double>(theHeight);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 1}}) {
    glTexCoord2d(x * theS, y * theT);
    glVertex2d(x, y);
  }
  glEnd();
  glPopMatrix();
  glPopAttrib();
  glDeleteTextures(1, &theAlpha);
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

std::vector<DrawGLPoly::Vertex> DrawGLPoly::PolyVertices(double inPen) const
{
  std::vector<Vertex> theVertices;
  for (const POINT& thePoint : mParams->RoundedPoints)
    theVertices.push_back(Vertex{thePoint.x + inPen * 0.5, thePoint.y + inPen * 0.5});
  return theVertices;
}

std::vector<DrawGLPoly::Vertex> DrawGLPoly::TessellatedTriangles() const
{
  Tessellator theTessellator;
  std::vector<Vertex> theTriangles;
  for (const TessVertex& theVertex : theTessellator.Triangles(mParams->RoundedPoints))
    theTriangles.push_back(Vertex{theVertex.mX, theVertex.mY});
  return theTriangles;
}

std::vector<DrawGLPoly::Vertex> DrawGLPoly::OvalVertices(const RECT& inRect, double inPen)
{
  const double theRight = std::trunc(inRect.right - inPen);
  const double theBottom = std::trunc(inRect.bottom - inPen);
  std::vector<Vertex> theVertices;
  AddArcVertices(theVertices, (inRect.left + theRight) / 2 + inPen * 0.5, (inRect.top + theBottom) / 2 + inPen * 0.5,
                 (theRight - inRect.left) / 2, (theBottom - inRect.top) / 2, 0, 6.28);
  return theVertices;
}

std::vector<DrawGLPoly::Vertex> DrawGLPoly::RectVertices(const RECT& inRect, double inPen)
{
  const double h = inPen * 0.5;
  const double l = inRect.left;
  const double t = inRect.top;
  const double r = std::trunc(inRect.right - inPen);
  const double b = std::trunc(inRect.bottom - inPen);
  // Each side runs half a pen past its corner, so a thick loop covers the corners.
  return {{l + h, t + h}, {r + h, t + h}, {r + h, t}, {r + h, b + h},
          {r + inPen, b + h}, {l + h, b + h}, {l + h, b + inPen}, {l + h, t}};
}

std::vector<DrawGLPoly::Vertex> DrawGLPoly::RoundRectVertices(const RECT& inRect, double inPen, double inCornerWidth,
                                                              double inCornerHeight)
{
  const double h = inPen * 0.5;
  const double l = inRect.left;
  const double t = inRect.top;
  const double r = std::trunc(inRect.right - inPen);
  const double b = std::trunc(inRect.bottom - inPen);
  const double rx = inCornerWidth * 0.5;
  const double ry = inCornerHeight * 0.5;
  std::vector<Vertex> theVertices{{l + h + inCornerWidth, t + h}};
  AddArcVertices(theVertices, r + h - rx, t + h + ry, rx, ry, -1.571, 0);
  theVertices.push_back({r + h, b + h - inCornerHeight});
  AddArcVertices(theVertices, r + h - rx, b + h - ry, rx, ry, 0, 1.571);
  theVertices.push_back({l + h + inCornerWidth, b + h});
  AddArcVertices(theVertices, l + h + rx, b + h - ry, rx, ry, 1.571, 3.141);
  theVertices.push_back({l + h, t + h + ry});
  AddArcVertices(theVertices, l + h + rx, t + h + ry, rx, ry, 3.141, 4.712);
  return theVertices;
}
