#pragma once
// What the Win32-shaped functions of Gdi.h share: handle lookups that set the
// last error, the registration of new objects, and a guard that turns a
// failed allocation during a call into ERROR_NOT_ENOUGH_MEMORY.

#include "platform/base/HandleNumbers.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/HandleTable.h"

#include <initializer_list>
#include <memory>
#include <new>
#include <stdexcept>

namespace tlgdi {

// The object of a handle when it is one of inKinds; else null with the last
// error ERROR_INVALID_HANDLE.
template <typename T = GdiObject>
std::shared_ptr<T> Find(const void* inHandle, std::initializer_list<ObjectKind> inKinds)
{
  std::shared_ptr<GdiObject> theObject = HandleTable::Get().Find(TableNumber(inHandle));
  if (theObject)
    for (ObjectKind theKind : inKinds)
      if (theObject->Kind() == theKind)
        return std::static_pointer_cast<T>(theObject);
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

inline std::shared_ptr<DeviceContext> FindDC(HDC inDC)
{
  return Find<DeviceContext>(inDC, {ObjectKind::kMemoryDC, ObjectKind::kScreenDC});
}

// A new object's handle; null (ERROR_NOT_ENOUGH_MEMORY) when the table is full.
template <typename H>
H Register(std::shared_ptr<GdiObject> inObject)
{
  const std::uint32_t theHandle = HandleTable::Get().Add(std::move(inObject));
  if (theHandle == 0)
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return NumberToHandle<H>(theHandle);
}

// inWork's result, or inFailure (ERROR_NOT_ENOUGH_MEMORY) when it runs out
// of memory.
template <typename T, typename F>
T Guarded(T inFailure, F&& inWork)
{
  try {
    return inWork();
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return inFailure;
}

}  // namespace tlgdi
