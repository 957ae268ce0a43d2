#pragma once
// The base of every object a kernel HANDLE stands for: threads, processes,
// mutexes, open files, file mappings, directory searches and logon tokens.
//
// Objects are shared: the handle table holds one reference, and a call that
// works with an object (a wait, a read) holds another while it runs, so a
// handle closed by one thread never pulls an object out from under another.

#include "platform/base/WinTypes.h"

enum class KernelObjectType : std::uint32_t {
  kThread = 1,
  kMutex = 2,
  kFile = 3,
  kFileMapping = 4,
  kFindSearch = 5,
  kToken = 6,
  kProcess = 7,
};

class KernelObject {
 public:
  explicit KernelObject(KernelObjectType inType) : mType(inType) {}
  virtual ~KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;

  KernelObjectType GetType() const { return mType; }

  // Waits until the object is signalled, up to inMilliseconds (INFINITE:
  // without limit); answers a WAIT_ result. Objects that cannot be waited on
  // answer WAIT_FAILED with ERROR_INVALID_HANDLE.
  virtual DWORD Wait(DWORD inMilliseconds);

 private:
  KernelObjectType mType;
};
