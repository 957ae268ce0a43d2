#pragma once
// XColor: a colour that scripts take apart and put together again
// ("Tessaline4.XColor"), in the colour texts the canvas and the parameter
// strings use, as four percentages, or as a Windows colour number 0x00BBGGRR.
// A new one is opaque black.
//
// A channel c reads as the percentage c x 100 / 65280 (so 65280 and 65535
// both read 100). A put of one percentage rebuilds the whole colour: each
// channel becomes trunc(p x 0.01 x 65535) of its percentage as read, with the
// new one in its place, so the other three may move slightly, 100 gives
// 65534, and a pattern becomes a plain colour. RGB reads the high byte of each
// channel and puts each byte into the high byte of its channel, opaque.
// A colour text that does not parse is refused with "Set XColor String" and
// the colour stays.

#include "core/ColorValue.h"
#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

inline constexpr char kXColorClassText[] = "{AE98384B-0F2D-4898-A3BF-5890C642153E}";
inline constexpr CLSID kXColorClass = TL_GUID(kXColorClassText);

struct IXColor : IDispatch {
  static constexpr IID kIID = TL_GUID("{53406F68-9B2D-4232-9038-CC80254BCA08}");
  virtual HRESULT get_String(VARIANT* outValue) = 0;
  virtual HRESULT put_String(VARIANT inValue) = 0;
  virtual HRESULT get_Red(VARIANT* outValue) = 0;
  virtual HRESULT put_Red(VARIANT inValue) = 0;
  virtual HRESULT get_Green(VARIANT* outValue) = 0;
  virtual HRESULT put_Green(VARIANT inValue) = 0;
  virtual HRESULT get_Blue(VARIANT* outValue) = 0;
  virtual HRESULT put_Blue(VARIANT inValue) = 0;
  virtual HRESULT get_Alpha(VARIANT* outValue) = 0;
  virtual HRESULT put_Alpha(VARIANT inValue) = 0;
  virtual HRESULT get_RGB(VARIANT* outValue) = 0;
  virtual HRESULT put_RGB(VARIANT inValue) = 0;
};

#define TL_XCOLOR_PROPERTY(inId, inName, inHelp) \
  DispatchMembers<IXColor>::Property<&IXColor::get_##inName, &IXColor::put_##inName>(inId, #inName, inHelp)
inline constexpr DispatchMember kXColorMembers[] = {
    TL_XCOLOR_PROPERTY(1, String, "A string representation of the color"),
    TL_XCOLOR_PROPERTY(2, Red, "The red intensity of the color as a percentage"),
    TL_XCOLOR_PROPERTY(3, Green, "The green intensity of the color as a percentage"),
    TL_XCOLOR_PROPERTY(4, Blue, "The blue intensity of the color as a percentage"),
    TL_XCOLOR_PROPERTY(5, Alpha, "The alpha opacity of the color as a percentage"),
    TL_XCOLOR_PROPERTY(6, RGB, "The standard RGB color representation"),
};
#undef TL_XCOLOR_PROPERTY
inline constexpr DispatchTable kXColorTable = MakeDispatchTable<IXColor>("IXColor", kXColorMembers);

inline constexpr ErrorReporter kXColorReporter{kXColorClass, IXColor::kIID};

class XColor : public DispatchImpl<IXColor, kXColorTable>, public SupportErrorInfo<IXColor> {
public:
  using Interfaces = InterfaceList<IXColor, ISupportErrorInfo>;

  HRESULT get_String(VARIANT* outValue) override;
  HRESULT put_String(VARIANT inValue) override;
  HRESULT get_Red(VARIANT* outValue) override;
  HRESULT put_Red(VARIANT inValue) override;
  HRESULT get_Green(VARIANT* outValue) override;
  HRESULT put_Green(VARIANT inValue) override;
  HRESULT get_Blue(VARIANT* outValue) override;
  HRESULT put_Blue(VARIANT inValue) override;
  HRESULT get_Alpha(VARIANT* outValue) override;
  HRESULT put_Alpha(VARIANT inValue) override;
  HRESULT get_RGB(VARIANT* outValue) override;
  HRESULT put_RGB(VARIANT inValue) override;

private:
  using Channel = WORD ColorValue::*;
  HRESULT GetPercent(VARIANT* outValue, Channel inChannel) const;
  HRESULT PutPercent(const VARIANT& inValue, Channel inChannel);

  ColorValue mColor;
};
