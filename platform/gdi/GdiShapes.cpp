// The pen, brush, shape and path functions of Gdi.h.

#include "platform/gdi/Gdi.h"

#include "platform/gdi/BitmapObject.h"
#include "platform/gdi/BrushObject.h"
#include "platform/gdi/GdiCalls.h"
#include "platform/gdi/Painter.h"
#include "platform/gdi/Path.h"
#include "platform/gdi/PenObject.h"
#include "platform/gdi/StockObjects.h"

#include <algorithm>
#include <numeric>
#include <vector>

using namespace tlgdi;

namespace {

// Fills inPath with the state's brush and strokes it with its pen, as asked;
// FALSE (ERROR_NOT_ENOUGH_MEMORY) when the rasteriser failed.
BOOL Render(const DeviceContext::DrawState& inState, const Path& inPath, bool inFill, bool inStroke)
{
  if (!inState.mBitmap || StockObjects::Get().IsPlaceholder(inState.mBitmap.get()) || inPath.IsEmpty())
    return TRUE;
  Painter thePainter(inState.mBitmap->View(), inState.mBitmap->Colors());
  const auto& theBrush = static_cast<const BrushObject&>(*inState.mBrush);
  const auto& thePen = static_cast<const PenObject&>(*inState.mPen);
  if (inFill && !theBrush.IsNull() && !thePainter.Fill(inPath, theBrush))
    return Fail<BOOL>(ERROR_NOT_ENOUGH_MEMORY);
  if (inStroke && thePen.Style() != PS_NULL &&
      !thePainter.Stroke(inPath, thePen.Width(), Affine::From(inState.mTransform).Linear(), thePen.Color()))
    return Fail<BOOL>(ERROR_NOT_ENOUGH_MEMORY);
  return TRUE;
}

// A shape: its outline goes into the open path, or is drawn at once.
template <typename F>
BOOL Shape(HDC inDC, bool inFilled, F&& inBuild)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  return Guarded<BOOL>(FALSE, [&] {
    const DeviceContext::DrawState theState = theDC->ForDrawing();
    Path thePath;
    inBuild(thePath, Affine::From(theState.mTransform), theState.mGraphicsMode == GM_ADVANCED);
    return theDC->AddToPath(thePath) ? TRUE : Render(theState, thePath, inFilled, true);
  });
}

// The rectangle of Rectangle, Ellipse and RoundRect, ordered; in
// GM_COMPATIBLE it stops one short of the right and bottom coordinates.
Box ShapeBox(int inLeft, int inTop, int inRight, int inBottom, bool inAdvanced)
{
  Box theBox{double(std::min(inLeft, inRight)), double(std::min(inTop, inBottom)),
             double(std::max(inLeft, inRight)), double(std::max(inTop, inBottom))};
  if (!inAdvanced) {
    theBox.mRight = std::max(theBox.mLeft, theBox.mRight - 1);
    theBox.mBottom = std::max(theBox.mTop, theBox.mBottom - 1);
  }
  return theBox;
}

// Polygon (closed, filled) and Polyline (open, stroked only).
BOOL PointShape(HDC inDC, const POINT* inPoints, int inCount, bool inPolygon)
{
  if (!FindDC(inDC))
    return FALSE;
  if (!inPoints || inCount < 2)
    return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return Shape(inDC, inPolygon, [&](Path& ioPath, const Affine& inWorld, bool) {
    ioPath.AddPoints(inWorld, inPoints, inCount, inPolygon);
  });
}

BOOL RenderPath(HDC inDC, bool inFill, bool inStroke)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  return Guarded<BOOL>(FALSE, [&] {
    Path thePath;
    if (!theDC->TakePath(thePath))
      return Fail<BOOL>(ERROR_INVALID_PARAMETER);
    return Render(theDC->ForDrawing(), thePath, inFill, inStroke);
  });
}

}  // namespace

