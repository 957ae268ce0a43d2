#pragma once
// Threads that stay for the life of the process and share out the parts of
// one job at a time, so that a warp too small to pay for starting threads can
// still use several cores.
//
// A job is a count of parts and a function of the part's index. The caller
// takes parts too and returns when all are done; workers take one part at a
// time, so the caller waits only on parts a worker has begun. While a job
// runs, another caller's job runs on that caller's thread alone.
//
// Workers are started when a job first asks for them. Between jobs they watch
// for the next one for a tenth of a millisecond, then wait on a condition
// variable; the caller watches for its parts to finish as long before it
// waits. A child process after fork() has none of its
// parent's workers: its first job starts a pool of its own, and the parent's
// record is left untouched. Pools are never torn down: the library that holds
// them is never unloaded while its host runs.

#include <cstddef>
#include <functional>

namespace kernels {

class WorkerPool {
 public:
  // The pool of this process.
  static WorkerPool& Get();

  // Runs inPart(0) .. inPart(inCount - 1) on at most inThreads threads, the
  // calling one among them.
  void Run(int inThreads, std::size_t inCount, const std::function<void(std::size_t)>& inPart);

 private:
  WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  struct State;
  State* mState;
  WorkerPool* mParents = nullptr;  // the pool a forked child inherited, kept reachable
};

}  // namespace kernels
