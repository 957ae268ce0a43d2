#include "settings-component/Settings.h"

#include "core/EventLog.h"
#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "core/SException.h"
#include "core/SystemUtilities.h"
#include "core/TimedLog.h"
#include "platform/base/Numbers.h"
#include "platform/base/WinError.h"

#include <cinttypes>
#include <cstring>
#include <string_view>

namespace {

// More exporters than this make a full installation.
constexpr LONG kIncompleteExporterCount = 5;
constexpr DWORD kDirectoryRoom = 256;

consteval const Preference& PreferenceNamed(std::string_view inName)
{
  for (const Preference& thePreference : kPreferences)
    if (inName == thePreference.mName)
      return thePreference;
  throw "no preference of that name";
}

HRESULT GetBoolean(const char* inName, LONG inDefault, VARIANT_BOOL* outValue)
{
  if (!outValue)
    return E_POINTER;
  *outValue = GetPrefLong(inName, inDefault) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT GetBoolean(const Preference& inPreference, VARIANT_BOOL* outValue)
{
  return GetBoolean(inPreference.mName, inPreference.mDefault, outValue);
}

// A put the registry refused (the store is its owner's to change) answers the
// registry's error, and has stored nothing.
HRESULT PutResult(LONG inStatus)
{
  return inStatus == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(inStatus));
}

HRESULT PutBoolean(const Preference& inPreference, VARIANT_BOOL inValue)
{
  return PutResult(SetPrefLong(inPreference.mName, inValue != 0 ? 1 : 0));
}

HRESULT GetNumber(const Preference& inPreference, LONG* outValue)
{
  if (!outValue)
    return E_POINTER;
  *outValue = GetPrefLong(inPreference.mName, inPreference.mDefault);
  return S_OK;
}

HRESULT PutNumber(const Preference& inPreference, LONG inValue)
{
  return PutResult(SetPrefLong(inPreference.mName, inValue));
}

HRESULT GiveText(const std::string& inText, VARIANT* outValue)
{
  if (!outValue)
    return E_POINTER;
  BSTR theText = Utf8ToBstr(inText);
  if (!theText)
    return E_OUTOFMEMORY;
  outValue->vt = VT_BSTR;
  outValue->bstrVal = theText;
  return S_OK;
}

// The text of any value that converts to one, up to its first NUL.
HRESULT TextOf(const VARIANT& inValue, std::string& outText)
{
  const VARIANT* theValue = VariantDeref(&inValue);
  Variant theConverted;
  if (theValue->vt != VT_BSTR) {
    if (HRESULT theResult = VariantChangeType(theConverted.Get(), theValue, 0, VT_BSTR); FAILED(theResult))
      return theResult;
    theValue = theConverted.Get();
  }
  outText = BstrToUtf8(theValue->bstrVal);
  outText.resize(std::strlen(outText.c_str()));
  return S_OK;
}

std::string QuickTimeReport()
{
  OSErr theErr = StartQuickTime();
  LONG theMajor = 0;
  LONG theMinor = 0;
  LONG theBugFix = 0;
  LONG theExporters = 0;
  if (theErr == kQTNoErr) {
    theErr = QueryQuickTimeVersion(theMajor, theMinor, theBugFix);
    if (theErr == kQTNoErr)
      theErr = GetExporterInfo(-1, nullptr, nullptr, &theExporters);
    StopQuickTime(kQTNoErr);
  }
  if (theErr != kQTNoErr)
    return FormatC("QuickTime Not Installed (%" PRId32 ")", static_cast<std::int32_t>(theErr));
  const char* theFormat = theExporters > kIncompleteExporterCount
                              ? "QuickTime %" PRId32 ".%" PRId32 ".%" PRId32 " Full Installation"
                              : "QuickTime %" PRId32 ".%" PRId32 ".%" PRId32 " Incomplete Install";
  return FormatC(theFormat, theMajor, theMinor, theBugFix);
}

// The frame every member runs in, as the graphics library's method frames: a
// hardware fault inside (a QuickTime library whose entries point nowhere)
// becomes an SException, which goes to the event log as a fatal event (the
// process ends there unless the preference AutoRecover is on), and the call
// fails with E_FAIL.
template <class Body>
HRESULT SettingsFrame(Body&& inBody)
{
  try {
    return GuardedCall(TranslateSystemException, inBody);
  } catch (SException& theFault) {
    LogFatalEvent(theFault.GetMessage(__FILE_NAME__, __LINE__).c_str(), EVENTLOG_ERROR_TYPE);
    return E_FAIL;
  }
}

}  // namespace

