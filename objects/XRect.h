#pragma once
// XRect: a rectangle that scripts take apart and put together again
// ("Tessaline4.XRect"), in the rectangle text "left,top,right,bottom" that the
// drawing methods return, as its four edges, or as its two corner points
// "x,y". Every edge is stored as given (left may lie right of right), so
// Width and Height may be negative; a width or height beyond 32 bits is
// refused with "Get XRect Width" or "Get XRect Height". A text that does not
// parse is refused with "Set XRect String", "Set XRect TopLeft" or
// "Set XRect BottomRight" and the rectangle stays.

#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

inline constexpr char kXRectClassText[] = "{42B430B5-FC12-484b-9622-EA9BF05344DD}";
inline constexpr CLSID kXRectClass = TL_GUID(kXRectClassText);

struct IXRect : IDispatch {
  static constexpr IID kIID = TL_GUID("{D9C9866C-EC02-43F7-8BD5-1F01D42D577B}");
  virtual HRESULT get_String(VARIANT* outValue) = 0;
  virtual HRESULT put_String(VARIANT inValue) = 0;
  virtual HRESULT get_Right(VARIANT* outValue) = 0;
  virtual HRESULT put_Right(VARIANT inValue) = 0;
  virtual HRESULT get_Top(VARIANT* outValue) = 0;
  virtual HRESULT put_Top(VARIANT inValue) = 0;
  virtual HRESULT get_Left(VARIANT* outValue) = 0;
  virtual HRESULT put_Left(VARIANT inValue) = 0;
  virtual HRESULT get_Bottom(VARIANT* outValue) = 0;
  virtual HRESULT put_Bottom(VARIANT inValue) = 0;
  virtual HRESULT get_TopLeft(VARIANT* outValue) = 0;
  virtual HRESULT put_TopLeft(VARIANT inValue) = 0;
  virtual HRESULT get_BottomRight(VARIANT* outValue) = 0;
  virtual HRESULT put_BottomRight(VARIANT inValue) = 0;
  virtual HRESULT get_Width(VARIANT* outValue) = 0;
  virtual HRESULT get_Height(VARIANT* outValue) = 0;
};

using XRectMembers = DispatchMembers<IXRect>;
#define TL_XRECT_PROPERTY(inId, inName, inHelp) \
  XRectMembers::Property<&IXRect::get_##inName, &IXRect::put_##inName>(inId, #inName, inHelp)
inline constexpr DispatchMember kXRectMembers[] = {
    TL_XRECT_PROPERTY(1, String, "A string representation of the rectangle"),
    TL_XRECT_PROPERTY(2, Right, "The offset of the right edge"),
    TL_XRECT_PROPERTY(3, Top, "The offset of the top edge"),
    TL_XRECT_PROPERTY(4, Left, "The offset of the left edge"),
    TL_XRECT_PROPERTY(5, Bottom, "The offset of the bottom edge"),
    TL_XRECT_PROPERTY(6, TopLeft, "A string representation of the location of the top left corner point"),
    TL_XRECT_PROPERTY(7, BottomRight, "A string representation of the location of the bottom right corner point"),
    XRectMembers::ReadOnly<&IXRect::get_Width>(8, "Width", "The width of the rectangle"),
    XRectMembers::ReadOnly<&IXRect::get_Height>(9, "Height", "The height of the rectangle"),
};
#undef TL_XRECT_PROPERTY
inline constexpr DispatchTable kXRectTable = MakeDispatchTable<IXRect>("IXRect", kXRectMembers);

inline constexpr ErrorReporter kXRectReporter{kXRectClass, IXRect::kIID};

class XRect : public DispatchImpl<IXRect, kXRectTable>, public SupportErrorInfo<IXRect> {
public:
  using Interfaces = InterfaceList<IXRect, ISupportErrorInfo>;

  HRESULT get_String(VARIANT* outValue) override;
  HRESULT put_String(VARIANT inValue) override;
  HRESULT get_Right(VARIANT* outValue) override;
  HRESULT put_Right(VARIANT inValue) override;
  HRESULT get_Top(VARIANT* outValue) override;
  HRESULT put_Top(VARIANT inValue) override;
  HRESULT get_Left(VARIANT* outValue) override;
  HRESULT put_Left(VARIANT inValue) override;
  HRESULT get_Bottom(VARIANT* outValue) override;
  HRESULT put_Bottom(VARIANT inValue) override;
  HRESULT get_TopLeft(VARIANT* outValue) override;
  HRESULT put_TopLeft(VARIANT inValue) override;
  HRESULT get_BottomRight(VARIANT* outValue) override;
  HRESULT put_BottomRight(VARIANT inValue) override;
  HRESULT get_Width(VARIANT* outValue) override;
  HRESULT get_Height(VARIANT* outValue) override;

private:
  HRESULT GetEdge(VARIANT* outValue, LONG inEdge) const;
  HRESULT PutEdge(const VARIANT& inValue, LONG& outEdge);
  HRESULT GetCorner(VARIANT* outValue, LONG inX, LONG inY) const;
  // A point text into the two edges, or the set-property error inLabel.
  HRESULT PutCorner(const char* inLabel, const VARIANT& inValue, LONG& outX, LONG& outY);
  // inTo - inFrom, or the get-property error inLabel when it leaves 32 bits.
  HRESULT GetExtent(const char* inLabel, VARIANT* outValue, LONG inFrom, LONG inTo) const;

  RECT mRect{0, 0, 0, 0};
};
