#include "host/ValueBridge.h"

#include "host/DispatchProxy.h"
#include "host/JsText.h"
#include "platform/automation/SafeArray.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxDepth = 16;

void PushValue(duk_context* inContext, const VARIANT& inValue, int inDepth);

void PushByteArray(duk_context* inContext, SAFEARRAY* inArray)
{
  ULONG theCount = inArray ? inArray->rgsabound[0].cElements : 0;
  void* theBuffer = duk_push_fixed_buffer(inContext, theCount);
  void* theData = nullptr;
  if (theCount && SUCCEEDED(SafeArrayAccessData(inArray, &theData))) {
    std::memcpy(theBuffer, theData, theCount);
    SafeArrayUnaccessData(inArray);
  }
  duk_push_buffer_object(inContext, -1, 0, theCount, DUK_BUFOBJ_UINT8ARRAY);
  duk_remove(inContext, -2);
}

void PushVariantArray(duk_context* inContext, SAFEARRAY* inArray, int inDepth)
{
  duk_push_array(inContext);
  if (!inArray)
    return;
  auto* theItems = static_cast<const VARIANT*>(inArray->pvData);
  for (ULONG i = 0; i < inArray->rgsabound[0].cElements; ++i) {
    PushValue(inContext, theItems[i], inDepth + 1);
    duk_put_prop_index(inContext, -2, i);
  }
}

void PushValue(duk_context* inContext, const VARIANT& inValue, int inDepth)
{
  const VARIANT* theValue = VariantDeref(&inValue);
  VARIANT theView;
  if (theValue->vt & VT_BYREF) {
    // A reference to a plain value: read it through a by-value copy.
    VariantInit(&theView);
    if (FAILED(VariantCopyInd(&theView, theValue)))
      return duk_push_undefined(inContext);
    PushValue(inContext, theView, inDepth);
    VariantClear(&theView);
    return;
  }
  if (inDepth > kMaxDepth)
    return duk_push_undefined(inContext);
  switch (theValue->vt) {
  case VT_NULL: return duk_push_null(inContext);
  case VT_I2: return duk_push_int(inContext, theValue->iVal);
  case VT_I4: return duk_push_int(inContext, theValue->lVal);
  case VT_UI1: return duk_push_uint(inContext, theValue->bVal);
  case VT_R4: return duk_push_number(inContext, theValue->fltVal);
  case VT_R8: return duk_push_number(inContext, theValue->dblVal);
  case VT_BOOL: return duk_push_boolean(inContext, theValue->boolVal != 0);
  case VT_ERROR:
    if (theValue->scode == DISP_E_PARAMNOTFOUND)
      return duk_push_undefined(inContext);
    return duk_push_int(inContext, theValue->scode);
  case VT_BSTR: {
    std::string theText = Utf16ToJs(BstrView(theValue->bstrVal));
    duk_push_lstring(inContext, theText.data(), theText.size());
    return;
  }
  case VT_DISPATCH: return PushDispatchProxy(inContext, theValue->pdispVal, "");
  case VT_UNKNOWN: {
    if (!theValue->punkVal)
      return duk_push_null(inContext);
    ComPtr<IDispatch> theDispatch;
    if (SUCCEEDED(theValue->punkVal->QueryInterface(IID_IDispatch, theDispatch.ReceiveVoid())))
      return PushDispatchProxy(inContext, theDispatch.Get(), "");
    return PushUnknownHolder(inContext, theValue->punkVal);
  }
  case VT_ARRAY | VT_UI1: return PushByteArray(inContext, theValue->parray);
  case VT_ARRAY | VT_VARIANT: return PushVariantArray(inContext, theValue->parray, inDepth);
  default: return duk_push_undefined(inContext);
  }
}

const char* ScriptTypeName(duk_context* inContext, duk_idx_t inIndex)
{
  if (duk_is_array(inContext, inIndex))
    return "an array";
  if (duk_is_function(inContext, inIndex))
    return "a function";
  return "a script object";
}

}  // namespace

bool ToVariant(duk_context* inContext, duk_idx_t inIndex, VARIANT& outValue, const std::string& inArgument,
               ScriptError& outError)
{
  VariantInit(&outValue);
  switch (duk_get_type(inContext, inIndex)) {
  case DUK_TYPE_NONE:
  case DUK_TYPE_UNDEFINED: return true;
  case DUK_TYPE_NULL: outValue.vt = VT_NULL; return true;
  case DUK_TYPE_BOOLEAN:
    outValue.vt = VT_BOOL;
    outValue.boolVal = duk_get_boolean(inContext, inIndex) ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
  case DUK_TYPE_NUMBER: {
    double theNumber = duk_get_number(inContext, inIndex);
    if (std::isfinite(theNumber) && theNumber == std::trunc(theNumber) && theNumber >= INT32_MIN &&
        theNumber <= INT32_MAX) {
      outValue.vt = VT_I4;
      outValue.lVal = static_cast<LONG>(theNumber);
    } else {
      outValue.vt = VT_R8;
      outValue.dblVal = theNumber;
    }
    return true;
  }
  case DUK_TYPE_STRING: {
    duk_size_t theLength = 0;
    const char* theText = duk_get_lstring(inContext, inIndex, &theLength);
    std::u16string theWide = JsToUtf16(std::string_view(theText, theLength));
    outValue.bstrVal = SysAllocStringLen(theWide.data(), static_cast<UINT>(theWide.size()));
    if (!outValue.bstrVal) {
      outError = {E_OUTOFMEMORY, SystemTextOf(E_OUTOFMEMORY), "tlscript"};
      return false;
    }
    outValue.vt = VT_BSTR;
    return true;
  }
  default: break;
  }
  if (duk_is_buffer_data(inContext, inIndex)) {
    duk_size_t theSize = 0;
    const void* theData = duk_get_buffer_data(inContext, inIndex, &theSize);
    SAFEARRAY* theArray = theSize <= 0x7FFFFFFFu ? SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(theSize)) : nullptr;
    if (!theArray) {
      outError = {E_OUTOFMEMORY, "The byte array of " + inArgument + " is too large", "tlscript"};
      return false;
    }
    if (theSize)
      std::memcpy(theArray->pvData, theData, theSize);
    outValue.vt = VT_ARRAY | VT_UI1;
    outValue.parray = theArray;
    return true;
  }
  if (IDispatch* theObject = DispatchOf(inContext, inIndex)) {
    theObject->AddRef();
    outValue.vt = VT_DISPATCH;
    outValue.pdispVal = theObject;
    return true;
  }
  if (IUnknown* theObject = UnknownOf(inContext, inIndex)) {
    theObject->AddRef();
    outValue.vt = VT_UNKNOWN;
    outValue.punkVal = theObject;
    return true;
  }
  outError = {DISP_E_TYPEMISMATCH,
              std::string("Type mismatch: ") + ScriptTypeName(inContext, inIndex) + " cannot be passed as " + inArgument,
              "tlscript"};
  return false;
}

void PushVariant(duk_context* inContext, const VARIANT& inValue)
{
  PushValue(inContext, inValue, 0);
}
