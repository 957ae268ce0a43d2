#include "objects/Gestalt.h"

#include "core/Error.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/FontNames.h"
#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "core/QTClasses.h"
#include "core/QTUtils.h"
#include "core/Utilities.h"
#include "objects/ByteArrayAccess.h"
#include "objects/ClassTable.h"
#include "objects/Exporters.h"
#include "objects/Fonts.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <string>
#include <vector>

namespace {

constexpr char kVersion[] = "4.0.5";

// Byte arrays count their bytes in a signed 32-bit number.
constexpr DWORD kMaxByteArray = 0x7FFFFFFF;

// The thread's last error after a failed file call; 0 is an assertion.
LONG LastWindowsError()
{
  const LONG theError = static_cast<LONG>(GetLastError());
  TL_ASSERT_TEXT(theError != 0, "winErr");
  return theError;
}

// "Do <inName> <inPath>" with the Windows error inCode, E_FAIL.
HRESULT ReportFileFailure(const char* inName, const std::string& inPath, LONG inCode)
{
  Error theError;
  theError.MethodFailed(inName, inPath, 0, inCode);
  return kGestaltReporter.ReportError(theError.GetText(), E_FAIL);
}

// Appends the texts in order; the first failure ends it.
template <class Collection>
HRESULT AddTexts(Collection& ioList, const std::vector<std::string>& inTexts)
{
  for (const std::string& theText : inTexts)
    if (HRESULT theResult = ioList.Add(theText); FAILED(theResult))
      return theResult;
  return S_OK;
}

// Appends every description of inList in its order; the first failure ends it.
HRESULT AddFormats(Exporters& ioExporters, FormatList& inList)
{
  std::string theText;
  for (LONG theIndex = 0; theIndex < inList.GetCount(); ++theIndex) {
    inList.GetDescription(theIndex, theText);
    if (HRESULT theResult = ioExporters.Add(theText); FAILED(theResult))
      return theResult;
  }
  return S_OK;
}

// A new collection T, filled by inFill (which answers an HRESULT), handed out
// as IDispatch; any failure is the get-property error inLabel with the
// HRESULT as the Windows code, and the half-filled collection goes.
template <class T, class Fill>
HRESULT HandOutCollection(const char* inLabel, IDispatch** outList, Fill&& inFill)
{
  if (!outList)
    return E_POINTER;
  *outList = nullptr;
  ObjectPtr<T> theList;
  HRESULT theResult = ComObject<T>::Create(&Tessaline4Module(), theList);
  if (SUCCEEDED(theResult))
    theResult = inFill(*theList.Get());
  if (SUCCEEDED(theResult))
    theResult = theList->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(outList));
  if (FAILED(theResult))
    return kGestaltReporter.ReportGetPropertyError(inLabel, 0, theResult);
  return S_OK;
}

}  // namespace

Gestalt::Gestalt()
{
  AcquireQuickTime(mQTErr, mQTAvailable);
}

Gestalt::~Gestalt()
{
  ReleaseQuickTime(mQTErr);
}

// ---- Versions

HRESULT Gestalt::get_Version(VARIANT* outValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, kVersion);
    return S_OK;
  });
}

HRESULT Gestalt::get_QuickTime(VARIANT* outValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!outValue)
      return E_POINTER;
    LONG theMajor = 0;
    LONG theMinor = 0;
    LONG theBugFix = 0;
    if (OSErr theErr = GetQuickTimeVersion(theMajor, theMinor, theBugFix); theErr != 0)
      return kGestaltReporter.ReportGetPropertyError("Info QuickTime", theErr, 0);
    SetTextResult(outValue, FormatLong(theMajor) + "." + FormatLong(theMinor) + "." + FormatLong(theBugFix));
    return S_OK;
  });
}

// ---- Collections

HRESULT Gestalt::get_GraphicsExporters(IDispatch** outExporters)
{
  return MethodFrame(kGestaltReporter, [&] {
    return HandOutCollection<Exporters>("Info Exporters", outExporters, [](Exporters& ioExporters) {
      HRESULT theResult = S_OK;
      if (QuickTimeAvailable()) {
        QTExporterList theQuickTimeExporters;
        theResult = AddFormats(ioExporters, theQuickTimeExporters);
      }
      if (SUCCEEDED(theResult)) {
        MagickFormatList theMagickFormats;
        theResult = AddFormats(ioExporters, theMagickFormats);
      }
      if (SUCCEEDED(theResult))
        theResult = AddTexts(ioExporters, {"GIF", "JPG"});
      return theResult;
    });
  });
}

