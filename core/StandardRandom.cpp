#include "core/StandardRandom.h"

#include "platform/threads/Threads.h"

#include <random>

namespace {

std::atomic<DWORD> gState{1};

}  // namespace

void SeedStandardRandom(DWORD inSeed)
{
  gState.store(inSeed, std::memory_order_relaxed);
}

LONG StandardRandom()
{
  DWORD theState = gState.load(std::memory_order_relaxed);
  DWORD theNext;
  do
    theNext = theState * 214013u + 2531011u;
  while (!gState.compare_exchange_weak(theState, theNext, std::memory_order_relaxed));
  return static_cast<LONG>((theNext >> 16) & kStandardRandomMax);
}

void SeedStandardRandomOnce(std::atomic<DWORD>& ioSeededBy)
{
  const DWORD theProcess = GetCurrentProcessId();
  if (ioSeededBy.exchange(theProcess) != theProcess)
    SeedStandardRandom(std::random_device{}());
}
