#include "platform/base/TessalineHome.h"
#include "platform/base/WinError.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/EventReport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

mode_t ModeOf(const std::string& inPath)
{
  struct stat theInfo {};
  return stat(inPath.c_str(), &theInfo) == 0 ? (theInfo.st_mode & 07777) : 0;
}

bool SharedHomeExists()
{
  return std::filesystem::is_directory("/var/lib/tessaline");
}

}  // namespace

TEST(TessalineHome, NamedHomeIsUsedAndMadeWhenMissing)
{
  std::string theHome;
  ASSERT_EQ(GetTessalineHome(theHome), ERROR_SUCCESS);
  EXPECT_EQ(theHome, tltest::TestHome());
  EXPECT_FALSE(IsTessalineHomePrivate());
  EXPECT_EQ(GetTessalineHomeWarning(), "");

  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    umask(0);
    std::string theNamed = tltest::TestHome() + "/new-home";
    setenv("TESSALINE_HOME", (theNamed + "//").c_str(), 1);
    std::string theMade;
    if (GetTessalineHome(theMade) != ERROR_SUCCESS || theMade != theNamed)
      return 1;
    if (ModeOf(theNamed) != 0770)
      return 2;
    // A relative name is taken from the current folder.
    if (chdir(tltest::TestHome().c_str()) != 0)
      return 3;
    setenv("TESSALINE_HOME", "relative", 1);
    if (GetTessalineHome(theMade) != ERROR_SUCCESS || theMade != tltest::TestHome() + "/relative")
      return 4;
    return 0;
  })));
}

TEST(TessalineHome, UnusableNamedHomeGivesAnError)
{
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    std::string theFile = tltest::TestHome() + "/plain-file";
    std::ofstream(theFile) << "x";
    struct Case {
      std::string mHome;
      DWORD mError;
    };
    const Case kCases[] = {
      {"/nonexistent-tessaline-parent/home", ERROR_PATH_NOT_FOUND},
      {theFile, ERROR_DIRECTORY},
      {theFile + "/below", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& theCase : kCases) {
      setenv("TESSALINE_HOME", theCase.mHome.c_str(), 1);
      std::string theHome = "stale";
      if (GetTessalineHome(theHome) != theCase.mError || !theHome.empty())
        return 1;
    }
    return 0;
  })));
}

TEST(TessalineHome, PrivateFallbackIsMadeForTheUserOnly)
{
  if (SharedHomeExists())
    GTEST_SKIP() << "this machine has a shared home";
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    umask(022);
    std::string theState = tltest::MakeTempFolder("state");
    std::string theUser = tltest::MakeTempFolder("user");
    unsetenv("TESSALINE_HOME");
    setenv("XDG_STATE_HOME", theState.c_str(), 1);
    std::string theHome;
    if (GetTessalineHome(theHome) != ERROR_SUCCESS || theHome != theState + "/tessaline")
      return 1;
    if (ModeOf(theHome) != 0700 || !IsTessalineHomePrivate())
      return 2;
    std::string theWarning = GetTessalineHomeWarning();
    if (theWarning.find("private to this user") == std::string::npos || theWarning.find(theHome) == std::string::npos)
      return 4;

    // Without XDG_STATE_HOME: ~/.local/state/tessaline, every new folder 0700.
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", theUser.c_str(), 1);
    if (GetTessalineHome(theHome) != ERROR_SUCCESS || theHome != theUser + "/.local/state/tessaline")
      return 5;
    if (ModeOf(theUser + "/.local") != 0700 || ModeOf(theUser + "/.local/state") != 0700 || ModeOf(theHome) != 0700)
      return 6;
    return 0;
  })));
}

TEST(TessalineHome, PrivateFallbackThatCannotBeMadeGivesAnError)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  if (SharedHomeExists())
    GTEST_SKIP() << "this machine has a shared home";
  tltest::ChildResult theChild = tltest::RunAsNobody([] {
    unsetenv("TESSALINE_HOME");
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", "/nonexistent", 1);
    std::string theHome;
    return GetTessalineHome(theHome) == ERROR_ACCESS_DENIED && theHome.empty() ? 0 : 1;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild));
}

// A machine-wide store is a setgid folder of the store's group. Whoever
// makes registry.db and events.log, under whatever umask, the group reads the
// one and appends to the other: a member of the group who is not the store's
// owner writes an event, and is refused the value it sets.
TEST(TessalineHome, MachineWideStoreIsSharedWithItsGroup)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to hand the store to another user's group";
  const passwd* theMember = getpwnam("nobody");
  ASSERT_NE(theMember, nullptr);
  const std::string theHome = tltest::MakeTempFolder("store");
  ASSERT_EQ(chown(theHome.c_str(), 0, theMember->pw_gid), 0);
  ASSERT_EQ(chmod(theHome.c_str(), 02770), 0);
  setenv("TESSALINE_HOME", theHome.c_str(), 1);
  umask(022);

  // The event's answer, then the value's: -1 when the event was not written.
  auto Write = [](const char* inName, const char* inEvent) -> LONG {
    if (!tltest::ReportTestEvent(inEvent))
      return -1;
    RegistryKey theKey;
    LONG theStatus = theKey.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared");
    return theStatus == ERROR_SUCCESS ? theKey.WriteString(inName, "yes") : theStatus;
  };
  ASSERT_EQ(Write("ByOwner", "written by the owner"), ERROR_SUCCESS);
  EXPECT_EQ(ModeOf(theHome + "/registry.db"), 0640u);
  EXPECT_EQ(ModeOf(theHome + "/events.log"), 0660u);

  EXPECT_TRUE(tltest::Succeeded(
    tltest::RunAsNobody([&] { return Write("ByMember", "written by a member") == ERROR_ACCESS_DENIED ? 0 : 1; })));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", "ByMember").value_or("(none)"), "(none)");
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", "ByOwner").value_or(""), "yes");
  EXPECT_NE(tltest::ReadFile(theHome + "/events.log").find("written by a member"), std::string::npos);
}
