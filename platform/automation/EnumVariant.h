#pragma once
// IEnumVARIANT, the enumerator a collection's _NewEnum hands out, and the one
// implementation: an enumerator over copies of the collection's items.

#include "platform/automation/Variant.h"

#include <span>

struct IEnumVARIANT : IUnknown {
  static constexpr IID kIID = TL_GUID("00020404-0000-0000-C000-000000000046");
  // Copies up to inCount items into outItems (which the caller has
  // initialised); S_FALSE when fewer than inCount remained.
  virtual HRESULT Next(ULONG inCount, VARIANT* outItems, ULONG* outFetched) = 0;
  // S_FALSE when fewer than inCount items remained to skip.
  virtual HRESULT Skip(ULONG inCount) = 0;
  virtual HRESULT Reset() = 0;
  // A new enumerator over the same items, at the same position.
  virtual HRESULT Clone(IEnumVARIANT** outEnum) = 0;

protected:
  ~IEnumVARIANT() = default;
};

inline constexpr IID IID_IEnumVARIANT = IEnumVARIANT::kIID;

// An enumerator over copies of inItems, asked for inIID (IUnknown for
// _NewEnum, or IEnumVARIANT).
HRESULT CreateVariantEnumerator(std::span<const VARIANT> inItems, REFIID inIID, void** outEnum);