HRESULT Settings::get_QuickTime(VARIANT* outValue)
{
  return SettingsFrame([&] {
    if (!outValue)
      return E_POINTER;
    return GiveText(QuickTimeReport(), outValue);
  });
}

HRESULT Settings::get_LogErrors(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("LogErrors"), outValue);
  });
}

HRESULT Settings::put_LogErrors(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("LogErrors"), inValue);
  });
}

HRESULT Settings::get_MaxSize(LONG* outValue)
{
  return SettingsFrame([&] {
    return GetNumber(PreferenceNamed("MaxSize"), outValue);
  });
}

HRESULT Settings::put_MaxSize(LONG inValue)
{
  return SettingsFrame([&] {
    return PutNumber(PreferenceNamed("MaxSize"), inValue);
  });
}

HRESULT Settings::get_EnableImpersonation(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("EnableImpersonation"), outValue);
  });
}

HRESULT Settings::put_EnableImpersonation(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("EnableImpersonation"), inValue);
  });
}

HRESULT Settings::get_AutoRecover(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    // On by default everywhere but on Windows 2000 and the NT 5 systems.
    return GetBoolean("AutoRecover", GetOSKind() < kOSNT5 ? 1 : 0, outValue);
  });
}

HRESULT Settings::put_AutoRecover(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("AutoRecover"), inValue);
  });
}

HRESULT Settings::get_IJLImport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IJLImport"), outValue);
  });
}

HRESULT Settings::put_IJLImport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IJLImport"), inValue);
  });
}

HRESULT Settings::get_IJLExport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IJLExport"), outValue);
  });
}

HRESULT Settings::put_IJLExport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IJLExport"), inValue);
  });
}

HRESULT Settings::get_IMImport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IMImport"), outValue);
  });
}

HRESULT Settings::put_IMImport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IMImport"), inValue);
  });
}

HRESULT Settings::get_IMExport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IMExport"), outValue);
  });
}

HRESULT Settings::put_IMExport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IMExport"), inValue);
  });
}

HRESULT Settings::get_IMInfo(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IMInfo"), outValue);
  });
}

HRESULT Settings::put_IMInfo(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IMInfo"), inValue);
  });
}

HRESULT Settings::get_QTLoad(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("UseQuickTime"), outValue);
  });
}

HRESULT Settings::put_QTLoad(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("UseQuickTime"), inValue);
  });
}

HRESULT Settings::get_QTUnload(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("UnloadQuickTime"), outValue);
  });
}

HRESULT Settings::put_QTUnload(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("UnloadQuickTime"), inValue);
  });
}

HRESULT Settings::get_QTUnloadPeriod(LONG* outValue)
{
  return SettingsFrame([&] {
    return GetNumber(PreferenceNamed("UnloadQuickTimePeriod"), outValue);
  });
}

HRESULT Settings::put_QTUnloadPeriod(LONG inValue)
{
  return SettingsFrame([&] {
    return PutNumber(PreferenceNamed("UnloadQuickTimePeriod"), inValue);
  });
}

HRESULT Settings::get_QTImport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTImport"), outValue);
  });
}

HRESULT Settings::put_QTImport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTImport"), inValue);
  });
}

HRESULT Settings::get_QTExport(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTExport"), outValue);
  });
}

HRESULT Settings::put_QTExport(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTExport"), inValue);
  });
}

HRESULT Settings::get_QTInfo(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTInfo"), outValue);
  });
}

