#include "platform/base/LastError.h"
#include "platform/kernel/Handles.h"
#include "platform/mutex/NamedMutexes.h"
#include "tests/support/ChildGroup.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

// Each test's names, and the shared-memory objects behind them removed at the end.
class NamedMutexes : public testing::Test {
 protected:
  std::string Name(const std::string& inBase)
  {
    mObjects.push_back(GetNamedMutexObjectName(inBase.c_str()));
    return inBase;
  }
  void TearDown() override
  {
    for (const std::string& theObject : mObjects)
      shm_unlink(theObject.c_str());
  }

 private:
  std::vector<std::string> mObjects;
};

// What another thread gets from a wait on a new handle to the name.
DWORD WaitElsewhere(const std::string& inName, DWORD inMilliseconds)
{
  return std::async(std::launch::async, [&] {
           HANDLE theMutex = CreateMutexA(nullptr, FALSE, inName.c_str());
           if (!theMutex)
             return WAIT_FAILED;
           DWORD theResult = WaitForSingleObject(theMutex, inMilliseconds);
           if (theResult == WAIT_OBJECT_0 || theResult == WAIT_ABANDONED)
             ReleaseMutex(theMutex);
           CloseHandle(theMutex);
           return theResult;
         })
    .get();
}

// A child process that takes the mutex, says so through a pipe, and then
// either ends holding it or, when the parent closes its end of a second pipe,
// releases it and ends.
class Holder {
 public:
  Holder(const std::string& inName, bool inAbandon)
  {
    int theHeld[2], theGo[2];
    if (pipe(theHeld) != 0 || pipe(theGo) != 0)
      std::abort();
    mChild = fork();
    if (mChild == 0) {
      HANDLE theMutex = CreateMutexA(nullptr, FALSE, inName.c_str());
      if (!theMutex || WaitForSingleObject(theMutex, INFINITE) != WAIT_OBJECT_0)
        _exit(3);
      char theByte = 'h';
      if (write(theHeld[1], &theByte, 1) != 1)
        _exit(4);
      if (inAbandon)
        _exit(0);
      close(theGo[1]);
      [[maybe_unused]] ssize_t theEnd = read(theGo[0], &theByte, 1);  // 0 when the parent closes its end
      _exit(ReleaseMutex(theMutex) ? 0 : 6);
    }
    close(theHeld[1]);
    close(theGo[0]);
    char theByte = 0;
    mHolding = read(theHeld[0], &theByte, 1) == 1;
    close(theHeld[0]);
    mGo = theGo[1];
  }

  bool IsHolding() const { return mHolding; }

  // Lets a releasing child go; answers its exit status.
  int Finish()
  {
    close(mGo);
    int theStatus = 0;
    waitpid(mChild, &theStatus, 0);
    return WIFEXITED(theStatus) ? WEXITSTATUS(theStatus) : 128 + WTERMSIG(theStatus);
  }

 private:
  pid_t mChild = -1;
  int mGo = -1;
  bool mHolding = false;
};

}  // namespace

TEST_F(NamedMutexes, CreatorOwnsRecursivelyAndLaterCreatorsFindItExisting)
{
  std::string theName = Name("RecursionMutex");
  SetLastError(1234);
  HANDLE theMutex = CreateMutexA(nullptr, TRUE, theName.c_str());
  ASSERT_NE(theMutex, nullptr);
  EXPECT_EQ(GetLastError(), 0u) << "made by this call";
  EXPECT_EQ(WaitForSingleObject(theMutex, 0), WAIT_OBJECT_0) << "the owner takes it again";
  HANDLE theSecond = CreateMutexA(nullptr, TRUE, theName.c_str());
  ASSERT_NE(theSecond, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS) << "and owns nothing more";

  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(theMutex));
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_TIMEOUT) << "still owned once";
  EXPECT_TRUE(ReleaseMutex(theSecond)) << "ownership is the thread's, not the handle's";
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(theMutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(theSecond));
  EXPECT_TRUE(CloseHandle(theMutex));
}

TEST_F(NamedMutexes, WaitTimesOutWhileAnotherProcessHoldsIt)
{
  std::string theName = Name("TimeoutMutex");
  HANDLE theMutex = CreateMutexA(nullptr, FALSE, theName.c_str());
  ASSERT_NE(theMutex, nullptr);
  Holder theHolder(theName, false);
  ASSERT_TRUE(theHolder.IsHolding());
  auto theStart = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(theMutex, 200), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - theStart, std::chrono::milliseconds(200));
  EXPECT_EQ(theHolder.Finish(), 0);
  EXPECT_EQ(WaitForSingleObject(theMutex, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(theMutex));
  EXPECT_TRUE(CloseHandle(theMutex));
}

