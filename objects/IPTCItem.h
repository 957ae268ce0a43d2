#pragma once
// IPTCItem: one IPTC-NAA dataset, as a GraphicIPTC list hands it out (the
// class cannot be created by name). It keeps its own copy of the name and
// the bytes, so it outlives the list and the file it came from.
//
// DataSet answers the record number and Record the dataset number: a
// caption (record 2, dataset 120) has DataSet 2 and Record 120. Text is the
// data up to its first zero byte, read as UTF-8; Data is every byte, as a
// byte array, or an empty VARIANT for a dataset without data.

#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

#include <string>

inline constexpr char kIPTCItemClassText[] = "{AD724B99-C638-4D35-90BD-D722EE80E2CD}";
inline constexpr CLSID kIPTCItemClass = TL_GUID(kIPTCItemClassText);

struct IIPTCItem : IDispatch {
  static constexpr IID kIID = TL_GUID("{A80670C2-E7E1-4F02-A3D6-FA940CB6D5E2}");
  virtual HRESULT get_DataSet(LONG* outValue) = 0;
  virtual HRESULT get_Record(LONG* outValue) = 0;
  virtual HRESULT get_Name(BSTR* outValue) = 0;
  virtual HRESULT get_Text(BSTR* outValue) = 0;
  virtual HRESULT get_Data(VARIANT* outValue) = 0;
};

using IPTCItemMembers = DispatchMembers<IIPTCItem>;
inline constexpr DispatchMember kIPTCItemMembers[] = {
    IPTCItemMembers::ReadOnly<&IIPTCItem::get_DataSet>(1, "DataSet", "DataSet Number"),
    IPTCItemMembers::ReadOnly<&IIPTCItem::get_Record>(2, "Record", "Record Number"),
    IPTCItemMembers::ReadOnly<&IIPTCItem::get_Name>(3, "Name", "Record Name"),
    IPTCItemMembers::ReadOnly<&IIPTCItem::get_Text>(4, "Text", "Record value as string"),
    IPTCItemMembers::ReadOnly<&IIPTCItem::get_Data>(5, "Data", "Record value as data"),
};
inline constexpr DispatchTable kIPTCItemTable = MakeDispatchTable<IIPTCItem>("IIPTCItem", kIPTCItemMembers);

inline constexpr ErrorReporter kIPTCItemReporter{kIPTCItemClass, IIPTCItem::kIID};

class IPTCItem : public DispatchImpl<IIPTCItem, kIPTCItemTable>, public SupportErrorInfo<IIPTCItem> {
public:
  using Interfaces = InterfaceList<IIPTCItem, ISupportErrorInfo>;

  // Copies the name and inLength bytes of inData.
  IPTCItem(LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData, LONG inLength);

  HRESULT get_DataSet(LONG* outValue) override;
  HRESULT get_Record(LONG* outValue) override;
  HRESULT get_Name(BSTR* outValue) override;
  HRESULT get_Text(BSTR* outValue) override;
  HRESULT get_Data(VARIANT* outValue) override;

private:
  LONG mRecord;
  LONG mDataSet;
  std::string mName;
  std::string mData;  // the bytes, zero bytes too
};
