#pragma once
// What a test reads back from the registry after a server registered or
// unregistered itself.

#include "platform/base/WinTypes.h"

#include <set>
#include <string>

namespace tltest {

// Every key below inRoot, as paths ("CLSID\\{...}\\InprocServer32").
std::set<std::string> RegistryKeys(HKEY inRoot);

// The text of a value ("" names the default value); "(missing)" when absent.
std::string RegistryText(HKEY inRoot, const std::string& inKey, const std::string& inName = "");

}  // namespace tltest
