// tlregsvr registers the test server, tlscript drives it from pages, and
// tlregsvr -u removes every key again. Each test runs the programs as child
// processes in the test's own fresh TESSALINE_HOME.

#include "platform/registry/RegistryKey.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

extern char** environ;

namespace {

struct RunResult {
  int mStatus = -1;  // exit status, or -1 when killed by a signal
  std::string mOut;
  std::string mErr;
};

std::string ReadFile(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::ostringstream theText;
  theText << theFile.rdbuf();
  return theText.str();
}

// Runs a program with the test's environment plus inExtra ("NAME=value"; a
// bare "NAME" removes it).
// The output goes to files in inFolder (a new folder when empty).
RunResult RunProgram(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra = {},
                     std::string inFolder = "")
{
  std::string theFolder = inFolder.empty() ? tltest::MakeTempFolder("run") : inFolder;
  std::string theOut = theFolder + "/out";
  std::string theErr = theFolder + "/err";
  posix_spawn_file_actions_t theActions;
  posix_spawn_file_actions_init(&theActions);
  posix_spawn_file_actions_addopen(&theActions, 1, theOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&theActions, 2, theErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<std::string> theEnvironment;
  for (char** theEntry = environ; *theEntry; ++theEntry) {
    std::string theText = *theEntry;
    bool theReplaced = false;
    for (const std::string& theExtra : inExtra)
      if (theText.substr(0, theText.find('=')) == theExtra.substr(0, theExtra.find('=')))
        theReplaced = true;
    if (!theReplaced)
      theEnvironment.push_back(theText);
  }
  for (const std::string& theExtra : inExtra)
    if (theExtra.find('=') != std::string::npos)
      theEnvironment.push_back(theExtra);
  std::vector<char*> theEnvp;
  for (std::string& theEntry : theEnvironment)
    theEnvp.push_back(theEntry.data());
  theEnvp.push_back(nullptr);
  std::vector<std::string> theArgs = inCommand;
  std::vector<char*> theArgv;
  for (std::string& theArg : theArgs)
    theArgv.push_back(theArg.data());
  theArgv.push_back(nullptr);

  RunResult theResult;
  pid_t theChild = 0;
  if (posix_spawn(&theChild, theArgv[0], &theActions, nullptr, theArgv.data(), theEnvp.data()) == 0) {
    int theStatus = 0;
    waitpid(theChild, &theStatus, 0);
    theResult.mStatus = WIFEXITED(theStatus) ? WEXITSTATUS(theStatus) : -1;
  }
  posix_spawn_file_actions_destroy(&theActions);
  theResult.mOut = ReadFile(theOut);
  theResult.mErr = ReadFile(theErr);
  return theResult;
}

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

void CollectKeys(const std::string& inPath, std::set<std::string>& ioKeys)
{
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, inPath.c_str(), 0, KEY_READ, &theKey) != ERROR_SUCCESS)
    return;
  std::vector<std::string> theChildren;
  for (DWORD i = 0;; ++i) {
    char theName[256];
    DWORD theSize = sizeof theName;
    if (RegEnumKeyExA(theKey, i, theName, &theSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    theChildren.emplace_back(theName, theSize);
  }
  RegCloseKey(theKey);
  for (const std::string& theChild : theChildren) {
    std::string thePath = inPath.empty() ? theChild : inPath + "\\" + theChild;
    ioKeys.insert(thePath);
    CollectKeys(thePath, ioKeys);
  }
}

std::set<std::string> AllKeys()
{
  std::set<std::string> theKeys;
  CollectKeys("", theKeys);
  theKeys.erase("CLSID");
  theKeys.erase("TypeLib");
  theKeys.erase("Interface");
  return theKeys;
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
  std::set<std::string> theBefore = AllKeys();
  RunResult theResult = RunProgram({TL_TLREGSVR, TL_TEST_SERVER});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_NE(theResult.mOut.find("DllRegisterServer"), std::string::npos);
  EXPECT_EQ(theResult.mErr, "") << "no warning with TESSALINE_HOME set";

  const std::string theClassKey = "CLSID\\{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F40}";
  char theResolved[PATH_MAX];
  ASSERT_NE(realpath(TL_TEST_SERVER, theResolved), nullptr);
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, theClassKey + "\\InprocServer32").value_or(""), theResolved);
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, theClassKey + "\\InprocServer32", "ThreadingModel").value_or(""),
            "Neutral");
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, "TLTest.Thing\\CurVer").value_or(""), "TLTest.Thing.1");
  std::set<std::string> theRegistered = AllKeys();
  EXPECT_TRUE(theRegistered.count("CLSID\\{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F4F}\\Implemented Categories\\"
                                  "{40FC6ED5-2438-11CF-A3DB-080036F12502}"));
  EXPECT_TRUE(theRegistered.count("Interface\\{1E4C7A90-2B5D-4F68-8A3C-9D0E1F2A3B4D}"));

  theResult = RunProgram({TL_TLREGSVR, "-u", TL_TEST_SERVER});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(AllKeys(), theBefore);

  RunResult thePage = RunPage("thing.js");
  EXPECT_EQ(thePage.mStatus, 1) << "the ProgID is gone";
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
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0) << ReadFile(theFolder + "/err");
}

