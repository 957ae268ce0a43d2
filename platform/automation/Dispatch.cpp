#include "platform/automation/Dispatch.h"

#include "platform/base/AsciiCase.h"
#include "platform/base/Numbers.h"
#include "platform/base/SystemText.h"

#include <cstring>
#include <new>

namespace {

bool NameEquals(const char* inName, std::u16string_view inOther)
{
  std::size_t theLength = std::strlen(inName);
  if (theLength != inOther.size())
    return false;
  for (std::size_t i = 0; i < theLength; ++i) {
    // Names in tables are ASCII; any other character never matches.
    if (inOther[i] >= 0x80 || ToLowerAscii(inName[i]) != ToLowerAscii(static_cast<char>(inOther[i])))
      return false;
  }
  return true;
}

// The system's text of a code, without its line end; a made-up text for a
// code the table does not know.
std::u16string SystemDescription(HRESULT inResult)
{
  std::string theText = GetSystemWording(static_cast<DWORD>(inResult));
  if (theText.empty())
    theText = FormatC("Unknown error 0x%08X", static_cast<unsigned>(inResult));
  return Utf8ToUtf16(theText);
}

void FillException(IUnknown* inObject, REFIID inIID, HRESULT inResult, EXCEPINFO& outInfo)
{
  std::memset(&outInfo, 0, sizeof outInfo);
  outInfo.scode = inResult;
  ComPtr<ISupportErrorInfo> theSupport;
  ComPtr<IErrorInfo> theInfo;
  if (inObject && SUCCEEDED(inObject->QueryInterface(IID_ISupportErrorInfo, theSupport.ReceiveVoid())) &&
      theSupport->InterfaceSupportsErrorInfo(inIID) == S_OK && GetErrorInfo(0, theInfo.Receive()) == S_OK &&
      theInfo) {
    theInfo->GetSource(&outInfo.bstrSource);
    theInfo->GetDescription(&outInfo.bstrDescription);
    theInfo->GetHelpFile(&outInfo.bstrHelpFile);
    theInfo->GetHelpContext(&outInfo.dwHelpContext);
    return;
  }
  std::u16string theText = SystemDescription(inResult);
  outInfo.bstrDescription = SysAllocStringLen(theText.data(), static_cast<UINT>(theText.size()));
}

// The VARIANTs of one call: converted arguments and result places, each
// cleared at the end when the frame owns it.
class FrameSlots {
public:
  FrameSlots() { mOwned.fill(false); }
  ~FrameSlots()
  {
    for (int i = 0; i < kMaxParams; ++i)
      if (mOwned[static_cast<std::size_t>(i)])
        VariantClear(&mFrame.Slot(i));
  }
  CallFrame& Frame() { return mFrame; }
  VARIANT& Slot(int inIndex) { return mFrame.Slot(inIndex); }
  void SetOwned(int inIndex, bool inOwned) { mOwned[static_cast<std::size_t>(inIndex)] = inOwned; }

private:
  CallFrame mFrame;
  std::array<bool, kMaxParams> mOwned{};
};

bool IsMissing(const VARIANT& inArg)
{
  return inArg.vt == VT_ERROR && inArg.scode == DISP_E_PARAMNOTFOUND;
}

}  // namespace

void ClearExcepInfo(EXCEPINFO* ioInfo)
{
  if (!ioInfo)
    return;
  SysFreeString(ioInfo->bstrSource);
  SysFreeString(ioInfo->bstrDescription);
  SysFreeString(ioInfo->bstrHelpFile);
  std::memset(ioInfo, 0, sizeof *ioInfo);
}

const DispatchMember* DispatchTable::FindById(DISPID inId) const
{
  for (const DispatchMember& theMember : mMembers)
    if (theMember.mId == inId)
      return &theMember;
  return nullptr;
}

const DispatchMember* DispatchTable::FindByName(std::string_view inName) const
{
  std::u16string theName = Utf8ToUtf16(inName);
  for (const DispatchMember& theMember : mMembers)
    if (NameEquals(theMember.mName, theName))
      return &theMember;
  return nullptr;
}

HRESULT DispatchGetIDsOfNames(const DispatchTable& inTable, LPOLESTR* inNames, UINT inCount, DISPID* outIds)
{
  if (!inNames || !outIds)
    return E_INVALIDARG;
  if (inCount == 0)
    return S_OK;
  HRESULT theResult = S_OK;
  const DispatchMember* theFound = nullptr;
  if (inNames[0]) {
    std::u16string_view theName(inNames[0]);
    for (const DispatchMember& theMember : inTable.mMembers) {
      if (NameEquals(theMember.mName, theName)) {
        theFound = &theMember;
        break;
      }
    }
  }
  outIds[0] = theFound ? theFound->mId : DISPID_UNKNOWN;
  if (!theFound)
    theResult = DISP_E_UNKNOWNNAME;
  // Arguments are passed by position only: parameter names are not known.
  for (UINT i = 1; i < inCount; ++i) {
    outIds[i] = DISPID_UNKNOWN;
    theResult = DISP_E_UNKNOWNNAME;
  }
  return theResult;
}

