#include "host/PageTimer.h"

PageTimer::PageTimer() : mThread([this] { Watch(); }) {}

PageTimer::~PageTimer()
{
  {
    std::lock_guard theGuard(mLock);
    mStop = true;
  }
  mChanged.notify_one();
  mThread.join();
}

void PageTimer::Arm(std::chrono::milliseconds inLimit, std::function<void()> inExpired)
{
  std::lock_guard theGuard(mLock);
  mExpired = std::move(inExpired);
  mDeadline = Clock::now() + inLimit;
  if (mDeadline < mWake)
    mChanged.notify_one();
}

void PageTimer::Disarm()
{
  std::lock_guard theGuard(mLock);
  mExpired = nullptr;
}

// The call runs with the lock held, so that Disarm waits for it.
void PageTimer::Watch()
{
  std::unique_lock theGuard(mLock);
  while (!mStop) {
    if (mExpired && Clock::now() >= mDeadline) {
      std::function<void()> theExpired = std::move(mExpired);
      mExpired = nullptr;
      theExpired();
      continue;
    }
    mWake = mExpired ? mDeadline : Clock::time_point::max();
    if (mExpired)
      mChanged.wait_until(theGuard, mWake);
    else
      mChanged.wait(theGuard);
  }
}
