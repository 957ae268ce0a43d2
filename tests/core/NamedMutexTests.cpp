#include "core/NamedMutex.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point inStart)
{
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - inStart).count());
}

// Acquire on another thread with a time-out.
bool AcquireElsewhere(const char* inName, DWORD inTimeout)
{
  return std::async(std::launch::async, [&] { return NamedMutex(inName, inTimeout).Acquire(); }).get();
}

bool Contains(const std::vector<tltest::Event>& inEvents, const std::string& inType, const std::string& inText)
{
  return std::any_of(inEvents.begin(), inEvents.end(), [&](const tltest::Event& inEvent) {
    return inEvent.mType == inType && inEvent.mText == inText;
  });
}

TEST(NamedMutex, NestingCountsAndCloseReleasesEveryLevel)
{
  NamedMutex theLock("QTInitMutex", 1000);
  ASSERT_TRUE(theLock.Acquire());
  EXPECT_FALSE(theLock.Existed());
  ASSERT_TRUE(theLock.Acquire());
  EXPECT_EQ(theLock.GetCount(), 2);
  EXPECT_FALSE(AcquireElsewhere("QTInitMutex", 50));
  theLock.Close();
  EXPECT_EQ(theLock.GetCount(), 0);
  EXPECT_TRUE(AcquireElsewhere("QTInitMutex", 50)) << "Close releases every level at once";
}

TEST(NamedMutex, TwoProcessesContendWithTimeOuts)
{
  // This process holds the mutex on a thread of its own while a child asks
  // for it, first with a short time-out, then with a long one. The holder
  // lets go 200 ms after the child says its short wait is over, however long
  // the child took to start.
  int theShortWaitOver[2];
  ASSERT_EQ(pipe(theShortWaitOver), 0);
  std::promise<void> theHeld;
  std::thread theHolder([&] {
    NamedMutex theLock("QTInitMutex", 600000);
    ASSERT_TRUE(theLock.Acquire());
    theHeld.set_value();
    char theByte;
    (void)read(theShortWaitOver[0], &theByte, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  });
  theHeld.get_future().wait();
  tltest::ChildResult theChild = tltest::RunInChild([&] {
    bool theShortWaitTook = NamedMutex("QTInitMutex", 50).Acquire();
    Clock::time_point theStart = Clock::now();
    if (write(theShortWaitOver[1], "x", 1) != 1 || theShortWaitTook)
      return 1;
    NamedMutex theLock("QTInitMutex", 15000);
    if (!theLock.Acquire() || !theLock.Existed())
      return 2;
    return MillisecondsSince(theStart) >= 100 ? 0 : 3;
  });
  if (!theChild.mExited || theChild.mStatus == 1)
    (void)write(theShortWaitOver[1], "x", 1);
  theHolder.join();
  close(theShortWaitOver[0]);
  close(theShortWaitOver[1]);
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0)
    << "1: the short wait succeeded, 2: the long wait failed or made the mutex, 3: it did not wait";
}

TEST(NamedMutex, AnAbandonedMutexIsReportedAndHeld)
{
  struct Case {
    const char* mName;
    std::function<void()> mAbandon;
  };
  std::unique_ptr<NamedMutex> theLeftBehind;
  const Case kCases[] = {
    {"a thread that ended",
     [&] {
       std::thread([&] {
         theLeftBehind = std::make_unique<NamedMutex>("QTInitMutex", 1000);
         theLeftBehind->Acquire();
       }).join();
     }},
    {"a process that ended", [] {
       tltest::RunInChild([] {
         NamedMutex* theLock = new NamedMutex("QTInitMutex", 1000);
         _exit(theLock->Acquire() ? 0 : 1);
         return 0;
       });
     }},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    theCase.mAbandon();
    tltest::EventWatcher theEvents;
    {
      NamedMutex theLock("QTInitMutex", 1000);
      EXPECT_TRUE(theLock.Acquire());
      EXPECT_EQ(theLock.GetCount(), 1);
      EXPECT_FALSE(AcquireElsewhere("QTInitMutex", 50)) << "the mutex is held";
    }
    EXPECT_TRUE(Contains(theEvents.NewEvents(), "Warning", "Abandoned mutex detected"));
    theLeftBehind.reset();
    EXPECT_TRUE(AcquireElsewhere("QTInitMutex", 50)) << "and usable again";
  }
}

TEST(NamedMutex, AMutexThatMayNotBeCreatedFailsAtOnce)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  // Root makes the mutex (in a process of its own: this one must not have it
  // mapped when the child is forked); nobody may not open it.
  ASSERT_EQ(tltest::RunInChild([] { return NamedMutex("QTInitMutex", 1000).Acquire() ? 0 : 1; }).mStatus, 0);
  tltest::ChildResult theChild = tltest::RunAsNobody([] {
    Clock::time_point theStart = Clock::now();
    NamedMutex theLock("QTInitMutex", 600000);
    if (theLock.Acquire())
      return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED)
      return 2;
    return MillisecondsSince(theStart) < 1000 ? 0 : 3;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0) << "1: acquired, 2: another error, 3: it retried";
}

}  // namespace
