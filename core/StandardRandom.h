#pragma once
// The library's one pseudo-random generator, shaped as the original
// platform's C library had it: draws of 15 bits (0 to 32767) from a linear
// congruential sequence. Log record IDs and temporary file names are drawn
// from it. It is seeded from the system's random source once in each process
// (a forked child seeds it again), so processes started together never share
// a sequence. Safe to use from any thread.

#include "platform/base/WinTypes.h"

#include <atomic>

inline constexpr LONG kStandardRandomMax = 32767;

void SeedStandardRandom(DWORD inSeed);
// 0 to kStandardRandomMax.
LONG StandardRandom();
// Seeds the generator from the system's random source unless ioSeededBy
// already holds this process's id, and leaves it there (each user of the
// generator keeps its own mark, as each seeds it on first use).
void SeedStandardRandomOnce(std::atomic<DWORD>& ioSeededBy);
