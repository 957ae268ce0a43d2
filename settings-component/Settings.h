#pragma once
// The Settings object: every preference of the library as a property, and a
// report of the QuickTime installation. It holds nothing but its reference
// count: each get reads the registry and each put writes it at once, so every
// object and every process that reads the preferences agrees with it.
//
// Kinds of property:
// - booleans (VARIANT_BOOL): a get answers VARIANT_TRUE for any non-zero
//   value; a put stores 1 for any non-zero value, else 0. A script's value
//   that is no boolean or number fails with DISP_E_TYPEMISMATCH in the
//   dispatch layer, and nothing is stored.
// - numbers (LONG): stored and read as given, without range checks.
// - directories (VARIANT): a get answers the stored directory with %NAME%
//   expanded and a trailing '/' (LogDirectory: by default
//   <TESSALINE_HOME>/logs/); a put takes any value that converts to text
//   (a failing conversion is answered and nothing is stored) and stores the
//   text as it stands.
// - QuickTime (read-only): "QuickTime Not Installed (<error>)", or
//   "QuickTime <major>.<minor>.<bug-fix> Full Installation" with more than
//   five graphics exporters, else "... Incomplete Install". QuickTime is
//   started and stopped within the call, beside any user in the process.
//
// A get answers S_OK (a registry failure is invisible: it gives the default),
// or E_POINTER for a null out pointer. A put answers S_OK, or the registry's
// refusal as an HRESULT (HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) for a user
// who is not the store's owner), having stored nothing. Each accessor runs
// under the fault guard: a hardware fault inside one (a QuickTime library
// whose entries point nowhere) is a fatal event in the event log and fails
// that call with E_FAIL, and the host goes on (unless AutoRecover is off).
// The object offers no ISupportErrorInfo, so a script sees the system's
// wording of the HRESULT.

#include "platform/automation/ComObject.h"

