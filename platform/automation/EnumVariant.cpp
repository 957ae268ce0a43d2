#include "platform/automation/EnumVariant.h"

#include "platform/automation/ComObject.h"

#include <memory>
#include <mutex>
#include <vector>

namespace {

using ItemList = std::vector<Variant>;

// The items are shared, read-only, between an enumerator and its clones.
class VariantEnumerator : public IEnumVARIANT {
public:
  using Interfaces = InterfaceList<IEnumVARIANT>;

  VariantEnumerator(std::shared_ptr<const ItemList> inItems, std::size_t inPosition)
      : mItems(std::move(inItems)), mPosition(inPosition)
  {
  }

  HRESULT Next(ULONG inCount, VARIANT* outItems, ULONG* outFetched) override
  {
    if (outFetched)
      *outFetched = 0;
    if (inCount == 0)
      return S_OK;
    if (!outItems || (inCount > 1 && !outFetched))
      return E_INVALIDARG;
    std::lock_guard theLock(mLock);
    ULONG theFetched = 0;
    while (theFetched < inCount && mPosition < mItems->size()) {
      VariantInit(&outItems[theFetched]);
      if (HRESULT theResult = VariantCopy(&outItems[theFetched], (*mItems)[mPosition].Get()); FAILED(theResult)) {
        for (ULONG i = 0; i < theFetched; ++i)
          VariantClear(&outItems[i]);
        return theResult;
      }
      ++theFetched;
      ++mPosition;
    }
    if (outFetched)
      *outFetched = theFetched;
    return theFetched == inCount ? S_OK : S_FALSE;
  }

  HRESULT Skip(ULONG inCount) override
  {
    std::lock_guard theLock(mLock);
    std::size_t theLeft = mItems->size() - mPosition;
    if (inCount > theLeft) {
      mPosition = mItems->size();
      return S_FALSE;
    }
    mPosition += inCount;
    return S_OK;
  }

  HRESULT Reset() override
  {
    std::lock_guard theLock(mLock);
    mPosition = 0;
    return S_OK;
  }

  HRESULT Clone(IEnumVARIANT** outEnum) override
  {
    if (!outEnum)
      return E_POINTER;
    *outEnum = nullptr;
    std::size_t thePosition;
    {
      std::lock_guard theLock(mLock);
      thePosition = mPosition;
    }
    ComPtr<ComObject<VariantEnumerator>> theClone;
    if (HRESULT theResult = ComObject<VariantEnumerator>::Create(nullptr, theClone, mItems, thePosition);
        FAILED(theResult))
      return theResult;
    *outEnum = theClone.Detach();
    return S_OK;
  }

private:
  std::shared_ptr<const ItemList> mItems;
  std::mutex mLock;
  std::size_t mPosition;
};

}  // namespace

HRESULT CreateVariantEnumerator(std::span<const VARIANT> inItems, REFIID inIID, void** outEnum)
{
  if (!outEnum)
    return E_POINTER;
  *outEnum = nullptr;
  try {
    auto theItems = std::make_shared<ItemList>(inItems.size());
    for (std::size_t i = 0; i < inItems.size(); ++i)
      if (HRESULT theResult = VariantCopy((*theItems)[i].Get(), &inItems[i]); FAILED(theResult))
        return theResult;
    ComPtr<ComObject<VariantEnumerator>> theEnum;
    if (HRESULT theResult = ComObject<VariantEnumerator>::Create(nullptr, theEnum, std::move(theItems), 0);
        FAILED(theResult))
      return theResult;
    return theEnum->QueryInterface(inIID, outEnum);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
