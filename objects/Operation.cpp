#include "objects/Operation.h"

#include "core/Bitmap.h"
#include "core/CanvasLog.h"
#include "core/EventLog.h"
#include "core/Preferences.h"
#include "core/SException.h"
#include "core/Utilities.h"
#include "platform/automation/ComError.h"
#include "platform/base/LastError.h"

#include <cxxabi.h>

#include <algorithm>
#include <exception>

namespace {

constexpr const char* kPasswordKeyword = "password";
constexpr const char* kHiddenValue = "****";

// inText with each of inRanges replaced by kHiddenValue.
std::string HideRanges(std::string_view inText, const ParameterParser::Ranges& inRanges)
{
  std::string theShown;
  std::size_t theNext = 0;
  for (const auto& [theFirst, theEnd] : inRanges) {
    theShown.append(inText.substr(theNext, theFirst - theNext));
    theShown += kHiddenValue;
    theNext = theEnd;
  }
  theShown.append(inText.substr(theNext));
  return theShown;
}

// "Width=64 Height=64 Depth=32 Buffer=5": what every operation's description
// tells of its canvas.
std::string CanvasFigures(Bitmap& inWorld)
{
  std::string theText = "Width=";
  AppendDecimal(theText, inWorld.GetWidth());
  theText += " Height=";
  AppendDecimal(theText, inWorld.GetHeight());
  theText += " Depth=";
  AppendDecimal(theText, inWorld.GetDepth());
  theText += " Buffer=";
  AppendDecimal(theText, HandleToNumber(inWorld.GetHBITMAP()));
  return theText;
}

}  // namespace

Operation::Operation(const char* inLabel)
{
  try {
    mDescription = inLabel;
    mParams = std::make_unique<Parameters>();
    mError = std::make_unique<Error>();
    mOpLog.SetType(inLabel);
  } catch (const std::exception&) {
    // A member not made stays null; Run then reports the missing error object.
  }
}

Operation::~Operation()
{
  mOpLog.Finish();
}

void Operation::AddLogParam(const char* inName, const char* inValue)
{
  mDescription += ' ';
  mDescription += inName;
  mDescription += "={";
  mDescription += inValue;
  mDescription += '}';
}

LONG Operation::SetParameters(std::string_view inText)
{
  const ParameterParser::Ranges thePasswords = ParameterParser::FindValueRanges(inText, kPasswordKeyword);
  AddLogParam("Parameters", ShowNul(HideRanges(inText, thePasswords)).c_str());
  if (!mParams)
    return ParameterParser::kNoError;
  // An error recorded before (a setter's keyword) stops the parse and stays.
  const bool theEarlierError = mParams->GetErrorCode() != ParameterParser::kNoError;
  const LONG theResult = mParams->Parse(inText);
  if (theResult != ParameterParser::kNoError && !theEarlierError && !thePasswords.empty()) {
    // The parser quotes the text around a fault: take its words from a copy
    // that reads the same without the passwords.
    Parameters theMasked;
    theMasked.Parse(ParameterParser::MaskRanges(inText, thePasswords));
    mParams->SetError(theMasked.GetErrorCode(), theMasked.GetErrorContext().c_str());
  }
  return theResult;
}

void Operation::Run(Bitmap& inWorld, CanvasLog* inLog)
{
  TL_ASSERT(mError);
  if (!mError)
    return;
  // Ends the impersonation on every way out of the guard, before a handler
  // logs anything.
  struct RevertOnExit {
    Operation& mOperation;
    ~RevertOnExit() { mOperation.Revert(); }
  };
  try {
    RevertOnExit theRevert{*this};
    GuardedCall(TranslateSystemException, [&] { RunGuarded(inWorld, inLog); });
  } catch (const _com_error& theError) {
    mError->mHResultCode = theError.Error();
  } catch (SException& theFault) {
    mError->AddMessage(theFault.Describe());
    LogFatalEvent(mError->GetText().c_str(), EVENTLOG_ERROR_TYPE);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    mError->AddMessage("Unknown exception thrown");
  }
}

void Operation::RunGuarded(Bitmap& inWorld, CanvasLog* inLog)
{
  // A fault in the work skips this frame: nothing it owns may live across
  // the work.
  AddLogParam("Canvas", CanvasFigures(inWorld).c_str());
  mError->AddContext(mDescription);
  if (!mParams) {
    mError->mWindowsCode = ERROR_NOT_ENOUGH_MEMORY;
    return;
  }
  if (std::string theParseError; mParams->GetErrorText(theParseError))
    mError->AddMessage(theParseError);
  if (mError->HasError())
    return;
  mRect = mParams->GetRect();
  Impersonate(mParams->User, mParams->Password, mParams->Domain);
  if (!mError->HasError()) {
    SetLastError(0);
    static_cast<void>(DoIt(inWorld));
    Revert();
  }
  if (inLog) {
    inLog->NoteMemory(static_cast<DWORD>(std::min<LONGLONG>(inWorld.GetDataSize(), 0xFFFFFFFF)));
    mOpLog.SetCanvasID(inLog->GetID());
  }
}

void Operation::Impersonate(const std::string& inName, const std::string& inPass, const std::string& inDomain)
{
  if (!mCanImpersonate || inName.empty())
    return;
  if (GetPrefLong("EnableImpersonation", 0) == 0) {
    mError->AddMessage("Impersonation is not currently enabled.");
    return;
  }
  mImpersonating = mImpersonator.Impersonate(inName.c_str(), inPass.c_str(), inDomain.c_str());
  if (!mImpersonating)
    ReportImpersonationFailure();
}

void Operation::Revert()
{
  if (mImpersonating)
    mImpersonator.Revert();
  mImpersonating = false;
}

void Operation::ReportImpersonationFailure()
{
  if (const DWORD theCode = GetLastError(); theCode != 0)
    mError->mWindowsCode = static_cast<LONG>(theCode);
  mError->AddMessage("Unable to impersonate user.");
  std::string theName;
  std::string theDomain;
  bool theIsProcess = true;
  if (!Impersonator::GetCurrentAccount(theName, theDomain, theIsProcess)) {
    mError->AddMessage("Unable to get current client name");
    return;
  }
  mError->AddMessage(theIsProcess ? " Current client process running as '" : " Current client thread running as '");
  mError->AddMessage(theName);
  mError->AddMessage("' on '");
  mError->AddMessage(theDomain);
  mError->AddMessage("'.");
}
