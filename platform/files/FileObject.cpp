#include "platform/files/FileObject.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/files/FileRoots.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace {

DWORD LockError(int inErrno)
{
  if (inErrno == EAGAIN || inErrno == EACCES)
    return ERROR_LOCK_VIOLATION;
  if (inErrno == EBADF)  // a shared lock needs read access, an exclusive one write access
    return ERROR_ACCESS_DENIED;
  return WinErrorFromErrno(inErrno);
}

bool SetLock(int inFd, short inType, std::uint64_t inOffset, std::uint64_t inLength, bool inWait)
{
  struct flock theLock{};
  theLock.l_type = inType;
  theLock.l_whence = SEEK_SET;
  theLock.l_start = static_cast<off_t>(inOffset);
  theLock.l_len = static_cast<off_t>(inLength);
  while (fcntl(inFd, inWait ? F_OFD_SETLKW : F_OFD_SETLK, &theLock) != 0)
    if (errno != EINTR)
      return false;
  return true;
}

// The delete-on-close files still open, each with the process that opened
// it, removed at that process's normal exit (exit, a return from main,
// quick_exit) as closing every handle would remove them. A forked child
// exits without touching its parent's files.
struct PendingDeletes {
  std::mutex mLock;
  std::vector<std::pair<const FileObject::Opening*, pid_t>> mFiles;
};

void RemoveIfSame(const FileObject::Opening& inOpening)
{
  struct stat theStatus{};
  if (lstat(inOpening.mPath.c_str(), &theStatus) == 0 && theStatus.st_dev == inOpening.mDevice &&
      theStatus.st_ino == inOpening.mInode) {
    ForgetTemporaryFile(inOpening.mPath.c_str());
    unlink(inOpening.mPath.c_str());
  }
}

PendingDeletes& ThePendingDeletes()
{
  // Never destroyed: the exit handler runs after static destructors may have.
  static PendingDeletes* gPending = [] {
    auto* thePending = new PendingDeletes;
    auto theRemoveAll = [] {
      PendingDeletes& theList = ThePendingDeletes();
      std::lock_guard theGuard(theList.mLock);
      for (const auto& [theFile, theOwner] : theList.mFiles)
        if (theOwner == getpid())
          RemoveIfSame(*theFile);
    };
    std::atexit(theRemoveAll);
    std::at_quick_exit(theRemoveAll);
    // A fork while another thread holds the lock must not leave the child's exit waiting for ever.
    pthread_atfork([] { ThePendingDeletes().mLock.lock(); }, [] { ThePendingDeletes().mLock.unlock(); },
                   [] { ThePendingDeletes().mLock.unlock(); });
    return thePending;
  }();
  return *gPending;
}

// Offsets and lengths that fcntl can express (it takes signed 64-bit values).
bool Expressible(std::uint64_t inOffset, std::uint64_t inLength)
{
  constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(INT64_MAX);
  return inOffset <= kLimit && inLength <= kLimit - inOffset;
}

}  // namespace

FileObject::FileObject(Opening inOpening) : KernelObject(kType), mOpening(std::move(inOpening))
{
  if (mOpening.mDeleteOnClose) {
    PendingDeletes& thePending = ThePendingDeletes();
    std::lock_guard theGuard(thePending.mLock);
    thePending.mFiles.emplace_back(&mOpening, getpid());
  }
}

FileObject::~FileObject()
{
  if (mOpening.mDeleteOnClose) {
    PendingDeletes& thePending = ThePendingDeletes();
    std::lock_guard theGuard(thePending.mLock);
    std::erase_if(thePending.mFiles, [this](const auto& inEntry) { return inEntry.first == &mOpening; });
    RemoveIfSame(mOpening);
  }
  close(mOpening.mFd);
}

bool FileObject::OverlapsOwnLock(std::uint64_t inOffset, std::uint64_t inLength) const
{
  return std::any_of(mLocks.begin(), mLocks.end(), [&](const Range& inRange) {
    return inRange.mOffset < inOffset + inLength && inOffset < inRange.mOffset + inRange.mLength;
  });
}

DWORD FileObject::LockForTransfer(std::uint64_t inOffset, std::uint64_t inLength, short inType)
{
  if (inLength == 0 || !Expressible(inOffset, inLength) || OverlapsOwnLock(inOffset, inLength))
    return ERROR_SUCCESS;
  return SetLock(mOpening.mFd, inType, inOffset, inLength, false) ? ERROR_SUCCESS : LockError(errno);
}

void FileObject::UnlockAfterTransfer(std::uint64_t inOffset, std::uint64_t inLength)
{
  if (inLength == 0 || !Expressible(inOffset, inLength) || OverlapsOwnLock(inOffset, inLength))
    return;
  SetLock(mOpening.mFd, F_UNLCK, inOffset, inLength, false);
}

