#pragma once
// Gestalt: what a script may learn of the library's environment, and a few
// services ("Tessaline4.Gestalt"): the library's and QuickTime's versions,
// the formats it can write (Exporters) and the installed font families of a
// character set (Fonts), the preferences LogErrors and MaxSize, a warning
// into the event log, and whole files read and saved as byte arrays.
//
// Exporters lists QuickTime's exporters (while QuickTime is available), then
// ImageMagick's formats as "NAME - description", then "GIF" and "JPG".
// Like a Canvas, a Gestalt counts as a user of QuickTime while it lives.
// Read fails with "Do Gestalt Read <path>" and the Windows error (a file of
// 2 GiB or more: 534, since byte arrays count in 32 bits); Save with
// "Do Gestalt Save <path>" and the Windows error, or for data that is no byte
// array the HRESULT, writing nothing.

#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"
#include "platform/quicktime/QTTypes.h"

inline constexpr char kGestaltClassText[] = "{7F566EA2-AA3A-4a94-848C-5F4A99DB555A}";
inline constexpr CLSID kGestaltClass = TL_GUID(kGestaltClassText);

struct IGestalt : IDispatch {
  static constexpr IID kIID = TL_GUID("{614C0433-A8F4-4EB6-80F2-0FE2FFEE35BA}");
  virtual HRESULT get_Version(VARIANT* outValue) = 0;
  virtual HRESULT get_QuickTime(VARIANT* outValue) = 0;
  virtual HRESULT get_GraphicsExporters(IDispatch** outExporters) = 0;
  virtual HRESULT get_Fonts(IDispatch** outFonts) = 0;
  virtual HRESULT get_LogErrors(VARIANT* outValue) = 0;
  virtual HRESULT put_LogErrors(VARIANT inValue) = 0;
  virtual HRESULT get_MaxSize(VARIANT* outValue) = 0;
  virtual HRESULT put_MaxSize(VARIANT inValue) = 0;
  virtual HRESULT get_TextCharset(VARIANT* outValue) = 0;
  virtual HRESULT put_TextCharset(VARIANT inValue) = 0;
  virtual HRESULT Log(VARIANT* inMessage) = 0;
  virtual HRESULT Read(VARIANT* inPath, VARIANT* outData) = 0;
  virtual HRESULT Save(VARIANT* inPath, VARIANT* inData) = 0;
};

using GestaltMembers = DispatchMembers<IGestalt>;
#define TL_GESTALT_PROPERTY(inId, inName, inHelp) \
  GestaltMembers::Property<&IGestalt::get_##inName, &IGestalt::put_##inName>(inId, #inName, inHelp)
#define TL_GESTALT_READONLY(inId, inName, inHelp) \
  GestaltMembers::ReadOnly<&IGestalt::get_##inName>(inId, #inName, inHelp)
inline constexpr DispatchMember kGestaltMembers[] = {
    TL_GESTALT_READONLY(1, Version, "The version of Tessaline"),
    TL_GESTALT_READONLY(2, QuickTime, "The version of QuickTime available"),
    TL_GESTALT_READONLY(3, GraphicsExporters, "A collection of the QuickTime Graphic Exporters available"),
    TL_GESTALT_READONLY(4, Fonts, "A collection of the Fonts available"),
    TL_GESTALT_PROPERTY(5, LogErrors, "True if errors are being redirected to the Event Log"),
    TL_GESTALT_PROPERTY(8, MaxSize, "The largest image that we accept (numbers of pixels wide or high)"),
    TL_GESTALT_PROPERTY(9, TextCharset, "The font charset to be used"),
    GestaltMembers::Method<&IGestalt::Log>(10, "Log", "Puts a message into the Event Log", {In("inMessage")}),
    GestaltMembers::Method<&IGestalt::Read>(11, "Read", "Reads binary data from a file",
                                            {In("inPath"), Retval("outData")}),
    GestaltMembers::Method<&IGestalt::Save>(12, "Save", "Saves binary data into a file",
                                            {In("inPath"), In("inData")}),
};
#undef TL_GESTALT_READONLY
#undef TL_GESTALT_PROPERTY
inline constexpr DispatchTable kGestaltTable = MakeDispatchTable<IGestalt>("IGestalt", kGestaltMembers);

inline constexpr ErrorReporter kGestaltReporter{kGestaltClass, IGestalt::kIID};

class Gestalt : public DispatchImpl<IGestalt, kGestaltTable>, public SupportErrorInfo<IGestalt> {
public:
  using Interfaces = InterfaceList<IGestalt, ISupportErrorInfo>;

  Gestalt();
  ~Gestalt();

  HRESULT get_Version(VARIANT* outValue) override;
  HRESULT get_QuickTime(VARIANT* outValue) override;
  HRESULT get_GraphicsExporters(IDispatch** outExporters) override;
  HRESULT get_Fonts(IDispatch** outFonts) override;
  HRESULT get_LogErrors(VARIANT* outValue) override;
  HRESULT put_LogErrors(VARIANT inValue) override;
  HRESULT get_MaxSize(VARIANT* outValue) override;
  HRESULT put_MaxSize(VARIANT inValue) override;
  HRESULT get_TextCharset(VARIANT* outValue) override;
  HRESULT put_TextCharset(VARIANT inValue) override;
  HRESULT Log(VARIANT* inMessage) override;
  HRESULT Read(VARIANT* inPath, VARIANT* outData) override;
  HRESULT Save(VARIANT* inPath, VARIANT* inData) override;

private:
  LONG mQTAvailable = 0;
  OSErr mQTErr = 0;
  LONG mTextCharset = 0;
};
