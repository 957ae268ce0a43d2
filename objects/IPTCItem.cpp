#include "objects/IPTCItem.h"

#include "core/Utilities.h"

namespace {

HRESULT SetText(BSTR* outValue, std::string_view inText)
{
  *outValue = Utf8ToBstr(inText);
  return *outValue ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

IPTCItem::IPTCItem(LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData, LONG inLength)
    : mRecord(inRecord), mDataSet(inDataSet), mName(inName ? inName : "")
{
  if (inData && inLength > 0)
    mData.assign(reinterpret_cast<const char*>(inData), static_cast<std::size_t>(inLength));
}

HRESULT IPTCItem::get_DataSet(LONG* outValue)
{
  return MethodFrame(kIPTCItemReporter, [&] {
    if (!outValue)
      return E_POINTER;
    *outValue = mRecord;
    return S_OK;
  });
}

HRESULT IPTCItem::get_Record(LONG* outValue)
{
  return MethodFrame(kIPTCItemReporter, [&] {
    if (!outValue)
      return E_POINTER;
    *outValue = mDataSet;
    return S_OK;
  });
}

HRESULT IPTCItem::get_Name(BSTR* outValue)
{
  return MethodFrame(kIPTCItemReporter, [&] {
    if (!outValue)
      return E_POINTER;
    return SetText(outValue, mName);
  });
}

HRESULT IPTCItem::get_Text(BSTR* outValue)
{
  return MethodFrame(kIPTCItemReporter, [&] {
    if (!outValue)
      return E_POINTER;
    return SetText(outValue, mData.c_str());
  });
}

HRESULT IPTCItem::get_Data(VARIANT* outValue)
{
  return MethodFrame(kIPTCItemReporter, [&] {
    if (!outValue)
      return E_POINTER;
    VariantInit(outValue);
    if (mData.empty())
      return S_OK;
    return PtrToVARIANT(mData.data(), static_cast<DWORD>(mData.size()), outValue);
  });
}
