#pragma once
// Error info: the description of the last failure, kept per thread.
//
// A member that fails sets it (CreateErrorInfo, fill in, SetErrorInfo; or
// SetErrorInfoText) and returns its HRESULT; Invoke clears it before each
// call and reads it after a failure when the object's ISupportErrorInfo says
// the interface reports it. GetErrorInfo hands the thread's error info to the
// caller and clears it. It lives in libtlplatform.so, so error info set in a
// server is seen by the host.

#include "platform/automation/Bstr.h"
#include "platform/automation/Unknown.h"

struct IErrorInfo : IUnknown {
  static constexpr IID kIID = TL_GUID("1CF2B120-547D-101B-8E65-08002B2BD119");
  virtual HRESULT GetGUID(GUID* outGuid) = 0;
  virtual HRESULT GetSource(BSTR* outSource) = 0;
  virtual HRESULT GetDescription(BSTR* outDescription) = 0;
  virtual HRESULT GetHelpFile(BSTR* outHelpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* outHelpContext) = 0;

protected:
  ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
  static constexpr IID kIID = TL_GUID("22F03340-547D-101B-8E65-08002B2BD119");
  virtual HRESULT SetGUID(REFGUID inGuid) = 0;
  virtual HRESULT SetSource(LPOLESTR inSource) = 0;
  virtual HRESULT SetDescription(LPOLESTR inDescription) = 0;
  virtual HRESULT SetHelpFile(LPOLESTR inHelpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD inHelpContext) = 0;

protected:
  ~ICreateErrorInfo() = default;
};

struct ISupportErrorInfo : IUnknown {
  static constexpr IID kIID = TL_GUID("DF0B3D60-548F-101B-8E65-08002B2BD119");
  // S_OK when the interface reports its failures through error info, else S_FALSE.
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID inIID) = 0;

protected:
  ~ISupportErrorInfo() = default;
};

inline constexpr IID IID_IErrorInfo = IErrorInfo::kIID;
inline constexpr IID IID_ICreateErrorInfo = ICreateErrorInfo::kIID;
inline constexpr IID IID_ISupportErrorInfo = ISupportErrorInfo::kIID;

// A new, empty error info object (it also answers IErrorInfo).
HRESULT CreateErrorInfo(ICreateErrorInfo** outInfo);
// inReserved must be 0. A null inInfo clears the thread's error info.
HRESULT SetErrorInfo(ULONG inReserved, IErrorInfo* inInfo);
// S_FALSE with a null *outInfo when the thread has none.
HRESULT GetErrorInfo(ULONG inReserved, IErrorInfo** outInfo);

// Sets the thread's error info: the interface, the source (a ProgID) and the
// description, no help file, help context 0. S_OK, or E_OUTOFMEMORY.
HRESULT SetErrorInfoText(REFIID inIID, std::u16string_view inSource, std::u16string_view inDescription);

// ISupportErrorInfo answering S_OK for the interfaces I... and S_FALSE for any
// other. A server class derives from it beside its DispatchImpl.
template <class... I>
class SupportErrorInfo : public ISupportErrorInfo {
public:
  HRESULT InterfaceSupportsErrorInfo(REFIID inIID) override
  {
    return ((inIID == IIDOf<I>()) || ...) ? S_OK : S_FALSE;
  }

protected:
  ~SupportErrorInfo() = default;
};
