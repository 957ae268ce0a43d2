#include "host/PageTimer.h"

PageTimer::PageTimer(std::chrono::milliseconds inLimit, std::function<void()> inExpired)
{
  mThread = std::thread([this, inLimit, theExpired = std::move(inExpired)] {
    std::unique_lock theGuard(mLock);
    if (mStopped.wait_for(theGuard, inLimit, [this] { return mStop; }))
      return;
    theGuard.unlock();
    theExpired();
  });
}

PageTimer::~PageTimer()
{
  {
    std::lock_guard theGuard(mLock);
    mStop = true;
  }
  mStopped.notify_one();
  mThread.join();
}
