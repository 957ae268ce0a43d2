#pragma once
// GraphicIPTC: the IPTC-NAA datasets (Information Interchange Model 4) of an
// image file or a block of bytes, as a collection of IPTCItem objects in file
// order. Scripts create it by name ("Tessaline4.GraphicIPTC") or get a
// Graphic's (its IPTC property).
//
// The datasets are those of the first IPTC-NAA image resource (id 0x0404)
// among the Photoshop "8BIM" blocks: in a JPEG with "Photoshop 3.0" APP13
// segments, those of the segments joined in file order (a block too large
// for one segment is split over several); otherwise those found anywhere in
// the bytes, so that a Photoshop file and a bare resource block serve too.
// SetFile and SetData replace the list; bytes without the resource give an
// empty list, and malformed datasets the ones read before the fault, with no
// error either way. A file that cannot be read fails with "Unable to access
// file" and the HRESULT 0x80040000 OR-ed with the Windows error, a file name
// holding a NUL as WithoutNul (MethodFrame.h) refuses it; SetData of
// anything but a byte array fails with "Unable to access data". A failed
// call leaves the list as it was.

#include "core/ByteSource.h"
#include "objects/IPTCItem.h"
#include "objects/ObjectList.h"

inline constexpr char kGraphicIPTCClassText[] = "{92838A2B-4D8A-4FDA-8F75-6D113184F910}";
inline constexpr CLSID kGraphicIPTCClass = TL_GUID(kGraphicIPTCClassText);

struct IGraphicIPTC : IDispatch {
  static constexpr IID kIID = TL_GUID("{51E91D3A-2510-490E-A7A6-888CF5650362}");
  virtual HRESULT get__NewEnum(IUnknown** outEnum) = 0;
  virtual HRESULT get_Item(LONG inIndex, IIPTCItem** outItem) = 0;
  virtual HRESULT get_Count(LONG* outCount) = 0;
  virtual HRESULT SetData(VARIANT inData) = 0;
  virtual HRESULT SetFile(BSTR inData) = 0;
};

using GraphicIPTCMembers = DispatchMembers<IGraphicIPTC>;
inline constexpr DispatchMember kGraphicIPTCMembers[] = {
    GraphicIPTCMembers::ReadOnly<&IGraphicIPTC::get__NewEnum>(DISPID_NEWENUM, "_NewEnum",
                                                              "internal property _NewEnum"),
    GraphicIPTCMembers::ReadOnly<&IGraphicIPTC::get_Item>(
        DISPID_VALUE, "Item", "Returns a particular IPTC item referenced by index", {In("Index")}),
    GraphicIPTCMembers::ReadOnly<&IGraphicIPTC::get_Count>(1, "Count", "The number of IPTC items available"),
    GraphicIPTCMembers::Method<&IGraphicIPTC::SetData>(2, "SetData", "Use this to assign IPTC data", {In("inData")}),
    GraphicIPTCMembers::Method<&IGraphicIPTC::SetFile>(3, "SetFile", "Use this to assign IPTC data held in a file",
                                                       {In("inData")}),
};
inline constexpr DispatchTable kGraphicIPTCTable =
    MakeDispatchTable<IGraphicIPTC>("IGraphicIPTC", kGraphicIPTCMembers);

inline constexpr ErrorReporter kGraphicIPTCReporter{kGraphicIPTCClass, IGraphicIPTC::kIID};

class GraphicIPTC : public DispatchImpl<IGraphicIPTC, kGraphicIPTCTable>, public SupportErrorInfo<IGraphicIPTC> {
public:
  using Interfaces = InterfaceList<IGraphicIPTC, ISupportErrorInfo>;

  HRESULT get__NewEnum(IUnknown** outEnum) override;
  HRESULT get_Item(LONG inIndex, IIPTCItem** outItem) override;
  HRESULT get_Count(LONG* outCount) override;
  HRESULT SetData(VARIANT inData) override;
  HRESULT SetFile(BSTR inData) override;

  // The datasets of inLength bytes at inData, read in place; no bytes only
  // empty the list. Answers what ParseIPTC answers.
  LONG SetDataPtr(const BYTE* inData, LONG inLength);
  // Empties the list, then reads the datasets of the source. Answers the
  // dataset walk's count (ReadIPTCRecords), 0 without an IPTC-NAA resource.
  LONG ParseIPTC(ByteSource& inStream);

private:
  ObjectList<IPTCItem> mItemList;
};
