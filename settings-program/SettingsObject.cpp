#include "settings-program/SettingsObject.h"

#include "platform/automation/Activation.h"

SettingsObject::SettingsObject()
{
  if (FAILED(CreateObjectFromProgID("TLUtilities4.Settings", IID_IDispatch, mObject.ReceiveVoid())))
    mObject.Reset();
}

std::optional<std::string> SettingsObject::GetText(std::string_view inName)
{
  Variant theValue;
  if (!Get(inName, VT_BSTR, theValue))
    return std::nullopt;
  return BstrToUtf8(theValue->bstrVal);
}

std::optional<bool> SettingsObject::GetSwitch(std::string_view inName)
{
  Variant theValue;
  if (!Get(inName, VT_BOOL, theValue))
    return std::nullopt;
  return theValue->boolVal != VARIANT_FALSE;
}

bool SettingsObject::PutText(std::string_view inName, std::string_view inText)
{
  Variant theValue(inText);
  if (!theValue->bstrVal && !inText.empty())
    return false;
  return Put(inName, theValue);
}

bool SettingsObject::PutSwitch(std::string_view inName, bool inValue)
{
  Variant theValue;
  theValue.Set(VT_I2).iVal = inValue ? 1 : 0;
  return Put(inName, theValue);
}

bool SettingsObject::Get(std::string_view inName, VARTYPE inType, Variant& outValue)
{
  DISPID theId = DISPID_UNKNOWN;
  if (!IdOf(inName, theId))
    return false;
  DISPPARAMS theParams{nullptr, nullptr, 0, 0};
  EXCEPINFO theException{};
  HRESULT theResult = mObject->Invoke(theId, IID_NULL, 0, DISPATCH_PROPERTYGET, &theParams, outValue.Receive(),
                                      &theException, nullptr);
  ClearExcepInfo(&theException);
  return SUCCEEDED(theResult) && SUCCEEDED(VariantChangeType(outValue.Get(), outValue.Get(), 0, inType));
}

bool SettingsObject::Put(std::string_view inName, Variant& inValue)
{
  DISPID theId = DISPID_UNKNOWN;
  if (!IdOf(inName, theId))
    return false;
  DISPID theNamed = DISPID_PROPERTYPUT;
  DISPPARAMS theParams{inValue.Get(), &theNamed, 1, 1};
  EXCEPINFO theException{};
  HRESULT theResult =
      mObject->Invoke(theId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &theParams, nullptr, &theException, nullptr);
  ClearExcepInfo(&theException);
  return SUCCEEDED(theResult);
}

bool SettingsObject::IdOf(std::string_view inName, DISPID& outId)
{
  if (!mObject)
    return false;
  std::u16string theName = Utf8ToUtf16(inName);
  LPOLESTR theNames[] = {theName.data()};
  return SUCCEEDED(mObject->GetIDsOfNames(IID_NULL, theNames, 1, 0, &outId));
}
