// tlregsvr registers the test server, tlscript drives it from pages, and
// tlregsvr -u removes every key again.

#include "platform/registry/Registry.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>

namespace {

using tltest::ReadFile;
using tltest::RunProgram;
using tltest::RunResult;

std::string Page(const std::string& inName)
{
  return std::string(TL_PAGES_DIR) + "/" + inName;
}

RunResult RunPage(const std::string& inName, std::vector<std::string> inArgs = {})
{
  std::vector<std::string> theCommand{TL_TLSCRIPT, Page(inName)};
  theCommand.insert(theCommand.end(), inArgs.begin(), inArgs.end());
  return RunProgram(theCommand);
}

class HostTest : public testing::Test {
protected:
  void SetUp() override
  {
    RunResult theResult = RunProgram({TL_TLREGSVR, TL_TEST_SERVER});
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  }
};

TEST(HostRegistration, RegistersAndRemovesEveryKey)
{
  const std::set<std::string> theBefore = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  RunResult theResult = RunProgram({TL_TLREGSVR, TL_TEST_SERVER});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_NE(theResult.mOut.find("DllRegisterServer"), std::string::npos);
  EXPECT_EQ(theResult.mErr, "") << "no warning with TESSALINE_HOME set";

  const std::string theClassKey = "CLSID\\{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F40}";
  char theResolved[PATH_MAX];
  ASSERT_NE(realpath(TL_TEST_SERVER, theResolved), nullptr);
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, theClassKey + "\\InprocServer32"), theResolved);
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, theClassKey + "\\InprocServer32", "ThreadingModel"), "Neutral");
  const std::set<std::string> theRegistered = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(theRegistered.count("CLSID\\{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F4F}\\Implemented Categories\\"
                                  "{40FC6ED5-2438-11CF-A3DB-080036F12502}"));

  theResult = RunProgram({TL_TLREGSVR, "-u", TL_TEST_SERVER});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theAfter = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  for (const char* theRoot : {"CLSID", "TypeLib", "Interface"})  // shared roots may stay
    if (!theBefore.count(theRoot))
      theAfter.erase(theRoot);
  EXPECT_EQ(theAfter, theBefore);
  EXPECT_EQ(RunPage("thing.js").mStatus, 1) << "the ProgID is gone";
  EXPECT_EQ(tltest::ExportedSymbols(TL_TEST_SERVER),
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                   "DllUnregisterServer"}));
}

TEST(HostRegistration, FailureIsReported)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  // The test home belongs to root: nobody cannot make its registry.
  std::string theFolder = tltest::MakeTempFolder("nobody");
  chmod(theFolder.c_str(), 0777);
  tltest::ChildResult theChild = tltest::RunAsNobody([&] {
    RunResult theResult = RunProgram({TL_TLREGSVR, TL_TEST_SERVER}, {}, theFolder);
    bool theReported = theResult.mErr.find("DllRegisterServer in ") != std::string::npos &&
                       theResult.mErr.find(" failed: 0x8") != std::string::npos;
    return theResult.mStatus == 1 && theReported ? 0 : 1;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild)) << ReadFile(theFolder + "/err");
}

TEST_F(HostTest, PagesDriveTheServerByName)
{
  // thing.js: every kind of member, value and error; odd-uses.js: mistakes a
  // page may make, each an Error the page catches.
  for (const std::string thePage : {"thing", "odd-uses"}) {
    SCOPED_TRACE(thePage);
    RunResult theResult = RunPage(thePage + ".js");
    EXPECT_EQ(theResult.mErr, "");
    EXPECT_EQ(theResult.mOut, ReadFile(Page(thePage + ".expected")));
    EXPECT_EQ(theResult.mStatus, 0);
  }
  RunResult theResult = RunPage("binary.js");
  EXPECT_EQ(theResult.mOut, std::string("\0\1\2\3\4", 5)) << theResult.mErr;
  theResult = RunPage("args.js", {"one", "two words", "\xC3\xA9"});
  EXPECT_EQ(theResult.mOut, "3:one|two words|\xC3\xA9") << theResult.mErr;
}

TEST(HostCommandLine, ArgumentsAreTheQueryString)
{
  char thePages[PATH_MAX];
  ASSERT_NE(realpath(TL_PAGES_DIR, thePages), nullptr);
  RunResult theResult = RunPage("query.js", {"w=160", "caption=a b=c", "plain", "w=2"});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, "160, 2|a b=c|undefined|undefined|undefined|" + std::string(thePages) + "/thing.js");
  EXPECT_EQ(theResult.mStatus, 0);
  theResult = RunProgram({TL_TLSCRIPT, Page("query.js")}, {"TESSALINE_PAGE_ROOT=" + tltest::MakeTempFolder("root")});
  EXPECT_EQ(theResult.mStatus, 2) << "the page lies outside the page root";
  EXPECT_NE(theResult.mErr.find("is outside the page root"), std::string::npos) << theResult.mErr;
}

