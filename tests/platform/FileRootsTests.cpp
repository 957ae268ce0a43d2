// The roots a served page reaches files below, as every file entry point
// enforces them.

#include "platform/base/LastError.h"
#include "platform/files/FileRoots.h"
#include "platform/files/Files.h"
#include "platform/kernel/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kVariables[] = {"GATEWAY_INTERFACE", "TESSALINE_FILE_ROOTS", "TESSALINE_PAGE_ROOT", "DOCUMENT_ROOT",
                                  "TMPDIR"};

// A folder tree with a root, a second root, the outside, and links between them.
class FileRoots : public testing::Test {
protected:
  void SetUp() override
  {
    for (const char* theName : kVariables)
      unsetenv(theName);
    mBase = fs::canonical(tltest::MakeTempFolder("roots")).string();
    for (const char* theFolder : {"/root", "/other", "/outside", "/tmp"})
      fs::create_directory(mBase + theFolder);
    std::ofstream(Path("root/in.txt")) << "inside";
    std::ofstream(Path("other/o.txt")) << "other";
    std::ofstream(Path("outside/secret.txt")) << "the secret";
    std::ofstream(Path("tmp/foreign.tmp")) << "another process's";
    fs::create_symlink(Path("outside/secret.txt"), Path("root/link-out"));
    fs::create_directory_symlink(Path("outside"), Path("root/folder-out"));
    fs::create_symlink("../outside/made.txt", Path("root/dangling-out"));
    fs::create_symlink("in.txt", Path("root/link-in"));
    fs::create_symlink("fresh.txt", Path("root/dangling-in"));
  }

  void TearDown() override
  {
    for (const char* theName : kVariables)
      unsetenv(theName);
  }

  std::string Path(const std::string& inName) const { return mBase + "/" + inName; }

  // "read <text>", "made", or "!<error>" for opening inName to read it or
  // (inCreate) to make it.
  std::string Reach(const std::string& inName, bool inCreate = false) const
  {
    HANDLE theFile = CreateFileA(Path(inName).c_str(), inCreate ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, inCreate ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (theFile == INVALID_HANDLE_VALUE)
      return "!" + std::to_string(GetLastError());
    std::string theText(64, '\0');
    DWORD theRead = 0;
    if (!inCreate && !ReadFile(theFile, theText.data(), 64, &theRead, nullptr))
      theRead = 0;
    CloseHandle(theFile);
    return inCreate ? "made" : "read " + theText.substr(0, theRead);
  }

  std::string mBase;
};

const std::string kDenied = "!" + std::to_string(ERROR_ACCESS_DENIED);

// What each way of confining answers for paths in, out and through links.
TEST_F(FileRoots, EveryPathResolvesInsideARootOrIsRefused)
{
  struct Case {
    const char* mName;
    bool mCreate;
    std::string mConfined;  // what a confined process gets
    std::string mFree;      // what it gets unconfined
  };
  const Case kCases[] = {
    {"root/in.txt", false, "read inside", "read inside"},
    {"other/o.txt", false, "read other", "read other"},
    {"root/link-in", false, "read inside", "read inside"},
    {"root/folder-out/../root/in.txt", false, "read inside", "read inside"},  // the link first, then ".."
    {"outside/secret.txt", false, kDenied, "read the secret"},
    {"root/../outside/secret.txt", false, kDenied, "read the secret"},
    {"root/link-out", false, kDenied, "read the secret"},
    {"root/folder-out/secret.txt", false, kDenied, "read the secret"},
    {"root/new.txt", true, "made", "made"},
    {"root/dangling-in", false, "!" + std::to_string(ERROR_FILE_NOT_FOUND), "!" + std::to_string(ERROR_FILE_NOT_FOUND)},
    {"root/missing/new.txt", true, "!" + std::to_string(ERROR_PATH_NOT_FOUND),
     "!" + std::to_string(ERROR_PATH_NOT_FOUND)},
    {"root/missing/../../outside/new.txt", true, kDenied, "!" + std::to_string(ERROR_PATH_NOT_FOUND)},
    {"outside/new.txt", true, kDenied, "made"},
    {"root/folder-out/new.txt", true, kDenied, "made"},
  };
  const struct {
    const char* mName;
    std::vector<std::pair<const char*, std::string>> mVariables;
    bool mConfined;
  } kWays[] = {
    {"the command line", {}, false},
    {"the command line with its roots", {{"TESSALINE_FILE_ROOTS", Path("root") + "::" + Path("other")}}, true},
    {"a web server's document root",
     {{"GATEWAY_INTERFACE", "CGI/1.1"}, {"DOCUMENT_ROOT", Path("root")}, {"TESSALINE_FILE_ROOTS", Path("other")}},
     true},
    {"the page root before the document root",
     {{"GATEWAY_INTERFACE", "CGI/1.1"},
      {"DOCUMENT_ROOT", Path("outside")},
      {"TESSALINE_PAGE_ROOT", Path("root/folder-out/../root")},
      {"TESSALINE_FILE_ROOTS", Path("other") + ":" + Path("nowhere")}},
     true},
  };
  for (const auto& theWay : kWays) {
    SCOPED_TRACE(theWay.mName);
    for (const char* theName : kVariables)
      unsetenv(theName);
    for (const auto& [theName, theValue] : theWay.mVariables)
      setenv(theName, theValue.c_str(), 1);
    EXPECT_EQ(FilesConfined(), theWay.mConfined);
    for (const Case& theCase : kCases) {
      SCOPED_TRACE(theCase.mName);
      fs::remove(Path("root/new.txt"));
      fs::remove(Path("outside/new.txt"));
      fs::remove(Path("outside/made.txt"));
      EXPECT_EQ(Reach(theCase.mName, theCase.mCreate), theWay.mConfined ? theCase.mConfined : theCase.mFree);
    }
    if (!theWay.mConfined)
      continue;
    EXPECT_EQ(Reach("root/dangling-out", true), kDenied) << "a link to nothing outside makes nothing there";
    EXPECT_FALSE(fs::exists(Path("outside/made.txt")));
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("outside")), fs::directory_iterator()), 1)
      << "nothing was made outside";
    EXPECT_EQ(tltest::ReadFile(Path("outside/secret.txt")), "the secret");
  }
}

