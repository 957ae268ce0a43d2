#pragma once
// libTessaline4.so as a user meets it: registered with tlregsvr, then driven
// by the pages in tests/objects/pages run with tlscript.

#include "tests/support/HostProcess.h"

#include <string>
#include <vector>

namespace tltest {

// tlregsvr on the library, registering or (with false) unregistering it.
RunResult Registration(bool inRegister);

// tlscript on a page, with the environment changed by inEnvironment (as
// RunProgram takes it) and the page's arguments. Under the sanitizers the
// host keeps fontconfig's own loss out of its report.
RunResult RunPage(const std::string& inPage, std::vector<std::string> inEnvironment = {},
                  const std::vector<std::string>& inArguments = {});

// The content of a file beside the pages (what a page must print).
std::string Expected(const std::string& inPage);

}  // namespace tltest
