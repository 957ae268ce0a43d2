#include "tests/support/TestSupport.h"

#include <dlfcn.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tltest {

const std::string& TestHome()
{
  static const std::string theHome = [] {
    const char* theValue = std::getenv("TESSALINE_HOME");
    return std::string(theValue ? theValue : "");
  }();
  return theHome;
}

std::string MakeTempFolder(const std::string& inPrefix)
{
  static std::atomic<int> gCounter{0};
  std::filesystem::path thePath =
    std::filesystem::path(TestHome()) / (inPrefix + "-" + std::to_string(++gCounter));
  std::filesystem::create_directories(thePath);
  return thePath.string();
}

namespace {
ChildResult Wait(pid_t inChild)
{
  ChildResult theResult;
  int theStatus = 0;
  while (waitpid(inChild, &theStatus, 0) < 0) {
    if (errno != EINTR)
      return theResult;
  }
  if (WIFEXITED(theStatus)) {
    theResult.mExited = true;
    theResult.mStatus = WEXITSTATUS(theStatus);
  } else if (WIFSIGNALED(theStatus)) {
    theResult.mSignal = WTERMSIG(theStatus);
  }
  return theResult;
}

ChildResult Fork(const std::function<void()>& inPrepare, const std::function<int()>& inBody)
{
  pid_t theChild = fork();
  if (theChild < 0)
    return {};
  if (theChild == 0) {
    int theCode = 99;
    try {
      if (inPrepare)
        inPrepare();
      theCode = inBody();
    } catch (...) {
      theCode = 99;
    }
    _exit(theCode);
  }
  return Wait(theChild);
}
}  // namespace

ChildResult RunInChild(const std::function<int()>& inBody)
{
  return Fork(nullptr, inBody);
}

ChildResult RunAsNobody(const std::function<int()>& inBody)
{
  return Fork(
    [] {
      const passwd* theUser = getpwnam("nobody");
      if (!theUser)
        _exit(98);
      if (setgroups(0, nullptr) != 0 || setgid(theUser->pw_gid) != 0 || setuid(theUser->pw_uid) != 0)
        _exit(98);
    },
    inBody);
}

ChildResult RunAsUser(const std::string& inName, const std::function<int()>& inBody)
{
  return Fork(
    [&] {
      const passwd* theUser = getpwnam(inName.c_str());
      if (!theUser || initgroups(inName.c_str(), theUser->pw_gid) != 0 || setgid(theUser->pw_gid) != 0 ||
          setuid(theUser->pw_uid) != 0)
        _exit(98);
    },
    inBody);
}

::testing::AssertionResult SwitchToCommaLocale(int inCategory)
{
  if (!std::setlocale(inCategory, kCommaLocale))
    return ::testing::AssertionFailure() << "the locale " << kCommaLocale
                                         << " is not installed (scripts/setup.sh generates it)";
  const char* thePoint = std::localeconv()->decimal_point;
  if (std::strcmp(thePoint, ",") != 0 && (inCategory == LC_NUMERIC || inCategory == LC_ALL))
    return ::testing::AssertionFailure() << kCommaLocale << " writes the decimal point as \"" << thePoint << "\"";
  return ::testing::AssertionSuccess();
}

bool IsRoot()
{
  return geteuid() == 0;
}

bool IsLibraryLoaded(const char* inSoname)
{
  void* theLibrary = dlopen(inSoname, RTLD_NOW | RTLD_NOLOAD);
  if (theLibrary)
    dlclose(theLibrary);
  return theLibrary != nullptr;
}

std::string ReadFile(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::ostringstream theText;
  theText << theFile.rdbuf();
  return theText.str();
}

::testing::AssertionResult Succeeded(const ChildResult& inChild)
{
  if (inChild.mExited && inChild.mStatus == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (inChild.mExited ? "exit status " : "signal ")
                                       << (inChild.mExited ? inChild.mStatus : inChild.mSignal);
}

}  // namespace tltest
