// The operation logs of a machine-wide store: a setgid folder of a group that
// the administrator and the web server's user share, made under umask 022.
// Whoever makes the logs folder or a log file, every member appends to it.

#include "core/CanvasLog.h"
#include "core/OperationLog.h"
#include "core/Preferences.h"
#include "platform/base/WinError.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const char* const kLogFiles[] = {"Canvas.log", "Operation.log", "SaveAs.log"};

// One record in each of the three files.
void WriteRecords()
{
  OperationLog theOperation;
  theOperation.SetType("Export");
  theOperation.SetPath("/srv/out/a.jpg");
  theOperation.Finish();
  CanvasLog().Finish();
}

std::size_t LineCount(const std::string& inPath)
{
  const std::string theText = tltest::ReadFile(inPath);
  return static_cast<std::size_t>(std::count(theText.begin(), theText.end(), '\n'));
}

// "<mode in octal> <group id>" of a file or folder.
std::string Sharing(const std::string& inPath)
{
  struct stat theInfo {};
  if (stat(inPath.c_str(), &theInfo) != 0)
    return "missing";
  char theMode[8];
  std::snprintf(theMode, sizeof theMode, "%04o", static_cast<unsigned>(theInfo.st_mode & 07777));
  return std::string(theMode) + " " + std::to_string(theInfo.st_gid);
}

}  // namespace

TEST(LogSharing, EveryMemberOfAGroupStoreAppendsWhoeverMadeTheLogs)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to make a user and a group";
  tltest::SystemUser theMember;
  ASSERT_TRUE(theMember.mMade) << "useradd or groupadd failed";
  const passwd* theAccount = getpwnam(theMember.mName.c_str());
  ASSERT_NE(theAccount, nullptr);
  const gid_t theOwnGroup = theAccount->pw_gid;

  const std::string theStore = tltest::MakeTempFolder("store");
  ASSERT_EQ(chown(theStore.c_str(), static_cast<uid_t>(-1), theMember.mExtraGid), 0);
  ASSERT_EQ(chmod(theStore.c_str(), 02770), 0);
  setenv("TESSALINE_HOME", theStore.c_str(), 1);
  const mode_t theOldMask = umask(022);
  ASSERT_EQ(SetPrefLong("LogOperations", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetPrefLong("MaxOperationTime", 0), ERROR_SUCCESS);

  auto theAsMember = [&] {
    return tltest::RunInChild([&] {
      const gid_t theGroups[] = {theMember.mExtraGid};
      if (setgroups(1, theGroups) != 0 || setgid(theOwnGroup) != 0 || setuid(theMember.mUid) != 0)
        return 98;
      WriteRecords();
      return 0;
    });
  };
  const std::string theLogs = theStore + "/logs";
  const std::string theShared = "2770 " + std::to_string(theMember.mExtraGid);
  const std::string theSharedFile = "0660 " + std::to_string(theMember.mExtraGid);

  // The administrator makes the logs; the member's records land beside theirs.
  WriteRecords();
  EXPECT_EQ(Sharing(theLogs), theShared);
  for (const char* theName : kLogFiles)
    EXPECT_EQ(Sharing(theLogs + "/" + theName), theSharedFile) << theName;
  EXPECT_TRUE(tltest::Succeeded(theAsMember()));
  for (const char* theName : kLogFiles)
    EXPECT_EQ(LineCount(theLogs + "/" + theName), 3u) << theName << ": the header and both records";

  // The member makes them: the group keeps them writable for the others.
  fs::remove_all(theLogs);
  EXPECT_TRUE(tltest::Succeeded(theAsMember()));
  EXPECT_EQ(Sharing(theLogs), theShared);
  for (const char* theName : kLogFiles)
    EXPECT_EQ(Sharing(theLogs + "/" + theName), theSharedFile) << theName;
  umask(theOldMask);
}
