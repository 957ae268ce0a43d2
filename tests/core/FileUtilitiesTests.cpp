#include "core/FileUtilities.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/files/Files.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

void Put(const std::string& inPath, const std::string& inContent)
{
  std::ofstream(inPath, std::ios::binary) << inContent;
}

// ---- Whole files

TEST(WholeFiles, RoundTripCutALongerFileAndFailWhereTheyCannot)
{
  const std::string theFolder = tltest::MakeTempFolder("whole");
  const std::string thePath = theFolder + "/data.bin";
  for (const std::string& theContent : {std::string("a longer first content\0with a NUL", 33), std::string("short"),
                                        std::string(), std::string(200000, '\xAB')}) {
    SCOPED_TRACE(theContent.size());
    ASSERT_TRUE(WriteWholeFile(thePath.c_str(), theContent.data(), static_cast<DWORD>(theContent.size())));
    EXPECT_EQ(tltest::ReadFile(thePath), theContent);
    std::vector<BYTE> theRead{1, 2, 3};
    ASSERT_TRUE(ReadWholeFile(thePath.c_str(), theRead));
    EXPECT_EQ(std::string(theRead.begin(), theRead.end()), theContent);
  }
  std::vector<BYTE> theData{1};
  EXPECT_FALSE(ReadWholeFile((theFolder + "/missing").c_str(), theData));
  EXPECT_TRUE(theData.empty());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ReadWholeFile(theFolder.c_str(), theData));
  EXPECT_FALSE(WriteWholeFile(theFolder.c_str(), "x", 1));
  EXPECT_FALSE(WriteWholeFile((theFolder + "/no/such/folder").c_str(), "x", 1));
}

// A reader that holds no more than a limit is refused a longer file whole.
TEST(WholeFiles, AFileLongerThanTheLimitIsRefusedWithTheOverflowError)
{
  const std::string thePath = tltest::MakeTempFolder("limit") + "/ten";
  Put(thePath, "0123456789");
  std::vector<BYTE> theData{1};
  EXPECT_FALSE(ReadWholeFile(thePath.c_str(), theData, 9));
  EXPECT_TRUE(theData.empty());
  EXPECT_EQ(GetLastError(), ERROR_ARITHMETIC_OVERFLOW);
  ASSERT_TRUE(ReadWholeFile(thePath.c_str(), theData, 10));
  EXPECT_EQ(std::string(theData.begin(), theData.end()), "0123456789");
}

