#include "platform/automation/Variant.h"

#include "platform/automation/Dispatch.h"
#include "platform/automation/SafeArray.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/Numbers.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxReferenceDepth = 8;

bool IsKnownScalar(VARTYPE inType)
{
  switch (inType) {
  case VT_EMPTY:
  case VT_NULL:
  case VT_I2:
  case VT_I4:
  case VT_R4:
  case VT_R8:
  case VT_BSTR:
  case VT_DISPATCH:
  case VT_ERROR:
  case VT_BOOL:
  case VT_UNKNOWN:
  case VT_UI1:
    return true;
  default:
    return false;
  }
}

bool IsKnownArray(VARTYPE inType)
{
  return inType == (VT_ARRAY | VT_UI1) || inType == (VT_ARRAY | VT_VARIANT);
}

// The value a by-reference VARIANT points to, as a by-value VARIANT that owns
// nothing (its BSTR, interface or array still belong to the referenced place).
HRESULT ReadThrough(const VARIANT& inSource, VARIANT& outView, int inDepth = 0)
{
  if (!(inSource.vt & VT_BYREF)) {
    outView = inSource;
    return S_OK;
  }
  if (!inSource.byref)
    return E_POINTER;
  VARTYPE theType = static_cast<VARTYPE>(inSource.vt & ~VT_BYREF);
  VariantInit(&outView);
  if (theType == VT_VARIANT) {
    if (inDepth >= kMaxReferenceDepth)
      return DISP_E_BADVARTYPE;
    return ReadThrough(*inSource.pvarVal, outView, inDepth + 1);
  }
  outView.vt = theType;
  if (theType & VT_ARRAY) {
    if (!IsKnownArray(theType))
      return DISP_E_BADVARTYPE;
    outView.parray = *inSource.pparray;
    return S_OK;
  }
  switch (theType) {
  case VT_I2: outView.iVal = *inSource.piVal; break;
  case VT_I4: outView.lVal = *inSource.plVal; break;
  case VT_R4: outView.fltVal = *inSource.pfltVal; break;
  case VT_R8: outView.dblVal = *inSource.pdblVal; break;
  case VT_BOOL: outView.boolVal = *inSource.pboolVal; break;
  case VT_ERROR: outView.scode = *inSource.pscode; break;
  case VT_BSTR: outView.bstrVal = *inSource.pbstrVal; break;
  case VT_DISPATCH: outView.pdispVal = *inSource.ppdispVal; break;
  case VT_UNKNOWN: outView.punkVal = *inSource.ppunkVal; break;
  case VT_UI1: outView.bVal = *inSource.pbVal; break;
  default: return DISP_E_BADVARTYPE;
  }
  return S_OK;
}

// A deep copy of a by-value VARIANT into outDest (which holds nothing).
HRESULT CopyValue(VARIANT& outDest, const VARIANT& inSource)
{
  VariantInit(&outDest);
  if (inSource.vt & VT_BYREF) {
    outDest = inSource;
    return S_OK;
  }
  if (inSource.vt & VT_ARRAY) {
    if (!IsKnownArray(inSource.vt))
      return DISP_E_BADVARTYPE;
    SAFEARRAY* theCopy = nullptr;
    if (HRESULT theResult = SafeArrayCopy(inSource.parray, &theCopy); FAILED(theResult))
      return theResult;
    outDest.vt = inSource.vt;
    outDest.parray = theCopy;
    return S_OK;
  }
  if (!IsKnownScalar(inSource.vt))
    return DISP_E_BADVARTYPE;
  outDest = inSource;
  if (inSource.vt == VT_BSTR && inSource.bstrVal) {
    outDest.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(inSource.bstrVal),
                                            SysStringByteLen(inSource.bstrVal));
    if (!outDest.bstrVal) {
      VariantInit(&outDest);
      return E_OUTOFMEMORY;
    }
  } else if ((inSource.vt == VT_DISPATCH || inSource.vt == VT_UNKNOWN) && inSource.punkVal) {
    // A null interface is copied as null.
    if (inSource.vt == VT_DISPATCH)
      inSource.pdispVal->AddRef();
    else
      inSource.punkVal->AddRef();
  }
  return S_OK;
}

double RoundHalfEven(double inValue)
{
  double theFloor = std::floor(inValue);
  double theFraction = inValue - theFloor;
  if (theFraction > 0.5)
    return theFloor + 1;
  if (theFraction < 0.5)
    return theFloor;
  return std::fmod(theFloor, 2.0) == 0 ? theFloor : theFloor + 1;
}

bool IsBlank(char inChar)
{
  return inChar == ' ' || inChar == '\t' || inChar == '\r' || inChar == '\n';
}

