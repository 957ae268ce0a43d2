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

// Writes to a bad address that is not null: an access violation.
void WriteToBadAddress();
// The address WriteToBadAddress writes to.
std::uintptr_t BadAddress();

}  // namespace tltest
