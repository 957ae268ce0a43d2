// Files: dispositions, pointers, locks between handles, appends, mappings,
// temporary files and directory searches.

#include "platform/base/LastError.h"
#include "platform/files/Files.h"
#include "platform/kernel/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

void WriteText(const std::string& inPath, const std::string& inText)
{
  std::ofstream(inPath, std::ios::binary) << inText;
}

std::string ReadText(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::stringstream theText;
  theText << theFile.rdbuf();
  return theText.str();
}

bool Exists(const std::string& inPath)
{
  struct stat theStatus{};
  return lstat(inPath.c_str(), &theStatus) == 0;
}

HANDLE Open(const std::string& inPath, DWORD inAccess, DWORD inDisposition = OPEN_EXISTING, DWORD inFlags = 0)
{
  return CreateFileA(inPath.c_str(), inAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, inDisposition, inFlags,
                     nullptr);
}

// Reads up to inCount bytes at inOffset; the text, or "!<error>" on failure.
std::string ReadAt(HANDLE inFile, DWORD inOffset, DWORD inCount)
{
  if (SetFilePointer(inFile, static_cast<LONG>(inOffset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return "!seek";
  std::string theText(inCount, '\0');
  DWORD theRead = 0;
  if (!ReadFile(inFile, theText.data(), inCount, &theRead, nullptr))
    return "!" + std::to_string(GetLastError());
  theText.resize(theRead);
  return theText;
}

DWORD WriteAt(HANDLE inFile, DWORD inOffset, const std::string& inText)
{
  SetFilePointer(inFile, static_cast<LONG>(inOffset), nullptr, FILE_BEGIN);
  DWORD theWritten = 0;
  return WriteFile(inFile, inText.data(), static_cast<DWORD>(inText.size()), &theWritten, nullptr) ? 0
                                                                                                   : GetLastError();
}

// Runs inBody on another thread (locks of another handle) and answers its result.
template <typename Body>
auto OnAnotherThread(Body inBody)
{
  decltype(inBody()) theResult{};
  std::thread theThread([&] { theResult = inBody(); });
  theThread.join();
  return theResult;
}

}  // namespace

TEST(Files, CreationDispositions)
{
  struct Case {
    DWORD mDisposition;
    bool mExists;
    bool mOpens;
    DWORD mError;          // last error after the call
    const char* mContent;  // afterwards; null when there is no file
  };
  const Case kCases[] = {
    {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
    {CREATE_NEW, false, true, 0, ""},
    {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
    {CREATE_ALWAYS, false, true, 0, ""},
    {OPEN_EXISTING, true, true, 0, "old"},
    {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
    {OPEN_ALWAYS, false, true, 0, ""},
    {TRUNCATE_EXISTING, true, true, 0, ""},
    {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
  };
  std::string theFolder = tltest::MakeTempFolder("dispositions");
  int theNumber = 0;
  for (const Case& theCase : kCases) {
    std::string thePath = theFolder + "/file" + std::to_string(++theNumber);
    if (theCase.mExists)
      WriteText(thePath, "old");
    SetLastError(999);
    HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, theCase.mDisposition);
    DWORD theError = GetLastError();
    std::string theWhat = "disposition " + std::to_string(theCase.mDisposition) +
                          (theCase.mExists ? " on an existing file" : " on a missing file");
    EXPECT_EQ(theFile != INVALID_HANDLE_VALUE, theCase.mOpens) << theWhat;
    EXPECT_EQ(theError, theCase.mError) << theWhat;
    if (theFile != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(theFile));
    }
    EXPECT_EQ(Exists(thePath), theCase.mContent != nullptr) << theWhat;
    if (theCase.mContent) {
      EXPECT_EQ(ReadText(thePath), theCase.mContent) << theWhat;
    }
  }
}

TEST(Files, OnlyRegularFilesOpenAndNothingFollowsALinkWhereItMustNot)
{
  std::string theFolder = tltest::MakeTempFolder("open-kinds");
  std::string theFifo = theFolder + "/fifo";
  ASSERT_EQ(mkfifo(theFifo.c_str(), 0600), 0);
  std::string theVictim = theFolder + "/victim";
  std::string theLink = theFolder + "/link";
  ASSERT_EQ(symlink(theVictim.c_str(), theLink.c_str()), 0);

  struct Case {
    const char* mWhat;
    std::string mPath;
    DWORD mAccess;
    DWORD mDisposition;
    DWORD mFlags;
    DWORD mError;
  };
  const Case kCases[] = {
    {"a folder", theFolder, GENERIC_READ, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
    {"a pipe for reading (never blocks)", theFifo, GENERIC_READ, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
    {"a pipe for writing", theFifo, GENERIC_WRITE, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
    {"a missing folder", theFolder + "/none/file", GENERIC_READ, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
    {"an empty path", "", GENERIC_READ, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
    {"a new file over a dangling link", theLink, GENERIC_WRITE, CREATE_NEW, 0, ERROR_FILE_EXISTS},
    {"a temporary file through a link", theLink, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
     ERROR_ACCESS_DENIED},
    {"no access asked", theFolder + "/x", 0, OPEN_ALWAYS, 0, ERROR_INVALID_PARAMETER},
    {"truncation without write access", theFolder + "/x", GENERIC_READ, TRUNCATE_EXISTING, 0,
     ERROR_INVALID_PARAMETER},
    {"an unknown disposition", theFolder + "/x", GENERIC_READ, 6, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Case& theCase : kCases) {
    SetLastError(0);
    HANDLE theFile = Open(theCase.mPath, theCase.mAccess, theCase.mDisposition, theCase.mFlags);
    EXPECT_EQ(theFile, INVALID_HANDLE_VALUE) << theCase.mWhat;
    EXPECT_EQ(GetLastError(), theCase.mError) << theCase.mWhat;
    if (theFile != INVALID_HANDLE_VALUE)
      CloseHandle(theFile);
  }
  EXPECT_FALSE(Exists(theVictim)) << "no link was followed to make its target";
}

TEST(Files, TemporaryAttributeMakesAPrivateFile)
{
  std::string thePath = tltest::MakeTempFolder("private") + "/file";
  mode_t theOld = umask(022);
  HANDLE theFile = Open(thePath, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY);
  umask(theOld);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  struct stat theStatus{};
  ASSERT_EQ(stat(thePath.c_str(), &theStatus), 0);
  EXPECT_EQ(theStatus.st_mode & 0777, 0600u);
  CloseHandle(theFile);
}

TEST(Files, PointerSizeAndEndOfFile)
{
  std::string thePath = tltest::MakeTempFolder("pointer") + "/file";
  HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteAt(theFile, 0, "hello world"), 0u);
  EXPECT_EQ(GetFileSize(theFile, nullptr), 11u);
  EXPECT_EQ(SetFilePointer(theFile, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(SetEndOfFile(theFile));
  EXPECT_EQ(GetFileSize(theFile, nullptr), 5u);
  EXPECT_EQ(SetFilePointer(theFile, -2, nullptr, FILE_END), 3u);
  EXPECT_EQ(SetFilePointer(theFile, 1, nullptr, FILE_CURRENT), 4u);
  EXPECT_EQ(ReadAt(theFile, 3, 10), "lo") << "a read past the end reads what there is";
  EXPECT_EQ(ReadAt(theFile, 5, 10), "") << "a read at the end reads nothing and succeeds";

  SetLastError(0);
  EXPECT_EQ(SetFilePointer(theFile, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(theFile, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Past 4 GiB: the high halves carry the rest.
  LONG theHigh = 1;
  EXPECT_EQ(SetFilePointer(theFile, 16, &theHigh, FILE_BEGIN), 16u);
  EXPECT_EQ(theHigh, 1);
  EXPECT_TRUE(SetEndOfFile(theFile));
  DWORD theSizeHigh = 0;
  EXPECT_EQ(GetFileSize(theFile, &theSizeHigh), 16u);
  EXPECT_EQ(theSizeHigh, 1u);
  SetLastError(0);
  EXPECT_EQ(GetFileSize(theFile, nullptr), INVALID_FILE_SIZE);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_TRUE(FlushFileBuffers(theFile));
  EXPECT_TRUE(CloseHandle(theFile));
}

TEST(Files, AccessIsCheckedPerHandle)
{
  std::string thePath = tltest::MakeTempFolder("access") + "/file";
  WriteText(thePath, "content");
  HANDLE theReader = Open(thePath, GENERIC_READ);
  HANDLE theWriter = Open(thePath, GENERIC_WRITE);
  ASSERT_NE(theReader, INVALID_HANDLE_VALUE);
  ASSERT_NE(theWriter, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteAt(theReader, 0, "x"), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetEndOfFile(theReader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadAt(theWriter, 0, 4), "!" + std::to_string(ERROR_ACCESS_DENIED));
  CloseHandle(theReader);
  CloseHandle(theWriter);
  EXPECT_EQ(ReadText(thePath), "content");
}

TEST(Files, LocksExcludeOtherHandlesOfTheSameProcess)
{
  std::string thePath = tltest::MakeTempFolder("locks") + "/file";
  WriteText(thePath, std::string(300, 'a'));
  HANDLE theWriter = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  HANDLE theOther = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  ASSERT_NE(theWriter, INVALID_HANDLE_VALUE);
  ASSERT_NE(theOther, INVALID_HANDLE_VALUE);

  ASSERT_TRUE(LockFile(theWriter, 0, 0, 100, 0));
  EXPECT_EQ(WriteAt(theWriter, 0, "bb"), 0u) << "the holder writes its own range";
  EXPECT_EQ(ReadAt(theWriter, 0, 3), "bba") << "and reads it";

  struct Case {
    const char* mWhat;
    std::string mResult;
    std::string mExpected;
  };
  std::string kViolation = "!" + std::to_string(ERROR_LOCK_VIOLATION);
  auto theLock = [&](DWORD inOffset, DWORD inLength) {
    return OnAnotherThread([&] {
      return std::string(LockFile(theOther, inOffset, 0, inLength, 0) ? "locked" : "!" + std::to_string(GetLastError()));
    });
  };
  const Case kCases[] = {
    {"a lock of the same range", theLock(0, 100), kViolation},
    {"a lock overlapping its end", theLock(99, 10), kViolation},
    {"a read of the locked range", OnAnotherThread([&] { return ReadAt(theOther, 10, 5); }), kViolation},
    {"a read starting before it", OnAnotherThread([&] { return ReadAt(theOther, 0, 300); }), kViolation},
    {"a write into it", OnAnotherThread([&] { return std::string(WriteAt(theOther, 50, "c") ? "!" : "wrote"); }), "!"},
    {"a read after it", OnAnotherThread([&] { return ReadAt(theOther, 100, 3); }), "aaa"},
    {"a lock after it", theLock(100, 50), "locked"},
  };
  for (const Case& theCase : kCases)
    EXPECT_EQ(theCase.mResult, theCase.mExpected) << theCase.mWhat;

  SetLastError(0);
  EXPECT_FALSE(LockFile(theWriter, 50, 0, 10, 0)) << "a range overlapping the handle's own lock";
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_TRUE(LockFile(theWriter, 200, 0, 0, 0)) << "zero bytes lock nothing";
  SetLastError(0);
  EXPECT_FALSE(UnlockFile(theWriter, 0, 0, 50, 0)) << "only a locked range unlocks";
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

  // A waiting lock is granted when the holder unlocks.
  std::atomic<bool> theGranted{false};
  std::thread theWaiter([&] {
    OVERLAPPED theWhere{};
    if (LockFileEx(theOther, LOCKFILE_EXCLUSIVE_LOCK, 0, 100, 0, &theWhere))
      theGranted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(theGranted) << "granted while held";
  EXPECT_TRUE(UnlockFile(theWriter, 0, 0, 100, 0));
  theWaiter.join();
  EXPECT_TRUE(theGranted);
  EXPECT_EQ(ReadAt(theWriter, 0, 2), kViolation) << "now the other handle holds it";
  EXPECT_TRUE(CloseHandle(theOther));
  EXPECT_EQ(ReadAt(theWriter, 0, 2), "bb") << "closing a handle drops its locks";
  EXPECT_TRUE(CloseHandle(theWriter));
}

TEST(Files, SharedLocksAdmitReadersAndRefuseWriters)
{
  std::string thePath = tltest::MakeTempFolder("shared-locks") + "/file";
  WriteText(thePath, "0123456789");
  HANDLE theFirst = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  HANDLE theSecond = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  OVERLAPPED theWhere{};
  ASSERT_TRUE(LockFileEx(theFirst, LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &theWhere));
  EXPECT_TRUE(LockFileEx(theSecond, LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &theWhere)) << "two readers";
  EXPECT_TRUE(UnlockFileEx(theSecond, 0, 10, 0, &theWhere));
  EXPECT_EQ(ReadAt(theSecond, 0, 4), "0123") << "a read beside a shared lock";
  EXPECT_EQ(WriteAt(theSecond, 0, "x"), ERROR_LOCK_VIOLATION) << "a write under it";
  SetLastError(0);
  EXPECT_FALSE(LockFileEx(theSecond, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &theWhere));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  CloseHandle(theFirst);
  CloseHandle(theSecond);
}

TEST(Files, LocksExcludeOtherProcesses)
{
  std::string thePath = tltest::MakeTempFolder("process-locks") + "/file";
  WriteText(thePath, "0123456789");
  HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(LockFile(theFile, 0, 0, 10, 0));
  tltest::ChildResult theResult = tltest::RunInChild([&] {
    HANDLE theOwn = Open(thePath, GENERIC_READ);
    char theByte;
    DWORD theRead = 0;
    if (ReadFile(theOwn, &theByte, 1, &theRead, nullptr) || GetLastError() != ERROR_LOCK_VIOLATION)
      return 1;
    return 0;
  });
  EXPECT_EQ(theResult.mStatus, 0) << "a reader in another process is refused";
  CloseHandle(theFile);
}

TEST(Files, AppendsFromManyThreadsNeverInterleave)
{
  std::string thePath = tltest::MakeTempFolder("append") + "/Operation.log";
  constexpr int kThreads = 8;
  constexpr int kLines = 400;
  std::vector<std::thread> theThreads;
  std::atomic<int> theFailures{0};
  for (int t = 0; t < kThreads; ++t) {
    theThreads.emplace_back([&, t] {
      HANDLE theLog = CreateFileA(thePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (theLog == INVALID_HANDLE_VALUE) {
        ++theFailures;
        return;
      }
      for (int i = 0; i < kLines; ++i) {
        std::string theLine = "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                              std::string(static_cast<std::size_t>(40 + (i * 7 + t) % 200), char('a' + t)) + "\r\n";
        DWORD theWritten = 0;
        if (!WriteFile(theLog, theLine.data(), static_cast<DWORD>(theLine.size()), &theWritten, nullptr) ||
            theWritten != theLine.size())
          ++theFailures;
      }
      CloseHandle(theLog);
    });
  }
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theFailures, 0);

  std::istringstream theText(ReadText(thePath));
  std::set<std::pair<int, int>> theSeen;
  std::string theLine;
  while (std::getline(theText, theLine)) {
    int theThread = -1, theNumber = -1;
    char theTail[300] = {};
    ASSERT_EQ(std::sscanf(theLine.c_str(), "thread %d line %d %299s", &theThread, &theNumber, theTail), 3) << theLine;
    std::string theExpected(static_cast<std::size_t>(40 + (theNumber * 7 + theThread) % 200), char('a' + theThread));
    ASSERT_EQ(theTail + std::string("\r"), theExpected + "\r") << "a line was broken: " << theLine;
    ASSERT_EQ(theLine.back(), '\r');
    EXPECT_TRUE(theSeen.insert({theThread, theNumber}).second) << theLine;
  }
  EXPECT_EQ(theSeen.size(), static_cast<std::size_t>(kThreads * kLines));
}

TEST(Files, DeleteOnCloseRemovesTheFileItOpened)
{
  std::string theFolder = tltest::MakeTempFolder("delete-on-close");
  std::string thePath = theFolder + "/scratch";
  HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteAt(theFile, 0, "data"), 0u);
  EXPECT_TRUE(Exists(thePath)) << "the name stays while the handle is open";
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_FALSE(Exists(thePath));

  // A file put in its place meanwhile is someone else's and stays.
  theFile = Open(thePath, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  ASSERT_EQ(unlink(thePath.c_str()), 0);
  WriteText(thePath, "someone else's");
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_EQ(ReadText(thePath), "someone else's");
}

TEST(Files, ReadOnlyMappingsAndTheirViews)
{
  std::string theFolder = tltest::MakeTempFolder("mapping");
  std::string thePath = theFolder + "/data";
  std::string theData(200000, '\0');
  for (std::size_t i = 0; i < theData.size(); ++i)
    theData[i] = static_cast<char>(i * 31 + i / 251);
  WriteText(thePath, theData);

  HANDLE theFile = Open(thePath, GENERIC_READ);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  HANDLE theMapping = CreateFileMappingA(theFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(theMapping, nullptr);
  auto* theView = static_cast<const char*>(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(theView, nullptr);
  auto* theTail = static_cast<const char*>(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 65536, 1000));
  ASSERT_NE(theTail, nullptr);
  EXPECT_TRUE(CloseHandle(theMapping));
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_EQ(std::memcmp(theView, theData.data(), theData.size()), 0) << "views outlive their handles";
  EXPECT_EQ(std::memcmp(theTail, theData.data() + 65536, 1000), 0);
  EXPECT_TRUE(UnmapViewOfFile(theView));
  EXPECT_TRUE(UnmapViewOfFile(theTail));
  SetLastError(0);
  EXPECT_FALSE(UnmapViewOfFile(theView));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);

  std::string theEmpty = theFolder + "/empty";
  WriteText(theEmpty, "");
  HANDLE theEmptyFile = Open(theEmpty, GENERIC_READ);
  HANDLE theWriteOnly = Open(thePath, GENERIC_WRITE);
  HANDLE theReader = Open(thePath, GENERIC_READ);
  struct Case {
    const char* mWhat;
    HANDLE mFile;
    DWORD mProtect;
    DWORD mSize;
    DWORD mError;
  };
  const Case kCases[] = {
    {"an empty file", theEmptyFile, PAGE_READONLY, 0, ERROR_FILE_INVALID},
    {"a file not opened for reading", theWriteOnly, PAGE_READONLY, 0, ERROR_ACCESS_DENIED},
    {"a writable mapping", theReader, 0x04 /* PAGE_READWRITE */, 0, ERROR_INVALID_PARAMETER},
    {"a size beyond the file", theReader, PAGE_READONLY, 300000, ERROR_NOT_ENOUGH_MEMORY},
    {"no file", INVALID_HANDLE_VALUE, PAGE_READONLY, 0, ERROR_INVALID_HANDLE},
  };
  for (const Case& theCase : kCases) {
    SetLastError(0);
    EXPECT_EQ(CreateFileMappingA(theCase.mFile, nullptr, theCase.mProtect, 0, theCase.mSize, nullptr), nullptr)
      << theCase.mWhat;
    EXPECT_EQ(GetLastError(), theCase.mError) << theCase.mWhat;
  }
  theMapping = CreateFileMappingA(theReader, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(theMapping, nullptr);
  SetLastError(0);
  EXPECT_EQ(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 4096, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  SetLastError(0);
  EXPECT_EQ(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 65536, 200000), nullptr) << "beyond the mapping";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(theMapping);
  CloseHandle(theEmptyFile);
  CloseHandle(theWriteOnly);
  CloseHandle(theReader);
}

TEST(Files, TemporaryFolderFromTheEnvironment)
{
  const char* theSaved = std::getenv("TMPDIR");
  std::string theOld = theSaved ? theSaved : "";
  struct Case {
    const char* mValue;  // null: unset
    const char* mPath;
  };
  const Case kCases[] = {{"/var/tmp/x", "/var/tmp/x/"}, {"/var/tmp/y/", "/var/tmp/y/"}, {nullptr, "/tmp/"}};
  for (const Case& theCase : kCases) {
    if (theCase.mValue)
      setenv("TMPDIR", theCase.mValue, 1);
    else
      unsetenv("TMPDIR");
    char thePath[MAX_PATH] = {};
    DWORD theLength = GetTempPathA(MAX_PATH, thePath);
    EXPECT_EQ(std::string(thePath), theCase.mPath) << (theCase.mValue ? theCase.mValue : "unset");
    EXPECT_EQ(theLength, std::strlen(theCase.mPath));
    char theSmall[3];
    EXPECT_EQ(GetTempPathA(sizeof(theSmall), theSmall), std::strlen(theCase.mPath) + 1) << "the size needed";
  }
  if (theSaved)
    setenv("TMPDIR", theOld.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(Files, TemporaryNamesAreNewPrivateFiles)
{
  std::string theFolder = tltest::MakeTempFolder("temp-names");
  std::set<std::string> theNames;
  for (int i = 0; i < 200; ++i) {
    char theName[MAX_PATH] = {};
    UINT theNumber = GetTempFileNameA(theFolder.c_str(), "ijlong", 0, theName);
    ASSERT_NE(theNumber, 0u);
    std::string theText = theName;
    EXPECT_TRUE(theNames.insert(theText).second) << "a name given twice: " << theText;
    char theExpected[16];
    std::snprintf(theExpected, sizeof(theExpected), "/ijl%04X.TMP", theNumber);
    EXPECT_EQ(theText, theFolder + theExpected);
    struct stat theStatus{};
    ASSERT_EQ(lstat(theName, &theStatus), 0);
    EXPECT_TRUE(S_ISREG(theStatus.st_mode));
    EXPECT_EQ(theStatus.st_mode & 0777, 0600u);
    EXPECT_EQ(theStatus.st_size, 0);
  }

  char theName[MAX_PATH] = {};
  EXPECT_EQ(GetTempFileNameA((theFolder + "/").c_str(), "a", 0x1ABCD, theName), 0xABCDu) << "a given number";
  EXPECT_EQ(std::string(theName), theFolder + "/aABCD.TMP");
  EXPECT_FALSE(Exists(theName)) << "a given number only names the file";

  SetLastError(0);
  EXPECT_EQ(GetTempFileNameA((theFolder + "/missing").c_str(), "t", 0, theName), 0u);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(GetTempFileNameA(std::string(MAX_PATH, 'x').c_str(), "t", 0, theName), 0u);
  EXPECT_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
}

TEST(Files, TemporaryNamesSkipEveryNameTaken)
{
  // Every name but one is a link to a file that must never be made.
  std::string theFolder = tltest::MakeTempFolder("temp-full");
  std::string theVictim = theFolder + "/victim";
  constexpr UINT kFree = 0x7A5C;
  char theName[MAX_PATH];
  for (UINT theNumber = 1; theNumber <= 0xFFFF; ++theNumber) {
    if (theNumber == kFree)
      continue;
    std::snprintf(theName, sizeof(theName), "%s/tl4%04X.TMP", theFolder.c_str(), theNumber);
    ASSERT_EQ(symlink(theVictim.c_str(), theName), 0);
  }
  EXPECT_EQ(GetTempFileNameA(theFolder.c_str(), "tl4", 0, theName), kFree);
  SetLastError(0);
  EXPECT_EQ(GetTempFileNameA(theFolder.c_str(), "tl4", 0, theName), 0u) << "all taken";
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(Exists(theVictim));
}

TEST(Files, ProbesDeletionAndFolders)
{
  std::string theFolder = tltest::MakeTempFolder("probes");
  std::string theFile = theFolder + "/file";
  WriteText(theFile, "x");
  EXPECT_EQ(GetFileAttributesA(theFolder.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(theFile.c_str()), FILE_ATTRIBUTE_NORMAL);

  auto theCall = [](auto inCall) {
    SetLastError(0);
    BOOL theResult = inCall();
    return std::make_pair(theResult, GetLastError());
  };
  auto theAttributes = [&](const std::string& inPath) {
    return theCall([&] { return GetFileAttributesA(inPath.c_str()) != INVALID_FILE_ATTRIBUTES; });
  };
  const std::pair<const char*, std::pair<BOOL, DWORD>> kCases[] = {
    {"attributes of a missing file", theAttributes(theFolder + "/none")},
    {"attributes in a missing folder", theAttributes(theFolder + "/none/file")},
    {"making a folder", theCall([&] { return CreateDirectoryA((theFolder + "/sub").c_str(), nullptr); })},
    {"making it again", theCall([&] { return CreateDirectoryA((theFolder + "/sub").c_str(), nullptr); })},
    {"making one in a missing folder", theCall([&] { return CreateDirectoryA((theFolder + "/a/b").c_str(), nullptr); })},
    {"deleting a folder as a file", theCall([&] { return DeleteFileA((theFolder + "/sub").c_str()); })},
    {"deleting the file", theCall([&] { return DeleteFileA(theFile.c_str()); })},
    {"deleting it again", theCall([&] { return DeleteFileA(theFile.c_str()); })},
  };
  const std::pair<BOOL, DWORD> kExpected[] = {
    {FALSE, ERROR_FILE_NOT_FOUND}, {FALSE, ERROR_PATH_NOT_FOUND}, {TRUE, 0},      {FALSE, ERROR_ALREADY_EXISTS},
    {FALSE, ERROR_PATH_NOT_FOUND}, {FALSE, ERROR_ACCESS_DENIED},  {TRUE, 0},      {FALSE, ERROR_FILE_NOT_FOUND},
  };
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    EXPECT_EQ(kCases[i].second.first, kExpected[i].first) << kCases[i].first;
    EXPECT_EQ(kCases[i].second.second, kExpected[i].second) << kCases[i].first;
  }
}

TEST(Files, DirectorySearches)
{
  std::string theFolder = tltest::MakeTempFolder("search");
  WriteText(theFolder + "/a.txt", "1");
  WriteText(theFolder + "/B.TXT", "22");
  WriteText(theFolder + "/c.dat", "333");
  WriteText(theFolder + "/noext", "");
  ASSERT_EQ(mkdir((theFolder + "/sub").c_str(), 0755), 0);

  auto theSearch = [&](const std::string& inPattern) {
    std::vector<std::string> theNames;
    WIN32_FIND_DATAA theData{};
    HANDLE theFind = FindFirstFileA((theFolder + "/" + inPattern).c_str(), &theData);
    if (theFind == INVALID_HANDLE_VALUE)
      return std::vector<std::string>{"!" + std::to_string(GetLastError())};
    do {
      std::string theEntry = theData.cFileName;
      if (theData.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY)
        theEntry += "/";
      else
        theEntry += ":" + std::to_string(theData.nFileSizeLow);
      theNames.push_back(theEntry);
    } while (FindNextFileA(theFind, &theData));
    if (GetLastError() != ERROR_NO_MORE_FILES)
      theNames.push_back("!" + std::to_string(GetLastError()));
    if (!FindClose(theFind))
      theNames.push_back("!close");
    std::sort(theNames.begin(), theNames.end());
    return theNames;
  };
  using Names = std::vector<std::string>;
  const std::pair<const char*, Names> kCases[] = {
    {"*", {"../", "./", "B.TXT:2", "a.txt:1", "c.dat:3", "noext:0", "sub/"}},
    {"*.*", {"../", "./", "B.TXT:2", "a.txt:1", "c.dat:3", "noext:0", "sub/"}},
    {"*.txt", {"B.TXT:2", "a.txt:1"}},
    {"?.DAT", {"c.dat:3"}},
    {"sub", {"sub/"}},
    {"*.none", {"!" + std::to_string(ERROR_FILE_NOT_FOUND)}},
    {"missing/*", {"!" + std::to_string(ERROR_PATH_NOT_FOUND)}},
  };
  for (const auto& theCase : kCases)
    EXPECT_EQ(theSearch(theCase.first), theCase.second) << theCase.first;

  WIN32_FIND_DATAA theData{};
  HANDLE theFind = FindFirstFileA((theFolder + "/*").c_str(), &theData);
  ASSERT_NE(theFind, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(theFind)) << "searches end with FindClose";
  EXPECT_TRUE(FindClose(theFind));
  EXPECT_FALSE(FindClose(theFind));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