TEST_F(HostTest, PagesDriveTheServerByName)
{
  // thing.js: every kind of member, value and error; odd-uses.js: mistakes a
  // page may make, each an Error the page catches.
  for (const char* thePage : {"thing", "odd-uses"}) {
    SCOPED_TRACE(thePage);
    RunResult theResult = RunPage(std::string(thePage) + ".js");
    EXPECT_EQ(theResult.mErr, "");
    EXPECT_EQ(theResult.mOut, ReadFile(Page(std::string(thePage) + ".expected")));
    EXPECT_EQ(theResult.mStatus, 0);
  }
}

TEST_F(HostTest, FailingPagesSayWhyAndExitNonZero)
{
  struct Case {
    const char* mPage;
    const char* mOut;
    const char* mErr;  // the whole standard error
  };
  const Case kCases[] = {
      {"uncaught-failure.js", "before\n", "TLTest.Thing.1: Out of paper\n"},
      {"unknown-progid.js", "",
       "Server.CreateObject: Cannot create 'TLTest.Nothing': the ProgID is not registered\n"},
      {"unknown-member.js", "", "tlscript: 'Frobnicate' is not a property or method of TLTest.Thing\n"},
      {"script-object-argument.js", "",
       "tlscript: Type mismatch: a script object cannot be passed as argument 1 of 'Describe'\n"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mPage);
    RunResult theResult = RunPage(theCase.mPage);
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mOut, theCase.mOut);
    EXPECT_EQ(theResult.mErr, theCase.mErr);
  }

  // Messages whose wording comes from Duktape or the system table: their shape.
  struct Shape {
    const char* mPage;
    const char* mStart;
    const char* mContains;
  };
  const Shape kShapes[] = {
      {"syntax-error.js", "syntax-error.js line 2: SyntaxError", ""},
      {"script-error.js", "script-error.js line 1: ReferenceError", "undefinedFunction"},
      {"wrong-type.js", "tlscript: ", "('Width' of TLTest.Thing)"},
  };
  for (const Shape& theShape : kShapes) {
    SCOPED_TRACE(theShape.mPage);
    RunResult theResult = RunPage(theShape.mPage);
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mOut, "");
    EXPECT_EQ(theResult.mErr.rfind(theShape.mStart, 0), 0u) << theResult.mErr;
    EXPECT_NE(theResult.mErr.find(theShape.mContains), std::string::npos) << theResult.mErr;
    EXPECT_EQ(std::count(theResult.mErr.begin(), theResult.mErr.end(), '\n'), 1) << theResult.mErr;
  }
}

TEST_F(HostTest, BinaryWriteAndArguments)
{
  RunResult theResult = RunPage("binary.js");
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut, std::string("\0\1\2\3\4", 5));

  theResult = RunPage("args.js", {"one", "two words", "\xC3\xA9"});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut, "3:one|two words|\xC3\xA9");
}

TEST(HostCommandLine, WrongUseIsAnError)
{
  EXPECT_EQ(RunProgram({TL_TLSCRIPT}).mStatus, 2);
  EXPECT_EQ(RunProgram({TL_TLSCRIPT, Page("no-such-page.js")}).mStatus, 2);
  EXPECT_EQ(RunProgram({TL_TLREGSVR}).mStatus, 2);
  EXPECT_EQ(RunProgram({TL_TLREGSVR, "-x", TL_TEST_SERVER}).mStatus, 2);
  EXPECT_EQ(RunProgram({TL_TLREGSVR, "/nonexistent/server.so"}).mStatus, 3);
  RunResult theResult = RunProgram({TL_TLREGSVR, Page("args.js")});
  EXPECT_EQ(theResult.mStatus, 3) << "not a shared library";
  EXPECT_NE(theResult.mErr.find("cannot load"), std::string::npos);
}

TEST(HostCommandLine, WarnsAboutAPrivateStore)
{
  if (access("/var/lib/tessaline", F_OK) == 0)
    GTEST_SKIP() << "this machine has the shared store";
  std::string theState = tltest::MakeTempFolder("state");
  RunResult theResult = RunProgram({TL_TLSCRIPT, Page("args.js")}, {"TESSALINE_HOME", "XDG_STATE_HOME=" + theState});
  EXPECT_EQ(theResult.mStatus, 0);
  EXPECT_EQ(theResult.mErr.rfind("tlscript: Warning: the Tessaline store", 0), 0u) << theResult.mErr;
  theResult = RunProgram({TL_TLREGSVR, "/nonexistent/server.so"}, {"TESSALINE_HOME", "XDG_STATE_HOME=" + theState});
  EXPECT_EQ(theResult.mErr.rfind("tlregsvr: Warning: the Tessaline store", 0), 0u) << theResult.mErr;
}

TEST(TestServer, ExportsExactlyTheFourEntryPoints)
{
  std::string theFolder = tltest::MakeTempFolder("nm");
  RunResult theResult = RunProgram({"/usr/bin/nm", "-D", "--defined-only", TL_TEST_SERVER});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theSymbols;
  std::istringstream theLines(theResult.mOut);
  for (std::string theLine; std::getline(theLines, theLine);)
    theSymbols.insert(theLine.substr(theLine.rfind(' ') + 1));
  EXPECT_EQ(theSymbols, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                                "DllUnregisterServer"}));
}

}  // namespace
