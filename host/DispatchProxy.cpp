#include "host/DispatchProxy.h"

#include "host/HiddenPointers.h"
#include "host/JsText.h"
#include "host/ValueBridge.h"
#include "platform/automation/Variant.h"

#include <climits>
#include <memory>
#include <vector>

namespace {

#define TL_HIDDEN(name) DUK_HIDDEN_SYMBOL(name)

const char* const kDispatchKey = TL_HIDDEN("Dispatch");
const char* const kUnknownKey = TL_HIDDEN("Unknown");
const char* const kHandlerKey = "DispatchProxyHandler";

// What a proxy's target holds.
struct DispatchRef {
  ComPtr<IDispatch> mObject;
  const DispatchTable* mTable = nullptr;  // null when the object has none
  std::string mName;
};

DispatchRef* RefOf(duk_context* inContext, duk_idx_t inIndex)
{
  return HiddenPointer<DispatchRef>(inContext, inIndex, kDispatchKey);
}

duk_ret_t FinalizeDispatch(duk_context* inContext)
{
  delete TakeHiddenPointer<DispatchRef>(inContext, kDispatchKey);
  return 0;
}

duk_ret_t FinalizeUnknown(duk_context* inContext)
{
  if (IUnknown* theObject = TakeHiddenPointer<IUnknown>(inContext, kUnknownKey))
    theObject->Release();
  return 0;
}

DISPID IdOfName(IDispatch* inObject, const std::u16string& inName, HRESULT& outResult)
{
  std::u16string theName = inName;
  LPOLESTR theNames[] = {theName.data()};
  DISPID theId = DISPID_UNKNOWN;
  outResult = inObject->GetIDsOfNames(IID_NULL, theNames, 1, 0, &theId);
  return theId;
}

std::string Quoted(const std::string& inName)
{
  return "'" + inName + "'";
}

ScriptError UnknownMember(const DispatchRef& inRef, const std::string& inMember)
{
  return {DISP_E_UNKNOWNNAME, Quoted(inMember) + " is not a property or method of " + inRef.mName, "tlscript"};
}

// The error of a failed Invoke.
ScriptError InvokeError(const DispatchRef& inRef, const std::string& inMember, HRESULT inResult,
                        EXCEPINFO& inException, int inArgument)
{
  if (inResult == DISP_E_EXCEPTION) {
    if (inException.pfnDeferredFillIn)
      inException.pfnDeferredFillIn(&inException);
    HRESULT theCode = inException.scode ? inException.scode : DISP_E_EXCEPTION;
    std::string theDescription = BstrToUtf8(inException.bstrDescription);
    std::string theSource = BstrToUtf8(inException.bstrSource);
    return {theCode, theDescription.empty() ? SystemTextOf(theCode) : theDescription,
            theSource.empty() ? inRef.mName : theSource};
  }
  std::string theWhere = inArgument > 0 ? "argument " + std::to_string(inArgument) + " of " + Quoted(inMember)
                                        : Quoted(inMember);
  return {inResult, SystemTextOf(inResult) + " (" + theWhere + " of " + inRef.mName + ")", "tlscript"};
}

// The way of calling a member that a script's call means.
const Signature* SignatureOf(const DispatchMember* inMember)
{
  if (!inMember)
    return nullptr;
  return inMember->mKind == MemberKind::kMethod ? &inMember->mMethod : &inMember->mGet;
}

bool HasOutArguments(const Signature* inSignature)
{
  if (!inSignature)
    return false;
  for (const ParamInfo& theParam : inSignature->Params())
    if (theParam.mMode == ParamMode::kOut)
      return true;
  return false;
}

// Calls a member with the script's arguments inFirst .. inFirst + inCount - 1
// and pushes its result.
duk_ret_t CallMember(duk_context* inContext, const DispatchRef& inRef, DISPID inId, WORD inFlags,
                     const std::string& inMember, duk_idx_t inFirst, duk_idx_t inCount, ScriptError& outError)
{
  const DispatchMember* theMember = inRef.mTable ? inRef.mTable->FindById(inId) : nullptr;
  const Signature* theSignature = SignatureOf(theMember);

  // Arguments in declaration order. [out] places are made by the host; the
  // script's arguments fill the [in] ones in turn.
  std::vector<Variant> theArguments;
  std::vector<int> theOutIndex;  // argument index of each [out], in order
  std::unique_ptr<Variant[]> theOuts(new Variant[kMaxParams]);
  int theOutCount = 0;
  duk_idx_t theNext = 0;
  std::size_t theProvided = 0;  // arguments up to the last one given
  auto theTake = [&](Variant& outArgument) {
    std::string theLabel = "argument " + std::to_string(theNext + 1) + " of " + Quoted(inMember);
    bool theOk = ToVariant(inContext, inFirst + theNext, *outArgument.Get(), theLabel, outError);
    ++theNext;
    return theOk;
  };
  if (theSignature) {
    for (const ParamInfo& theParam : theSignature->Params()) {
      if (theParam.mMode == ParamMode::kRetval)
        break;
      Variant& theArgument = theArguments.emplace_back();
      if (theParam.mMode == ParamMode::kOut) {
        theArgument.Set(VT_BYREF | VT_VARIANT).pvarVal = theOuts[static_cast<std::size_t>(theOutCount)].Get();
        theOutIndex.push_back(theOutCount++);
        theProvided = theArguments.size();
      } else if (theNext < inCount) {
        if (!theTake(theArgument))
          return -1;
        theProvided = theArguments.size();
      } else {
        theArgument.Set(VT_ERROR).scode = DISP_E_PARAMNOTFOUND;
      }
    }
    theArguments.resize(theProvided);
  }
  while (theNext < inCount) {
    if (!theTake(theArguments.emplace_back()))
      return -1;
  }

  std::vector<VARIANT> theReversed;
  for (auto it = theArguments.rbegin(); it != theArguments.rend(); ++it)
    theReversed.push_back(*it->Get());
  DISPPARAMS theParams{theReversed.data(), nullptr, static_cast<UINT>(theReversed.size()), 0};
  Variant theResult;
  EXCEPINFO theException{};
  UINT theArgError = UINT_MAX;
  HRESULT theStatus =
      inRef.mObject->Invoke(inId, IID_NULL, 0, inFlags, &theParams, theResult.Get(), &theException, &theArgError);
  if (FAILED(theStatus)) {
    int theArgument = theArgError < theReversed.size() ? static_cast<int>(theReversed.size() - theArgError) : 0;
    outError = InvokeError(inRef, inMember, theStatus, theException, theArgument);
    ClearExcepInfo(&theException);
    return -1;
  }
  ClearExcepInfo(&theException);

  if (!HasOutArguments(theSignature)) {
    PushVariant(inContext, *theResult.Get());
    return 1;
  }
  duk_push_object(inContext);
  PushVariant(inContext, *theResult.Get());
  duk_put_prop_string(inContext, -2, "result");
  int theOut = 0;
  for (const ParamInfo& theParam : theSignature->Params()) {
    if (theParam.mMode != ParamMode::kOut)
      continue;
    PushVariant(inContext, *theOuts[static_cast<std::size_t>(theOut++)].Get());
    duk_put_prop_string(inContext, -2, theParam.mName);
  }
  return 1;
}

std::string KeyOf(duk_context* inContext, duk_idx_t inIndex)
{
  duk_size_t theLength = 0;
  const char* theKey = duk_get_lstring(inContext, inIndex, &theLength);
  return theKey ? std::string(theKey, theLength) : std::string();
}

// A member function handed to the script: Target, Id and Name are its own
// hidden properties.
duk_ret_t MemberFunction(duk_context* inContext)
{
  duk_idx_t theCount = duk_get_top(inContext);
  duk_push_current_function(inContext);
  duk_get_prop_string(inContext, -1, TL_HIDDEN("Target"));
  DispatchRef* theRef = RefOf(inContext, -1);
  duk_get_prop_string(inContext, -2, TL_HIDDEN("Id"));
  auto theId = static_cast<DISPID>(duk_get_int(inContext, -1));
  duk_get_prop_string(inContext, -3, TL_HIDDEN("Flags"));
  auto theFlags = static_cast<WORD>(duk_get_uint(inContext, -1));
  duk_get_prop_string(inContext, -4, TL_HIDDEN("Name"));
  // The function's own name stays alive while it runs; the C++ copy is made
  // inside the body, whose objects are gone before an error is thrown.
  duk_size_t theKeyLength = 0;
  const char* theKeyText = duk_get_lstring(inContext, -1, &theKeyLength);
  duk_pop_n(inContext, 5);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    const std::string theKey = theKeyText ? std::string(theKeyText, theKeyLength) : std::string();
    if (!theRef || !theRef->mObject) {
      outError = {E_POINTER, "The object of " + Quoted(theKey) + " is gone", "tlscript"};
      return -1;
    }
    return CallMember(inContext, *theRef, theId, theFlags, JsToUtf8(theKey), 0, theCount, outError);
  });
}

