#include "kernels/WorkerPool.h"

#include <unistd.h>

#include <immintrin.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kernels {

// Parts are claimed from one word that holds the job's generation (high 32
// bits) and the next part: a worker that wakes after its job has ended finds
// another generation or no part left, and touches nothing of the job. The
// caller waits for the parts to be finished, never for a worker that has
// claimed none.
//
// A job of a warp lasts some tens of microseconds, about what waking a
// sleeping thread takes. So a worker that has finished watches the generation
// for kSpin before it sleeps, and the caller watches its job's finished count
// as long before it sleeps: jobs that follow each other closely meet awake
// threads. The caller wakes sleepers only when there are some. The job's
// description has a lock of its own that is only ever held for a few loads and
// stores, and that a waiting thread watches rather than sleeps on: workers
// that see a new job all at once take it in turn without a system call each.
class DescriptionLock {
public:
  void lock()
  {
    while (mHeld.exchange(true, std::memory_order_acquire)) {
      for (int i = 0; mHeld.load(std::memory_order_relaxed); ++i) {
        _mm_pause();
        if (i % 64 == 63)
          std::this_thread::yield();
      }
    }
  }
  void unlock() { mHeld.store(false, std::memory_order_release); }

private:
  std::atomic<bool> mHeld{false};
};

struct WorkerPool::State {
  static constexpr std::chrono::microseconds kSpin{100};

  std::mutex mRunning;  // held by the caller whose job the workers serve
  std::mutex mMutex;    // guards mSleeping, for the condition variables
  std::condition_variable mWake;
  std::condition_variable mFinishedAll;
  int mSleeping = 0;
  DescriptionLock mDescription;  // guards the job's description and the worker list
  std::atomic<std::uint32_t> mGeneration{0};  // changed only under mDescription
  const std::function<void(std::size_t)>* mPart = nullptr;
  std::size_t mCount = 0;
  int mWanted = 0;  // workers that may join
  int mJoined = 0;
  std::atomic<std::uint64_t> mNext{0};
  std::atomic<std::size_t> mFinished{0};
  std::vector<std::thread> mWorkers;

  // Claims and runs parts of job inGeneration until none is left.
  void TakeParts(std::uint32_t inGeneration, std::size_t inCount, const std::function<void(std::size_t)>& inPart)
  {
    std::uint64_t theNext = mNext.load();
    for (;;) {
      if (theNext >> 32 != inGeneration || (theNext & 0xFFFFFFFFu) >= inCount)
        return;
      if (!mNext.compare_exchange_weak(theNext, theNext + 1))
        continue;
      inPart(theNext & 0xFFFFFFFFu);
      if (mFinished.fetch_add(1) + 1 == inCount) {
        std::lock_guard<std::mutex> theLock(mMutex);
        mFinishedAll.notify_all();
      }
      theNext = mNext.load();
    }
  }

  // Whether inDone() comes true within kSpin. The processor is offered to
  // other threads now and then, so that watching holds up no one who has
  // work, such as a worker still on its part.
  template <typename Done>
  static bool Spin(Done inDone)
  {
    const auto theEnd = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
      for (int i = 0; i < 64; ++i) {
        if (inDone())
          return true;
        _mm_pause();
      }
      if (std::chrono::steady_clock::now() >= theEnd)
        return inDone();
      std::this_thread::yield();
    }
  }

  void Work()
  {
    std::uint32_t theSeen = 0;
    for (;;) {
      if (!Spin([&] { return mGeneration.load(std::memory_order_relaxed) != theSeen; })) {
        std::unique_lock<std::mutex> theLock(mMutex);
        ++mSleeping;
        mWake.wait(theLock, [&] { return mGeneration != theSeen; });
        --mSleeping;
      }
      const std::function<void(std::size_t)>* thePart = nullptr;
      std::size_t theCount = 0;
      {
        std::lock_guard<DescriptionLock> theLock(mDescription);
        theSeen = mGeneration;
        if (!mPart || mJoined >= mWanted)
          continue;
        ++mJoined;
        thePart = mPart;
        theCount = mCount;
      }
      TakeParts(theSeen, theCount, *thePart);
    }
  }

  // Starts workers up to inCount; fewer when the system refuses threads.
  void Grow(int inCount)
  {
    while (static_cast<int>(mWorkers.size()) < inCount) {
      try {
        mWorkers.emplace_back([this] { Work(); });
      } catch (...) {
        return;
      }
    }
  }
};

WorkerPool::WorkerPool() : mState(new State) {}

WorkerPool& WorkerPool::Get()
{
  static std::mutex gMutex;
  static WorkerPool* gPool = nullptr;
  static pid_t gProcess = 0;
  std::lock_guard<std::mutex> theLock(gMutex);
  if (!gPool || gProcess != getpid()) {
    WorkerPool* theParents = gPool;
    gPool = new WorkerPool;
    gPool->mParents = theParents;
    gProcess = getpid();
  }
  return *gPool;
}

void WorkerPool::Run(int inThreads, std::size_t inCount, const std::function<void(std::size_t)>& inPart)
{
  State& s = *mState;
  std::unique_lock<std::mutex> theRunning(s.mRunning, std::try_to_lock);
  if (!theRunning || inThreads < 2 || inCount > 0xFFFFFFFFu) {
    for (std::size_t i = 0; i < inCount; ++i)
      inPart(i);
    return;
  }
  std::uint32_t theGeneration = 0;
  {
    std::lock_guard<DescriptionLock> theLock(s.mDescription);
    s.Grow(inThreads - 1);
    s.mPart = &inPart;
    s.mCount = inCount;
    s.mWanted = inThreads - 1;
    s.mJoined = 0;
    s.mFinished = 0;
    theGeneration = s.mGeneration + 1;
    s.mNext = static_cast<std::uint64_t>(theGeneration) << 32;
    s.mGeneration = theGeneration;
  }
  // A worker counted here as sleeping waits already, or will see the new
  // generation before it waits: one wake for all, and the workers beyond
  // those wanted go back to waiting.
  bool theSleepers = false;
  {
    std::lock_guard<std::mutex> theLock(s.mMutex);
    theSleepers = s.mSleeping > 0;
  }
  if (theSleepers)
    s.mWake.notify_all();
  s.TakeParts(theGeneration, inCount, inPart);
  if (!State::Spin([&] { return s.mFinished.load() == inCount; })) {
    std::unique_lock<std::mutex> theLock(s.mMutex);
    s.mFinishedAll.wait(theLock, [&] { return s.mFinished.load() == inCount; });
  }
  std::lock_guard<DescriptionLock> theLock(s.mDescription);
  s.mPart = nullptr;
}

}  // namespace kernels
