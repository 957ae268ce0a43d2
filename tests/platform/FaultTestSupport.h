#pragma once
// What the fault tests share: an exception type of their own, translators
// that throw it, and functions that fault.

#include "platform/faults/Faults.h"

#include <cstdint>

struct TestFault {
  FaultRecord mRecord;
  int mTranslator;  // which translator threw it
};

[[noreturn]] void ThrowFromFirst(const FaultRecord& inFault);
[[noreturn]] void ThrowFromSecond(const FaultRecord& inFault);

// Read or write an int at an address the compiler cannot see.
int ReadAt(std::uintptr_t inAddress);
void WriteAt(std::uintptr_t inAddress);
