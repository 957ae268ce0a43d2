#include "core/MappedFileSource.h"

#include "platform/base/LastError.h"
#include "platform/files/Files.h"

#include <new>

namespace {

// The whole file, as far as a lock can reach.
constexpr DWORD kWholeLow = 0xFFFFFFFFu;
constexpr DWORD kWholeHigh = 0x7FFFFFFFu;

bool IsValid(HANDLE inHandle)
{
  return inHandle && inHandle != INVALID_HANDLE_VALUE;
}

// An existing file opened for reading, sharing reads.
HANDLE OpenForReading(const char* inPath)
{
  return CreateFileA(inPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The shared lock over the whole file that the library's writers respect.
bool LockWhole(HANDLE inFile, OVERLAPPED& ioStart)
{
  return LockFileEx(inFile, LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeLow, kWholeHigh, &ioStart);
}

}  // namespace

MappedFileSource::~MappedFileSource()
{
  Close();
}

bool MappedFileSource::Fail(const char* inText)
{
  DWORD theError = GetLastError();
  mError = inText;
  Close();
  SetLastError(theError);
  return true;
}

bool MappedFileSource::Open(const char* inPath, bool inMapAlways)
{
  Close();
  mError.clear();
  HANDLE theFile = OpenForReading(inPath);
  if (!IsValid(theFile))
    return Fail("Unable to read file");
  return MapHandle(theFile, inMapAlways);
}

bool MappedFileSource::MapHandle(HANDLE inFile, bool inMapAlways)
{
  Close();
  mFile = inFile;
  mError.clear();
  if (!IsValid(inFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return Fail("File handle invalid");
  }
  OVERLAPPED theStart{};
  if (!LockWhole(inFile, theStart))
    return Fail("Unable to read file");
  mLocked = true;
  DWORD theSize = GetFileSize(inFile, nullptr);
  if (theSize == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return Fail("Unable to get file size");
  if (theSize == 0)
    return Fail("File is empty");

  if (theSize <= kReadInLimit && !inMapAlways) {
    try {
      mBuffer.resize(theSize);
    } catch (const std::bad_alloc&) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return Fail("Unable to read file");
    }
    DWORD theRead = 0;
    if (!ReadFile(inFile, mBuffer.data(), theSize, &theRead, nullptr) || theRead != theSize)
      return Fail("Unable to read file");
    UnlockFileEx(inFile, 0, kWholeLow, kWholeHigh, &theStart);
    mLocked = false;
    mView = mBuffer.data();
  } else {
    mMapping = CreateFileMappingA(inFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mMapping)
      return Fail("Unable to create file mapping");
    mView = static_cast<const BYTE*>(MapViewOfFile(mMapping, FILE_MAP_READ, 0, 0, 0));
    if (!mView)
      return Fail("Unable to map view of file");
    mMapped = true;
  }
  SetData(mView, theSize);
  return false;
}

void MappedFileSource::Close()
{
  SetData(nullptr, 0);
  if (mMapped)
    UnmapViewOfFile(mView);
  mView = nullptr;
  mMapped = false;
  mBuffer = std::vector<BYTE>();
  if (mMapping)
    CloseHandle(mMapping);
  mMapping = nullptr;
  if (mLocked) {
    OVERLAPPED theStart{};
    UnlockFileEx(mFile, 0, kWholeLow, kWholeHigh, &theStart);
  }
  mLocked = false;
  if (IsValid(mFile))
    CloseHandle(mFile);
  mFile = nullptr;
}

bool ReadFileEnds(const char* inPath, DWORD inCount, BYTE* outFirst, BYTE* outLast)
{
  HANDLE theFile = OpenForReading(inPath);
  if (!IsValid(theFile))
    return false;
  OVERLAPPED theStart{};
  bool theRead = false;
  if (LockWhole(theFile, theStart)) {
    DWORD theHigh = 0;
    const DWORD theSize = GetFileSize(theFile, &theHigh);
    DWORD theFirst = 0;
    DWORD theLast = 0;
    theRead = theSize != INVALID_FILE_SIZE && theHigh == 0 && theSize / 2 >= inCount &&
              ReadFile(theFile, outFirst, inCount, &theFirst, nullptr) && theFirst == inCount &&
              SetFilePointer(theFile, -static_cast<LONG>(inCount), nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
              ReadFile(theFile, outLast, inCount, &theLast, nullptr) && theLast == inCount;
    UnlockFileEx(theFile, 0, kWholeLow, kWholeHigh, &theStart);
  }
  CloseHandle(theFile);
  return theRead;
}
