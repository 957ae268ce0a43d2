#include "host/ScriptEnumerator.h"

#include "host/DispatchProxy.h"
#include "host/HiddenPointers.h"
#include "host/ValueBridge.h"
#include "platform/automation/EnumVariant.h"

#include <memory>

namespace {

const char* const kStateKey = DUK_HIDDEN_SYMBOL("EnumeratorState");

struct EnumeratorState {
  ComPtr<IEnumVARIANT> mEnum;
  Variant mItem;
  bool mAtEnd = true;

  HRESULT MoveNext()
  {
    ULONG theFetched = 0;
    HRESULT theResult = mEnum->Next(1, mItem.Receive(), &theFetched);
    mAtEnd = FAILED(theResult) || theFetched == 0;
    return theResult;
  }
};

EnumeratorState* StateOfThis(duk_context* inContext)
{
  duk_push_this(inContext);
  EnumeratorState* theState = HiddenPointer<EnumeratorState>(inContext, -1, kStateKey);
  duk_pop(inContext);
  return theState;
}

duk_ret_t FinalizeEnumerator(duk_context* inContext)
{
  delete TakeHiddenPointer<EnumeratorState>(inContext, kStateKey);
  return 0;
}

ScriptError NoEnumerator()
{
  return {E_POINTER, "This Enumerator has no collection", "tlscript"};
}

duk_ret_t Construct(duk_context* inContext)
{
  if (duk_is_constructor_call(inContext)) {
    duk_push_this(inContext);
  } else {
    duk_push_object(inContext);
    duk_push_current_function(inContext);
    duk_get_prop_string(inContext, -1, "prototype");
    duk_set_prototype(inContext, -3);
    duk_pop(inContext);
  }
  duk_idx_t theThis = duk_get_top_index(inContext);
  IDispatch* theCollection = DispatchOf(inContext, 0);
  IUnknown* theUnknown = UnknownOf(inContext, 0);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    auto theState = std::make_unique<EnumeratorState>();
    HRESULT theResult = E_NOINTERFACE;
    if (theCollection) {
      Variant theEnum;
      DISPPARAMS theNoArgs{nullptr, nullptr, 0, 0};
      EXCEPINFO theException{};
      theResult = theCollection->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                        &theNoArgs, theEnum.Get(), &theException, nullptr);
      if (theResult == DISP_E_EXCEPTION)
        theResult = theException.scode ? theException.scode : theResult;
      ClearExcepInfo(&theException);
      if (SUCCEEDED(theResult)) {
        IUnknown* theObject = theEnum.Type() == VT_DISPATCH ? static_cast<IUnknown*>(theEnum->pdispVal)
                              : theEnum.Type() == VT_UNKNOWN ? theEnum->punkVal
                                                             : nullptr;
        theResult = theObject ? theObject->QueryInterface(IID_IEnumVARIANT, theState->mEnum.ReceiveVoid())
                              : E_NOINTERFACE;
      }
    } else if (theUnknown) {
      theResult = theUnknown->QueryInterface(IID_IEnumVARIANT, theState->mEnum.ReceiveVoid());
    }
    if (FAILED(theResult)) {
      outError = {theResult, "Enumerator needs a collection object (" + SystemTextOf(theResult) + ")", "tlscript"};
      return -1;
    }
    theState->MoveNext();
    duk_push_pointer(inContext, theState.release());
    duk_put_prop_string(inContext, theThis, kStateKey);
    duk_push_c_function(inContext, FinalizeEnumerator, 2);
    duk_set_finalizer(inContext, theThis);
    if (duk_is_constructor_call(inContext))
      return 0;
    duk_dup(inContext, theThis);
    return 1;
  });
}

duk_ret_t AtEnd(duk_context* inContext)
{
  EnumeratorState* theState = StateOfThis(inContext);
  duk_push_boolean(inContext, !theState || theState->mAtEnd);
  return 1;
}

duk_ret_t Item(duk_context* inContext)
{
  EnumeratorState* theState = StateOfThis(inContext);
  if (!theState || theState->mAtEnd)
    return 0;
  return RunNative(inContext, [&](ScriptError&) -> duk_ret_t {
    PushVariant(inContext, *theState->mItem.Get());
    return 1;
  });
}

duk_ret_t MoveNext(duk_context* inContext)
{
  EnumeratorState* theState = StateOfThis(inContext);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theState) {
      outError = NoEnumerator();
      return -1;
    }
    theState->MoveNext();
    return 0;
  });
}

duk_ret_t MoveFirst(duk_context* inContext)
{
  EnumeratorState* theState = StateOfThis(inContext);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theState) {
      outError = NoEnumerator();
      return -1;
    }
    theState->mEnum->Reset();
    theState->MoveNext();
    return 0;
  });
}

}  // namespace

void InstallEnumerator(duk_context* inContext)
{
  duk_push_c_function(inContext, Construct, 1);
  duk_push_object(inContext);
  const duk_function_list_entry kMethods[] = {
      {"atEnd", AtEnd, 0}, {"item", Item, 0}, {"moveNext", MoveNext, 0}, {"moveFirst", MoveFirst, 0}, {nullptr, nullptr, 0}};
  duk_put_function_list(inContext, -1, kMethods);
  duk_put_prop_string(inContext, -2, "prototype");
  duk_put_global_string(inContext, "Enumerator");
}
