#pragma once
// The process's one table of kernel handles.
//
// A HANDLE is a 32-bit number, never an address: the object's type in the top
// four bits, a generation count in the next ten and a slot index in the low
// eighteen. A slot's generation grows each time the slot is freed, so a stale
// handle (closed, its slot reused) or a forged one (wrong type, wrong
// generation, no such slot) finds nothing and the call fails with
// ERROR_INVALID_HANDLE. No value is 0 or all ones, so no handle is ever NULL
// or INVALID_HANDLE_VALUE.

#include "platform/kernel/KernelObject.h"

#include <memory>

namespace HandleTable {

// Enters the object and answers its new handle; NULL (last error
// ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE Add(std::shared_ptr<KernelObject> inObject);

// The object of a live handle of the given type; empty (last error
// ERROR_INVALID_HANDLE) for anything else.
std::shared_ptr<KernelObject> Find(HANDLE inHandle, KernelObjectType inType);

// The object of any live handle; empty (last error ERROR_INVALID_HANDLE) otherwise.
std::shared_ptr<KernelObject> FindAny(HANDLE inHandle);

// Takes the handle out of the table and answers its object (the caller's
// reference may be the last one); empty (last error ERROR_INVALID_HANDLE)
// when the handle is not live or not of the given type.
std::shared_ptr<KernelObject> Remove(HANDLE inHandle, KernelObjectType inType);
std::shared_ptr<KernelObject> RemoveAny(HANDLE inHandle);

// Find, cast to the stand-in's own class T (whose constructor passes kType).
template <typename T>
std::shared_ptr<T> FindAs(HANDLE inHandle)
{
  return std::static_pointer_cast<T>(Find(inHandle, T::kType));
}

}  // namespace HandleTable
