#include "platform/automation/ErrorInfo.h"

#include "platform/automation/ComObject.h"

namespace {

class ErrorRecord : public IErrorInfo, public ICreateErrorInfo {
public:
  using Interfaces = InterfaceList<IErrorInfo, ICreateErrorInfo>;

  HRESULT GetGUID(GUID* outGuid) override
  {
    if (!outGuid)
      return E_INVALIDARG;
    *outGuid = mGuid;
    return S_OK;
  }
  HRESULT GetSource(BSTR* outSource) override { return CopyText(mSource, outSource); }
  HRESULT GetDescription(BSTR* outDescription) override { return CopyText(mDescription, outDescription); }
  HRESULT GetHelpFile(BSTR* outHelpFile) override { return CopyText(mHelpFile, outHelpFile); }
  HRESULT GetHelpContext(DWORD* outHelpContext) override
  {
    if (!outHelpContext)
      return E_INVALIDARG;
    *outHelpContext = mHelpContext;
    return S_OK;
  }

  HRESULT SetGUID(REFGUID inGuid) override
  {
    mGuid = inGuid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR inSource) override { return StoreText(inSource, mSource); }
  HRESULT SetDescription(LPOLESTR inDescription) override { return StoreText(inDescription, mDescription); }
  HRESULT SetHelpFile(LPOLESTR inHelpFile) override { return StoreText(inHelpFile, mHelpFile); }
  HRESULT SetHelpContext(DWORD inHelpContext) override
  {
    mHelpContext = inHelpContext;
    return S_OK;
  }

private:
  static HRESULT CopyText(const Bstr& inText, BSTR* outText)
  {
    if (!outText)
      return E_INVALIDARG;
    *outText = nullptr;
    if (!inText.Get())
      return S_OK;
    *outText = SysAllocStringLen(inText.Get(), SysStringLen(inText.Get()));
    return *outText ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT StoreText(LPOLESTR inText, Bstr& outText)
  {
    BSTR theCopy = SysAllocString(inText);
    if (inText && !theCopy)
      return E_OUTOFMEMORY;
    outText.Attach(theCopy);
    return S_OK;
  }

  GUID mGuid{};
  Bstr mSource;
  Bstr mDescription;
  Bstr mHelpFile;
  DWORD mHelpContext = 0;
};

thread_local ComPtr<IErrorInfo> tThreadErrorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** outInfo)
{
  if (!outInfo)
    return E_INVALIDARG;
  *outInfo = nullptr;
  ComPtr<ComObject<ErrorRecord>> theRecord;
  if (HRESULT theResult = ComObject<ErrorRecord>::Create(nullptr, theRecord); FAILED(theResult))
    return theResult;
  *outInfo = static_cast<ICreateErrorInfo*>(theRecord.Detach());
  return S_OK;
}

HRESULT SetErrorInfo(ULONG inReserved, IErrorInfo* inInfo)
{
  if (inReserved != 0)
    return E_INVALIDARG;
  tThreadErrorInfo = ComPtr<IErrorInfo>(inInfo);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG inReserved, IErrorInfo** outInfo)
{
  if (!outInfo || inReserved != 0)
    return E_INVALIDARG;
  *outInfo = tThreadErrorInfo.Detach();
  return *outInfo ? S_OK : S_FALSE;
}

HRESULT SetErrorInfoText(REFIID inIID, std::u16string_view inSource, std::u16string_view inDescription)
{
  ComPtr<ICreateErrorInfo> theCreate;
  if (HRESULT theResult = CreateErrorInfo(theCreate.Receive()); FAILED(theResult))
    return theResult;
  std::u16string theSource(inSource);
  std::u16string theDescription(inDescription);
  theCreate->SetGUID(inIID);
  if (FAILED(theCreate->SetSource(theSource.data())) || FAILED(theCreate->SetDescription(theDescription.data())))
    return E_OUTOFMEMORY;
  ComPtr<IErrorInfo> theInfo;
  if (HRESULT theResult = theCreate.As(theInfo); FAILED(theResult))
    return theResult;
  return SetErrorInfo(0, theInfo.Get());
}
