#include "platform/files/Files.h"

#include "platform/base/LastError.h"
#include "platform/base/Utf8.h"
#include "platform/files/FileObject.h"
#include "platform/files/FileRoots.h"
#include "platform/kernel/HandleTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr DWORD kKnownAccess = GENERIC_READ | GENERIC_WRITE | FILE_APPEND_DATA | DELETE;

// ENOENT means a missing file when its folder exists, else a missing path.
DWORD MissingError(const std::string& inPath)
{
  std::string::size_type theSlash = inPath.find_last_of('/');
  std::string theFolder = theSlash == std::string::npos ? "." : theSlash == 0 ? "/" : inPath.substr(0, theSlash);
  struct stat theStatus{};
  return stat(theFolder.c_str(), &theStatus) == 0 && S_ISDIR(theStatus.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                              : ERROR_PATH_NOT_FOUND;
}

DWORD PathError(int inErrno, const std::string& inPath)
{
  return inErrno == ENOENT ? MissingError(inPath) : WinErrorFromErrno(inErrno);
}

int OpenNoIntr(const char* inPath, int inFlags, mode_t inMode)
{
  int theFd;
  do
    theFd = open(inPath, inFlags, inMode);
  while (theFd < 0 && errno == EINTR);
  return theFd;
}

// Opens inPath for CreateFileA's dispositions; outExisted says whether the
// name existed already. -1 with errno on failure.
int OpenFor(const char* inPath, int inFlags, mode_t inMode, DWORD inDisposition, bool& outExisted)
{
  outExisted = false;
  switch (inDisposition) {
    case CREATE_NEW:
      return OpenNoIntr(inPath, inFlags | O_CREAT | O_EXCL, inMode);
    case OPEN_EXISTING:
      outExisted = true;
      return OpenNoIntr(inPath, inFlags, 0);
    case TRUNCATE_EXISTING:
      outExisted = true;
      return OpenNoIntr(inPath, inFlags | O_TRUNC, 0);
    default: {  // CREATE_ALWAYS, OPEN_ALWAYS: create, or open what is there
      int theFd = OpenNoIntr(inPath, inFlags | O_CREAT | O_EXCL, inMode);
      if (theFd >= 0 || errno != EEXIST)
        return theFd;
      int theExisting = inFlags | (inDisposition == CREATE_ALWAYS ? O_TRUNC : 0);
      theFd = OpenNoIntr(inPath, theExisting, 0);
      if (theFd >= 0 || errno != ENOENT) {
        outExisted = true;
        return theFd;
      }
      // The name is there and leads nowhere: a link to a missing file, whose
      // target is made as Windows makes it, or a file removed between the two
      // opens, made again. Once: a link into a missing folder fails here.
      return OpenNoIntr(inPath, theExisting | O_CREAT, inMode);
    }
  }
}

std::shared_ptr<FileObject> FindFile(HANDLE inFile)
{
  return HandleTable::FindAs<FileObject>(inFile);
}

}  // namespace

