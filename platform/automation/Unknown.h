#pragma once
// IUnknown, interface identities and ComPtr.
//
// Every interface is a struct of pure virtual members that derives from
// IUnknown and names its identity in a static member kIID:
//
//   struct ICanvas : IDispatch {
//     static constexpr IID kIID = TL_GUID("4592E792-723A-4DCD-98D4-365D4B2BAA5D");
//     virtual HRESULT get_Width(VARIANT* outValue) = 0;
//     ...
//   };
//
// Objects are reference counted: AddRef and Release answer the new count,
// QueryInterface hands out an added reference or E_NOINTERFACE with a null
// pointer.

#include "platform/automation/Guid.h"
#include "platform/base/WinError.h"

#include <utility>

struct IUnknown {
  static constexpr IID kIID = TL_GUID("00000000-0000-0000-C000-000000000046");
  virtual HRESULT QueryInterface(REFIID inIID, void** outObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::kIID;

// The identity of an interface type.
template <class I>
constexpr const IID& IIDOf()
{
  return I::kIID;
}

// Holds one reference.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes an added reference of its own.
  explicit ComPtr(T* inObject) : mObject(inObject)
  {
    if (mObject)
      mObject->AddRef();
  }
  ComPtr(const ComPtr& inOther) : ComPtr(inOther.mObject) {}
  ComPtr(ComPtr&& ioOther) noexcept : mObject(std::exchange(ioOther.mObject, nullptr)) {}
  ComPtr& operator=(const ComPtr& inOther)
  {
    ComPtr(inOther).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& ioOther) noexcept
  {
    ComPtr(std::move(ioOther)).Swap(*this);
    return *this;
  }
  ~ComPtr()
  {
    if (mObject)
      mObject->Release();
  }

  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* inObject)
  {
    ComPtr thePtr;
    thePtr.mObject = inObject;
    return thePtr;
  }

  T* Get() const { return mObject; }
  T* operator->() const { return mObject; }
  explicit operator bool() const { return mObject != nullptr; }

  // For out-arguments: releases what is held and answers the slot.
  T** Receive()
  {
    Reset();
    return &mObject;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  T* Detach() { return std::exchange(mObject, nullptr); }
  void Reset() { ComPtr().Swap(*this); }
  void Swap(ComPtr& ioOther) noexcept { std::swap(mObject, ioOther.mObject); }

  // QueryInterface for another interface type.
  template <class U>
  HRESULT As(ComPtr<U>& outOther) const
  {
    if (!mObject) {
      outOther.Reset();
      return E_POINTER;
    }
    return mObject->QueryInterface(IIDOf<U>(), outOther.ReceiveVoid());
  }

  // Copies a reference into an interface out-argument.
  HRESULT CopyTo(T** outObject) const
  {
    if (!outObject)
      return E_POINTER;
    *outObject = mObject;
    if (mObject)
      mObject->AddRef();
    return S_OK;
  }

private:
  T* mObject = nullptr;
};