struct ISettings : IDispatch {
  static constexpr IID kIID = TL_GUID("{44CFF5F4-8A98-4F8A-A852-32E37A142681}");
  virtual HRESULT get_QuickTime(VARIANT* outValue) = 0;
  virtual HRESULT get_LogErrors(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_LogErrors(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_MaxSize(LONG* outValue) = 0;
  virtual HRESULT put_MaxSize(LONG inValue) = 0;
  virtual HRESULT get_EnableImpersonation(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_EnableImpersonation(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_AutoRecover(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_AutoRecover(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IJLImport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IJLImport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IJLExport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IJLExport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IMImport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IMImport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IMExport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IMExport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IMInfo(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IMInfo(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTLoad(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTLoad(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTUnload(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTUnload(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTUnloadPeriod(LONG* outValue) = 0;
  virtual HRESULT put_QTUnloadPeriod(LONG inValue) = 0;
  virtual HRESULT get_QTImport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTImport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTExport(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTExport(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTInfo(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTInfo(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTMemoryIP(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTMemoryIP(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTMemoryOP(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTMemoryOP(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTImportMovies(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTImportMovies(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTImportMPEG(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTImportMPEG(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_QTInfoMovies(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_QTInfoMovies(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_IPLTransform(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_IPLTransform(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_LogOperations(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_LogOperations(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_MaxOperationTime(LONG* outValue) = 0;
  virtual HRESULT put_MaxOperationTime(LONG inValue) = 0;
  virtual HRESULT get_LogDirectory(VARIANT* outValue) = 0;
  virtual HRESULT put_LogDirectory(VARIANT inValue) = 0;
  virtual HRESULT get_LogMaxFileSize(LONG* outValue) = 0;
  virtual HRESULT put_LogMaxFileSize(LONG inValue) = 0;
  virtual HRESULT get_LittleCMS(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT put_LittleCMS(VARIANT_BOOL inValue) = 0;
  virtual HRESULT get_ColorProfileDirectory(VARIANT* outValue) = 0;
  virtual HRESULT put_ColorProfileDirectory(VARIANT inValue) = 0;
};

using SettingsMembers = DispatchMembers<ISettings>;
#define TL_SETTINGS_PROPERTY(inId, inName, inHelp) \
  SettingsMembers::Property<&ISettings::get_##inName, &ISettings::put_##inName>(inId, #inName, inHelp)
inline constexpr DispatchMember kSettingsMembers[] = {
    SettingsMembers::ReadOnly<&ISettings::get_QuickTime>(1, "QuickTime", "The QuickTime installation"),
    TL_SETTINGS_PROPERTY(3, LogErrors, "Errors reported to scripts also go to the event log"),
    TL_SETTINGS_PROPERTY(4, MaxSize, "Largest image side in pixels"),
    TL_SETTINGS_PROPERTY(5, EnableImpersonation, "Operations that name a user run as that user"),
    TL_SETTINGS_PROPERTY(6, AutoRecover, "Fatal errors do not end the process"),
    TL_SETTINGS_PROPERTY(7, IJLImport, "The JPEG library reads JPEG data"),
    TL_SETTINGS_PROPERTY(8, IJLExport, "The JPEG library writes JPEG data"),
    TL_SETTINGS_PROPERTY(9, IMImport, "ImageMagick reads images"),
    TL_SETTINGS_PROPERTY(10, IMExport, "ImageMagick writes images"),
    TL_SETTINGS_PROPERTY(11, IMInfo, "ImageMagick describes images"),
    TL_SETTINGS_PROPERTY(12, QTLoad, "QuickTime may be loaded"),
    TL_SETTINGS_PROPERTY(13, QTUnload, "QuickTime is unloaded periodically"),
    TL_SETTINGS_PROPERTY(14, QTUnloadPeriod, "Releases after which QuickTime is unloaded"),
    TL_SETTINGS_PROPERTY(15, QTImport, "QuickTime reads images"),
    TL_SETTINGS_PROPERTY(16, QTExport, "QuickTime writes images"),
    TL_SETTINGS_PROPERTY(17, QTInfo, "QuickTime describes images"),
    TL_SETTINGS_PROPERTY(18, QTMemoryIP, "QuickTime reads from memory"),
    TL_SETTINGS_PROPERTY(19, QTMemoryOP, "QuickTime writes into memory"),
    TL_SETTINGS_PROPERTY(20, QTImportMovies, "The first frame of movies is imported"),
    TL_SETTINGS_PROPERTY(21, QTImportMPEG, "MPEG files are imported through QuickTime"),
    TL_SETTINGS_PROPERTY(22, QTInfoMovies, "Movies are described"),
    TL_SETTINGS_PROPERTY(23, IPLTransform, "Transformed drawing uses the image-processing kernels"),
    TL_SETTINGS_PROPERTY(24, LogOperations, "Slow operations are logged"),
    TL_SETTINGS_PROPERTY(25, MaxOperationTime, "Milliseconds from which an operation is slow"),
    TL_SETTINGS_PROPERTY(26, LogDirectory, "Folder of the log files"),
    TL_SETTINGS_PROPERTY(27, LogMaxFileSize, "Size in bytes above which a log file is emptied"),
    TL_SETTINGS_PROPERTY(28, LittleCMS, "CMYK images are converted through colour profiles"),
    TL_SETTINGS_PROPERTY(29, ColorProfileDirectory, "Folder searched for colour profiles"),
};
#undef TL_SETTINGS_PROPERTY
inline constexpr DispatchTable kSettingsTable = MakeDispatchTable<ISettings>("ISettings", kSettingsMembers);

class Settings : public DispatchImpl<ISettings, kSettingsTable> {
public:
  using Interfaces = InterfaceList<ISettings>;

  HRESULT get_QuickTime(VARIANT* outValue) override;
  HRESULT get_LogErrors(VARIANT_BOOL* outValue) override;
  HRESULT put_LogErrors(VARIANT_BOOL inValue) override;
  HRESULT get_MaxSize(LONG* outValue) override;
  HRESULT put_MaxSize(LONG inValue) override;
  HRESULT get_EnableImpersonation(VARIANT_BOOL* outValue) override;
  HRESULT put_EnableImpersonation(VARIANT_BOOL inValue) override;
  HRESULT get_AutoRecover(VARIANT_BOOL* outValue) override;
  HRESULT put_AutoRecover(VARIANT_BOOL inValue) override;
  HRESULT get_IJLImport(VARIANT_BOOL* outValue) override;
  HRESULT put_IJLImport(VARIANT_BOOL inValue) override;
  HRESULT get_IJLExport(VARIANT_BOOL* outValue) override;
  HRESULT put_IJLExport(VARIANT_BOOL inValue) override;
  HRESULT get_IMImport(VARIANT_BOOL* outValue) override;
  HRESULT put_IMImport(VARIANT_BOOL inValue) override;
  HRESULT get_IMExport(VARIANT_BOOL* outValue) override;
  HRESULT put_IMExport(VARIANT_BOOL inValue) override;
  HRESULT get_IMInfo(VARIANT_BOOL* outValue) override;
  HRESULT put_IMInfo(VARIANT_BOOL inValue) override;
  HRESULT get_QTLoad(VARIANT_BOOL* outValue) override;
  HRESULT put_QTLoad(VARIANT_BOOL inValue) override;
  HRESULT get_QTUnload(VARIANT_BOOL* outValue) override;
  HRESULT put_QTUnload(VARIANT_BOOL inValue) override;
  HRESULT get_QTUnloadPeriod(LONG* outValue) override;
  HRESULT put_QTUnloadPeriod(LONG inValue) override;
  HRESULT get_QTImport(VARIANT_BOOL* outValue) override;
  HRESULT put_QTImport(VARIANT_BOOL inValue) override;
  HRESULT get_QTExport(VARIANT_BOOL* outValue) override;
  HRESULT put_QTExport(VARIANT_BOOL inValue) override;
  HRESULT get_QTInfo(VARIANT_BOOL* outValue) override;
  HRESULT put_QTInfo(VARIANT_BOOL inValue) override;
  HRESULT get_QTMemoryIP(VARIANT_BOOL* outValue) override;
  HRESULT put_QTMemoryIP(VARIANT_BOOL inValue) override;
  HRESULT get_QTMemoryOP(VARIANT_BOOL* outValue) override;
  HRESULT put_QTMemoryOP(VARIANT_BOOL inValue) override;
  HRESULT get_QTImportMovies(VARIANT_BOOL* outValue) override;
  HRESULT put_QTImportMovies(VARIANT_BOOL inValue) override;
  HRESULT get_QTImportMPEG(VARIANT_BOOL* outValue) override;
  HRESULT put_QTImportMPEG(VARIANT_BOOL inValue) override;
  HRESULT get_QTInfoMovies(VARIANT_BOOL* outValue) override;
  HRESULT put_QTInfoMovies(VARIANT_BOOL inValue) override;
  HRESULT get_IPLTransform(VARIANT_BOOL* outValue) override;
  HRESULT put_IPLTransform(VARIANT_BOOL inValue) override;
  HRESULT get_LogOperations(VARIANT_BOOL* outValue) override;
  HRESULT put_LogOperations(VARIANT_BOOL inValue) override;
  HRESULT get_MaxOperationTime(LONG* outValue) override;
  HRESULT put_MaxOperationTime(LONG inValue) override;
  HRESULT get_LogDirectory(VARIANT* outValue) override;
  HRESULT put_LogDirectory(VARIANT inValue) override;
  HRESULT get_LogMaxFileSize(LONG* outValue) override;
  HRESULT put_LogMaxFileSize(LONG inValue) override;
  HRESULT get_LittleCMS(VARIANT_BOOL* outValue) override;
  HRESULT put_LittleCMS(VARIANT_BOOL inValue) override;
  HRESULT get_ColorProfileDirectory(VARIANT* outValue) override;
  HRESULT put_ColorProfileDirectory(VARIANT inValue) override;
};