// ---------------------------------------------------------------------------
// Pens and brushes

HPEN CreatePen(int inStyle, int inWidth, COLORREF inColor)
{
  if ((inStyle != PS_SOLID && inStyle != PS_NULL) || inWidth < 0)
    return Fail<HPEN>(ERROR_INVALID_PARAMETER);
  return Register<HPEN>(std::make_shared<PenObject>(inStyle, inWidth, inColor & 0x00FFFFFFu));
}

HBRUSH CreatePatternBrush(HBITMAP inBitmap)
{
  std::shared_ptr<BitmapObject> theBitmap = Find<BitmapObject>(inBitmap, {ObjectKind::kBitmap});
  if (!theBitmap)
    return nullptr;
  return Guarded<HBRUSH>(nullptr, [&] {
    const PixelView theView = theBitmap->View();
    const std::vector<std::uint32_t> theColors = theBitmap->Colors();
    std::vector<std::uint32_t> thePattern(static_cast<std::size_t>(theView.mWidth) * theView.mHeight);
    std::vector<std::int32_t> theColumns(theView.mWidth);
    std::iota(theColumns.begin(), theColumns.end(), 0);
    std::vector<const std::uint8_t*> theRows(theView.mWidth);
    for (std::int32_t y = 0; y < theView.mHeight; ++y) {
      std::fill(theRows.begin(), theRows.end(), theView.Row(y));
      std::uint32_t* theOut = thePattern.data() + static_cast<std::size_t>(y) * theView.mWidth;
      theView.mFormat->Read(theRows.data(), theColumns.data(), theView.mWidth, theColors.data(), theOut);
      for (std::int32_t x = 0; x < theView.mWidth; ++x)
        theOut[x] &= 0x00FFFFFFu;
    }
    return Register<HBRUSH>(std::make_shared<BrushObject>(std::move(thePattern), theView.mWidth, theView.mHeight));
  });
}

// ---------------------------------------------------------------------------
// Shapes

BOOL Rectangle(HDC inDC, int inLeft, int inTop, int inRight, int inBottom)
{
  return Shape(inDC, true, [&](Path& ioPath, const Affine& inWorld, bool inAdvanced) {
    ioPath.AddRectangle(inWorld, ShapeBox(inLeft, inTop, inRight, inBottom, inAdvanced));
  });
}

BOOL Ellipse(HDC inDC, int inLeft, int inTop, int inRight, int inBottom)
{
  return Shape(inDC, true, [&](Path& ioPath, const Affine& inWorld, bool inAdvanced) {
    ioPath.AddEllipse(inWorld, ShapeBox(inLeft, inTop, inRight, inBottom, inAdvanced));
  });
}

BOOL RoundRect(HDC inDC, int inLeft, int inTop, int inRight, int inBottom, int inWidth, int inHeight)
{
  return Shape(inDC, true, [&](Path& ioPath, const Affine& inWorld, bool inAdvanced) {
    ioPath.AddRoundRect(inWorld, ShapeBox(inLeft, inTop, inRight, inBottom, inAdvanced), inWidth, inHeight);
  });
}

BOOL Polygon(HDC inDC, const POINT* inPoints, int inCount)
{
  return PointShape(inDC, inPoints, inCount, true);
}

BOOL Polyline(HDC inDC, const POINT* inPoints, int inCount)
{
  return PointShape(inDC, inPoints, inCount, false);
}

// ---------------------------------------------------------------------------
// Paths

BOOL BeginPath(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  theDC->BeginPath();
  return TRUE;
}

BOOL EndPath(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!theDC->EndPath())
    return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return TRUE;
}

BOOL StrokePath(HDC inDC)
{
  return RenderPath(inDC, false, true);
}

BOOL FillPath(HDC inDC)
{
  return RenderPath(inDC, true, false);
}

BOOL StrokeAndFillPath(HDC inDC)
{
  return RenderPath(inDC, true, true);
}
