#pragma once
// Programs (the hosts tlscript and tlregsvr among them) run as child processes
// of a test, in the test's own TESSALINE_HOME, with their output kept.

#include <sys/types.h>

#include <set>
#include <string>
#include <vector>

namespace tltest {

struct RunResult {
  int mStatus = -1;  // exit status, or -1 when killed by a signal
  std::string mOut;
  std::string mErr;
};

// A program started with the test's environment changed by inExtra
// ("NAME=value" replaces or adds NAME, a bare "NAME" removes it). Its output
// goes to files in inFolder (a new folder when empty). Wait() ends it.
class HostProcess {
public:
  explicit HostProcess(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra = {},
                       const std::string& inFolder = "");
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  RunResult Wait();

private:
  std::string mFolder;
  pid_t mChild = 0;
};

RunResult RunProgram(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra = {},
                     const std::string& inFolder = "");

// ImageMagick's command convert under Debian's policy, not the project's,
// which the codec points this process's MAGICK_CONFIGURE_PATH at: that one
// refuses the pseudo-formats (xc:, gradient:) and coders that tests make
// pictures with.
RunResult RunConvert(const std::vector<std::string>& inArguments);

// The dynamic symbols a shared library defines (through nm).
std::set<std::string> ExportedSymbols(const std::string& inLibrary);

}  // namespace tltest