DWORD FileObject::Read(void* outBuffer, DWORD inCount, DWORD& outDone)
{
  outDone = 0;
  if (!CanRead())
    return ERROR_ACCESS_DENIED;
  std::lock_guard theGuard(mLock);
  off_t thePosition = lseek(mOpening.mFd, 0, SEEK_CUR);
  if (thePosition < 0)
    return WinErrorFromErrno(errno);
  std::uint64_t theOffset = static_cast<std::uint64_t>(thePosition);
  if (DWORD theError = LockForTransfer(theOffset, inCount, F_RDLCK); theError != ERROR_SUCCESS)
    return theError;
  DWORD theError = ERROR_SUCCESS;
  while (outDone < inCount) {
    ssize_t theRead = read(mOpening.mFd, static_cast<char*>(outBuffer) + outDone, inCount - outDone);
    if (theRead < 0 && errno == EINTR)
      continue;
    if (theRead < 0)
      theError = WinErrorFromErrno(errno);
    if (theRead <= 0)
      break;
    outDone += static_cast<DWORD>(theRead);
  }
  UnlockAfterTransfer(theOffset, inCount);
  return theError;
}

DWORD FileObject::Write(const void* inBuffer, DWORD inCount, DWORD& outDone)
{
  outDone = 0;
  if (!CanWrite())
    return ERROR_ACCESS_DENIED;
  std::lock_guard theGuard(mLock);
  std::uint64_t theOffset = 0;
  if (!mOpening.mAppend) {
    off_t thePosition = lseek(mOpening.mFd, 0, SEEK_CUR);
    if (thePosition < 0)
      return WinErrorFromErrno(errno);
    theOffset = static_cast<std::uint64_t>(thePosition);
    if (DWORD theError = LockForTransfer(theOffset, inCount, F_WRLCK); theError != ERROR_SUCCESS)
      return theError;
  }
  // One write() puts the whole buffer down at once (at the end, for appends);
  // the loop only continues after a signal or a short write of a full disk,
  // and ends when a write puts nothing down.
  DWORD theError = ERROR_SUCCESS;
  while (outDone < inCount) {
    ssize_t theWritten = write(mOpening.mFd, static_cast<const char*>(inBuffer) + outDone, inCount - outDone);
    if (theWritten < 0 && errno == EINTR)
      continue;
    if (theWritten <= 0) {
      theError = theWritten < 0 ? WinErrorFromErrno(errno) : ERROR_DISK_FULL;
      break;
    }
    outDone += static_cast<DWORD>(theWritten);
  }
  if (!mOpening.mAppend)
    UnlockAfterTransfer(theOffset, inCount);
  return theError;
}

DWORD FileObject::Lock(std::uint64_t inOffset, std::uint64_t inLength, bool inExclusive, bool inWait)
{
  if (inLength == 0)
    return ERROR_SUCCESS;
  if (!Expressible(inOffset, inLength))
    return ERROR_INVALID_PARAMETER;
  short theType = inExclusive ? F_WRLCK : F_RDLCK;
  {
    std::lock_guard theGuard(mLock);
    if (OverlapsOwnLock(inOffset, inLength))
      return ERROR_LOCK_VIOLATION;
    if (!inWait) {
      if (!SetLock(mOpening.mFd, theType, inOffset, inLength, false))
        return LockError(errno);
      mLocks.push_back({inOffset, inLength});
      return ERROR_SUCCESS;
    }
    // Entered before the wait, so that this handle's reads and writes treat
    // the range as their own meanwhile instead of locking it themselves.
    mLocks.push_back({inOffset, inLength});
  }
  if (SetLock(mOpening.mFd, theType, inOffset, inLength, true))
    return ERROR_SUCCESS;
  DWORD theError = LockError(errno);
  std::lock_guard theGuard(mLock);
  mLocks.erase(std::find_if(mLocks.begin(), mLocks.end(), [&](const Range& inRange) {
    return inRange.mOffset == inOffset && inRange.mLength == inLength;
  }));
  return theError;
}

DWORD FileObject::Unlock(std::uint64_t inOffset, std::uint64_t inLength)
{
  if (inLength == 0)
    return ERROR_SUCCESS;
  std::lock_guard theGuard(mLock);
  auto theRange = std::find_if(mLocks.begin(), mLocks.end(), [&](const Range& inRange) {
    return inRange.mOffset == inOffset && inRange.mLength == inLength;
  });
  if (theRange == mLocks.end())
    return ERROR_NOT_LOCKED;
  mLocks.erase(theRange);
  return SetLock(mOpening.mFd, F_UNLCK, inOffset, inLength, false) ? ERROR_SUCCESS : LockError(errno);
}
