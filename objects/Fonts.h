#pragma once
// Fonts: the names of the installed font families for one character set, as
// Gestalt's Fonts property hands them out (the class cannot be created by
// name). See StringCollection.h for its members.

#include "objects/StringCollection.h"

inline constexpr char kFontsClassText[] = "{94467ADB-7827-44d5-8B6C-3654EFCB19B2}";
inline constexpr CLSID kFontsClass = TL_GUID(kFontsClassText);

struct IFonts : IDispatch {
  static constexpr IID kIID = TL_GUID("{2CCE6E40-4E8B-49C1-A76C-9D55C7C83084}");
  virtual HRESULT get__NewEnum(IUnknown** outEnum) = 0;
  virtual HRESULT get_Item(LONG inIndex, VARIANT* outItem) = 0;
  virtual HRESULT get_Count(LONG* outCount) = 0;
};

using FontsMembers = DispatchMembers<IFonts>;
inline constexpr DispatchMember kFontsMembers[] = {
    FontsMembers::ReadOnly<&IFonts::get__NewEnum>(DISPID_NEWENUM, "_NewEnum", "internal property _NewEnum"),
    FontsMembers::ReadOnly<&IFonts::get_Item>(DISPID_VALUE, "Item", "Returns a particular Font referenced by index",
                                              {In("Index")}),
    FontsMembers::ReadOnly<&IFonts::get_Count>(1, "Count", "The number of Fonts available"),
};
inline constexpr DispatchTable kFontsTable = MakeDispatchTable<IFonts>("IFonts", kFontsMembers);

inline constexpr ErrorReporter kFontsReporter{kFontsClass, IFonts::kIID};

class Fonts : public StringCollection<IFonts, kFontsTable, kFontsReporter> {};
