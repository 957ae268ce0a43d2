#pragma once
// What the graphics library's suites share: the records of the log files and
// a fault that really happens.

#include "platform/base/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tltest {

// The records of a log file in the log directory (the header left out), each
// split at its tabs; every line must end in CR LF.
std::vector<std::vector<std::string>> LogRecords(const char* inFile);

// Writes to a bad address that is not null: an access violation in our code.
void WriteToBadAddress();
// The address WriteToBadAddress writes to.
std::uintptr_t BadAddress();
// Copies from a page no one may touch with memcpy: an access violation
// inside a C library routine.
void CopyFromBadPage();
// The page CopyFromBadPage reads.
std::uintptr_t BadPage();

}  // namespace tltest
