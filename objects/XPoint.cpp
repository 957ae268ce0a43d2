#include "objects/XPoint.h"

#include "core/Utilities.h"

HRESULT XPoint::GetCoordinate(VARIANT* outValue, LONG inCoordinate) const
{
  return MethodFrame(kXPointReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, inCoordinate);
    return S_OK;
  });
}

HRESULT XPoint::PutCoordinate(const VARIANT& inValue, LONG& outCoordinate)
{
  return MethodFrame(kXPointReporter, [&] {
    outCoordinate = VariantLong(inValue);
    return S_OK;
  });
}

HRESULT XPoint::get_String(VARIANT* outValue)
{
  return MethodFrame(kXPointReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatPoint(mPoint));
    return S_OK;
  });
}

HRESULT XPoint::put_String(VARIANT inValue)
{
  return MethodFrame(kXPointReporter, [&] {
    POINT thePoint{0, 0};
    if (!ParsePoint(VariantText(inValue, "XPoint String"), thePoint))
      return kXPointReporter.ReportSetPropertyError("XPoint String", inValue, 0, 0);
    mPoint = thePoint;
    return S_OK;
  });
}

HRESULT XPoint::get_x(VARIANT* outValue)
{
  return GetCoordinate(outValue, mPoint.x);
}

HRESULT XPoint::put_x(VARIANT inValue)
{
  return PutCoordinate(inValue, mPoint.x);
}

HRESULT XPoint::get_y(VARIANT* outValue)
{
  return GetCoordinate(outValue, mPoint.y);
}

HRESULT XPoint::put_y(VARIANT inValue)
{
  return PutCoordinate(inValue, mPoint.y);
}