TEST_F(HostTest, FailingPagesSayWhyAndExitNonZero)
{
  // The whole standard error, or its start and a part of it.
  struct Case {
    const char* mPage;
    const char* mOut;
    const char* mErr;
    const char* mContains;  // null: mErr is the whole text
  };
  const Case kCases[] = {
      {"uncaught-failure.js", "", "TLTest.Thing.1: Out of paper\n", nullptr},
      {"not-found.js", "", "not-found.js: 404 Not Found: Looking... There is no such thing.\n", nullptr},
      {"unknown-progid.js", "", "Server.CreateObject: Cannot create 'TLTest.Nothing': the ProgID is not registered\n",
       nullptr},
      {"unknown-member.js", "", "tlscript: 'Frobnicate' is not a property or method of TLTest.Thing\n", nullptr},
      {"syntax-error.js", "", "syntax-error.js line 2: SyntaxError", ""},
      {"script-error.js", "", "script-error.js line 1: ReferenceError", "undefinedFunction"},
      {"wrong-type.js", "", "tlscript: ", "('Width' of TLTest.Thing)"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mPage);
    RunResult theResult = RunPage(theCase.mPage);
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mOut, theCase.mOut);
    if (!theCase.mContains) {
      EXPECT_EQ(theResult.mErr, theCase.mErr);
      continue;
    }
    EXPECT_EQ(theResult.mErr.rfind(theCase.mErr, 0), 0u) << theResult.mErr;
    EXPECT_NE(theResult.mErr.find(theCase.mContains), std::string::npos) << theResult.mErr;
    EXPECT_EQ(std::count(theResult.mErr.begin(), theResult.mErr.end(), '\n'), 1) << theResult.mErr;
  }
}

// A registry that cannot be read is not a ProgID that is not registered: the
// page is told what failed, in the registry's own words.
TEST(HostRegistry, AnUnreadableRegistrySaysSo)
{
  const std::string theHome = tltest::MakeTempFolder("broken-registry");
  {
    std::ofstream theDatabase(theHome + "/registry.db", std::ios::binary);
    theDatabase << std::string(8192, 'x');
  }
  RunResult theResult = RunProgram({TL_TLSCRIPT, Page("unknown-progid.js")}, {"TESSALINE_HOME=" + theHome});
  EXPECT_EQ(theResult.mStatus, 1);
  EXPECT_EQ(theResult.mErr.rfind("Server.CreateObject: Cannot create 'TLTest.Nothing': the registry cannot be read: "
                                 "The registry is corrupted.",
                                 0),
            0u)
    << theResult.mErr;
}

TEST(HostCommandLine, WrongUseIsAnError)
{
  const std::pair<std::vector<std::string>, int> kCases[] = {
      {{TL_TLSCRIPT}, 2},
      {{TL_TLSCRIPT, Page("no-such-page.js")}, 2},
      {{TL_TLREGSVR}, 2},
      {{TL_TLREGSVR, "/nonexistent/server.so"}, 3},
      {{TL_TLREGSVR, Page("args.js")}, 3},  // not a shared library
  };
  for (const auto& [theCommand, theStatus] : kCases)
    EXPECT_EQ(RunProgram(theCommand).mStatus, theStatus) << testing::PrintToString(theCommand);
  EXPECT_NE(RunProgram({TL_TLREGSVR, Page("args.js")}).mErr.find("cannot load"), std::string::npos);

  // A wrong call shows the usage on standard error alone.
  const std::vector<std::string> kWrong[] = {
      {TL_TLSCRIPT}, {TL_TLSCRIPT, "-x"}, {TL_TLSCRIPT, "--helpme", Page("args.js")},
      {TL_TLREGSVR}, {TL_TLREGSVR, "--bogus"}, {TL_TLREGSVR, "-u"}, {TL_TLREGSVR, "--help", "x.so"},
  };
  for (const std::vector<std::string>& theCommand : kWrong) {
    SCOPED_TRACE(testing::PrintToString(theCommand));
    RunResult theResult = RunProgram(theCommand);
    EXPECT_EQ(theResult.mStatus, 2);
    EXPECT_EQ(theResult.mOut, "");
    const std::string theName = theCommand[0].substr(theCommand[0].rfind('/') + 1);
    EXPECT_EQ(theResult.mErr.rfind("usage: " + theName + " ", 0), 0u) << theResult.mErr;
  }
}

TEST(HostCommandLine, HelpAndVersion)
{
  for (const char* theProgram : {TL_TLSCRIPT, TL_TLREGSVR}) {
    const std::string theName = std::string(theProgram).substr(std::string(theProgram).rfind('/') + 1);
    SCOPED_TRACE(theName);
    RunResult theResult = RunProgram({theProgram, "--help"});
    EXPECT_EQ(theResult.mStatus, 0);
    EXPECT_EQ(theResult.mErr, "");
    EXPECT_EQ(theResult.mOut.rfind("usage: " + theName + " ", 0), 0u) << theResult.mOut;
    const std::vector<std::string> theMentions = {"--help", "--version", "Exit status", theName + "(1)"};
    for (const std::string& theMention : theMentions)
      EXPECT_NE(theResult.mOut.find(theMention), std::string::npos) << theMention;
    theResult = RunProgram({theProgram, "--version"});
    EXPECT_EQ(theResult.mStatus, 0);
    EXPECT_EQ(theResult.mErr, "");
    EXPECT_EQ(theResult.mOut, theName + " " TL_VERSION "\n");
  }
}

TEST(HostCommandLine, WarnsAboutAPrivateStore)
{
  if (access("/var/lib/tessaline", F_OK) == 0)
    GTEST_SKIP() << "this machine has the shared store";
  const std::vector<std::string> thePrivate = {"TESSALINE_HOME", "XDG_STATE_HOME=" + tltest::MakeTempFolder("state")};
  RunResult theResult = RunProgram({TL_TLSCRIPT, Page("args.js")}, thePrivate);
  EXPECT_EQ(theResult.mStatus, 0);
  EXPECT_EQ(theResult.mErr.rfind("tlscript: Warning: the Tessaline store", 0), 0u) << theResult.mErr;
  theResult = RunProgram({TL_TLREGSVR, "/nonexistent/server.so"}, thePrivate);
  EXPECT_EQ(theResult.mErr.rfind("tlregsvr: Warning: the Tessaline store", 0), 0u) << theResult.mErr;
}

}  // namespace