HRESULT Gestalt::get_Fonts(IDispatch** outFonts)
{
  return MethodFrame(kGestaltReporter, [&] {
    return HandOutCollection<Fonts>("Info Fonts", outFonts, [&](Fonts& ioFonts) {
      return AddTexts(ioFonts, EnumFontNames(mTextCharset, "", 0));
    });
  });
}

// ---- Preferences

HRESULT Gestalt::get_LogErrors(VARIANT* outValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, GetPrefLong("LogErrors", 0) != 0);
    return S_OK;
  });
}

HRESULT Gestalt::put_LogErrors(VARIANT inValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    LONG theValue = 0;
    if (!ParseBool(VariantText(inValue, "Gestalt LogErrors"), theValue))
      return kGestaltReporter.ReportSetPropertyError("Gestalt LogErrors", inValue, 0, 0);
    if (LONG theStatus = SetPrefLong("LogErrors", theValue); theStatus != ERROR_SUCCESS)
      return kGestaltReporter.ReportSetPropertyError("Gestalt LogErrors", inValue, 0, theStatus);
    return S_OK;
  });
}

HRESULT Gestalt::get_MaxSize(VARIANT* outValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, GetPrefLong("MaxSize", 2000));
    return S_OK;
  });
}

HRESULT Gestalt::put_MaxSize(VARIANT inValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    LONG theValue = 0;
    if (!ParseLong(VariantText(inValue, "Gestalt MaxSize"), theValue))
      return kGestaltReporter.ReportSetPropertyError("Gestalt MaxSize", inValue, 0, 0);
    if (LONG theStatus = SetPrefLong("MaxSize", theValue); theStatus != ERROR_SUCCESS)
      return kGestaltReporter.ReportSetPropertyError("Gestalt MaxSize", inValue, 0, theStatus);
    return S_OK;
  });
}

HRESULT Gestalt::get_TextCharset(VARIANT* outValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatCharset(mTextCharset));
    return S_OK;
  });
}

HRESULT Gestalt::put_TextCharset(VARIANT inValue)
{
  return MethodFrame(kGestaltReporter, [&] {
    LONG theCharset = 0;
    static_cast<void>(ParseCharset(VariantText(inValue, "Gestalt TextCharset"), theCharset));
    mTextCharset = theCharset;
    return S_OK;
  });
}

// ---- Services

HRESULT Gestalt::Log(VARIANT* inMessage)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!inMessage)
      return E_POINTER;
    LogEvent("%s", EVENTLOG_WARNING_TYPE, VariantText(*inMessage, "Message").c_str());
    return S_OK;
  });
}

HRESULT Gestalt::Read(VARIANT* inPath, VARIANT* outData)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!inPath || !outData)
      return E_POINTER;
    const std::string thePath = VariantText(*inPath, "File name");
    std::vector<BYTE> theData;
    if (!ReadWholeFile(thePath.c_str(), theData, kMaxByteArray))
      return ReportFileFailure("Gestalt Read", thePath, LastWindowsError());
    if (HRESULT theResult = PtrToVARIANT(theData.data(), static_cast<DWORD>(theData.size()), outData);
        FAILED(theResult))
      return ReportFileFailure("Gestalt Read", thePath, theResult);
    return S_OK;
  });
}

HRESULT Gestalt::Save(VARIANT* inPath, VARIANT* inData)
{
  return MethodFrame(kGestaltReporter, [&] {
    if (!inPath || !inData)
      return E_POINTER;
    const std::string thePath = VariantText(*inPath, "File name");
    const ByteArrayAccess theData(*inData);
    if (FAILED(theData.Result()))
      return ReportFileFailure("Gestalt Save", thePath, theData.Result());
    if (!WriteWholeFile(thePath.c_str(), theData.Bytes(), static_cast<DWORD>(theData.Length())))
      return ReportFileFailure("Gestalt Save", thePath, LastWindowsError());
    return S_OK;
  });
}
