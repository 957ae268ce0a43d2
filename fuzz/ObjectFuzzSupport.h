#pragma once
// What the fuzz targets of the graphics library's objects share: the module
// registered in a store of its own, arguments made as a page makes them,
// preferences written only when they change, and the rule every member keeps:
// S_OK, or E_FAIL with words a page can show.

#include "core/Preferences.h"
#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"
#include "objects/Canvas.h"
#include "objects/SelfRegistration.h"
#include "platform/automation/Bstr.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/automation/Variant.h"

#include <map>
#include <string>

inline void StartObjects()
{
  UseScratchHome();
  TL_FUZZ_CHECK(RegisterModule() == S_OK);
}

// A new canvas of a depth keyword, with pixels of the size unless it is 0.
inline ComPtr<ComObject<Canvas>> NewCanvas(const char* inDepth, LONG inWidth, LONG inHeight)
{
  ComPtr<ComObject<Canvas>> theCanvas;
  TL_FUZZ_CHECK(ComObject<Canvas>::Create(nullptr, theCanvas) == S_OK);
  TL_FUZZ_CHECK(theCanvas->put_Depth(*Variant(std::string_view(inDepth)).Get()) == S_OK);
  if (inWidth > 0) {
    TL_FUZZ_CHECK(theCanvas->put_Width(*Variant(inWidth).Get()) == S_OK);
    TL_FUZZ_CHECK(theCanvas->put_Height(*Variant(inHeight).Get()) == S_OK);
  }
  return theCanvas;
}

inline Variant BytesArgument(std::string_view inBytes)
{
  Variant theValue;
  TL_FUZZ_CHECK(PtrToVARIANT(inBytes.data(), static_cast<DWORD>(inBytes.size()), theValue.Get()) == S_OK);
  return theValue;
}

// A preference as the administrator would set it; the store is written only
// when the value differs from the one this process wrote last.
inline void UsePreference(const char* inName, LONG inValue)
{
  static std::map<std::string, LONG> gWritten;
  if (auto theKnown = gWritten.find(inName); theKnown != gWritten.end() && theKnown->second == inValue)
    return;
  TL_FUZZ_CHECK(SetPrefLong(inName, inValue) == ERROR_SUCCESS);
  gWritten[inName] = inValue;
}

// A member's answer: S_OK, or E_FAIL with a description in the thread's error
// information.
inline bool Succeeded(HRESULT inResult)
{
  if (inResult == S_OK)
    return true;
  TL_FUZZ_CHECK(inResult == E_FAIL);
  IErrorInfo* theInfo = nullptr;
  TL_FUZZ_CHECK(GetErrorInfo(0, &theInfo) == S_OK && theInfo);
  BSTR theText = nullptr;
  TL_FUZZ_CHECK(theInfo->GetDescription(&theText) == S_OK);
  TL_FUZZ_CHECK(!BstrToUtf8(theText).empty());
  SysFreeString(theText);
  theInfo->Release();
  return false;
}

// A property's value as the member hands it out, as a number or as text.
template <class Object, class Getter>
LONG LongProperty(Object& inObject, Getter inGetter)
{
  Variant theValue;
  TL_FUZZ_CHECK((inObject.*inGetter)(theValue.Get()) == S_OK && theValue.Type() == VT_I4);
  return theValue->lVal;
}
template <class Object, class Getter>
std::string TextProperty(Object& inObject, Getter inGetter)
{
  Variant theValue;
  TL_FUZZ_CHECK((inObject.*inGetter)(theValue.Get()) == S_OK && theValue.Type() == VT_BSTR);
  return BstrToUtf8(theValue->bstrVal);
}
