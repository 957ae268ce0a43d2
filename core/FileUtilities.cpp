#include "core/FileUtilities.h"

#include "core/EventLog.h"
#include "core/StandardRandom.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"
#include "platform/files/FileRoots.h"
#include "platform/files/Files.h"
#include "platform/threads/Threads.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstring>
#include <new>
#include <string_view>

namespace {

// The whole file, as far as a lock can reach.
constexpr DWORD kWholeLow = 0xFFFFFFFFu;
constexpr DWORD kWholeHigh = 0x7FFFFFFFu;

constexpr int kTempNameTries = 1000;
constexpr const char* kTempPrefix = "tl4";

std::atomic<DWORD> gTempNamesSeededBy{0};
std::atomic<bool> gTempFileAttempted{false};
std::atomic<DWORD> gLeftFilesRemovedBy{0};  // the process that looked for files of ended ones

// An open file, closed at the end of its scope without disturbing the last error.
class FileHandle {
public:
  explicit FileHandle(HANDLE inHandle) : mHandle(inHandle) {}
  ~FileHandle()
  {
    if (IsOpen()) {
      DWORD theError = GetLastError();
      CloseHandle(mHandle);
      SetLastError(theError);
    }
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const { return mHandle && mHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return mHandle; }

private:
  HANDLE mHandle;
};

HANDLE OpenForReading(const char* inPath)
{
  return CreateFileA(inPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenForWriting(const char* inPath)
{
  return CreateFileA(inPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The whole file locked through one handle for the length of a scope.
class WholeFileLock {
public:
  WholeFileLock(HANDLE inFile, bool inExclusive) : mFile(inFile)
  {
    OVERLAPPED theStart{};
    DWORD theFlags = LOCKFILE_FAIL_IMMEDIATELY | (inExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    mHeld = LockFileEx(inFile, theFlags, 0, kWholeLow, kWholeHigh, &theStart);
  }
  ~WholeFileLock()
  {
    if (mHeld) {
      DWORD theError = GetLastError();
      OVERLAPPED theStart{};
      UnlockFileEx(mFile, 0, kWholeLow, kWholeHigh, &theStart);
      SetLastError(theError);
    }
  }
  WholeFileLock(const WholeFileLock&) = delete;
  WholeFileLock& operator=(const WholeFileLock&) = delete;

  bool IsHeld() const { return mHeld; }

private:
  HANDLE mFile;
  bool mHeld;
};

// Writes inData from offset 0 and ends the file after it, under an exclusive
// lock of the whole file.
bool WriteFromStart(HANDLE inFile, const void* inData, DWORD inLength)
{
  if (SetFilePointer(inFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return false;
  WholeFileLock theLock(inFile, true);
  if (!theLock.IsHeld())
    return false;
  DWORD theWritten = 0;
  if (!WriteFile(inFile, inData, inLength, &theWritten, nullptr))
    return false;
  if (theWritten != inLength) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return SetEndOfFile(inFile) != FALSE;
}

bool IsDots(const char* inName)
{
  return std::strcmp(inName, ".") == 0 || std::strcmp(inName, "..") == 0;
}

LONG Walk(const std::string& inPath, WalkCallback inCallback, LONG inMaxDepth, void* inContext, LONG inDepth)
{
  if (inPath.empty() || inPath.size() > kMaxWalkPath)
    return 0;
  DWORD theAttributes = GetFileAttributesA(inPath.c_str());
  if (theAttributes == INVALID_FILE_ATTRIBUTES)
    return 0;
  if (!(theAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (inCallback)
      inCallback(inPath.c_str(), inContext);
    return 0;
  }

  std::string theFolder = inPath;
  if (theFolder.back() != '/')
    theFolder += '/';
  WIN32_FIND_DATAA theEntry{};
  HANDLE theSearch = FindFirstFileA((theFolder + "*").c_str(), &theEntry);
  if (theSearch == INVALID_HANDLE_VALUE)
    return 0;
  LONG theResult = 0;
  bool theDoAbort = false;
  do {
    if (IsDots(theEntry.cFileName))
      continue;
    std::string thePath = theFolder + theEntry.cFileName;
    if (thePath.size() >= kWalkPathRoom)
      continue;
    if (theEntry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (inDepth + 1 < inMaxDepth)
        theResult = Walk(thePath, inCallback, inMaxDepth, inContext, inDepth + 1);
    } else if (inCallback) {
      theResult = inCallback(thePath.c_str(), inContext);
    }
    theDoAbort = theResult != 0;
  } while (!theDoAbort && FindNextFileA(theSearch, &theEntry));
  TL_ASSERT_TEXT(theDoAbort || GetLastError() == ERROR_NO_MORE_FILES,
                 "(theDoAbort) || (GetLastError() == ERROR_NO_MORE_FILES)");
  FindClose(theSearch);
  SetLastError(ERROR_SUCCESS);
  return theResult;
}

// Delete-on-close files carry their process's id, "tl4-<id>-<number>.<ext>",
// so that the files of a process killed before it could close them are known.
std::string DeleteOnClosePrefix(DWORD inProcess)
{
  return FormatC("%s-%" PRIu32 "-", kTempPrefix, inProcess);
}

// The id a delete-on-close file's name carries; 0 for any other name.
DWORD ProcessOfName(std::string_view inName)
{
  const std::string theHead = std::string(kTempPrefix) + "-";
  if (inName.substr(0, theHead.size()) != theHead)
    return 0;
  inName.remove_prefix(theHead.size());
  std::int64_t theId = 0;
  const ScanOutcome theScan = ScanInteger(inName, 10, theId);
  if (theScan.mStatus != ScanStatus::kOk || theScan.mUsed == 0 || inName.substr(theScan.mUsed, 1) != "-" ||
      theId <= 0 || theId > 0x7FFFFFFF)
    return 0;
  return static_cast<DWORD>(theId);
}

bool ProcessExists(DWORD inProcess)
{
  HANDLE theProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, inProcess);
  if (!theProcess)
    return false;
  CloseHandle(theProcess);
  return true;
}

// Removes the delete-on-close files in inFolder of processes that no longer
// exist: they were killed with their files open. Those of running processes
// stay, and so does every other name. A process whose files are confined (a
// served page) still cleans the temporary folder, where its own files live.
void RemoveFilesOfEndedProcesses(const char* inFolder)
{
  const DWORD theError = GetLastError();
  const FileRootGrant theTemporaryFolder(inFolder);
  WIN32_FIND_DATAA theEntry{};
  HANDLE theSearch = FindFirstFileA((std::string(inFolder) + kTempPrefix + "-*").c_str(), &theEntry);
  if (theSearch != INVALID_HANDLE_VALUE) {
    do {
      const DWORD theOwner = ProcessOfName(theEntry.cFileName);
      if (theOwner != 0 && !(theEntry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !ProcessExists(theOwner))
        DeleteFileA((std::string(inFolder) + theEntry.cFileName).c_str());
    } while (FindNextFileA(theSearch, &theEntry));
    FindClose(theSearch);
  }
  SetLastError(theError);
}

}  // namespace

LONG WalkDirectory(const char* inPath, WalkCallback inCallback, LONG inMaxDepth, void* inContext)
{
  return inPath ? Walk(inPath, inCallback, inMaxDepth, inContext, 0) : 0;
}

bool WriteWholeFile(const char* inPath, const void* inData, DWORD inLength)
{
  FileHandle theFile(OpenForWriting(inPath));
  return theFile.IsOpen() && WriteFromStart(theFile.Get(), inData, inLength);
}

bool ReadWholeFile(const char* inPath, std::vector<BYTE>& outData, DWORD inMaxLength)
{
  outData.clear();
  FileHandle theFile(OpenForReading(inPath));
  if (!theFile.IsOpen())
    return false;
  WholeFileLock theLock(theFile.Get(), false);
  if (!theLock.IsHeld())
    return false;
  DWORD theSize = GetFileSize(theFile.Get(), nullptr);
  if (theSize == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return false;
  if (theSize > inMaxLength) {
    SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    return false;
  }
  try {
    outData.resize(theSize);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  DWORD theRead = 0;
  if (!ReadFile(theFile.Get(), outData.data(), theSize, &theRead, nullptr) || theRead != theSize) {
    if (theRead != theSize)
      SetLastError(ERROR_HANDLE_EOF);
    outData = std::vector<BYTE>();
    return false;
  }
  return true;
}

bool FileExists(const char* inPath)
{
  FileHandle theFile(OpenForReading(inPath));
  return theFile.IsOpen();
}

bool GetFileSizeByPath(const char* inPath, DWORD& outSize)
{
  outSize = 0;
  FileHandle theFile(OpenForReading(inPath));
  if (!theFile.IsOpen())
    return false;
  DWORD theSize = GetFileSize(theFile.Get(), nullptr);
  if (theSize == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return false;
  outSize = theSize;
  return true;
}

bool SetFileLength(const char* inPath, DWORD inLength)
{
  FileHandle theFile(OpenForWriting(inPath));
  if (!theFile.IsOpen())
    return false;
  WholeFileLock theLock(theFile.Get(), true);
  if (!theLock.IsHeld())
    return false;
  LONG theHigh = 0;
  if (SetFilePointer(theFile.Get(), static_cast<LONG>(inLength), &theHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS)
    return false;
  return SetEndOfFile(theFile.Get()) != FALSE;
}

const char* GetFileExtension(const char* inPath)
{
  TL_ASSERT(inPath);
  if (!inPath)
    return "";
  const char* theSlash = std::strrchr(inPath, '/');
  const char* theName = theSlash ? theSlash + 1 : inPath;
  const char* theDot = std::strrchr(theName, '.');
  return theDot ? theDot + 1 : theName + std::strlen(theName);
}

void SafeStrCopy(char* outDest, const char* inSource, std::size_t inArraySize)
{
  std::string_view theSource = inSource ? inSource : "";
  TL_ASSERT_TEXT(theSource.size() < inArraySize, "len < inArraySize");
  if (!outDest || inArraySize == 0)
    return;
  std::size_t theCount = utf8::CutLength(theSource, inArraySize - 1);
  std::memmove(outDest, theSource.data(), theCount);
  outDest[theCount] = '\0';
}

void SafeStrCat(char* ioDest, const char* inSource, std::size_t inArraySize)
{
  if (!ioDest || inArraySize == 0) {
    TL_ASSERT_TEXT(false, "len1 + len2 < inArraySize");
    return;
  }
  // A destination without its NUL inside the array is cut to fit first.
  std::string_view theDest(ioDest, static_cast<std::size_t>(std::find(ioDest, ioDest + inArraySize, '\0') - ioDest));
  std::size_t theDestLength = utf8::CutLength(theDest, inArraySize - 1);
  ioDest[theDestLength] = '\0';
  std::string_view theSource = inSource ? inSource : "";
  TL_ASSERT_TEXT(theDestLength + theSource.size() < inArraySize, "len1 + len2 < inArraySize");
  std::size_t theCount = utf8::CutLength(theSource, inArraySize - 1 - theDestLength);
  std::memmove(ioDest + theDestLength, theSource.data(), theCount);
  ioDest[theDestLength + theCount] = '\0';
}

std::string MakeTempFileName(const char* inDirectory, const char* inPrefix, const char* inExtension)
{
  SeedStandardRandomOnce(gTempNamesSeededBy);
  return FormatC("%s%s%" PRId32 ".%s", inDirectory ? inDirectory : "", inPrefix ? inPrefix : "", StandardRandom(),
                 inExtension ? inExtension : "");
}

bool CreateTempFile(bool inDeleteOnClose, const char* inExtension, HANDLE& outFile, std::string* outPath)
{
  outFile = INVALID_HANDLE_VALUE;
  bool theFirstAttempt = !gTempFileAttempted.exchange(true);
  const DWORD theProcess = GetCurrentProcessId();
  const char* theExtension = inExtension ? inExtension : "";
  std::string theName;
  char theFolder[MAX_PATH];
  DWORD theLength = GetTempPathA(MAX_PATH, theFolder);
  if (theLength == 0 || theLength >= MAX_PATH) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
  } else if (std::strchr(theExtension, '/')) {
    SetLastError(ERROR_INVALID_NAME);
  } else {
    DWORD theFlags = FILE_ATTRIBUTE_TEMPORARY | (inDeleteOnClose ? FILE_FLAG_DELETE_ON_CLOSE : 0);
    std::string thePrefix = kTempPrefix;
    if (inDeleteOnClose) {
      if (gLeftFilesRemovedBy.exchange(theProcess) != theProcess)
        RemoveFilesOfEndedProcesses(theFolder);
      thePrefix = DeleteOnClosePrefix(theProcess);
    }
    for (int theTry = 0; theTry < kTempNameTries; ++theTry) {
      theName = MakeTempFileName(theFolder, thePrefix.c_str(), theExtension);
      HANDLE theFile = CreateFileA(theName.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                   CREATE_NEW, theFlags, nullptr);
      if (theFile != INVALID_HANDLE_VALUE) {
        outFile = theFile;
        if (outPath)
          *outPath = theName;
        return true;
      }
      if (GetLastError() != ERROR_FILE_EXISTS)
        break;
    }
  }
  DWORD theError = GetLastError();
  if (theFirstAttempt)
    LogEvent("Unable to create temporary file \"%s\" (%" PRId32 ")", EVENTLOG_ERROR_TYPE, theName.c_str(),
             static_cast<LONG>(theError));
  SetLastError(theError);
  return false;
}

bool WriteTempFile(bool inDeleteOnClose, const char* inExtension, const void* inData, DWORD inLength,
                   HANDLE& outFile, std::string& outPath)
{
  TL_ASSERT_TEXT(inData, "(inPtr) && (inLen >= 0) && (outFileH) && (outFilePath)");
  outPath.clear();
  if (!CreateTempFile(inDeleteOnClose, inExtension, outFile, &outPath))
    return false;
  if (WriteFromStart(outFile, inData, inLength))
    return true;
  DWORD theError = GetLastError();
  CloseHandle(outFile);
  if (!inDeleteOnClose)
    DeleteFileA(outPath.c_str());
  outFile = INVALID_HANDLE_VALUE;
  outPath.clear();
  SetLastError(theError);
  return false;
}