HANDLE CreateFileA(LPCSTR inFileName, DWORD inDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD inCreationDisposition, DWORD inFlagsAndAttributes, HANDLE)
{
  bool theRead = inDesiredAccess & GENERIC_READ;
  bool theWrite = inDesiredAccess & GENERIC_WRITE;
  bool theAppend = !theWrite && (inDesiredAccess & FILE_APPEND_DATA);
  if (!inFileName || (inDesiredAccess & ~kKnownAccess) || !(theRead || theWrite || theAppend) ||
      inCreationDisposition < CREATE_NEW || inCreationDisposition > TRUNCATE_EXISTING ||
      (inCreationDisposition == TRUNCATE_EXISTING && !theWrite))
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (!*inFileName)
    return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

  bool theTemporary = inFlagsAndAttributes & FILE_ATTRIBUTE_TEMPORARY;
  bool theNewTemporary = theTemporary && inCreationDisposition == CREATE_NEW;
  if (DWORD theError = CheckFileRoots(inFileName, theNewTemporary); theError != ERROR_SUCCESS)
    return Fail(theError, INVALID_HANDLE_VALUE);
  // Non-blocking, so that a pipe or device is refused rather than waited on.
  int theFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (theTemporary ? O_NOFOLLOW : 0) |
                 (theAppend ? O_APPEND : 0) |
                 ((theWrite || theAppend) ? (theRead ? O_RDWR : O_WRONLY) : O_RDONLY);
  bool theExisted = false;
  int theFd = OpenFor(inFileName, theFlags, theTemporary ? 0600 : 0666, inCreationDisposition, theExisted);
  if (theFd < 0) {
    int theErrno = errno;
    if (theErrno == EEXIST)
      return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    if (theErrno == ENXIO || theErrno == ELOOP)
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    // A disposition that creates misses only a folder on the way, even when
    // another process has made it since.
    if (theErrno == ENOENT && inCreationDisposition != OPEN_EXISTING && inCreationDisposition != TRUNCATE_EXISTING)
      return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    return Fail(PathError(theErrno, inFileName), INVALID_HANDLE_VALUE);
  }

  FileObject::Opening theOpening;
  theOpening.mFd = theFd;
  struct stat theStatus{};
  if (fstat(theFd, &theStatus) != 0 || !S_ISREG(theStatus.st_mode) ||
      fcntl(theFd, F_SETFL, fcntl(theFd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(theFd);
    return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  theOpening.mRead = theRead;
  theOpening.mWrite = theWrite;
  theOpening.mAppend = theAppend;
  theOpening.mDeleteOnClose = inFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
  theOpening.mPath = inFileName;
  theOpening.mDevice = theStatus.st_dev;
  theOpening.mInode = theStatus.st_ino;
  HANDLE theHandle = HandleTable::Add(std::make_shared<FileObject>(std::move(theOpening)));
  if (!theHandle)
    return INVALID_HANDLE_VALUE;
  if (theNewTemporary)
    NoteTemporaryFile(inFileName);
  bool theReportExisting =
    theExisted && (inCreationDisposition == CREATE_ALWAYS || inCreationDisposition == OPEN_ALWAYS);
  SetLastError(theReportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return theHandle;
}

BOOL ReadFile(HANDLE inFile, LPVOID outBuffer, DWORD inBytesToRead, LPDWORD outBytesRead, LPOVERLAPPED inOverlapped)
{
  if (outBytesRead)
    *outBytesRead = 0;
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (inOverlapped || (!outBuffer && inBytesToRead > 0))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD theDone = 0;
  DWORD theError = theFile->Read(outBuffer, inBytesToRead, theDone);
  if (outBytesRead)
    *outBytesRead = theDone;
  return theError == ERROR_SUCCESS ? TRUE : Fail(theError, FALSE);
}

BOOL WriteFile(HANDLE inFile, LPCVOID inBuffer, DWORD inBytesToWrite, LPDWORD outBytesWritten,
               LPOVERLAPPED inOverlapped)
{
  if (outBytesWritten)
    *outBytesWritten = 0;
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (inOverlapped || (!inBuffer && inBytesToWrite > 0))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD theDone = 0;
  DWORD theError = theFile->Write(inBuffer, inBytesToWrite, theDone);
  if (outBytesWritten)
    *outBytesWritten = theDone;
  return theError == ERROR_SUCCESS ? TRUE : Fail(theError, FALSE);
}

DWORD SetFilePointer(HANDLE inFile, LONG inDistance, PLONG inoutDistanceHigh, DWORD inMoveMethod)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return INVALID_SET_FILE_POINTER;
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (inMoveMethod > FILE_END)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  std::int64_t theDistance = inoutDistanceHigh
                               ? static_cast<std::int64_t>(JoinHalves(static_cast<DWORD>(inDistance),
                                                                      static_cast<DWORD>(*inoutDistanceHigh)))
                               : inDistance;
  off_t thePosition = lseek(theFile->GetDescriptor(), theDistance, kWhence[inMoveMethod]);
  if (thePosition < 0)
    return Fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK : WinErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
  std::uint64_t theNew = static_cast<std::uint64_t>(thePosition);
  if (inoutDistanceHigh)
    *inoutDistanceHigh = static_cast<LONG>(theNew >> 32);
  else if (theNew > 0xFFFFFFFFu)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(theNew);
}

DWORD GetFileSize(HANDLE inFile, LPDWORD outSizeHigh)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return INVALID_FILE_SIZE;
  struct stat theStatus{};
  if (fstat(theFile->GetDescriptor(), &theStatus) != 0)
    return Fail(WinErrorFromErrno(errno), INVALID_FILE_SIZE);
  std::uint64_t theSize = static_cast<std::uint64_t>(theStatus.st_size);
  if (outSizeHigh)
    *outSizeHigh = static_cast<DWORD>(theSize >> 32);
  else if (theSize >= 0xFFFFFFFFu)
    return Fail(ERROR_ARITHMETIC_OVERFLOW, INVALID_FILE_SIZE);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(theSize);
}

BOOL SetEndOfFile(HANDLE inFile)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (!theFile->CanWrite())
    return Fail(ERROR_ACCESS_DENIED, FALSE);
  off_t thePosition = lseek(theFile->GetDescriptor(), 0, SEEK_CUR);
  if (thePosition < 0 || ftruncate(theFile->GetDescriptor(), thePosition) != 0)
    return Fail(WinErrorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE inFile)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (fsync(theFile->GetDescriptor()) != 0)
    return Fail(WinErrorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL LockFileEx(HANDLE inFile, DWORD inFlags, DWORD inReserved, DWORD inBytesLow, DWORD inBytesHigh,
                LPOVERLAPPED inOverlapped)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (!inOverlapped || inReserved != 0 || (inFlags & ~(LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY)))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD theError =
    theFile->Lock(JoinHalves(inOverlapped->Offset, inOverlapped->OffsetHigh), JoinHalves(inBytesLow, inBytesHigh),
                  inFlags & LOCKFILE_EXCLUSIVE_LOCK, !(inFlags & LOCKFILE_FAIL_IMMEDIATELY));
  return theError == ERROR_SUCCESS ? TRUE : Fail(theError, FALSE);
}

BOOL UnlockFileEx(HANDLE inFile, DWORD inReserved, DWORD inBytesLow, DWORD inBytesHigh, LPOVERLAPPED inOverlapped)
{
  std::shared_ptr<FileObject> theFile = FindFile(inFile);
  if (!theFile)
    return FALSE;
  if (!inOverlapped || inReserved != 0)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD theError =
    theFile->Unlock(JoinHalves(inOverlapped->Offset, inOverlapped->OffsetHigh), JoinHalves(inBytesLow, inBytesHigh));
  return theError == ERROR_SUCCESS ? TRUE : Fail(theError, FALSE);
}

BOOL LockFile(HANDLE inFile, DWORD inOffsetLow, DWORD inOffsetHigh, DWORD inBytesLow, DWORD inBytesHigh)
{
  OVERLAPPED theWhere{};
  theWhere.Offset = inOffsetLow;
  theWhere.OffsetHigh = inOffsetHigh;
  return LockFileEx(inFile, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, inBytesLow, inBytesHigh,
                    &theWhere);
}

BOOL UnlockFile(HANDLE inFile, DWORD inOffsetLow, DWORD inOffsetHigh, DWORD inBytesLow, DWORD inBytesHigh)
{
  OVERLAPPED theWhere{};
  theWhere.Offset = inOffsetLow;
  theWhere.OffsetHigh = inOffsetHigh;
  return UnlockFileEx(inFile, 0, inBytesLow, inBytesHigh, &theWhere);
}

DWORD GetTempPathA(DWORD inBufferLength, LPSTR outBuffer)
{
  const char* theValue = std::getenv("TMPDIR");
  std::string thePath = theValue && *theValue ? theValue : "/tmp";
  if (thePath.back() != '/')
    thePath += '/';
  DWORD theLength = static_cast<DWORD>(thePath.size());
  if (!outBuffer || inBufferLength <= theLength)
    return theLength + 1;
  std::memcpy(outBuffer, thePath.c_str(), thePath.size() + 1);
  return theLength;
}

UINT GetTempFileNameA(LPCSTR inPathName, LPCSTR inPrefixString, UINT inUnique, LPSTR outTempFileName)
{
  if (!inPathName || !inPrefixString || !outTempFileName)
    return Fail(ERROR_INVALID_PARAMETER, 0u);
  std::string theFolder = inPathName;
  if (!theFolder.empty() && theFolder.back() != '/')
    theFolder += '/';
  // At most three bytes of prefix, never part of a character.
  const std::string thePrefix(utf8::Cut(std::string_view(inPrefixString, strnlen(inPrefixString, 4)), 3));

  auto theNameFor = [&](UINT inNumber) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string theName = theFolder + thePrefix;
    for (int theShift = 12; theShift >= 0; theShift -= 4)
      theName += kHex[(inNumber >> theShift) & 0xF];
    return theName + ".TMP";
  };
  if (theNameFor(0).size() >= MAX_PATH)
    return Fail(ERROR_BUFFER_OVERFLOW, 0u);

  if (inUnique != 0) {
    UINT theNumber = inUnique & 0xFFFF;
    std::string theName = theNameFor(theNumber);
    std::memcpy(outTempFileName, theName.c_str(), theName.size() + 1);
    return theNumber;
  }
  if (DWORD theError = CheckFileRoots(theNameFor(0).c_str(), true); theError != ERROR_SUCCESS)
    return Fail(theError, 0u);
  // Every number from a random start, 0 excluded; a name that exists, a link
  // included, is never opened.
  UINT theNumber = std::random_device{}() % 0xFFFF + 1;
  for (UINT theTry = 0; theTry < 0xFFFF; ++theTry, theNumber = theNumber % 0xFFFF + 1) {
    std::string theName = theNameFor(theNumber);
    int theFd = OpenNoIntr(theName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (theFd >= 0) {
      close(theFd);
      NoteTemporaryFile(theName.c_str());
      std::memcpy(outTempFileName, theName.c_str(), theName.size() + 1);
      return theNumber;
    }
    if (errno != EEXIST)
      return Fail(PathError(errno, theName), 0u);
  }
  return Fail(ERROR_FILE_EXISTS, 0u);
}

BOOL DeleteFileA(LPCSTR inFileName)
{
  if (!inFileName)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (DWORD theError = CheckFileRoots(inFileName); theError != ERROR_SUCCESS)
    return Fail(theError, FALSE);
  ForgetTemporaryFile(inFileName);
  if (unlink(inFileName) != 0)
    return Fail(PathError(errno, inFileName), FALSE);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR inPathName, LPSECURITY_ATTRIBUTES)
{
  if (!inPathName)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (DWORD theError = CheckFileRoots(inPathName); theError != ERROR_SUCCESS)
    return Fail(theError, FALSE);
  if (mkdir(inPathName, 0777) != 0)
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno), FALSE);
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR inFileName)
{
  if (!inFileName)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_FILE_ATTRIBUTES);
  if (DWORD theError = CheckFileRoots(inFileName); theError != ERROR_SUCCESS)
    return Fail(theError, INVALID_FILE_ATTRIBUTES);
  struct stat theStatus{};
  if (stat(inFileName, &theStatus) != 0)
    return Fail(PathError(errno, inFileName), INVALID_FILE_ATTRIBUTES);
  return S_ISDIR(theStatus.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