duk_ret_t ProxyToString(duk_context* inContext)
{
  duk_push_this(inContext);
  DispatchRef* theRef = RefOf(inContext, -1);
  std::string theText = "[object " + (theRef ? theRef->mName : std::string("Object")) + "]";
  duk_push_lstring(inContext, theText.data(), theText.size());
  return 1;
}

bool IsObjectProtocolName(const std::string& inName)
{
  for (const char* theName : {"valueOf", "toJSON"})
    if (inName == theName)
      return true;
  return false;
}

// get (target, key, receiver)
duk_ret_t ProxyGet(duk_context* inContext)
{
  if (!duk_is_string(inContext, 1) || duk_is_symbol(inContext, 1))
    return 0;
  DispatchRef* theRef = RefOf(inContext, 0);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theRef)
      return 0;
    const std::string theKey = KeyOf(inContext, 1);
    std::string theName = JsToUtf8(theKey);
    HRESULT theLookup = S_OK;
    DISPID theId = IdOfName(theRef->mObject.Get(), JsToUtf16(theKey), theLookup);
    if (FAILED(theLookup)) {
      if (theName == "toString") {
        duk_push_c_function(inContext, ProxyToString, 0);
        return 1;
      }
      if (IsObjectProtocolName(theName))
        return 0;
      outError = UnknownMember(*theRef, theName);
      return -1;
    }
    const DispatchMember* theMember = theRef->mTable ? theRef->mTable->FindById(theId) : nullptr;
    if (theMember && theMember->mKind == MemberKind::kProperty && !theMember->HasIndex()) {
      if (!theMember->mGet.mCall) {
        outError = {DISP_E_MEMBERNOTFOUND, Quoted(theName) + " of " + theRef->mName + " can only be set", "tlscript"};
        return -1;
      }
      return CallMember(inContext, *theRef, theId, DISPATCH_PROPERTYGET, theName, 0, 0, outError);
    }
    WORD theFlags = !theMember                                  ? WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET}
                    : theMember->mKind == MemberKind::kMethod ? DISPATCH_METHOD
                                                              : DISPATCH_PROPERTYGET;
    duk_push_c_function(inContext, MemberFunction, DUK_VARARGS);
    duk_dup(inContext, 0);
    duk_put_prop_string(inContext, -2, TL_HIDDEN("Target"));
    duk_push_int(inContext, theId);
    duk_put_prop_string(inContext, -2, TL_HIDDEN("Id"));
    duk_push_uint(inContext, theFlags);
    duk_put_prop_string(inContext, -2, TL_HIDDEN("Flags"));
    duk_push_lstring(inContext, theKey.data(), theKey.size());
    duk_put_prop_string(inContext, -2, TL_HIDDEN("Name"));
    return 1;
  });
}

