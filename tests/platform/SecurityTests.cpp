// Logons and impersonation, with a system user made for the run.

#include "platform/base/LastError.h"
#include "platform/kernel/Handles.h"
#include "platform/security/Security.h"
#include "platform/threads/Threads.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using tltest::SystemUser;

// Root without the capabilities that override file permissions, so that
// what a file's mode allows is what counts, also after reverting.
bool DropFileOverrides()
{
  __user_cap_header_struct theHeader{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct theSets[_LINUX_CAPABILITY_U32S_3]{};
  if (syscall(SYS_capget, &theHeader, theSets) != 0)
    return false;
  std::uint32_t theOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
  theSets[0].effective &= ~theOverrides;
  theSets[0].permitted &= ~theOverrides;
  theSets[0].inheritable &= ~theOverrides;
  return syscall(SYS_capset, &theHeader, theSets) == 0;
}

bool CanRead(const std::string& inPath)
{
  int theFd = open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (theFd < 0)
    return false;
  close(theFd);
  return true;
}

bool InGroups(gid_t inGroup)
{
  std::vector<gid_t> theGroups(static_cast<std::size_t>(getgroups(0, nullptr)));
  theGroups.resize(static_cast<std::size_t>(getgroups(static_cast<int>(theGroups.size()), theGroups.data())));
  return std::find(theGroups.begin(), theGroups.end(), inGroup) != theGroups.end();
}

// The account name behind a token, through its SID; "!<error>" on failure.
std::string AccountOf(HANDLE inToken)
{
  alignas(8) BYTE theBuffer[256];
  DWORD theLength = 0;
  if (!GetTokenInformation(inToken, TokenUser, theBuffer, sizeof(theBuffer), &theLength))
    return "!" + std::to_string(GetLastError());
  char theName[256], theDomain[256];
  DWORD theNameLength = sizeof(theName), theDomainLength = sizeof(theDomain);
  SID_NAME_USE theUse{};
  if (!LookupAccountSidA(nullptr, reinterpret_cast<TOKEN_USER*>(theBuffer)->User.Sid, theName, &theNameLength,
                         theDomain, &theDomainLength, &theUse))
    return "!" + std::to_string(GetLastError());
  return theName;
}

#define CHILD_CHECK(inCondition)                                                 \
  do {                                                                           \
    if (!(inCondition)) {                                                        \
      std::fprintf(stderr, "failed in the child: %s (line %d)\n", #inCondition, __LINE__); \
      return 1;                                                                  \
    }                                                                            \
  } while (false)

}  // namespace

TEST(Impersonation, ActsAsTheUserUntilRevertedAndRefusesBadLogons)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "making system users needs root";
  SystemUser theUser;
  ASSERT_TRUE(theUser.mMade) << "useradd, groupadd or chpasswd failed";

  // A file only the user may read, and one only its extra group may read.
  std::string theFolder = tltest::MakeTempFolder("impersonation");
  std::string theUserFile = theFolder + "/user-only";
  std::string theGroupFile = theFolder + "/group-only";
  std::ofstream(theUserFile) << "user";
  std::ofstream(theGroupFile) << "group";
  ASSERT_EQ(chown(theUserFile.c_str(), theUser.mUid, 0), 0);
  ASSERT_EQ(chmod(theUserFile.c_str(), 0400), 0);
  ASSERT_EQ(chown(theGroupFile.c_str(), 0, theUser.mExtraGid), 0);
  ASSERT_EQ(chmod(theGroupFile.c_str(), 0040), 0);

  tltest::ChildResult theResult = tltest::RunInChild([&] {
    CHILD_CHECK(DropFileOverrides());
    CHILD_CHECK(!CanRead(theUserFile) && !CanRead(theGroupFile));

    HANDLE theToken = nullptr;
    CHILD_CHECK(LogonUserA(theUser.mName.c_str(), ".", theUser.mPassword.c_str(), LOGON32_LOGON_BATCH,
                           LOGON32_PROVIDER_DEFAULT, &theToken));
    HANDLE theThreadToken = nullptr;
    CHILD_CHECK(!OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &theThreadToken));
    CHILD_CHECK(GetLastError() == ERROR_NO_TOKEN);

    // A thread started before keeps the process's identity meanwhile.
    std::atomic<int> theStep{0};
    bool theOtherKept = false;
    std::thread theOther([&] {
      while (theStep != 1)
        std::this_thread::yield();
      HANDLE theNone = nullptr;
      theOtherKept = !CanRead(theUserFile) && !CanRead(theGroupFile) && !InGroups(theUser.mExtraGid) &&
                     !OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &theNone) &&
                     GetLastError() == ERROR_NO_TOKEN;
      theStep = 2;
    });

    CHILD_CHECK(ImpersonateLoggedOnUser(theToken));
    theStep = 1;
    CHILD_CHECK(CanRead(theUserFile));
    CHILD_CHECK(CanRead(theGroupFile));
    CHILD_CHECK(InGroups(theUser.mExtraGid));
    CHILD_CHECK(static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == theUser.mUid);
    CHILD_CHECK(OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &theThreadToken));
    CHILD_CHECK(AccountOf(theThreadToken) == theUser.mName);
    CHILD_CHECK(CloseHandle(theThreadToken));
    while (theStep != 2)
      std::this_thread::yield();
    theOther.join();
    CHILD_CHECK(theOtherKept);

    CHILD_CHECK(RevertToSelf());
    CHILD_CHECK(!CanRead(theUserFile) && !CanRead(theGroupFile));
    CHILD_CHECK(!InGroups(theUser.mExtraGid));
    CHILD_CHECK(RevertToSelf());  // nothing to revert: still fine
    HANDLE theProcessToken = nullptr;
    CHILD_CHECK(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &theProcessToken));
    CHILD_CHECK(AccountOf(theProcessToken) == "root");
    CHILD_CHECK(CloseHandle(theProcessToken));
    CHILD_CHECK(CloseHandle(theToken));
    return 0;
  });
  EXPECT_TRUE(tltest::Succeeded(theResult)) << "see the child's message above";

  // Logons that fail give their codes.
  struct Case {
    const char* mWhat;
    std::string mName;
    std::string mDomain;
    std::string mPassword;
    DWORD mType;
    DWORD mError;  // 0: the logon succeeds
  };
  char theHost[256] = {};
  gethostname(theHost, sizeof(theHost) - 1);
  std::string theShortHost = std::string(theHost).substr(0, std::string(theHost).find('.'));
  const Case kCases[] = {
    {"a wrong password", theUser.mName, ".", theUser.mPassword + "x", LOGON32_LOGON_BATCH, ERROR_LOGON_FAILURE},
    {"an unknown user", "tl4nosuchuser", "", "x", LOGON32_LOGON_NETWORK, ERROR_LOGON_FAILURE},
    {"another domain", theUser.mName, "ELSEWHERE", theUser.mPassword, LOGON32_LOGON_BATCH, ERROR_NO_SUCH_DOMAIN},
    {"an unknown logon type", theUser.mName, ".", theUser.mPassword, 99, ERROR_INVALID_PARAMETER},
    {"this host's name as the domain", theUser.mName, theShortHost, theUser.mPassword, LOGON32_LOGON_INTERACTIVE, 0},
  };
  for (const Case& theCase : kCases) {
    theResult = tltest::RunInChild([&] {
      HANDLE theToken = reinterpret_cast<HANDLE>(1);
      SetLastError(0);
      BOOL theDone = LogonUserA(theCase.mName.c_str(), theCase.mDomain.c_str(), theCase.mPassword.c_str(),
                                theCase.mType, LOGON32_PROVIDER_DEFAULT, &theToken);
      DWORD theError = theDone ? 0 : GetLastError();
      if (theDone)
        CloseHandle(theToken);
      if (theError == theCase.mError)
        return 0;
      std::fprintf(stderr, "%s: error %u, expected %u\n", theCase.mWhat, theError, theCase.mError);
      return 1;
    });
    EXPECT_TRUE(tltest::Succeeded(theResult)) << theCase.mWhat;
  }
}

TEST(Impersonation, WithoutThePrivilegeNothingSwitches)
{
  auto theBody = [](HANDLE inToken) {
    HANDLE theToken = nullptr;
    CHILD_CHECK(!LogonUserA("root", ".", "whatever", LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, &theToken));
    CHILD_CHECK(GetLastError() == ERROR_PRIVILEGE_NOT_HELD);
    CHILD_CHECK(!ImpersonateLoggedOnUser(inToken));
    CHILD_CHECK(GetLastError() == ERROR_PRIVILEGE_NOT_HELD);
    CHILD_CHECK(!OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &theToken));
    CHILD_CHECK(GetLastError() == ERROR_NO_TOKEN);
    return 0;
  };
  HANDLE theProcessToken = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &theProcessToken));
  tltest::ChildResult theResult = tltest::IsRoot() ? tltest::RunAsNobody([&] { return theBody(theProcessToken); })
                                                   : tltest::RunInChild([&] { return theBody(theProcessToken); });
  EXPECT_TRUE(tltest::Succeeded(theResult)) << "see the child's message above";
  EXPECT_TRUE(CloseHandle(theProcessToken));
}
