#include "platform/threads/Threads.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/kernel/HandleTable.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// The shared state of a thread started by CreateThread: its id, once known,
// and its result, once its routine has returned.
class ThreadObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kThread;
  ThreadObject() : KernelObject(kType) {}

  void SetId(DWORD inId)
  {
    std::lock_guard theGuard(mLock);
    mId = inId;
    mChanged.notify_all();
  }

  DWORD WaitForId()
  {
    std::unique_lock theGuard(mLock);
    mChanged.wait(theGuard, [this] { return mId != 0; });
    return mId;
  }

  void Finish(DWORD inExitCode)
  {
    std::lock_guard theGuard(mLock);
    mExitCode = inExitCode;
    mFinished = true;
    mChanged.notify_all();
  }

  DWORD GetExitCode()
  {
    std::lock_guard theGuard(mLock);
    return mFinished ? mExitCode : STILL_ACTIVE;
  }

  DWORD Wait(DWORD inMilliseconds) override
  {
    std::unique_lock theGuard(mLock);
    auto theFinished = [this] { return mFinished; };
    if (inMilliseconds == INFINITE) {
      mChanged.wait(theGuard, theFinished);
      return WAIT_OBJECT_0;
    }
    return mChanged.wait_for(theGuard, std::chrono::milliseconds(inMilliseconds), theFinished) ? WAIT_OBJECT_0
                                                                                                  : WAIT_TIMEOUT;
  }

 private:
  std::mutex mLock;
  std::condition_variable mChanged;
  DWORD mId = 0;
  bool mFinished = false;
  DWORD mExitCode = 0;
};

// What OpenProcess hands out: a process that existed when it was opened.
class ProcessObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kProcess;
  ProcessObject() : KernelObject(kType) {}
};

struct StartRecord {
  std::shared_ptr<ThreadObject> mThread;
  LPTHREAD_START_ROUTINE mRoutine;
  LPVOID mParameter;
};

void* RunThread(void* inRecord)
{
  std::unique_ptr<StartRecord> theRecord(static_cast<StartRecord*>(inRecord));
  theRecord->mThread->SetId(GetCurrentThreadId());
  DWORD theExitCode = theRecord->mRoutine(theRecord->mParameter);
  theRecord->mThread->Finish(theExitCode);
  return nullptr;
}

std::int64_t MonotonicNanoseconds()
{
  timespec theNow{};
  clock_gettime(CLOCK_MONOTONIC, &theNow);
  return static_cast<std::int64_t>(theNow.tv_sec) * 1000000000 + theNow.tv_nsec;
}

// Counter ticks of 100 ns, the resolution Windows reports on current hardware.
constexpr std::int64_t kCounterFrequency = 10000000;

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T inStackSize, LPTHREAD_START_ROUTINE inStartAddress,
                    LPVOID inParameter, DWORD inCreationFlags, LPDWORD outThreadId)
{
  if (!inStartAddress || inCreationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto theThread = std::make_shared<ThreadObject>();
  HANDLE theHandle = HandleTable::Add(theThread);
  if (!theHandle)
    return nullptr;

  pthread_attr_t theAttributes;
  pthread_attr_init(&theAttributes);
  pthread_attr_setdetachstate(&theAttributes, PTHREAD_CREATE_DETACHED);
  int theError = 0;
  if (inStackSize > 0) {
    std::size_t thePage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t theSize = std::max<std::size_t>(inStackSize, PTHREAD_STACK_MIN);
    theError = pthread_attr_setstacksize(&theAttributes, (theSize + thePage - 1) / thePage * thePage);
  }
  auto theRecord = std::make_unique<StartRecord>(StartRecord{theThread, inStartAddress, inParameter});
  pthread_t theId;
  if (theError == 0)
    theError = pthread_create(&theId, &theAttributes, RunThread, theRecord.get());
  pthread_attr_destroy(&theAttributes);
  if (theError != 0) {
    HandleTable::RemoveAny(theHandle);
    SetLastError(theError == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : WinErrorFromErrno(theError));
    return nullptr;
  }
  theRecord.release();  // the new thread owns it now
  DWORD theThreadId = theThread->WaitForId();
  if (outThreadId)
    *outThreadId = theThreadId;
  return theHandle;
}

BOOL GetExitCodeThread(HANDLE inThread, LPDWORD outExitCode)
{
  std::shared_ptr<ThreadObject> theThread = HandleTable::FindAs<ThreadObject>(inThread);
  if (!theThread)
    return FALSE;
  if (!outExitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *outExitCode = theThread->GetExitCode();
  return TRUE;
}

DWORD GetCurrentThreadId()
{
  return static_cast<DWORD>(gettid());
}

HANDLE GetCurrentThread()
{
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));
}

HANDLE GetCurrentProcess()
{
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

// The id is asked of the system once per process (every operation asks for
// it): a forked child forgets the parent's.
DWORD GetCurrentProcessId()
{
  static std::atomic<pid_t> gProcessId{0};
  static std::once_flag gForkHandlerInstalled;
  pid_t theId = gProcessId.load(std::memory_order_relaxed);
  if (theId == 0) {
    std::call_once(gForkHandlerInstalled,
                   [] { pthread_atfork(nullptr, nullptr, [] { gProcessId.store(0, std::memory_order_relaxed); }); });
    theId = getpid();
    gProcessId.store(theId, std::memory_order_relaxed);
  }
  return static_cast<DWORD>(theId);
}

HANDLE OpenProcess(DWORD inDesiredAccess, BOOL, DWORD inProcessId)
{
  // A process of another user exists too: the signal is refused, not missing.
  const pid_t theId = static_cast<pid_t>(inProcessId);
  if (inDesiredAccess != PROCESS_QUERY_LIMITED_INFORMATION || theId <= 0 ||
      (kill(theId, 0) != 0 && errno != EPERM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return HandleTable::Add(std::make_shared<ProcessObject>());
}

void Sleep(DWORD inMilliseconds)
{
  timespec theRest{static_cast<time_t>(inMilliseconds / 1000), static_cast<long>(inMilliseconds % 1000) * 1000000};
  while (nanosleep(&theRest, &theRest) != 0 && errno == EINTR) {
  }
}

DWORD GetTickCount()
{
  return static_cast<DWORD>(MonotonicNanoseconds() / 1000000);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* outCount)
{
  if (!outCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  outCount->QuadPart = MonotonicNanoseconds() / (1000000000 / kCounterFrequency);
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* outFrequency)
{
  if (!outFrequency) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  outFrequency->QuadPart = kCounterFrequency;
  return TRUE;
}
