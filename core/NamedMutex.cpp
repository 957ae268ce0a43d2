#include "core/NamedMutex.h"

#include "core/EventLog.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/kernel/Handles.h"
#include "platform/mutex/NamedMutexes.h"
#include "platform/threads/Threads.h"

namespace {

constexpr DWORD kRetryDelay = 10;      // milliseconds between creation attempts
constexpr LONG kWarnAfter = 10;        // failures before the warning
constexpr LONG kGiveUpAfter = 30000;   // failures before giving up

// Failures that a later attempt may not meet: the system is short of memory,
// descriptors or space, or an object went away while it was being opened.
bool IsTransient(DWORD inError)
{
  switch (inError) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
    case ERROR_DISK_FULL:
    case ERROR_FILE_NOT_FOUND:
      return true;
    default:
      return false;
  }
}

}  // namespace

void NamedMutex::CloseOnFault(void* inMutex)
{
  static_cast<NamedMutex*>(inMutex)->Close();
}

NamedMutex::NamedMutex(const char* inName, DWORD inTimeout) : mTimeout(inTimeout), mName(inName ? inName : "") {}

NamedMutex::~NamedMutex()
{
  Close();
}

bool NamedMutex::Create()
{
  if (mHandle)
    return false;
  for (LONG theFailures = 0;; ++theFailures) {
    mHandle = CreateMutexA(nullptr, TRUE, mName.c_str());
    if (mHandle) {
      mExisted = GetLastError() == ERROR_ALREADY_EXISTS;
      SetLastError(ERROR_SUCCESS);
      if (mExisted)
        return false;
      mCount = 1;
      mUndo.Enter(&CloseOnFault, this);
      return true;
    }
    DWORD theError = GetLastError();
    if (!IsTransient(theError))
      return false;
    Sleep(kRetryDelay);
    if (theFailures == kWarnAfter) {
      LogEvent("CreateMutex consistently failing - OS under extreme stress", EVENTLOG_WARNING_TYPE);
    } else if (theFailures > kGiveUpAfter) {
      LogEvent("CreateMutex aborting due to excessive load", EVENTLOG_ERROR_TYPE);
      SetLastError(theError);
      return false;
    }
  }
}

bool NamedMutex::Acquire()
{
  if (Create())
    return true;
  if (!mHandle)
    return false;
  if (mCount > 0) {
    ++mCount;
    return true;
  }
  switch (WaitForSingleObject(mHandle, mTimeout)) {
    case WAIT_OBJECT_0:
      break;
    case WAIT_ABANDONED:
      LogEvent("Abandoned mutex detected", EVENTLOG_WARNING_TYPE);
      break;
    default:
      return false;
  }
  mCount = 1;
  mUndo.Enter(&CloseOnFault, this);
  return true;
}

void NamedMutex::Close()
{
  if (!mHandle)
    return;
  mUndo.Leave();
  if (mCount > 0)
    ReleaseMutex(mHandle);
  mCount = 0;
  CloseHandle(mHandle);
  mHandle = nullptr;
  mExisted = false;
}