HRESULT DispatchInvoke(const DispatchTable& inTable, void* inInterface, IUnknown* inObject, DISPID inMember,
                       WORD inFlags, DISPPARAMS* ioParams, VARIANT* outResult, EXCEPINFO* outException,
                       UINT* outArgError)
{
  DISPPARAMS theNoParams{nullptr, nullptr, 0, 0};
  DISPPARAMS& theParams = ioParams ? *ioParams : theNoParams;
  if (theParams.cArgs > 0 && !theParams.rgvarg)
    return E_INVALIDARG;

  const DispatchMember* theMember = inTable.FindById(inMember);
  if (!theMember)
    return DISP_E_MEMBERNOTFOUND;
  const Signature* theSignature = nullptr;
  bool theIsPut = false;
  if (inFlags & DISPATCH_PROPERTYPUT) {
    if (theMember->mKind == MemberKind::kProperty && theMember->mPut.mCall) {
      theSignature = &theMember->mPut;
      theIsPut = true;
    }
  } else if (theMember->mKind == MemberKind::kMethod && (inFlags & DISPATCH_METHOD)) {
    theSignature = &theMember->mMethod;
  } else if (theMember->mKind == MemberKind::kProperty && (inFlags & DISPATCH_PROPERTYGET) &&
             theMember->mGet.mCall) {
    theSignature = &theMember->mGet;
  }
  if (!theSignature)
    return DISP_E_MEMBERNOTFOUND;

  if (theIsPut) {
    if (theParams.cNamedArgs != 1 || !theParams.rgdispidNamedArgs ||
        theParams.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return theParams.cNamedArgs == 0 ? DISP_E_PARAMNOTFOUND : DISP_E_NONAMEDARGS;
    if (theParams.cArgs < 1)
      return DISP_E_BADPARAMCOUNT;
  } else if (theParams.cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }

  // Positional argument k sits at rgvarg[cArgs - 1 - k]; a put's value, the
  // named argument, at rgvarg[0].
  const int theCount = theSignature->mCount;
  const int thePositional = static_cast<int>(theParams.cArgs) - (theIsPut ? 1 : 0);
  int theCallable = theIsPut ? theCount - 1 : theCount;
  if (theCount > 0 && theSignature->mParams[static_cast<std::size_t>(theCount - 1)].mMode == ParamMode::kRetval)
    --theCallable;
  if (thePositional > theCallable)
    return DISP_E_BADPARAMCOUNT;

  FrameSlots theSlots;
  std::array<VARIANT*, kMaxParams> theOutTargets{};
  for (int k = 0; k < theCount; ++k) {
    const ParamInfo& theParam = theSignature->mParams[static_cast<std::size_t>(k)];
    VARIANT& theSlot = theSlots.Slot(k);
    VariantInit(&theSlot);
    bool theIsValue = theIsPut && k == theCount - 1;
    UINT theIndex = theIsValue ? 0 : static_cast<UINT>(theParams.cArgs - 1 - static_cast<UINT>(k));
    VARIANT* theArg = (theIsValue || k < thePositional) ? &theParams.rgvarg[theIndex] : nullptr;
    bool theMissing = !theArg || IsMissing(*theArg);

    switch (theParam.mMode) {
    case ParamMode::kIn:
      if (theMissing)
        return theArg ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
      if (theParam.mType == VT_VARIANT) {
        theSlot = *theArg;  // as the caller gave it, owned by the caller
      } else {
        HRESULT theResult = VariantChangeType(&theSlot, theArg, 0, theParam.mType);
        if (FAILED(theResult)) {
          if (outArgError)
            *outArgError = theIndex;
          return theResult;
        }
        theSlots.SetOwned(k, true);
      }
      break;
    case ParamMode::kOptional:
      if (theMissing) {
        theSlot.vt = VT_ERROR;
        theSlot.scode = DISP_E_PARAMNOTFOUND;
      } else {
        theSlot = *theArg;
      }
      break;
    case ParamMode::kOut:
      if (!theMissing) {
        if (theArg->vt != (VT_BYREF | VT_VARIANT) || !theArg->pvarVal) {
          if (outArgError)
            *outArgError = theIndex;
          return DISP_E_TYPEMISMATCH;
        }
        theOutTargets[static_cast<std::size_t>(k)] = theArg->pvarVal;
      }
      [[fallthrough]];
    case ParamMode::kRetval:
      // A typed result place; a VARIANT result starts EMPTY.
      theSlot.vt = theParam.mType == VT_VARIANT ? VARTYPE{VT_EMPTY} : theParam.mType;
      theSlots.SetOwned(k, true);
      break;
    }
  }

  SetErrorInfo(0, nullptr);
  HRESULT theResult = S_OK;
  try {
    theResult = theSignature->mCall(inInterface, theSlots.Frame());
  } catch (const std::bad_alloc&) {
    theResult = E_OUTOFMEMORY;
  } catch (...) {
    theResult = E_UNEXPECTED;
  }

  if (FAILED(theResult)) {
    if (!outException)
      return theResult;
    FillException(inObject, *inTable.mIID, theResult, *outException);
    return DISP_E_EXCEPTION;
  }

  for (int k = 0; k < theCount; ++k) {
    const ParamInfo& theParam = theSignature->mParams[static_cast<std::size_t>(k)];
    VARIANT* theTarget = theOutTargets[static_cast<std::size_t>(k)];
    if (theParam.mMode == ParamMode::kRetval && outResult)
      theTarget = outResult;
    if (!theTarget || (theParam.mMode != ParamMode::kOut && theParam.mMode != ParamMode::kRetval))
      continue;
    VariantClear(theTarget);
    *theTarget = theSlots.Slot(k);
    theSlots.SetOwned(k, false);
  }
  return theResult;
}
