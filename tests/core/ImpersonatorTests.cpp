#include "core/Impersonator.h"
#include "core/SException.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

using tltest::SystemUser;

std::string ProcessUser()
{
  const passwd* theUser = getpwuid(geteuid());
  return theUser ? theUser->pw_name : "";
}

volatile std::size_t gLength = 64;  // so that the compiler calls memcpy
char gCopy[64];

}  // namespace

// The impersonation is per thread: the cases run in a child, and the test's
// thread stays clean.
TEST(Impersonator, ActsAsALoggedOnUserUntilItRevertsAndAsTheProcessForNoName)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to make a user and switch to it";
  SystemUser theUser;
  ASSERT_TRUE(theUser.mMade) << "useradd or chpasswd failed";
  tltest::ChildResult theChild = tltest::RunInChild([&theUser] {
    auto IsNow = [](const std::string& inName, bool inProcess) {
      std::string theName, theDomain;
      bool theIsProcess = !inProcess;
      return Impersonator::GetCurrentAccount(theName, theDomain, theIsProcess) && theName == inName &&
             !theDomain.empty() && theIsProcess == inProcess;
    };
    Impersonator theImpersonator;
    if (!theImpersonator.Revert() || !theImpersonator.Impersonate("", "", ".") || !IsNow(ProcessUser(), true))
      return 10;
    if (theImpersonator.Impersonate(theUser.mName.c_str(), "wrong", ".") || GetLastError() != ERROR_LOGON_FAILURE)
      return 11;
    if (!theImpersonator.Impersonate(theUser.mName.c_str(), theUser.mPassword.c_str(), ".") ||
        !IsNow(theUser.mName, false))
      return 12;
    // Impersonating again first reverts; an empty name then stays as the process.
    if (!theImpersonator.Impersonate("", "", ".") || !IsNow(ProcessUser(), true))
      return 13;
    if (!theImpersonator.Impersonate(theUser.mName.c_str(), theUser.mPassword.c_str(), nullptr) ||
        !theImpersonator.Revert() || !IsNow(ProcessUser(), true))
      return 14;
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
}

// A fault inside a guarded call skips the frame of the impersonator, which
// reverts all the same.
TEST(Impersonator, AFaultUnderTheGuardEndsTheImpersonation)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to make a user and switch to it";
  SystemUser theUser;
  ASSERT_TRUE(theUser.mMade) << "useradd or chpasswd failed";
  tltest::ChildResult theChild = tltest::RunInChild([&theUser] {
    void* thePage = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    try {
      GuardedCall(TranslateSystemException, [&] {
        Impersonator theImpersonator;
        if (!theImpersonator.Impersonate(theUser.mName.c_str(), theUser.mPassword.c_str(), "."))
          return;
        std::memcpy(gCopy, thePage, gLength);
      });
      return 10;
    } catch (SException&) {
    }
    std::string theName, theDomain;
    bool theIsProcess = false;
    return Impersonator::GetCurrentAccount(theName, theDomain, theIsProcess) && theIsProcess &&
               theName == ProcessUser()
             ? 0
             : 11;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild));
}
