#include "kernels/WorkerPool.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using kernels::WorkerPool;

// Runs a job of inCount parts on inThreads threads, each part taking a
// little while (every fifth twenty times as long) so that the workers join in
// and finish at different times; true when each part ran exactly once before
// the job returned.
bool EachPartOnce(int inThreads, std::size_t inCount)
{
  std::vector<std::atomic<int>> theRuns(inCount);
  WorkerPool::Get().Run(inThreads, inCount, [&theRuns](std::size_t inPart) {
    std::this_thread::sleep_for(std::chrono::microseconds(inPart % 5 == 4 ? 1000 : 50));
    ++theRuns[inPart];
  });
  for (const std::atomic<int>& theRun : theRuns) {
    if (theRun != 1)
      return false;
  }
  return true;
}

// Every part runs once, whatever the threads; callers that come while a job
// runs do their own; a forked child, whose parent's workers do not exist in
// it, gets a pool of its own.
TEST(WorkerPool, EveryPartRunsOnceForEveryCaller)
{
  for (int theThreads : {1, 2, 8})
    for (std::size_t theCount : {0u, 1u, 7u, 64u, 300u})
      EXPECT_TRUE(EachPartOnce(theThreads, theCount)) << theThreads << " threads, " << theCount << " parts";
  // Jobs back to back: a worker late for one must not take parts of the next.
  int theFailed = 0;
  for (int j = 0; j < 200; ++j)
    theFailed += !EachPartOnce(8, 3 + j % 5);
  EXPECT_EQ(theFailed, 0);

  std::atomic<int> theFailures{0};
  std::vector<std::thread> theCallers;
  for (int c = 0; c < 4; ++c)
    theCallers.emplace_back([&theFailures] {
      for (int j = 0; j < 20; ++j)
        theFailures += !EachPartOnce(8, 40);
    });
  for (std::thread& theCaller : theCallers)
    theCaller.join();
  EXPECT_EQ(theFailures, 0);

  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] { return EachPartOnce(8, 100) && EachPartOnce(4, 3) ? 0 : 1; })));
}

// Workers that have gone to sleep between jobs wake for the next one: parts
// that wait for a second part to be running meet on two threads. (Were the
// wake lost, each part would run alone on the caller and wait out its time.)
TEST(WorkerPool, SleepingWorkersWakeForTheNextJob)
{
  for (int theRound = 0; theRound < 10; ++theRound) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::atomic<int> theRunning{0};
    std::atomic<bool> theMet{false};
    WorkerPool::Get().Run(4, 4, [&](std::size_t) {
      if (++theRunning >= 2)
        theMet = true;
      const auto theEnd = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      while (!theMet && std::chrono::steady_clock::now() < theEnd)
        std::this_thread::yield();
      --theRunning;
    });
    EXPECT_TRUE(theMet) << "round " << theRound;
  }
}

}  // namespace
