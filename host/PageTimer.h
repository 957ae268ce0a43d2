#pragma once
// The time limit of the pages a process runs, one page after another: a
// thread of its own for the timer's life calls the function the timer is
// armed with when the page's limit passes before the timer is disarmed. The
// function runs at most once an arming, and never once the timer is disarmed:
// disarming waits for a call in progress. Arming and disarming wake the
// thread only when it would otherwise sleep past the new limit.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class PageTimer {
public:
  PageTimer();
  ~PageTimer();
  PageTimer(const PageTimer&) = delete;
  PageTimer& operator=(const PageTimer&) = delete;

  void Arm(std::chrono::milliseconds inLimit, std::function<void()> inExpired);
  void Disarm();

private:
  using Clock = std::chrono::steady_clock;

  void Watch();

  std::mutex mLock;
  std::condition_variable mChanged;
  std::function<void()> mExpired;  // empty while disarmed
  Clock::time_point mDeadline;
  Clock::time_point mWake = Clock::time_point::max();  // when the sleeping thread wakes
  bool mStop = false;
  std::thread mThread;
};
