#pragma once
// ComObject<T>: the reference counting and QueryInterface of a server class.
//
// A class names the interfaces it answers and implements their members; the
// final class ComObject<T> adds IUnknown:
//
//   class Thing : public DispatchImpl<IThing, kThingTable>, public SupportErrorInfo<IThing> {
//   public:
//     using Interfaces = InterfaceList<IThing, ISupportErrorInfo>;
//     HRESULT get_Width(LONG* outValue) override;
//     ...
//   };
//
//   ObjectPtr<Thing> theThing;
//   HRESULT theResult = ComObject<Thing>::Create(&gModule, theThing);
//
// QueryInterface answers IUnknown (through the first interface listed), each
// listed interface, IDispatch (through the first listed interface that
// derives from it) and IMemberTable when the class has a member table. While
// an object lives it holds a lock on its server module (null for objects of
// the runtime itself), which keeps DllCanUnloadNow answering S_FALSE.

#include "platform/automation/Dispatch.h"

#include <atomic>
#include <new>
#include <type_traits>

// The number of objects and locks alive in one server module.
class ModuleLockCount {
public:
  void Lock() { mCount.fetch_add(1); }
  void Unlock() { mCount.fetch_sub(1); }
  LONG Count() const { return mCount.load(); }

private:
  std::atomic<LONG> mCount{0};
};

template <class... I>
struct InterfaceList {};

namespace com_object_detail {

template <class... I>
consteval bool DistinctIdentities()
{
  const IID* theIds[] = {&IIDOf<I>()...};
  constexpr std::size_t kCount = sizeof...(I);
  for (std::size_t i = 0; i < kCount; ++i) {
    if (*theIds[i] == IID_IUnknown || *theIds[i] == IID_IDispatch)
      return false;
    for (std::size_t j = i + 1; j < kCount; ++j)
      if (*theIds[i] == *theIds[j])
        return false;
  }
  return true;
}

template <class Self, class First, class... Rest>
IDispatch* FirstDispatch(Self* inSelf)
{
  if constexpr (std::is_base_of_v<IDispatch, First>)
    return static_cast<First*>(inSelf);
  else if constexpr (sizeof...(Rest) > 0)
    return FirstDispatch<Self, Rest...>(inSelf);
  else
    return nullptr;
}

}  // namespace com_object_detail

template <class T, class List = typename T::Interfaces>
class ComObject;

template <class T, class First, class... Rest>
class ComObject<T, InterfaceList<First, Rest...>> final : public T {
  // An interface that forgot its own kIID would answer for its base.
  static_assert(com_object_detail::DistinctIdentities<First, Rest...>(),
                "each listed interface needs an identity of its own (kIID)");

public:
  template <class... A>
  explicit ComObject(ModuleLockCount* inModule, A&&... inArgs) : T(std::forward<A>(inArgs)...), mModule(inModule)
  {
    if (mModule)
      mModule->Lock();
  }

  // A new object with one reference, held by outObject.
  template <class... A>
  static HRESULT Create(ModuleLockCount* inModule, ComPtr<ComObject>& outObject, A&&... inArgs)
  {
    outObject.Reset();
    ComObject* theObject = new (std::nothrow) ComObject(inModule, std::forward<A>(inArgs)...);
    if (!theObject)
      return E_OUTOFMEMORY;
    outObject = ComPtr<ComObject>::Adopt(theObject);
    return S_OK;
  }

  // A new object asked for inIID: the creation function of a class table.
  static HRESULT CreateInstance(ModuleLockCount* inModule, REFIID inIID, void** outObject)
  {
    if (!outObject)
      return E_POINTER;
    *outObject = nullptr;
    ComPtr<ComObject> theObject;
    if (HRESULT theResult = Create(inModule, theObject); FAILED(theResult))
      return theResult;
    return theObject->QueryInterface(inIID, outObject);
  }

  HRESULT QueryInterface(REFIID inIID, void** outObject) override
  {
    if (!outObject)
      return E_POINTER;
    *outObject = Find(inIID);
    if (!*outObject)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return mReferences.fetch_add(1) + 1; }
  ULONG Release() override
  {
    ULONG theCount = mReferences.fetch_sub(1) - 1;
    if (theCount == 0)
      delete this;
    return theCount;
  }

private:
  ~ComObject()
  {
    if (mModule)
      mModule->Unlock();
  }

  void* Find(REFIID inIID)
  {
    if (inIID == IID_IUnknown)
      return static_cast<IUnknown*>(static_cast<First*>(this));
    if (void* theFound = FindListed<First, Rest...>(inIID))
      return theFound;
    if (inIID == IID_IDispatch)
      return com_object_detail::FirstDispatch<ComObject, First, Rest...>(this);
    if constexpr (std::is_base_of_v<IMemberTable, T>) {
      if (inIID == IMemberTable::kIID)
        return static_cast<IMemberTable*>(this);
    }
    return nullptr;
  }

  template <class I0, class... In>
  void* FindListed(REFIID inIID)
  {
    if (inIID == IIDOf<I0>())
      return static_cast<I0*>(this);
    if constexpr (sizeof...(In) > 0)
      return FindListed<In...>(inIID);
    return nullptr;
  }

  std::atomic<ULONG> mReferences{1};
  ModuleLockCount* mModule;
};

template <class T>
using ObjectPtr = ComPtr<ComObject<T>>;