HRESULT Settings::put_QTInfo(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTInfo"), inValue);
  });
}

HRESULT Settings::get_QTMemoryIP(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTMemoryIP"), outValue);
  });
}

HRESULT Settings::put_QTMemoryIP(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTMemoryIP"), inValue);
  });
}

HRESULT Settings::get_QTMemoryOP(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTMemoryOP"), outValue);
  });
}

HRESULT Settings::put_QTMemoryOP(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTMemoryOP"), inValue);
  });
}

HRESULT Settings::get_QTImportMovies(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTImportMovies"), outValue);
  });
}

HRESULT Settings::put_QTImportMovies(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTImportMovies"), inValue);
  });
}

HRESULT Settings::get_QTImportMPEG(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTImportMPEG"), outValue);
  });
}

HRESULT Settings::put_QTImportMPEG(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTImportMPEG"), inValue);
  });
}

HRESULT Settings::get_QTInfoMovies(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("QTInfoMovies"), outValue);
  });
}

HRESULT Settings::put_QTInfoMovies(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("QTInfoMovies"), inValue);
  });
}

HRESULT Settings::get_IPLTransform(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("IPLTransform"), outValue);
  });
}

HRESULT Settings::put_IPLTransform(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("IPLTransform"), inValue);
  });
}

HRESULT Settings::get_LogOperations(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("LogOperations"), outValue);
  });
}

HRESULT Settings::put_LogOperations(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("LogOperations"), inValue);
  });
}

HRESULT Settings::get_MaxOperationTime(LONG* outValue)
{
  return SettingsFrame([&] {
    return GetNumber(PreferenceNamed("MaxOperationTime"), outValue);
  });
}

HRESULT Settings::put_MaxOperationTime(LONG inValue)
{
  return SettingsFrame([&] {
    return PutNumber(PreferenceNamed("MaxOperationTime"), inValue);
  });
}

HRESULT Settings::get_LogDirectory(VARIANT* outValue)
{
  return SettingsFrame([&] {
    if (!outValue)
      return E_POINTER;
    return GiveText(GetLogDirectory(), outValue);
  });
}

HRESULT Settings::put_LogDirectory(VARIANT inValue)
{
  return SettingsFrame([&] {
    std::string theText;
    if (HRESULT theResult = TextOf(inValue, theText); FAILED(theResult))
      return theResult;
    return PutResult(SetLogDirectory(theText.c_str()));
  });
}

HRESULT Settings::get_LogMaxFileSize(LONG* outValue)
{
  return SettingsFrame([&] {
    return GetNumber(PreferenceNamed("LogMaxFileSize"), outValue);
  });
}

HRESULT Settings::put_LogMaxFileSize(LONG inValue)
{
  return SettingsFrame([&] {
    return PutNumber(PreferenceNamed("LogMaxFileSize"), inValue);
  });
}

HRESULT Settings::get_LittleCMS(VARIANT_BOOL* outValue)
{
  return SettingsFrame([&] {
    return GetBoolean(PreferenceNamed("LittleCMS"), outValue);
  });
}

HRESULT Settings::put_LittleCMS(VARIANT_BOOL inValue)
{
  return SettingsFrame([&] {
    return PutBoolean(PreferenceNamed("LittleCMS"), inValue);
  });
}

HRESULT Settings::get_ColorProfileDirectory(VARIANT* outValue)
{
  return SettingsFrame([&] {
    if (!outValue)
      return E_POINTER;
    return GiveText(GetPrefDirectory("ColorProfileDirectory", "", kDirectoryRoom), outValue);
  });
}

HRESULT Settings::put_ColorProfileDirectory(VARIANT inValue)
{
  return SettingsFrame([&] {
    std::string theText;
    if (HRESULT theResult = TextOf(inValue, theText); FAILED(theResult))
      return theResult;
    return PutResult(SetPrefString("ColorProfileDirectory", theText.data(), static_cast<DWORD>(theText.size())));
  });
}
