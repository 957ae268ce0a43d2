#pragma once
// Exporters: the names of the image formats the library can write, as
// Gestalt's GraphicsExporters property hands them out (the class cannot be
// created by name). See StringCollection.h for its members.

#include "objects/StringCollection.h"

inline constexpr char kExportersClassText[] = "{949D8633-2C99-4816-A13F-6F55476BB66A}";
inline constexpr CLSID kExportersClass = TL_GUID(kExportersClassText);

struct IExporters : IDispatch {
  static constexpr IID kIID = TL_GUID("{CDC1BFE2-225D-4855-812E-A4F948C3DA95}");
  virtual HRESULT get__NewEnum(IUnknown** outEnum) = 0;
  virtual HRESULT get_Item(LONG inIndex, VARIANT* outItem) = 0;
  virtual HRESULT get_Count(LONG* outCount) = 0;
};

using ExportersMembers = DispatchMembers<IExporters>;
inline constexpr DispatchMember kExportersMembers[] = {
    ExportersMembers::ReadOnly<&IExporters::get__NewEnum>(DISPID_NEWENUM, "_NewEnum", "internal property _NewEnum"),
    ExportersMembers::ReadOnly<&IExporters::get_Item>(
        DISPID_VALUE, "Item", "Returns a particular QuickTime Graphic Exporter referenced by index", {In("Index")}),
    ExportersMembers::ReadOnly<&IExporters::get_Count>(1, "Count",
                                                       "The number of QuickTime Graphic Exporters available"),
};
inline constexpr DispatchTable kExportersTable = MakeDispatchTable<IExporters>("IExporters", kExportersMembers);

inline constexpr ErrorReporter kExportersReporter{kExportersClass, IExporters::kIID};

class Exporters : public StringCollection<IExporters, kExportersTable, kExportersReporter> {};
