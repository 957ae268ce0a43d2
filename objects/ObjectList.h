#pragma once
// ObjectList<T>: the ordered items of a collection object of the library
// (the images of a Graphic, the datasets of a GraphicIPTC), each held with one
// reference. Items handed out get references of their own, so they live on
// after the list lets them go.

#include "platform/automation/ComObject.h"
#include "platform/automation/EnumVariant.h"

#include <new>
#include <vector>

template <class T>
class ObjectList {
public:
  LONG Count() const { return static_cast<LONG>(mItems.size()); }
  bool Empty() const { return mItems.empty(); }
  void Clear() { mItems.clear(); }
  // E_OUTOFMEMORY when the list cannot grow.
  [[nodiscard]] HRESULT Append(ObjectPtr<T> inItem)
  {
    try {
      mItems.push_back(std::move(inItem));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  // The item at the 1-based inIndex as its interface I, with a new reference;
  // false, with *outItem null, outside 1..Count.
  template <class I>
  bool HandOut(LONG inIndex, I** outItem) const
  {
    *outItem = nullptr;
    if (inIndex < 1 || inIndex > Count())
      return false;
    *outItem = static_cast<I*>(mItems[static_cast<std::size_t>(inIndex - 1)].Get());
    (*outItem)->AddRef();
    return true;
  }

  // An enumerator over the items as they are now, each a VT_DISPATCH, as
  // IUnknown (what _NewEnum answers).
  HRESULT NewEnum(IUnknown** outEnum) const
  {
    try {
      std::vector<VARIANT> theItems(mItems.size());
      for (std::size_t i = 0; i < mItems.size(); ++i) {
        theItems[i].vt = VT_DISPATCH;
        theItems[i].pdispVal = mItems[i].Get();  // the enumerator takes references of its own
      }
      return CreateVariantEnumerator(theItems, IID_IUnknown, reinterpret_cast<void**>(outEnum));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

private:
  std::vector<ObjectPtr<T>> mItems;
};