// A whole text as a number: blanks around it, nothing else.
HRESULT TextToNumber(BSTR inText, VARTYPE inTarget, double& outValue)
{
  std::string theText = BstrToUtf8(inText);
  std::string_view theView = theText;
  while (!theView.empty() && IsBlank(theView.front()))
    theView.remove_prefix(1);
  while (!theView.empty() && IsBlank(theView.back()))
    theView.remove_suffix(1);
  if (inTarget == VT_BOOL) {
    if (EqualsIgnoringCase(theView, "true")) {
      outValue = -1;
      return S_OK;
    }
    if (EqualsIgnoringCase(theView, "false")) {
      outValue = 0;
      return S_OK;
    }
  }
  ScanOutcome theOutcome = ScanDouble(theView, outValue);
  if (theOutcome.mStatus == ScanStatus::kNone || theOutcome.mUsed != theView.size())
    return DISP_E_TYPEMISMATCH;
  if (theOutcome.mStatus == ScanStatus::kOutOfRange)
    return DISP_E_OVERFLOW;
  return S_OK;
}

HRESULT NumberOf(const VARIANT& inSource, VARTYPE inTarget, double& outValue)
{
  switch (inSource.vt) {
  case VT_EMPTY: outValue = 0; return S_OK;
  case VT_I2: outValue = inSource.iVal; return S_OK;
  case VT_I4: outValue = inSource.lVal; return S_OK;
  case VT_R4: outValue = inSource.fltVal; return S_OK;
  case VT_R8: outValue = inSource.dblVal; return S_OK;
  case VT_BOOL: outValue = inSource.boolVal; return S_OK;
  case VT_UI1: outValue = inSource.bVal; return S_OK;
  case VT_BSTR: return TextToNumber(inSource.bstrVal, inTarget, outValue);
  default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToInteger(double inValue, double inMin, double inMax, double& outValue)
{
  if (std::isnan(inValue))
    return DISP_E_OVERFLOW;
  double theRounded = RoundHalfEven(inValue);
  if (theRounded < inMin || theRounded > inMax)
    return DISP_E_OVERFLOW;
  outValue = theRounded;
  return S_OK;
}

HRESULT ToNumber(const VARIANT& inSource, VARTYPE inTarget, VARIANT& outDest)
{
  double theValue = 0;
  if (HRESULT theResult = NumberOf(inSource, inTarget, theValue); FAILED(theResult))
    return theResult;
  // A boolean true reads as 255 in a byte, as the system has it.
  if (inTarget == VT_UI1 && inSource.vt == VT_BOOL)
    theValue = inSource.boolVal ? 255 : 0;
  double theInteger = 0;
  HRESULT theResult = S_OK;
  switch (inTarget) {
  case VT_I2:
    theResult = ToInteger(theValue, INT16_MIN, INT16_MAX, theInteger);
    outDest.iVal = static_cast<SHORT>(theInteger);
    break;
  case VT_I4:
    theResult = ToInteger(theValue, INT32_MIN, INT32_MAX, theInteger);
    outDest.lVal = static_cast<LONG>(theInteger);
    break;
  case VT_UI1:
    theResult = ToInteger(theValue, 0, UINT8_MAX, theInteger);
    outDest.bVal = static_cast<BYTE>(theInteger);
    break;
  case VT_R4:
    if (std::isfinite(theValue) ? std::fabs(theValue) > FLT_MAX : std::isinf(theValue))
      theResult = DISP_E_OVERFLOW;
    else
      outDest.fltVal = static_cast<FLOAT>(theValue);
    break;
  case VT_R8: outDest.dblVal = theValue; break;
  case VT_BOOL: outDest.boolVal = theValue != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
  default: return DISP_E_TYPEMISMATCH;
  }
  if (SUCCEEDED(theResult))
    outDest.vt = inTarget;
  return theResult;
}

std::string FormatReal(double inValue, int inDigits)
{
  if (inValue == 0)
    return "0";  // also for -0
  return FormatC("%.*G", inDigits, inValue);
}

HRESULT ToText(const VARIANT& inSource, VARIANT& outDest)
{
  std::string theText;
  switch (inSource.vt) {
  case VT_EMPTY: break;
  case VT_I2: theText = FormatC("%d", inSource.iVal); break;
  case VT_I4: theText = FormatC("%d", inSource.lVal); break;
  case VT_UI1: theText = FormatC("%u", unsigned{inSource.bVal}); break;
  case VT_R4: theText = FormatReal(inSource.fltVal, 7); break;
  case VT_R8: theText = FormatReal(inSource.dblVal, 15); break;
  case VT_BOOL: theText = inSource.boolVal ? "-1" : "0"; break;
  default: return DISP_E_TYPEMISMATCH;
  }
  outDest.bstrVal = Utf8ToBstr(theText);
  if (!outDest.bstrVal)
    return E_OUTOFMEMORY;
  outDest.vt = VT_BSTR;
  return S_OK;
}

HRESULT ToInterface(const VARIANT& inSource, VARTYPE inTarget, VARIANT& outDest)
{
  if (inSource.vt != VT_DISPATCH && inSource.vt != VT_UNKNOWN)
    return DISP_E_TYPEMISMATCH;
  IUnknown* theSource =
      inSource.vt == VT_DISPATCH ? static_cast<IUnknown*>(inSource.pdispVal) : inSource.punkVal;
  outDest.vt = inTarget;
  outDest.punkVal = nullptr;
  if (!theSource)
    return S_OK;
  void* theResult = nullptr;
  HRESULT theStatus = theSource->QueryInterface(inTarget == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &theResult);
  if (FAILED(theStatus)) {
    outDest.vt = VT_EMPTY;
    return theStatus;
  }
  if (inTarget == VT_DISPATCH)
    outDest.pdispVal = static_cast<IDispatch*>(theResult);
  else
    outDest.punkVal = static_cast<IUnknown*>(theResult);
  return S_OK;
}

HRESULT Convert(const VARIANT& inSource, VARTYPE inTarget, VARIANT& outDest)
{
  VariantInit(&outDest);
  if (inTarget & VT_BYREF)
    return DISP_E_BADVARTYPE;
  if (inSource.vt == inTarget)
    return CopyValue(outDest, inSource);
  if ((inTarget & VT_ARRAY) || (inSource.vt & VT_ARRAY))
    return (IsKnownArray(inTarget) || (inTarget & VT_ARRAY) == 0) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  if (!IsKnownScalar(inTarget) || !IsKnownScalar(inSource.vt))
    return DISP_E_BADVARTYPE;
  switch (inTarget) {
  case VT_EMPTY: return S_OK;
  case VT_NULL:
  case VT_ERROR: return DISP_E_TYPEMISMATCH;
  case VT_BSTR: return ToText(inSource, outDest);
  case VT_DISPATCH:
  case VT_UNKNOWN: return ToInterface(inSource, inTarget, outDest);
  default: return ToNumber(inSource, inTarget, outDest);
  }
}

// Puts inNew, a value of our own, in place of the value of ioDest, which is
// cleared first; when that fails inNew is cleared instead.
HRESULT Replace(VARIANT* ioDest, VARIANT& inNew)
{
  if (HRESULT theResult = VariantClear(ioDest); FAILED(theResult)) {
    VariantClear(&inNew);
    return theResult;
  }
  *ioDest = inNew;
  return S_OK;
}

}  // namespace

void VariantInit(VARIANT* outValue)
{
  if (!outValue)
    return;
  std::memset(outValue, 0, sizeof *outValue);
  outValue->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* ioValue)
{
  if (!ioValue)
    return E_INVALIDARG;
  VARTYPE theType = ioValue->vt;
  if (!(theType & VT_BYREF)) {
    if (theType & VT_ARRAY) {
      if (!IsKnownArray(theType))
        return DISP_E_BADVARTYPE;
      if (HRESULT theResult = SafeArrayDestroy(ioValue->parray); FAILED(theResult))
        return theResult;
    } else if (theType == VT_BSTR) {
      SysFreeString(ioValue->bstrVal);
    } else if (theType == VT_DISPATCH) {
      if (ioValue->pdispVal)
        ioValue->pdispVal->Release();
    } else if (theType == VT_UNKNOWN) {
      if (ioValue->punkVal)
        ioValue->punkVal->Release();
    } else if (!IsKnownScalar(theType)) {
      return DISP_E_BADVARTYPE;
    }
  }
  VariantInit(ioValue);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* outDest, const VARIANT* inSource)
{
  if (!outDest || !inSource)
    return E_INVALIDARG;
  if (outDest == inSource)
    return S_OK;
  VARIANT theCopy;
  if (HRESULT theResult = CopyValue(theCopy, *inSource); FAILED(theResult))
    return theResult;
  return Replace(outDest, theCopy);
}

HRESULT VariantCopyInd(VARIANT* outDest, const VARIANT* inSource)
{
  if (!outDest || !inSource)
    return E_INVALIDARG;
  VARIANT theView;
  if (HRESULT theResult = ReadThrough(*inSource, theView); FAILED(theResult))
    return theResult;
  VARIANT theCopy;
  if (HRESULT theResult = CopyValue(theCopy, theView); FAILED(theResult))
    return theResult;
  return Replace(outDest, theCopy);
}

HRESULT VariantChangeType(VARIANT* outDest, const VARIANT* inSource, USHORT inFlags, VARTYPE inType)
{
  if (!outDest || !inSource)
    return E_INVALIDARG;
  VARIANT theView;
  if (HRESULT theResult = ReadThrough(*inSource, theView); FAILED(theResult))
    return theResult;
  VARIANT theConverted;
  if (HRESULT theResult = Convert(theView, inType, theConverted); FAILED(theResult))
    return theResult;
  return Replace(outDest, theConverted);
}

const VARIANT* VariantDeref(const VARIANT* inValue)
{
  for (int i = 0; inValue && inValue->vt == (VT_BYREF | VT_VARIANT) && i < kMaxReferenceDepth; ++i)
    inValue = inValue->pvarVal;
  return inValue;
}