// set (target, key, value, receiver)
duk_ret_t ProxySet(duk_context* inContext)
{
  if (!duk_is_string(inContext, 1) || duk_is_symbol(inContext, 1))
    return 0;
  DispatchRef* theRef = RefOf(inContext, 0);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theRef)
      return 0;
    const std::string theKey = KeyOf(inContext, 1);
    std::string theName = JsToUtf8(theKey);
    HRESULT theLookup = S_OK;
    DISPID theId = IdOfName(theRef->mObject.Get(), JsToUtf16(theKey), theLookup);
    if (FAILED(theLookup)) {
      outError = UnknownMember(*theRef, theName);
      return -1;
    }
    const DispatchMember* theMember = theRef->mTable ? theRef->mTable->FindById(theId) : nullptr;
    if (theMember && theMember->mKind == MemberKind::kMethod) {
      outError = {DISP_E_MEMBERNOTFOUND, Quoted(theName) + " is a method of " + theRef->mName + " and cannot be set",
                  "tlscript"};
      return -1;
    }
    Variant theValue;
    if (!ToVariant(inContext, 2, *theValue.Get(), "the value of " + Quoted(theName), outError))
      return -1;
    DISPID theNamed = DISPID_PROPERTYPUT;
    DISPPARAMS theParams{theValue.Get(), &theNamed, 1, 1};
    EXCEPINFO theException{};
    UINT theArgError = UINT_MAX;
    HRESULT theStatus = theRef->mObject->Invoke(theId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &theParams, nullptr,
                                                &theException, &theArgError);
    if (FAILED(theStatus)) {
      outError = InvokeError(*theRef, theName, theStatus, theException, 0);
      ClearExcepInfo(&theException);
      return -1;
    }
    ClearExcepInfo(&theException);
    duk_push_true(inContext);
    return 1;
  });
}

}  // namespace

