#include "objects/XRect.h"

#include "core/Utilities.h"

HRESULT XRect::GetEdge(VARIANT* outValue, LONG inEdge) const
{
  return MethodFrame(kXRectReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, inEdge);
    return S_OK;
  });
}

HRESULT XRect::PutEdge(const VARIANT& inValue, LONG& outEdge)
{
  return MethodFrame(kXRectReporter, [&] {
    outEdge = VariantLong(inValue);
    return S_OK;
  });
}

HRESULT XRect::GetCorner(VARIANT* outValue, LONG inX, LONG inY) const
{
  return MethodFrame(kXRectReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatPoint(MakePoint(inX, inY)));
    return S_OK;
  });
}

HRESULT XRect::PutCorner(const char* inLabel, const VARIANT& inValue, LONG& outX, LONG& outY)
{
  return MethodFrame(kXRectReporter, [&] {
    POINT thePoint{0, 0};
    if (!ParsePoint(VariantText(inValue, inLabel), thePoint))
      return kXRectReporter.ReportSetPropertyError(inLabel, inValue, 0, 0);
    outX = thePoint.x;
    outY = thePoint.y;
    return S_OK;
  });
}

HRESULT XRect::GetExtent(const char* inLabel, VARIANT* outValue, LONG inFrom, LONG inTo) const
{
  return MethodFrame(kXRectReporter, [&] {
    if (!outValue)
      return E_POINTER;
    const LONGLONG theExtent = LONGLONG{inTo} - inFrom;
    if (theExtent != static_cast<LONG>(theExtent))
      return kXRectReporter.ReportGetPropertyError(inLabel, 0, 0);
    SetLongResult(outValue, static_cast<LONG>(theExtent));
    return S_OK;
  });
}

HRESULT XRect::get_String(VARIANT* outValue)
{
  return MethodFrame(kXRectReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatRect(mRect));
    return S_OK;
  });
}

HRESULT XRect::put_String(VARIANT inValue)
{
  return MethodFrame(kXRectReporter, [&] {
    RECT theRect{0, 0, 0, 0};
    if (!ParseRect(VariantText(inValue, "XRect String"), theRect))
      return kXRectReporter.ReportSetPropertyError("XRect String", inValue, 0, 0);
    mRect = theRect;
    return S_OK;
  });
}

HRESULT XRect::get_Right(VARIANT* outValue)
{
  return GetEdge(outValue, mRect.right);
}

HRESULT XRect::put_Right(VARIANT inValue)
{
  return PutEdge(inValue, mRect.right);
}

HRESULT XRect::get_Top(VARIANT* outValue)
{
  return GetEdge(outValue, mRect.top);
}

HRESULT XRect::put_Top(VARIANT inValue)
{
  return PutEdge(inValue, mRect.top);
}

HRESULT XRect::get_Left(VARIANT* outValue)
{
  return GetEdge(outValue, mRect.left);
}

HRESULT XRect::put_Left(VARIANT inValue)
{
  return PutEdge(inValue, mRect.left);
}

HRESULT XRect::get_Bottom(VARIANT* outValue)
{
  return GetEdge(outValue, mRect.bottom);
}

HRESULT XRect::put_Bottom(VARIANT inValue)
{
  return PutEdge(inValue, mRect.bottom);
}

HRESULT XRect::get_TopLeft(VARIANT* outValue)
{
  return GetCorner(outValue, mRect.left, mRect.top);
}

HRESULT XRect::put_TopLeft(VARIANT inValue)
{
  return PutCorner("XRect TopLeft", inValue, mRect.left, mRect.top);
}

HRESULT XRect::get_BottomRight(VARIANT* outValue)
{
  return GetCorner(outValue, mRect.right, mRect.bottom);
}

HRESULT XRect::put_BottomRight(VARIANT inValue)
{
  return PutCorner("XRect BottomRight", inValue, mRect.right, mRect.bottom);
}

HRESULT XRect::get_Width(VARIANT* outValue)
{
  return GetExtent("XRect Width", outValue, mRect.left, mRect.right);
}

HRESULT XRect::get_Height(VARIANT* outValue)
{
  return GetExtent("XRect Height", outValue, mRect.top, mRect.bottom);
}
