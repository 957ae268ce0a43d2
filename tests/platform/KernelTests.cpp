#include "platform/base/LastError.h"
#include "platform/kernel/Handles.h"
#include "platform/kernel/Modules.h"
#include "platform/mutex/NamedMutexes.h"
#include "platform/threads/Threads.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace {

struct Gate {
  std::atomic<bool> mOpen{false};
  std::atomic<DWORD> mSeenId{0};
};

DWORD WaitAtGate(LPVOID inGate)
{
  Gate& theGate = *static_cast<Gate*>(inGate);
  theGate.mSeenId = GetCurrentThreadId();
  while (!theGate.mOpen)
    Sleep(1);
  return 42;
}

DWORD ReturnParameter(LPVOID inValue)
{
  return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(inValue));
}

}  // namespace

TEST(Threads, WaitTimesOutWhileRunningThenSignalsWithTheExitCode)
{
  Gate theGate;
  DWORD theId = 0;
  HANDLE theThread = CreateThread(nullptr, 0, WaitAtGate, &theGate, 0, &theId);
  ASSERT_NE(theThread, nullptr);

  DWORD theCode = 0;
  ASSERT_TRUE(GetExitCodeThread(theThread, &theCode));
  EXPECT_EQ(theCode, STILL_ACTIVE);
  auto theStart = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(theThread, 50), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - theStart, std::chrono::milliseconds(50));

  theGate.mOpen = true;
  EXPECT_EQ(WaitForSingleObject(theThread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(theThread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
  ASSERT_TRUE(GetExitCodeThread(theThread, &theCode));
  EXPECT_EQ(theCode, 42u);
  EXPECT_EQ(theGate.mSeenId.load(), theId);

  EXPECT_TRUE(CloseHandle(theThread));
}

TEST(Threads, SmallAndOddStacksEachReturnTheirOwnCode)
{
  for (SIZE_T theStack : {SIZE_T{1}, SIZE_T{300001}}) {  // below the minimum, and not a page multiple
    HANDLE theThread = CreateThread(nullptr, theStack, ReturnParameter, reinterpret_cast<LPVOID>(theStack), 0, nullptr);
    ASSERT_NE(theThread, nullptr) << theStack;
    DWORD theCode = 0;
    EXPECT_EQ(WaitForSingleObject(theThread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(theThread, &theCode) && CloseHandle(theThread));
    EXPECT_EQ(theCode, theStack);
  }
}

// The id is kept after the first call: a forked child, and its own child,
// still answer their own.
TEST(Threads, EachForkedProcessAnswersItsOwnId)
{
  ASSERT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    if (GetCurrentProcessId() != static_cast<DWORD>(getpid()))
      return 1;
    return tltest::Succeeded(tltest::RunInChild([] { return GetCurrentProcessId() == static_cast<DWORD>(getpid()) ? 0 : 1; }))
             ? 0
             : 2;
  })));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

TEST(Handles, ForgedStaleAndMistypedHandlesAreInvalid)
{
  HANDLE theStale = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
  ASSERT_NE(theStale, nullptr);
  ASSERT_EQ(WaitForSingleObject(theStale, 10000), WAIT_OBJECT_0);
  ASSERT_TRUE(CloseHandle(theStale));
  // The freed slot is taken again at once, under a new generation.
  HANDLE theLive = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
  ASSERT_NE(theLive, nullptr);
  ASSERT_NE(theLive, theStale);
  EXPECT_LE(reinterpret_cast<std::uintptr_t>(theLive), 0xFFFFFFFFu) << "a handle is a 32-bit number";
  HANDLE theMutex = CreateMutexA(nullptr, FALSE, "HandleTestMutex");
  ASSERT_NE(theMutex, nullptr);
  int theLocal = 0;

  struct Case {
    const char* mWhat;
    HANDLE mHandle;
  };
  const Case kCases[] = {
    {"null", nullptr},
    {"a small number", NumberToHandle<HANDLE>(0x1234)},
    {"an address", reinterpret_cast<HANDLE>(&theLocal)},
    {"a closed handle whose slot is reused", theStale},
    {"a live handle with another generation", NumberToHandle<HANDLE>(HandleToNumber(theLive) ^ (1u << 18))},
    {"a live handle with another type", NumberToHandle<HANDLE>(HandleToNumber(theLive) ^ (7u << 28))},
    {"a mutex handle given as a thread", theMutex},
  };
  for (const Case& theCase : kCases) {
    DWORD theCode = 0;
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeThread(theCase.mHandle, &theCode)) << theCase.mWhat;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << theCase.mWhat;
    if (theCase.mHandle == theMutex)
      continue;
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(theCase.mHandle, 0), WAIT_FAILED) << theCase.mWhat;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << theCase.mWhat;
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(theCase.mHandle)) << theCase.mWhat;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << theCase.mWhat;
  }
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(theLive)) << "a thread handle given as a mutex";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_EQ(WaitForSingleObject(theLive, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(theLive));
  EXPECT_TRUE(CloseHandle(theMutex));
  shm_unlink(GetNamedMutexObjectName("HandleTestMutex").c_str());
}

TEST(Modules, PathsOfTheLibraryAndTheExecutable)
{
  HMODULE theLibrary = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(&CreateThread), &theLibrary));
  char thePath[MAX_PATH] = {};
  DWORD theLength = GetModuleFileNameA(theLibrary, thePath, MAX_PATH);
  ASSERT_GT(theLength, 0u);
  std::string theText(thePath, theLength);
  EXPECT_EQ(theText.substr(theText.rfind('/') + 1), "libtlplatform.so");

  // Cut to the buffer, terminated, and reported.
  char theShort[6];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(theLibrary, theShort, sizeof(theShort)), sizeof(theShort));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(theShort), theText.substr(0, 5));

  SetLastError(0);
  EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(0x10), &theLibrary));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << "an address in no module";
}
