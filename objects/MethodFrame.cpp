#include "objects/MethodFrame.h"

#include "core/Error.h"
#include "core/EventLog.h"
#include "core/Preferences.h"
#include "core/SException.h"
#include "core/Utilities.h"
#include "platform/automation/Activation.h"
#include "platform/automation/ComError.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"

#include <cxxabi.h>

#include <cstring>

namespace {

// The most of a refused text its message shows, in bytes.
constexpr std::size_t kMaxRefusedText = 255;

// The file's name without its folder: the unit a fault message names.
const char* FileName(const char* inPath)
{
  const char* theSlash = std::strrchr(inPath, '/');
  return theSlash ? theSlash + 1 : inPath;
}

}  // namespace

HRESULT ErrorReporter::ReportError(std::string_view inText, HRESULT inResult) const
{
  const std::string theText(inText);
  if (GetPrefLong("LogErrors", 0) != 0)
    LogEvent("%s", EVENTLOG_WARNING_TYPE, theText.c_str());
  SetErrorInfoText(mInterfaceId, Utf8ToUtf16(ProgIdOfClass(mClassId)), Utf8ToUtf16(theText));
  return inResult;
}

HRESULT ErrorReporter::ReportSetPropertyError(const char* inLabel, const VARIANT& inValue, LONG inQuickTimeCode,
                                              LONG inWindowsCode) const
{
  Error theError;
  theError.SetPropertyFailed(inLabel, ShowNul(VariantWholeText(inValue)), inQuickTimeCode, inWindowsCode);
  return ReportError(theError.GetText(), E_FAIL);
}

HRESULT ErrorReporter::ReportGetPropertyError(const char* inLabel, LONG inQuickTimeCode, LONG inWindowsCode) const
{
  Error theError;
  theError.GetPropertyFailed(inLabel, inQuickTimeCode, inWindowsCode);
  return ReportError(theError.GetText(), E_FAIL);
}

HRESULT ErrorReporter::ReportException(const std::source_location& inWhere) const
{
  try {
    throw;
  } catch (const _com_error& theError) {
    return ReportError(theError.ErrorMessage(), E_FAIL);
  } catch (const RefusedText& theRefusal) {
    return ReportError(theRefusal.GetText(), E_FAIL);
  } catch (SException& theFault) {
    const std::string theMessage =
        theFault.GetMessage(FileName(inWhere.file_name()), static_cast<LONG>(inWhere.line()));
    LogFatalEvent(theMessage.c_str(), EVENTLOG_ERROR_TYPE);
    return ReportError(theMessage, E_FAIL);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    return ReportError("Unknown exception thrown", E_FAIL);
  }
}

std::string WithoutNul(std::string inText, const char* inWhat)
{
  const std::size_t theNul = inText.find('\0');
  if (theNul == std::string::npos)
    return inText;
  throw RefusedText(FormatC("%s holds a NUL character at character %d \"%s\"", inWhat, static_cast<int>(theNul),
                            std::string(utf8::Cut(ShowNul(inText), kMaxRefusedText)).c_str()));
}

std::string VariantText(const VARIANT& inValue, const char* inWhat)
{
  return WithoutNul(VariantWholeText(inValue), inWhat);
}

std::string VariantWholeText(const VARIANT& inValue)
{
  const VARIANT* theValue = VariantDeref(&inValue);
  Variant theConverted;
  if (theValue->vt != VT_BSTR) {
    if (HRESULT theResult = VariantChangeType(theConverted.Get(), theValue, 0, VT_BSTR); FAILED(theResult))
      throw _com_error(theResult);
    theValue = theConverted.Get();
  }
  return BstrToUtf8(theValue->bstrVal);
}

LONG VariantLong(const VARIANT& inValue)
{
  Variant theConverted;
  if (HRESULT theResult = VariantChangeType(theConverted.Get(), VariantDeref(&inValue), 0, VT_I4); FAILED(theResult))
    throw _com_error(theResult);
  return theConverted->lVal;
}

void SetTextResult(VARIANT* outValue, std::string_view inText)
{
  BSTR theText = Utf8ToBstr(inText);
  if (!theText)
    throw _com_error(E_OUTOFMEMORY);
  VariantInit(outValue);
  outValue->vt = VT_BSTR;
  outValue->bstrVal = theText;
}

void SetLongResult(VARIANT* outValue, LONG inValue)
{
  VariantInit(outValue);
  outValue->vt = VT_I4;
  outValue->lVal = inValue;
}

void SetBoolResult(VARIANT* outValue, bool inValue)
{
  VariantInit(outValue);
  outValue->vt = VT_BOOL;
  outValue->boolVal = inValue ? VARIANT_TRUE : VARIANT_FALSE;
}
