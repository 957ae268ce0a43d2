// PAM loaded by the first logon that checks a password, not with the platform
// library: this program links no PAM of its own.

#include "platform/base/LastError.h"
#include "platform/security/Security.h"
#include "tests/support/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Before the test that loads PAM in this process: the child must start
// without it.
TEST(PamLoading, WithoutPamALogonIsRefusedAndOneEventSaysWhy)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "hiding the library needs root";
  constexpr int kNoNamespace = 77;
  tltest::ChildResult theChild = tltest::RunInChild([] {
    // The library (beside the C library), in a mount namespace of the
    // child's own, made an empty file.
    Dl_info theC{};
    char theLibrary[PATH_MAX];
    if (!dladdr(reinterpret_cast<void*>(&std::abort), &theC) || !theC.dli_fname ||
        !realpath((std::string(theC.dli_fname).substr(0, std::string(theC.dli_fname).rfind('/')) + "/libpam.so.0").c_str(),
                  theLibrary) ||
        unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("/dev/null", theLibrary, nullptr, MS_BIND, nullptr) != 0)
      return kNoNamespace;
    for (int i = 0; i < 2; ++i) {
      HANDLE theToken = nullptr;
      if (LogonUserA("root", ".", "x", LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, &theToken) ||
          GetLastError() != ERROR_LOGON_FAILURE)
        return 1;
    }
    return 0;
  });
  if (theChild.mExited && theChild.mStatus == kNoNamespace)
    GTEST_SKIP() << "no mount namespace to hide the library in";
  EXPECT_TRUE(tltest::Succeeded(theChild)) << "a logon without PAM succeeded or gave another error";
  const std::string theLog = tltest::ReadFile(tltest::TestHome() + "/events.log");
  const std::string kWhy = "PAM cannot be loaded: ";
  const std::size_t theFirst = theLog.find(kWhy);
  EXPECT_NE(theFirst, std::string::npos) << theLog;
  EXPECT_EQ(theLog.find(kWhy, theFirst + 1), std::string::npos) << "said more than once:\n" << theLog;
  EXPECT_FALSE(tltest::IsLibraryLoaded("libpam.so.0"));
}

TEST(PamLoading, TheFirstPasswordCheckLoadsPamAndStillRefusesABadLogon)
{
  EXPECT_FALSE(tltest::IsLibraryLoaded("libpam.so.0")) << "loaded with the platform library";
  if (!tltest::IsRoot())
    GTEST_SKIP() << "a logon reaches PAM only for a caller that may switch identity (root)";
  HANDLE theToken = nullptr;
  EXPECT_FALSE(LogonUserA("", ".", "x", LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, &theToken));
  EXPECT_FALSE(tltest::IsLibraryLoaded("libpam.so.0")) << "loaded for a logon that checks no password";

  // Several first logons at once: each loads or waits for the one load, and
  // each is refused.
  std::vector<DWORD> theErrors(4, 0);
  std::vector<std::thread> theThreads;
  for (DWORD& theError : theErrors)
    theThreads.emplace_back([&theError] {
      HANDLE theOwn = nullptr;
      theError = LogonUserA("tl4nosuchuser", ".", "x", LOGON32_LOGON_NETWORK, LOGON32_PROVIDER_DEFAULT, &theOwn)
                   ? 0
                   : GetLastError();
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (DWORD theError : theErrors)
    EXPECT_EQ(theError, ERROR_LOGON_FAILURE);
  EXPECT_TRUE(tltest::IsLibraryLoaded("libpam.so.0"));
}

}  // namespace