TEST(WholeFiles, AHeldFileIsRefusedToReadersAndWriters)
{
  std::string thePath = tltest::MakeTempFolder("held") + "/held.txt";
  Put(thePath, "old content");
  // Another thread's handle holds part of the file, as a writer at work does.
  HANDLE theHolder = CreateFileA(thePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(theHolder, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(std::async(std::launch::async, [&] { return LockFile(theHolder, 4, 0, 3, 0); }).get());
  std::vector<BYTE> theData;
  EXPECT_FALSE(ReadWholeFile(thePath.c_str(), theData));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(WriteWholeFile(thePath.c_str(), "new", 3));
  EXPECT_FALSE(SetFileLength(thePath.c_str(), 0));
  EXPECT_EQ(tltest::ReadFile(thePath), "old content") << "nothing was written";
  UnlockFile(theHolder, 4, 0, 3, 0);
  CloseHandle(theHolder);
  EXPECT_TRUE(WriteWholeFile(thePath.c_str(), "new", 3));
  EXPECT_EQ(tltest::ReadFile(thePath), "new");
}

TEST(WholeFiles, ThreadsNeverSeeAHalfWrittenFile)
{
  // Each writer writes one of these contents whole; every read that succeeds
  // must give one of them whole.
  const std::string thePath = tltest::MakeTempFolder("race") + "/shared.bin";
  std::vector<std::string> theContents;
  for (int theIndex = 0; theIndex < 8; ++theIndex)
    theContents.emplace_back(static_cast<std::size_t>(1000 + 37000 * theIndex), static_cast<char>('a' + theIndex));
  ASSERT_TRUE(WriteWholeFile(thePath.c_str(), theContents[0].data(), static_cast<DWORD>(theContents[0].size())));
  std::atomic<int> theTorn{0}, theReads{0}, theWrites{0};
  std::vector<std::thread> theThreads;
  for (const std::string& theMine : theContents)
    theThreads.emplace_back([&] {
      for (int theRound = 0; theRound < 150; ++theRound) {
        std::vector<BYTE> theData;
        if (theRound % 2 == 0)
          theWrites += WriteWholeFile(thePath.c_str(), theMine.data(), static_cast<DWORD>(theMine.size()));
        else if (ReadWholeFile(thePath.c_str(), theData)) {
          ++theReads;
          theTorn += std::find(theContents.begin(), theContents.end(), std::string(theData.begin(), theData.end())) ==
                     theContents.end();
        }
      }
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theTorn.load(), 0);
  EXPECT_GT(theReads.load(), 0);
  EXPECT_GT(theWrites.load(), 0);
}

// ---- Probes

TEST(FileProbes, OnlyRegularFilesExistAndLengthsAreSet)
{
  std::string theFolder = tltest::MakeTempFolder("probes");
  std::string theFile = theFolder + "/file.jpg";
  Put(theFile, "12345");
  fs::create_symlink(theFile, theFolder + "/link.jpg");
  fs::create_symlink(theFolder + "/gone", theFolder + "/dangling.jpg");
  ASSERT_EQ(mkfifo((theFolder + "/fifo").c_str(), 0600), 0);
  struct Case {
    std::string mPath;
    bool mExists;
    DWORD mSize;
  };
  const Case kCases[] = {
    {theFile, true, 5}, {theFolder + "/link.jpg", true, 5}, {theFolder + "/dangling.jpg", false, 0},
    {theFolder, false, 0}, {theFolder + "/fifo", false, 0}, {theFolder + "/missing", false, 0}, {"", false, 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mPath);
    EXPECT_EQ(FileExists(theCase.mPath.c_str()), theCase.mExists);
    DWORD theSize = 99;
    EXPECT_EQ(GetFileSizeByPath(theCase.mPath.c_str(), theSize), theCase.mExists);
    EXPECT_EQ(theSize, theCase.mSize);
  }

  std::string theHuge = theFolder + "/huge.tif";
  Put(theHuge, "II");
  fs::resize_file(theHuge, 5ull << 30);  // sparse: no disk used
  EXPECT_TRUE(FileExists(theHuge.c_str()));
  DWORD theSize = 99;
  EXPECT_FALSE(GetFileSizeByPath(theHuge.c_str(), theSize)) << "a size beyond 32 bits";
  EXPECT_EQ(theSize, 0u);

  const std::string theLog = theFolder + "/new.log";
  for (DWORD theLength : {10u, 3u, 0u, 70000u}) {
    ASSERT_TRUE(SetFileLength(theLog.c_str(), theLength));
    EXPECT_EQ(fs::file_size(theLog), theLength);
  }
}

TEST(FileProbes, GetFileExtensionLooksAtTheLastComponent)
{
  const std::pair<const char*, const char*> kCases[] = {
    {"photo.jpg", "jpg"},         {"/srv/photos/photo.JPEG", "JPEG"}, {"archive.tar.gz", "gz"},
    {"noextension", ""},          {"name.", ""},                      {"/a.d/file", ""},
    {"/a.d/file.png", "png"},     {".hidden", "hidden"},              {"", ""}, {"folder.x/", ""},
  };
  for (const auto& [thePath, theExtension] : kCases) {
    SCOPED_TRACE(thePath);
    const char* theFound = GetFileExtension(thePath);
    EXPECT_STREQ(theFound, theExtension);
    EXPECT_TRUE(theFound >= thePath && theFound <= thePath + std::strlen(thePath)) << "points into the path";
  }
  tltest::EventWatcher theEvents;
  EXPECT_STREQ(GetFileExtension(nullptr), "");
  EXPECT_EQ(theEvents.NewAssertions("FileUtilities"), std::vector<std::string>{"(inPath)"});
}

// ---- Bounded copies

TEST(SafeStrings, CopiesAndAppendsAreCutAndReported)
{
  struct Case {
    const char* mName;
    std::string mStart;  // the destination before (appends only)
    bool mAppend;
    std::string mSource;
    std::size_t mSize;
    std::string mResult;
    std::vector<std::string> mAssertions;
  };
  const std::vector<std::string> kNone;
  const std::vector<std::string> kCopyCut{"(len < inArraySize)"};
  const std::vector<std::string> kCatCut{"(len1 + len2 < inArraySize)"};
  const Case kCases[] = {
    {"copy fits", "", false, "abc", 4, "abc", kNone}, {"copy cut", "", false, "abcd", 4, "abc", kCopyCut},
    {"copy never splits a character", "", false, "ab\xC3\xA9", 4, "ab", kCopyCut},
    {"copy into one byte", "", false, "abc", 1, "", kCopyCut}, {"append fits", "ab", true, "cd", 5, "abcd", kNone},
    {"append cut", "ab", true, "cdef", 5, "abcd", kCatCut},
    {"append never splits a character", "a", true, "\xE2\x82\xAC" "x", 4, "a", kCatCut},
    {"append to a full text", "abcd", true, "e", 5, "abcd", kCatCut},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    std::vector<char> theBuffer(theCase.mSize + 8, '#');
    std::memcpy(theBuffer.data(), theCase.mStart.c_str(), theCase.mStart.size() + 1);
    tltest::EventWatcher theEvents;
    if (theCase.mAppend)
      SafeStrCat(theBuffer.data(), theCase.mSource.c_str(), theCase.mSize);
    else
      SafeStrCopy(theBuffer.data(), theCase.mSource.c_str(), theCase.mSize);
    EXPECT_EQ(std::string(theBuffer.data()), theCase.mResult);
    EXPECT_TRUE(std::all_of(theBuffer.begin() + static_cast<long>(theCase.mSize), theBuffer.end(),
                            [](char inChar) { return inChar == '#'; }))
      << "wrote beyond the array";
    EXPECT_EQ(theEvents.NewAssertions("FileUtilities"), theCase.mAssertions);
  }
}

// ---- Directory walks

struct Visits {
  std::set<std::string> mPaths;
  std::string mStopAt;  // answer 7 for this file name
};

LONG NoteVisit(const char* inPath, void* inContext)
{
  Visits& theVisits = *static_cast<Visits*>(inContext);
  theVisits.mPaths.insert(inPath);
  return !theVisits.mStopAt.empty() && fs::path(inPath).filename() == theVisits.mStopAt ? 7 : 0;
}

std::set<std::string> Walked(const std::string& inStart, LONG inDepth, const std::string& inRoot, LONG inResult = 0,
                             const std::string& inStopAt = "")
{
  Visits theVisits{{}, inStopAt};
  EXPECT_EQ(WalkDirectory(inStart.c_str(), NoteVisit, inDepth, &theVisits), inResult) << inStart;
  std::set<std::string> theNames;
  for (const std::string& thePath : theVisits.mPaths)
    theNames.insert(thePath.substr(inRoot.size()));
  return theNames;
}

TEST(WalkDirectory, HonoursItsDepthAndItsCallback)
{
  const std::string theRoot = tltest::MakeTempFolder("walk");
  fs::create_directories(theRoot + "/a/b");
  for (const char* theName : {"/top.icc", "/a/middle.icc", "/a/b/deep.icc"})
    Put(theRoot + theName, "");
  using Names = std::set<std::string>;
  EXPECT_EQ(Walked(theRoot, 0, theRoot), Names{"/top.icc"});
  EXPECT_EQ(Walked(theRoot, 1, theRoot), Names{"/top.icc"});
  EXPECT_EQ(Walked(theRoot, 2, theRoot), (Names{"/top.icc", "/a/middle.icc"}));
  EXPECT_EQ(Walked(theRoot + "/", 3, theRoot), (Names{"/top.icc", "/a/middle.icc", "/a/b/deep.icc"}));
  EXPECT_EQ(Walked(theRoot + "/top.icc", 5, theRoot), Names{"/top.icc"});
  EXPECT_EQ(Walked(theRoot + "/missing", 5, theRoot), Names{});
  EXPECT_EQ(Walked("", 1, ""), Names{});
  // A callback's non-zero answer stops a walk, but a single file is visited alone.
  EXPECT_EQ(Walked(theRoot + "/a", 3, theRoot, 7, "middle.icc").count("/a/middle.icc"), 1u);
  EXPECT_EQ(Walked(theRoot + "/top.icc", 1, theRoot, 0, "top.icc"), Names{"/top.icc"});
}

TEST(WalkDirectory, HonoursItsPathLimits)
{
  const std::string theRoot = tltest::MakeTempFolder("limits");
  ASSERT_LT(theRoot.size(), 200u);
  // A folder whose path is 240 bytes, holding names that make paths of 259 and 260 bytes.
  const std::string theFolder = theRoot + "/" + std::string(239 - theRoot.size(), 'd');
  fs::create_directories(theFolder);
  Put(theFolder + "/" + std::string(18, 'f'), "");
  Put(theFolder + "/" + std::string(19, 'g'), "");
  EXPECT_EQ(Walked(theFolder, 1, theFolder + "/"), std::set<std::string>{std::string(18, 'f')});
  // Starting paths: 257 bytes are walked, 258 are not.
  const std::string theStart257 = theFolder + "/" + std::string(16, 's');
  const std::string theStart258 = theFolder + "/" + std::string(17, 't');
  Put(theStart257, "");
  Put(theStart258, "");
  EXPECT_EQ(Walked(theStart257, 1, theFolder).size(), 1u);
  EXPECT_EQ(Walked(theStart258, 1, theFolder).size(), 0u);
}

// ---- Temporary files

class TempFiles : public ::testing::Test {
protected:
  void SetUp() override { setenv("TMPDIR", mFolder.c_str(), 1); }
  void TearDown() override
  {
    if (mSaved)
      setenv("TMPDIR", mSaved->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  const std::string mFolder = tltest::MakeTempFolder("tmp");
  const std::optional<std::string> mSaved =
    std::getenv("TMPDIR") ? std::optional<std::string>(std::getenv("TMPDIR")) : std::nullopt;
};

// First of the temporary-file tests of its process: the failure event is
// logged only when no temporary file was attempted before.
TEST_F(TempFiles, ExistingNamesAreNeverOpenedAndOnlyTheFirstFailureIsLogged)
{
  // Every name the generator can give is taken by a link to a file that must stay untouched.
  const std::string theTarget = tltest::MakeTempFolder("target") + "/precious";
  Put(theTarget, "precious");
  for (int theNumber = 0; theNumber <= 32767; ++theNumber)
    ASSERT_EQ(symlink(theTarget.c_str(), (mFolder + "/tl4" + std::to_string(theNumber) + ".tmp").c_str()), 0);
  tltest::ChildResult theChild = tltest::RunInChild([] {
    tltest::EventWatcher theEvents;
    HANDLE theFile = nullptr;
    if (CreateTempFile(false, "tmp", theFile, nullptr) || theFile != INVALID_HANDLE_VALUE)
      return 1;
    if (GetLastError() != ERROR_FILE_EXISTS)
      return 2;
    const std::vector<std::string> theTexts = theEvents.NewTexts();
    if (theTexts.size() != 1 ||
        !std::regex_match(theTexts[0], std::regex("Unable to create temporary file \".*/tl4[0-9]+\\.tmp\" \\(80\\)")))
      return 3;
    if (CreateTempFile(false, "tmp", theFile, nullptr) || theEvents.NewTexts().size() != 1)
      return 4;
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0) << "1: created, 2: wrong error, 3: first failure not logged, 4: second logged";
  EXPECT_EQ(tltest::ReadFile(theTarget), "precious");
}

TEST_F(TempFiles, ArePrivateNewFilesNamedTl4)
{
  HANDLE theFile = nullptr;
  std::string thePath;
  ASSERT_TRUE(CreateTempFile(false, "gif", theFile, &thePath));
  EXPECT_TRUE(std::regex_match(thePath, std::regex(mFolder + "/tl4[0-9]{1,5}\\.gif"))) << thePath;
  struct stat theStatus{};
  ASSERT_EQ(lstat(thePath.c_str(), &theStatus), 0);
  EXPECT_TRUE(S_ISREG(theStatus.st_mode));
  EXPECT_EQ(theStatus.st_mode & 0777, 0600u);
  DWORD theWritten = 0;
  EXPECT_TRUE(WriteFile(theFile, "abc", 3, &theWritten, nullptr));
  CloseHandle(theFile);
  EXPECT_EQ(tltest::ReadFile(thePath), "abc") << "kept after closing";

  const std::string kData(5000, 'z');
  ASSERT_TRUE(WriteTempFile(true, "mov", kData.data(), static_cast<DWORD>(kData.size()), theFile, thePath));
  EXPECT_EQ(fs::path(thePath).extension(), ".mov");
  EXPECT_EQ(tltest::ReadFile(thePath), kData);
  CloseHandle(theFile);
  EXPECT_FALSE(fs::exists(thePath)) << "deleted on close";

  EXPECT_FALSE(CreateTempFile(false, "x/../../escape", theFile, &thePath));
  EXPECT_EQ(theFile, INVALID_HANDLE_VALUE);
}

// A process killed with delete-on-close files open leaves them behind; the
// first such file of a later process removes them, and never those of a
// process that still runs, nor files of other names. The later processes are
// confined to other folders, as served pages are: the temporary folder is
// still theirs to clean.
TEST_F(TempFiles, DeleteOnCloseFilesOfKilledProcessesGoAtTheNextStart)
{
  const std::string theNames = tltest::MakeTempFolder("names");
  auto theMake = [&](const char* inExtension, const std::string& inRecord) {
    HANDLE theFile = INVALID_HANDLE_VALUE;
    std::string thePath;
    if (!CreateTempFile(true, inExtension, theFile, &thePath))
      return false;
    std::ofstream(theNames + "/" + inRecord, std::ios::app) << thePath << "\n";
    return true;
  };
  auto theRecorded = [&](const std::string& inRecord) {
    std::vector<std::string> thePaths;
    std::ifstream theFile(theNames + "/" + inRecord);
    for (std::string theLine; std::getline(theFile, theLine);)
      thePaths.push_back(theLine);
    return thePaths;
  };

  const tltest::ChildResult theKilled = tltest::RunInChild([&] {
    if (!theMake("tmp", "killed") || !theMake("gif", "killed"))
      return 1;
    raise(SIGKILL);
    return 2;
  });
  ASSERT_EQ(theKilled.mSignal, SIGKILL);
  const std::vector<std::string> theLeft = theRecorded("killed");
  ASSERT_EQ(theLeft.size(), 2u);
  for (const std::string& thePath : theLeft) {
    EXPECT_TRUE(std::regex_match(thePath, std::regex(mFolder + "/tl4-[0-9]+-[0-9]{1,5}\\.(tmp|gif)"))) << thePath;
    EXPECT_TRUE(fs::exists(thePath)) << "left by the killed process";
  }
  const std::string theOther = mFolder + "/tl4123.tmp";
  Put(theOther, "kept");

  int theHold[2];
  ASSERT_EQ(pipe(theHold), 0);
  const pid_t theRunning = fork();
  ASSERT_GE(theRunning, 0);
  if (theRunning == 0) {
    close(theHold[1]);
    char theByte;
    setenv("TESSALINE_FILE_ROOTS", theNames.c_str(), 1);
    _exit(theMake("run", "running") && read(theHold[0], &theByte, 1) >= 0 ? 0 : 1);
  }
  close(theHold[0]);
  for (int theWait = 0; theWait < 500 && theRecorded("running").empty(); ++theWait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::vector<std::string> theRunnings = theRecorded("running");
  ASSERT_EQ(theRunnings.size(), 1u);
  EXPECT_TRUE(std::regex_match(theRunnings[0], std::regex(mFolder + "/tl4-" + std::to_string(theRunning) +
                                                          "-[0-9]{1,5}\\.run")))
    << theRunnings[0];

  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&] {
    setenv("TESSALINE_FILE_ROOTS", theNames.c_str(), 1);
    return theMake("new", "next") ? 0 : 1;
  })));
  for (const std::string& thePath : theLeft)
    EXPECT_FALSE(fs::exists(thePath)) << "removed by the next process";
  EXPECT_TRUE(fs::exists(theRunnings[0])) << "a running process's file stays";
  EXPECT_EQ(tltest::ReadFile(theOther), "kept");

  close(theHold[1]);
  int theStatus = 0;
  EXPECT_EQ(waitpid(theRunning, &theStatus, 0), theRunning);
  EXPECT_TRUE(WIFEXITED(theStatus) && WEXITSTATUS(theStatus) == 0);
}

}  // namespace