// A process that ends holding the mutex abandons it: the next waiter gets the
// abandoned result and the lock.
TEST_F(NamedMutexes, AnOwnerThatEndsAbandonsItToTheNextWaiter)
{
  std::string theName = Name("AbandonedMutex");
  Holder theHolder(theName, true);
  ASSERT_TRUE(theHolder.IsHolding());
  EXPECT_EQ(theHolder.Finish(), 0);
  HANDLE theMutex = CreateMutexA(nullptr, FALSE, theName.c_str());
  ASSERT_NE(theMutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(theMutex, 10000), WAIT_ABANDONED);
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_TIMEOUT) << "the abandoned wait owns the mutex";
  EXPECT_TRUE(ReleaseMutex(theMutex));
  EXPECT_EQ(WaitForSingleObject(theMutex, 0), WAIT_OBJECT_0) << "abandoned once, usable again";
  EXPECT_TRUE(ReleaseMutex(theMutex));
  EXPECT_TRUE(CloseHandle(theMutex));
}

TEST_F(NamedMutexes, TwoHomesNeverContend)
{
  std::string theName = Name("HomeMutex");
  HANDLE theFirst = CreateMutexA(nullptr, TRUE, theName.c_str());
  ASSERT_NE(theFirst, nullptr);
  std::string theOldHome = tltest::TestHome();
  setenv("TESSALINE_HOME", tltest::MakeTempFolder("other-home").c_str(), 1);
  std::string theOtherObject = GetNamedMutexObjectName(theName.c_str());
  Name(theName);  // also removes the other home's object
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_OBJECT_0) << "another home's mutex of the same name is free";
  setenv("TESSALINE_HOME", theOldHome.c_str(), 1);
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_TIMEOUT) << "this home's is held";
  EXPECT_NE(GetNamedMutexObjectName(theName.c_str()), theOtherObject);
  EXPECT_TRUE(ReleaseMutex(theFirst));
  EXPECT_TRUE(CloseHandle(theFirst));
}

TEST_F(NamedMutexes, ProcessesRacingToMakeItExcludeEachOther)
{
  std::string theName = Name("RaceMutex");
  constexpr int kProcesses = 6;
  constexpr int kRounds = 300;
  // A counter the children increment without atomics, under the mutex only.
  struct Shared {
    volatile int mCounter;
    volatile int mMade;
  };
  void* theMemory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(theMemory, MAP_FAILED);
  Shared& theShared = *new (theMemory) Shared{0, 0};
  const auto theStart = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  auto theRacer = [&]() -> int {
    std::this_thread::sleep_until(theStart);
    HANDLE theMutex = CreateMutexA(nullptr, FALSE, theName.c_str());
    if (!theMutex)
      return 2;
    if (GetLastError() == 0)
      __atomic_add_fetch(&theShared.mMade, 1, __ATOMIC_SEQ_CST);
    for (int theRound = 0; theRound < kRounds; ++theRound) {
      if (WaitForSingleObject(theMutex, 10000) != WAIT_OBJECT_0)
        return 3;
      int theValue = theShared.mCounter;
      if (theRound % 50 == 0)
        sched_yield();
      theShared.mCounter = theValue + 1;
      ReleaseMutex(theMutex);
    }
    return 0;
  };
  EXPECT_TRUE(tltest::AllSucceeded(tltest::RunChildrenTogether(std::vector<std::function<int()>>(kProcesses, theRacer))));
  EXPECT_EQ(theShared.mCounter, kProcesses * kRounds);
  EXPECT_EQ(theShared.mMade, 1) << "exactly one process made the mutex";
  munmap(theMemory, sizeof(Shared));
}

TEST_F(NamedMutexes, AnObjectLeftHalfMadeIsSetUpByTheNextUser)
{
  std::string theName = Name("HalfMadeMutex");
  int theFd = shm_open(GetNamedMutexObjectName(theName.c_str()).c_str(), O_RDWR | O_CREAT | O_EXCL, 0660);
  ASSERT_GE(theFd, 0);
  close(theFd);  // made, never set up: its maker died at once
  HANDLE theMutex = CreateMutexA(nullptr, TRUE, theName.c_str());
  ASSERT_NE(theMutex, nullptr);
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_TIMEOUT) << "set up, and owned by its creator";
  EXPECT_TRUE(ReleaseMutex(theMutex));
  EXPECT_EQ(WaitElsewhere(theName, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(theMutex));
}

TEST_F(NamedMutexes, NamesThatCannotBeUsedAreRefused)
{
  std::string theLong(300, 'x');
  const std::pair<const char*, DWORD> kCases[] = {
    {nullptr, ERROR_INVALID_PARAMETER}, {"", ERROR_INVALID_PARAMETER}, {theLong.c_str(), ERROR_FILENAME_EXCED_RANGE}};
  for (const auto& [theBad, theError] : kCases) {
    SetLastError(0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, theBad), nullptr) << (theBad ? theBad : "null");
    EXPECT_EQ(GetLastError(), theError);
  }
  EXPECT_NE(GetNamedMutexObjectName("a/b"), GetNamedMutexObjectName("a_b"));
}
