#pragma once
// Calls into a library that is loaded on first use. TL_LAZY_ENTRY defines a
// C function under the library's own name and prototype (the library's
// header declares it, so the compiler holds the two to the same type): it
// asks inFind (const char* name -> void*) for the library's entry until it
// gets one, and keeps it. inFind loads the library, or answers null while it
// is not loaded; the call then does nothing and answers 0.

#include <atomic>
#include <initializer_list>
#include <string>
#include <type_traits>

// The library of inSoname, opened (RTLD_NOW | RTLD_LOCAL) once every entry of
// inNames was found in it; else null, with outWhy saying what failed
// (dlerror's text, or "<soname> has no <entry>"), the library closed again.
void* OpenLibraryWithEntries(const char* inSoname, std::initializer_list<const char*> inNames, std::string& outWhy);

// The name of an entry of a table written for TL_LAZY_ENTRY, as a string:
// {TABLE(TL_LAZY_ENTRY_NAME)} lists a table's names for OpenLibraryWithEntries.
#define TL_LAZY_ENTRY_NAME(inReturn, inName, inParameters, inArguments) #inName,

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
