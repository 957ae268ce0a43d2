#pragma once
// The read-only collections of texts that Gestalt hands out (Fonts,
// Exporters): Item (the default member, counted from 1), Count and _NewEnum
// (an enumerator over copies of the items). An Item below 1 gives the first
// item; past the last item, and on an empty collection, Item fails with
// E_FAIL ("Unspecified error"). Each collection names its interface I, its
// member table and its error reporter:
//
//   class Fonts : public StringCollection<IFonts, kFontsTable, kFontsReporter> { ... };

#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"
#include "platform/automation/EnumVariant.h"
#include "platform/base/SystemText.h"

#include <new>
#include <string_view>
#include <vector>

template <class I, const DispatchTable& kTable, const ErrorReporter& kReporter>
class StringCollection : public DispatchImpl<I, kTable>, public SupportErrorInfo<I> {
public:
  using Interfaces = InterfaceList<I, ISupportErrorInfo>;

  // Appends the text as a new item; E_OUTOFMEMORY.
  [[nodiscard]] HRESULT Add(std::string_view inText)
  {
    Variant theItem(inText);
    if (!theItem->bstrVal)
      return E_OUTOFMEMORY;
    try {
      mItems.push_back(std::move(theItem));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  HRESULT get__NewEnum(IUnknown** outEnum) override
  {
    return MethodFrame(kReporter, [&] {
      if (!outEnum)
        return E_POINTER;
      std::vector<VARIANT> theItems;
      for (const Variant& theItem : mItems)
        theItems.push_back(*theItem.Get());
      return CreateVariantEnumerator(theItems, IID_IUnknown, reinterpret_cast<void**>(outEnum));
    });
  }

  HRESULT get_Item(LONG inIndex, VARIANT* outItem) override
  {
    return MethodFrame(kReporter, [&] {
      if (!outItem)
        return E_POINTER;
      const std::size_t theIndex = inIndex < 1 ? 0 : static_cast<std::size_t>(inIndex) - 1;
      if (theIndex >= mItems.size())
        return kReporter.ReportError(GetSystemWording(static_cast<DWORD>(E_FAIL)), E_FAIL);
      VariantInit(outItem);
      return VariantCopy(outItem, mItems[theIndex].Get());
    });
  }

  HRESULT get_Count(LONG* outCount) override
  {
    return MethodFrame(kReporter, [&] {
      if (!outCount)
        return E_POINTER;
      *outCount = static_cast<LONG>(mItems.size());
      return S_OK;
    });
  }

protected:
  ~StringCollection() = default;

private:
  std::vector<Variant> mItems;
};
