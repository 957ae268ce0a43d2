#pragma once
// The time limit of a page: calls a function on a thread of its own when the
// limit passes before the timer is destroyed. The function runs at most once;
// destroying the timer waits for a call in progress.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class PageTimer {
public:
  PageTimer(std::chrono::milliseconds inLimit, std::function<void()> inExpired);
  ~PageTimer();
  PageTimer(const PageTimer&) = delete;
  PageTimer& operator=(const PageTimer&) = delete;

private:
  std::mutex mLock;
  std::condition_variable mStopped;
  bool mStop = false;
  std::thread mThread;
};