void InstallDispatchProxies(duk_context* inContext)
{
  duk_push_heap_stash(inContext);
  duk_push_object(inContext);
  duk_push_c_function(inContext, ProxyGet, 3);
  duk_put_prop_string(inContext, -2, "get");
  duk_push_c_function(inContext, ProxySet, 4);
  duk_put_prop_string(inContext, -2, "set");
  duk_put_prop_string(inContext, -2, kHandlerKey);
  duk_pop(inContext);
}

void PushDispatchProxy(duk_context* inContext, IDispatch* inObject, const std::string& inName)
{
  if (!inObject)
    return duk_push_null(inContext);
  auto theRef = std::make_unique<DispatchRef>();
  theRef->mObject = ComPtr<IDispatch>(inObject);
  ComPtr<IMemberTable> theTable;
  if (SUCCEEDED(theRef->mObject.As(theTable)))
    theTable->GetMemberTable(&theRef->mTable);
  theRef->mName = !inName.empty() ? inName : theRef->mTable ? theRef->mTable->mName : "object";

  duk_push_object(inContext);
  duk_push_pointer(inContext, theRef.release());
  duk_put_prop_string(inContext, -2, kDispatchKey);
  duk_push_c_function(inContext, FinalizeDispatch, 2);
  duk_set_finalizer(inContext, -2);
  duk_push_heap_stash(inContext);
  duk_get_prop_string(inContext, -1, kHandlerKey);
  duk_remove(inContext, -2);
  duk_push_proxy(inContext, 0);
}

void PushUnknownHolder(duk_context* inContext, IUnknown* inObject)
{
  if (!inObject)
    return duk_push_null(inContext);
  duk_push_object(inContext);
  inObject->AddRef();
  duk_push_pointer(inContext, inObject);
  duk_put_prop_string(inContext, -2, kUnknownKey);
  duk_push_c_function(inContext, FinalizeUnknown, 2);
  duk_set_finalizer(inContext, -2);
}

IDispatch* DispatchOf(duk_context* inContext, duk_idx_t inIndex)
{
  DispatchRef* theRef = RefOf(inContext, inIndex);
  return theRef ? theRef->mObject.Get() : nullptr;
}

IUnknown* UnknownOf(duk_context* inContext, duk_idx_t inIndex)
{
  return HiddenPointer<IUnknown>(inContext, inIndex, kUnknownKey);
}
