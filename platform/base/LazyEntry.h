#pragma once
// Calls into a library that is loaded on first use. TL_LAZY_ENTRY defines a
// C function under the library's own name and prototype (the library's
// header declares it, so the compiler holds the two to the same type): it
// asks inFind (const char* name -> void*) for the library's entry until it
// gets one, and keeps it. inFind loads the library, or answers null while it
// is not loaded; the call then does nothing and answers 0.

#include <atomic>
#include <type_traits>

template <typename T>
T LazyEntryNothing()
{
  if constexpr (!std::is_void_v<T>)
    return T{};
}

#define TL_LAZY_ENTRY(inFind, inReturn, inName, inParameters, inArguments) \
  extern "C" inReturn inName inParameters                                  \
  {                                                                        \
    static std::atomic<void*> gEntry{nullptr};                             \
    void* theEntry = gEntry.load(std::memory_order_acquire);               \
    if (!theEntry) {                                                       \
      theEntry = inFind(#inName);                                          \
      if (!theEntry)                                                       \
        return LazyEntryNothing<inReturn>();                               \
      gEntry.store(theEntry, std::memory_order_release);                   \
    }                                                                      \
    return reinterpret_cast<decltype(&::inName)>(theEntry) inArguments;    \
  }
