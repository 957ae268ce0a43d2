// The preferences of a store shared with its group, as the web server's user
// and the administrator meet them: pages and tlregsvr run as a throw-away
// member of the group are refused every change, the owner's go through.

#include "core/Preferences.h"
#include "platform/base/WinError.h"
#include "tests/support/HostProcess.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tltest::RunProgram;
using tltest::RunResult;

const std::string kExamplePage = std::string(TL_EXAMPLES_DIR) + "/preferences.js";

class SharedPreferences : public testing::Test {
protected:
  void SetUp() override
  {
    if (!tltest::IsRoot())
      GTEST_SKIP() << "needs root to make a user and hand the store to its group";
    ASSERT_TRUE(mUser.mMade) << "useradd, groupadd or chpasswd failed";
    mHome = tltest::MakeGroupFolder(mUser, 02770);
    ASSERT_FALSE(mHome.empty());
    setenv("TESSALINE_HOME", mHome.c_str(), 1);
    for (const char* theServer : {TL_SETTINGS_COMPONENT, TL_TESSALINE4}) {
      RunResult theResult = RunProgram({TL_TLREGSVR, theServer});
      ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
    }
    ASSERT_EQ(SetPrefLong("MaxSize", 2000), ERROR_SUCCESS);
  }

  // inCommand run as the member of the store's group.
  RunResult AsMember(const std::vector<std::string>& inCommand) const
  {
    std::vector<std::string> theCommand = {"/usr/bin/setpriv", "--reuid=" + mUser.mName, "--regid=" + mUser.mName,
                                           "--init-groups"};
    theCommand.insert(theCommand.end(), inCommand.begin(), inCommand.end());
    return RunProgram(theCommand);
  }

  tltest::SystemUser mUser;
  std::string mHome;
};

TEST_F(SharedPreferences, OnlyTheOwnerChangesThem)
{
  const struct {
    const char* mName;
    const char* mValue;
  } kChanges[] = {{"MaxSize", "50000"}, {"LogDirectory", "/tmp/elsewhere"}, {"EnableImpersonation", "true"}};
  for (const auto& theChange : kChanges) {
    SCOPED_TRACE(theChange.mName);
    RunResult theResult = AsMember({TL_TLSCRIPT, kExamplePage, theChange.mName, theChange.mValue});
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mErr, std::string("preferences.js: cannot set ") + theChange.mName + ": Access is denied.\n")
      << "the Settings object's own error";
  }
  EXPECT_EQ(GetPrefLong("MaxSize", 0), 2000);
  EXPECT_EQ(GetPrefString("LogDirectory", "(none)", 260), "(none)");
  EXPECT_EQ(GetPrefLong("EnableImpersonation", 0), 0);

  RunResult theRegistration = AsMember({TL_TLREGSVR, TL_TESSALINE4});
  EXPECT_EQ(theRegistration.mStatus, 1);
  EXPECT_NE(theRegistration.mErr.find("failed: 0x80070005 Access is denied."), std::string::npos)
    << theRegistration.mErr;
  EXPECT_NE(theRegistration.mErr.find("only root and the owner of " + mHome + " (root) may change its registry"),
            std::string::npos)
    << theRegistration.mErr;

  RunResult theOwners = RunProgram({TL_TLSCRIPT, kExamplePage, "MaxSize", "3000"});
  EXPECT_EQ(theOwners.mStatus, 0) << theOwners.mErr;
  EXPECT_EQ(GetPrefLong("MaxSize", 0), 3000);
}

}  // namespace
