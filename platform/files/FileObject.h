#pragma once
// An open file behind a HANDLE: its descriptor, how it was opened, and the
// byte ranges its handle has locked.

#include "platform/kernel/KernelObject.h"

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

class FileObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kFile;

  struct Opening {
    int mFd = -1;
    bool mRead = false;
    bool mWrite = false;
    bool mAppend = false;          // every write goes to the end
    bool mDeleteOnClose = false;
    std::string mPath;             // for delete-on-close
    dev_t mDevice = 0;             // the file's identity, so that closing
    ino_t mInode = 0;              // deletes this file and no other
  };

  explicit FileObject(Opening inOpening);
  ~FileObject() override;

  int GetDescriptor() const { return mOpening.mFd; }
  bool CanRead() const { return mOpening.mRead; }
  bool CanWrite() const { return mOpening.mWrite || mOpening.mAppend; }

  // Each answers 0 or a Windows error code.
  DWORD Read(void* outBuffer, DWORD inCount, DWORD& outDone);
  DWORD Write(const void* inBuffer, DWORD inCount, DWORD& outDone);
  DWORD Lock(std::uint64_t inOffset, std::uint64_t inLength, bool inExclusive, bool inWait);
  DWORD Unlock(std::uint64_t inOffset, std::uint64_t inLength);

 private:
  struct Range {
    std::uint64_t mOffset;
    std::uint64_t mLength;
  };

  bool OverlapsOwnLock(std::uint64_t inOffset, std::uint64_t inLength) const;
  // A lock of the bytes [inOffset, inOffset + inLength) held for one read or write.
  DWORD LockForTransfer(std::uint64_t inOffset, std::uint64_t inLength, short inType);
  void UnlockAfterTransfer(std::uint64_t inOffset, std::uint64_t inLength);

  Opening mOpening;
  // Serialises reads and writes through this handle (they share its file
  // pointer) and guards mLocks.
  std::mutex mLock;
  std::vector<Range> mLocks;  // held, or being waited for, through this handle
};