// Probes, listings, folders and deletions are held to the same roots.
TEST_F(FileRoots, ProbesListingsFoldersAndDeletionsStayInside)
{
  setenv("TESSALINE_FILE_ROOTS", Path("root").c_str(), 1);
  WIN32_FIND_DATAA theFound{};
  EXPECT_EQ(GetFileAttributesA(Path("root/in.txt").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(Path("outside/secret.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributesA(Path("outside/missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "what does not exist outside is not told either";

  HANDLE theSearch = FindFirstFileA(Path("root/*").c_str(), &theFound);
  EXPECT_NE(theSearch, INVALID_HANDLE_VALUE);
  FindClose(theSearch);
  EXPECT_EQ(FindFirstFileA(Path("root/folder-out/*").c_str(), &theFound), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  EXPECT_TRUE(CreateDirectoryA(Path("root/made").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryA(Path("root/folder-out/made").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(fs::exists(Path("outside/made")));

  EXPECT_FALSE(DeleteFileA(Path("root/link-out/..").c_str()));
  EXPECT_FALSE(DeleteFileA(Path("root/folder-out/secret.txt").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(tltest::ReadFile(Path("outside/secret.txt")), "the secret");
  EXPECT_TRUE(DeleteFileA(Path("root/in.txt").c_str()));
}

// A confined process makes and reopens its own temporary files, but reaches
// no other file of the temporary folder, nor its own once deleted.
TEST_F(FileRoots, TemporaryFilesAreTheProcesssOwn)
{
  setenv("TESSALINE_FILE_ROOTS", Path("root").c_str(), 1);
  setenv("TMPDIR", Path("tmp").c_str(), 1);
  char theName[MAX_PATH];
  ASSERT_NE(GetTempFileNameA(Path("tmp").c_str(), "tst", 0, theName), 0u) << GetLastError();
  HANDLE theFile = CreateFileA(theName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  CloseHandle(theFile);
  const std::string theOwn = fs::path(theName).filename().string();
  EXPECT_EQ(Reach("tmp/" + theOwn), "read ");
  EXPECT_TRUE(DeleteFileA(theName));
  EXPECT_EQ(Reach("tmp/" + theOwn), kDenied) << "a deleted name is no longer the process's";

  EXPECT_EQ(Reach("tmp/foreign.tmp"), kDenied);
  theFile = CreateFileA(Path("tmp/made.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Reach("tmp/made.tmp"), "read ");
  CloseHandle(theFile);
  EXPECT_EQ(Reach("tmp/made.tmp"), kDenied);

  struct {
    const char* mName;
    DWORD mDisposition;
    DWORD mFlags;
  } const kRefused[] = {
    {"tmp/foreign.tmp", CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY},  // not made exclusively
    {"tmp/plain.tmp", CREATE_NEW, FILE_ATTRIBUTE_NORMAL},          // not a temporary file
    {"outside/new.tmp", CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY},     // not the temporary folder
  };
  for (const auto& theCase : kRefused) {
    SCOPED_TRACE(theCase.mName);
    EXPECT_EQ(CreateFileA(Path(theCase.mName).c_str(), GENERIC_WRITE, 0, nullptr, theCase.mDisposition,
                          theCase.mFlags, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(tltest::ReadFile(Path("tmp/foreign.tmp")), "another process's");
  EXPECT_EQ(GetTempFileNameA(Path("outside").c_str(), "tst", 0, theName), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// A grant opens a folder to its own thread for its own life.
TEST_F(FileRoots, AGrantHoldsForItsThreadAlone)
{
  setenv("GATEWAY_INTERFACE", "CGI/1.1", 1);
  setenv("DOCUMENT_ROOT", Path("root").c_str(), 1);
  {
    FileRootGrant theGrant(Path("outside") + "/");
    EXPECT_EQ(Reach("outside/secret.txt"), "read the secret");
    EXPECT_EQ(Reach("outside/new.txt", true), "made");
    std::string theOther;
    std::thread([&] { theOther = Reach("outside/secret.txt"); }).join();
    EXPECT_EQ(theOther, kDenied);
    FileRootGrant theUnmade(Path("outside/logs"));
    EXPECT_TRUE(CreateDirectoryA(Path("outside/logs").c_str(), nullptr));
  }
  EXPECT_EQ(Reach("outside/secret.txt"), kDenied);
}

}  // namespace
