#pragma once
// XPoint: a point that scripts take apart and put together again
// ("Tessaline4.XPoint"), in the point text "x,y" that the parameter strings
// use, or as its two coordinates. A text that does not parse is refused with
// "Set XPoint String" and the point stays.

#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

inline constexpr char kXPointClassText[] = "{9D1D6EB2-C61F-4738-8640-881092E6F210}";
inline constexpr CLSID kXPointClass = TL_GUID(kXPointClassText);

struct IXPoint : IDispatch {
  static constexpr IID kIID = TL_GUID("{35FCA749-6962-484F-B2B3-448431FA7EFB}");
  virtual HRESULT get_String(VARIANT* outValue) = 0;
  virtual HRESULT put_String(VARIANT inValue) = 0;
  virtual HRESULT get_x(VARIANT* outValue) = 0;
  virtual HRESULT put_x(VARIANT inValue) = 0;
  virtual HRESULT get_y(VARIANT* outValue) = 0;
  virtual HRESULT put_y(VARIANT inValue) = 0;
};

#define TL_XPOINT_PROPERTY(inId, inName, inHelp) \
  DispatchMembers<IXPoint>::Property<&IXPoint::get_##inName, &IXPoint::put_##inName>(inId, #inName, inHelp)
inline constexpr DispatchMember kXPointMembers[] = {
    TL_XPOINT_PROPERTY(1, String, "A string representation of the point"),
    TL_XPOINT_PROPERTY(2, x, "The horizontal offset of the point from the top left"),
    TL_XPOINT_PROPERTY(3, y, "The vertical offset of the point from the top left"),
};
#undef TL_XPOINT_PROPERTY
inline constexpr DispatchTable kXPointTable = MakeDispatchTable<IXPoint>("IXPoint", kXPointMembers);

inline constexpr ErrorReporter kXPointReporter{kXPointClass, IXPoint::kIID};

class XPoint : public DispatchImpl<IXPoint, kXPointTable>, public SupportErrorInfo<IXPoint> {
public:
  using Interfaces = InterfaceList<IXPoint, ISupportErrorInfo>;

  HRESULT get_String(VARIANT* outValue) override;
  HRESULT put_String(VARIANT inValue) override;
  HRESULT get_x(VARIANT* outValue) override;
  HRESULT put_x(VARIANT inValue) override;
  HRESULT get_y(VARIANT* outValue) override;
  HRESULT put_y(VARIANT inValue) override;

private:
  HRESULT GetCoordinate(VARIANT* outValue, LONG inCoordinate) const;
  HRESULT PutCoordinate(const VARIANT& inValue, LONG& outCoordinate);

  POINT mPoint{0, 0};
};
