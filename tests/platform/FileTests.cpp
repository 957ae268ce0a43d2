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
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

void WriteText(const std::string& inPath, const std::string& inText)
{
  std::ofstream(inPath, std::ios::binary) << inText;
}

bool Exists(const std::string& inPath)
{
  return std::filesystem::exists(std::filesystem::symlink_status(inPath));
}

mode_t ModeOf(const std::string& inPath)
{
  return static_cast<mode_t>(std::filesystem::symlink_status(inPath).permissions());
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

// inText when a call succeeded, else "!<its error>".
std::string Outcome(bool inSucceeded, const std::string& inText = "done")
{
  return inSucceeded ? inText : "!" + std::to_string(GetLastError());
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
    DWORD mError;          // last error after the call; 2 or 80 also mean it fails
    const char* mContent;  // afterwards; null when there is no file
  };
  const Case kCases[] = {
    {CREATE_NEW, true, ERROR_FILE_EXISTS, "old"},         {CREATE_NEW, false, 0, ""},
    {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},      {CREATE_ALWAYS, false, 0, ""},
    {OPEN_EXISTING, true, 0, "old"},                      {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
    {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},     {OPEN_ALWAYS, false, 0, ""},
    {TRUNCATE_EXISTING, true, 0, ""},                     {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
  };
  std::string theFolder = tltest::MakeTempFolder("dispositions");
  int theNumber = 0;
  for (const Case& theCase : kCases) {
    std::string thePath = theFolder + "/file" + std::to_string(++theNumber);
    if (theCase.mExists)
      WriteText(thePath, "old");
    SetLastError(999);
    HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, theCase.mDisposition);
    SCOPED_TRACE("disposition " + std::to_string(theCase.mDisposition) + (theCase.mExists ? " existing" : " missing"));
    EXPECT_EQ(GetLastError(), theCase.mError);
    const bool theOpens = theCase.mError != ERROR_FILE_EXISTS && theCase.mError != ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(theFile != INVALID_HANDLE_VALUE, theOpens);
    if (theFile != INVALID_HANDLE_VALUE)
      CloseHandle(theFile);
    if (theCase.mContent) {
      EXPECT_EQ(tltest::ReadFile(thePath), theCase.mContent);
    } else {
      EXPECT_FALSE(Exists(thePath));
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
  }
  EXPECT_FALSE(Exists(theVictim)) << "no link was followed to make its target";
}

// A link whose target is missing ends every disposition at once: those that
// create make the target, as Windows does, the others fail. Each open runs in
// a child that a stuck call would not leave in time.
TEST(Files, DanglingLinksEndEveryDispositionAtOnce)
{
  const std::string theFolder = tltest::MakeTempFolder("dangling");
  struct Case {
    DWORD mDisposition;
    const char* mTarget;   // below theFolder
    DWORD mError;          // last error after the call
    bool mOpens;
  };
  const Case kCases[] = {
    {CREATE_ALWAYS, "made-always", ERROR_SUCCESS, true},
    {OPEN_ALWAYS, "made-open", ERROR_SUCCESS, true},
    {CREATE_NEW, "not-new", ERROR_FILE_EXISTS, false},
    {OPEN_EXISTING, "not-open", ERROR_FILE_NOT_FOUND, false},
    {TRUNCATE_EXISTING, "not-truncated", ERROR_FILE_NOT_FOUND, false},
    {CREATE_ALWAYS, "missing/folder", ERROR_PATH_NOT_FOUND, false},
  };
  int theNumber = 0;
  for (const Case& theCase : kCases) {
    const std::string theTarget = theFolder + "/" + theCase.mTarget;
    const std::string theLink = theFolder + "/link" + std::to_string(++theNumber);
    ASSERT_EQ(symlink(theTarget.c_str(), theLink.c_str()), 0);
    SCOPED_TRACE("disposition " + std::to_string(theCase.mDisposition) + " to " + theCase.mTarget);
    const tltest::ChildResult theChild = tltest::RunInChild([&] {
      alarm(10);
      SetLastError(999);
      HANDLE theFile = Open(theLink, GENERIC_WRITE, theCase.mDisposition);
      if ((theFile != INVALID_HANDLE_VALUE) != theCase.mOpens)
        return 1;
      if (GetLastError() != theCase.mError)
        return 2;
      if (theFile != INVALID_HANDLE_VALUE && (WriteAt(theFile, 0, "through") != 0 || !CloseHandle(theFile)))
        return 3;
      return 0;
    });
    EXPECT_TRUE(tltest::Succeeded(theChild));
    EXPECT_EQ(Exists(theTarget), theCase.mOpens);
    if (theCase.mOpens) {
      EXPECT_EQ(tltest::ReadFile(theLink), "through");
    }
  }
}

TEST(Files, PointerSizeAndAccessPerHandle)
{
  std::string thePath = tltest::MakeTempFolder("pointer") + "/file";
  HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteAt(theFile, 0, "hello world"), 0u);
  EXPECT_EQ(SetFilePointer(theFile, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(SetEndOfFile(theFile));
  EXPECT_EQ(GetFileSize(theFile, nullptr), 5u);
  EXPECT_EQ(SetFilePointer(theFile, -2, nullptr, FILE_END), 3u);
  EXPECT_EQ(ReadAt(theFile, 3, 10), "lo") << "a read past the end reads what there is";
  EXPECT_EQ(ReadAt(theFile, 5, 10), "") << "a read at the end reads nothing and succeeds";
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(theFile, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  // Past 4 GiB the high halves carry the rest, and a size without its high
  // half cannot be answered.
  LONG theHigh = 1;
  EXPECT_EQ(SetFilePointer(theFile, 16, &theHigh, FILE_BEGIN), 16u);
  EXPECT_TRUE(SetEndOfFile(theFile));
  DWORD theSizeHigh = 0;
  EXPECT_EQ(GetFileSize(theFile, &theSizeHigh), 16u);
  EXPECT_EQ(theSizeHigh, 1u);
  EXPECT_EQ(GetFileSize(theFile, nullptr), INVALID_FILE_SIZE);
  EXPECT_TRUE(CloseHandle(theFile));

  WriteText(thePath, "content");
  HANDLE theReader = Open(thePath, GENERIC_READ);
  HANDLE theWriter = Open(thePath, GENERIC_WRITE);
  EXPECT_EQ(WriteAt(theReader, 0, "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadAt(theWriter, 0, 4), "!5");
  CloseHandle(theReader);
  CloseHandle(theWriter);
}

// Byte-range locks belong to the handle: other handles, in this process or
// another, are refused the range; shared locks admit readers only.
TEST(Files, LocksExcludeOtherHandles)
{
  std::string thePath = tltest::MakeTempFolder("locks") + "/file";
  WriteText(thePath, std::string(300, 'a'));
  HANDLE theWriter = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  HANDLE theOther = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(LockFile(theWriter, 0, 0, 100, 0));
  EXPECT_EQ(WriteAt(theWriter, 0, "bb"), 0u) << "the holder writes its own range";
  EXPECT_EQ(ReadAt(theWriter, 0, 3), "bba") << "and reads it";

  const std::string kViolation = "!" + std::to_string(ERROR_LOCK_VIOLATION);
  auto theLock = [&](DWORD inOffset, DWORD inLength) {
    return OnAnotherThread([&] { return Outcome(LockFile(theOther, inOffset, 0, inLength, 0)); });
  };
  const std::pair<const char*, std::pair<std::string, std::string>> kCases[] = {
    {"a lock overlapping its end", {theLock(99, 10), kViolation}},
    {"a read starting before it", {OnAnotherThread([&] { return ReadAt(theOther, 0, 300); }), kViolation}},
    {"a write into it", {OnAnotherThread([&] { return std::to_string(WriteAt(theOther, 50, "c")); }), "33"}},
    {"a read after it", {OnAnotherThread([&] { return ReadAt(theOther, 100, 3); }), "aaa"}},
    {"a lock after it", {theLock(100, 50), "done"}},
    {"the holder's overlapping lock", {Outcome(LockFile(theWriter, 50, 0, 10, 0)), kViolation}},
    {"unlocking what is not locked", {Outcome(UnlockFile(theWriter, 0, 0, 50, 0)), "!158"}},
  };
  for (const auto& [theWhat, theResult] : kCases)
    EXPECT_EQ(theResult.first, theResult.second) << theWhat;
  EXPECT_EQ(tltest::RunInChild([&] { return ReadAt(Open(thePath, GENERIC_READ), 0, 1) == kViolation ? 0 : 1; }).mStatus, 0)
    << "a reader in another process is refused";

  // A waiting lock is granted when the holder unlocks; closing a handle drops its locks.
  std::atomic<bool> theGranted{false};
  std::thread theWaiter([&] {
    OVERLAPPED theWhere{};
    theGranted = LockFileEx(theOther, LOCKFILE_EXCLUSIVE_LOCK, 0, 100, 0, &theWhere);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(theGranted) << "granted while held";
  EXPECT_TRUE(UnlockFile(theWriter, 0, 0, 100, 0));
  theWaiter.join();
  EXPECT_TRUE(theGranted);
  EXPECT_EQ(ReadAt(theWriter, 0, 2), kViolation);
  EXPECT_TRUE(CloseHandle(theOther));
  EXPECT_EQ(ReadAt(theWriter, 0, 2), "bb");

  HANDLE theReader = Open(thePath, GENERIC_READ | GENERIC_WRITE);
  OVERLAPPED theWhere{};
  ASSERT_TRUE(LockFileEx(theWriter, LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &theWhere));
  EXPECT_TRUE(LockFileEx(theReader, LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &theWhere)) << "two shared locks";
  EXPECT_TRUE(UnlockFileEx(theReader, 0, 10, 0, &theWhere));
  EXPECT_EQ(ReadAt(theReader, 0, 2), "bb") << "a read beside a shared lock";
  EXPECT_EQ(WriteAt(theReader, 0, "x"), ERROR_LOCK_VIOLATION) << "a write under it";
  CloseHandle(theReader);
  EXPECT_TRUE(CloseHandle(theWriter));
}

TEST(Files, TemporaryFilesArePrivateAndDeletedOnClose)
{
  std::string thePath = tltest::MakeTempFolder("delete-on-close") + "/scratch";
  mode_t theOld = umask(022);
  HANDLE theFile = Open(thePath, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  umask(theOld);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ModeOf(thePath), 0600u);
  EXPECT_EQ(WriteAt(theFile, 0, "data"), 0u);
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_FALSE(Exists(thePath));

  // A file put in its place meanwhile is someone else's and stays.
  theFile = Open(thePath, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  ASSERT_EQ(unlink(thePath.c_str()), 0);
  WriteText(thePath, "someone else's");
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_EQ(tltest::ReadFile(thePath), "someone else's");
}

// A process that ends normally without closing them (exit, a return from
// main, quick_exit) removes its delete-on-close files; a forked child's exit
// leaves its parent's alone.
TEST(Files, DeleteOnCloseFilesGoAtProcessExit)
{
  const std::string theFolder = tltest::MakeTempFolder("delete-at-exit");
  const std::pair<const char*, void (*)()> kExits[] = {
    {"exit", [] { std::exit(0); }}, {"quick_exit", [] { std::quick_exit(0); }}};
  for (const auto& [theName, theExit] : kExits) {
    const std::string thePath = theFolder + "/" + theName;
    EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&, theExit = theExit] {
      if (Open(thePath, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE) == INVALID_HANDLE_VALUE)
        return 1;
      theExit();
      return 2;
    }))) << theName;
    EXPECT_FALSE(Exists(thePath)) << theName;
  }

  const std::string theParents = theFolder + "/parent";
  HANDLE theFile = Open(theParents, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(theFile, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    std::exit(0);
    return 1;
  })));
  EXPECT_TRUE(Exists(theParents));
  EXPECT_TRUE(CloseHandle(theFile));
  EXPECT_FALSE(Exists(theParents));
}

TEST(Files, ReadOnlyMappingsAndTheirViews)
{
  std::string theFolder = tltest::MakeTempFolder("mapping");
  std::string thePath = theFolder + "/data";
  std::string theData(200000, '\0');
  for (std::size_t i = 0; i < theData.size(); ++i)
    theData[i] = static_cast<char>(i * 31 + i / 251);
  WriteText(thePath, theData);
  WriteText(theFolder + "/empty", "");

  HANDLE theFile = Open(thePath, GENERIC_READ);
  HANDLE theMapping = CreateFileMappingA(theFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(theMapping, nullptr);
  auto* theView = static_cast<const char*>(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 0, 0));
  auto* theTail = static_cast<const char*>(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 65536, 1000));
  ASSERT_TRUE(theView && theTail);
  SetLastError(0);
  EXPECT_EQ(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 4096, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  EXPECT_EQ(MapViewOfFile(theMapping, FILE_MAP_READ, 0, 65536, 200000), nullptr) << "beyond the mapping";
  EXPECT_TRUE(CloseHandle(theMapping));
  EXPECT_EQ(std::memcmp(theView, theData.data(), theData.size()), 0) << "views outlive their handles";
  EXPECT_EQ(std::memcmp(theTail, theData.data() + 65536, 1000), 0);
  EXPECT_TRUE(UnmapViewOfFile(theView) && UnmapViewOfFile(theTail));
  SetLastError(0);
  EXPECT_FALSE(UnmapViewOfFile(theView));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);

  HANDLE theEmpty = Open(theFolder + "/empty", GENERIC_READ);
  HANDLE theWriteOnly = Open(thePath, GENERIC_WRITE);
  struct Case {
    const char* mWhat;
    HANDLE mFile;
    DWORD mProtect;
    DWORD mSize;
    DWORD mError;
  };
  const Case kCases[] = {
    {"an empty file", theEmpty, PAGE_READONLY, 0, ERROR_FILE_INVALID},
    {"a file not opened for reading", theWriteOnly, PAGE_READONLY, 0, ERROR_ACCESS_DENIED},
    {"a size beyond the file", theFile, PAGE_READONLY, 300000, ERROR_NOT_ENOUGH_MEMORY},
    {"no file", INVALID_HANDLE_VALUE, PAGE_READONLY, 0, ERROR_INVALID_HANDLE},
  };
  for (const Case& theCase : kCases) {
    SetLastError(0);
    EXPECT_EQ(CreateFileMappingA(theCase.mFile, nullptr, theCase.mProtect, 0, theCase.mSize, nullptr), nullptr)
      << theCase.mWhat;
    EXPECT_EQ(GetLastError(), theCase.mError) << theCase.mWhat;
  }
  for (HANDLE theHandle : {theFile, theEmpty, theWriteOnly})
    CloseHandle(theHandle);
}

TEST(Files, TemporaryPathAndNames)
{
  setenv("TMPDIR", "/var/tmp/x", 1);
  char theBuffer[MAX_PATH] = {};
  EXPECT_EQ(GetTempPathA(MAX_PATH, theBuffer), 11u);
  EXPECT_STREQ(theBuffer, "/var/tmp/x/");
  EXPECT_EQ(GetTempPathA(3, theBuffer), 12u) << "the size needed";

  std::string theFolder = tltest::MakeTempFolder("temp-names");
  std::set<std::string> theNames;
  for (int i = 0; i < 50; ++i) {
    char theName[MAX_PATH] = {};
    UINT theNumber = GetTempFileNameA(theFolder.c_str(), "ijlong", 0, theName);
    ASSERT_NE(theNumber, 0u);
    EXPECT_TRUE(theNames.insert(theName).second) << "a name given twice: " << theName;
    char theExpected[16];
    std::snprintf(theExpected, sizeof(theExpected), "/ijl%04X.TMP", theNumber);
    EXPECT_EQ(theName, theFolder + theExpected);
    EXPECT_EQ(ModeOf(theName), 0600u) << "a new empty private file";
  }
  char theName[MAX_PATH] = {};
  EXPECT_EQ(GetTempFileNameA((theFolder + "/").c_str(), "a", 0x1ABCD, theName), 0xABCDu) << "a given number";
  EXPECT_EQ(std::string(theName), theFolder + "/aABCD.TMP");
  EXPECT_FALSE(Exists(theName)) << "a given number only names the file";
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
    std::snprintf(theName, sizeof(theName), "%s/tl4%04X.TMP", theFolder.c_str(), theNumber);
    ASSERT_TRUE(theNumber == kFree || symlink(theVictim.c_str(), theName) == 0);
  }
  EXPECT_EQ(GetTempFileNameA(theFolder.c_str(), "tl4", 0, theName), kFree);
  SetLastError(0);
  EXPECT_EQ(GetTempFileNameA(theFolder.c_str(), "tl4", 0, theName), 0u) << "all taken";
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(Exists(theVictim));
}

TEST(Files, ProbesFoldersAndSearches)
{
  std::string theFolder = tltest::MakeTempFolder("search");
  WriteText(theFolder + "/a.txt", "1");
  WriteText(theFolder + "/B.TXT", "22");
  WriteText(theFolder + "/c.dat", "333");
  const std::pair<std::string, std::string> kProbes[] = {
    {Outcome(GetFileAttributesA(theFolder.c_str()) == FILE_ATTRIBUTE_DIRECTORY), "done"},
    {Outcome(GetFileAttributesA((theFolder + "/none").c_str()) != INVALID_FILE_ATTRIBUTES), "!2"},
    {Outcome(GetFileAttributesA((theFolder + "/none/file").c_str()) != INVALID_FILE_ATTRIBUTES), "!3"},
    {Outcome(CreateDirectoryA((theFolder + "/sub").c_str(), nullptr)), "done"},
    {Outcome(CreateDirectoryA((theFolder + "/sub").c_str(), nullptr)), "!183"},
    {Outcome(CreateDirectoryA((theFolder + "/a/b").c_str(), nullptr)), "!3"},
    {Outcome(DeleteFileA((theFolder + "/sub").c_str())), "!5"},
    {Outcome(DeleteFileA((theFolder + "/c.dat").c_str())), "done"},
  };
  for (std::size_t i = 0; i < std::size(kProbes); ++i)
    EXPECT_EQ(kProbes[i].first, kProbes[i].second) << "probe " << i;

  auto theSearch = [&](const std::string& inPattern) {
    std::vector<std::string> theNames;
    WIN32_FIND_DATAA theData{};
    HANDLE theFind = FindFirstFileA((theFolder + "/" + inPattern).c_str(), &theData);
    if (theFind == INVALID_HANDLE_VALUE)
      return std::vector<std::string>{Outcome(false)};
    do
      theNames.push_back(theData.cFileName + (theData.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY
                                                ? std::string("/")
                                                : ":" + std::to_string(theData.nFileSizeLow)));
    while (FindNextFileA(theFind, &theData));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_FALSE(CloseHandle(theFind)) << "searches end with FindClose";
    EXPECT_TRUE(FindClose(theFind));
    std::sort(theNames.begin(), theNames.end());
    return theNames;
  };
  using Names = std::vector<std::string>;
  const std::pair<const char*, Names> kSearches[] = {
    {"*", {"../", "./", "B.TXT:2", "a.txt:1", "sub/"}},
    {"?.TXT", {"B.TXT:2", "a.txt:1"}},
    {"*.none", {"!2"}},
    {"missing/*", {"!3"}},
  };
  for (const auto& [thePattern, theNames] : kSearches)
    EXPECT_EQ(theSearch(thePattern), theNames) << thePattern;
}
