#pragma once
// The library's one pseudo-random generator, shaped as the original
// platform's C library had it: draws of 15 bits (0 to 32767) from a linear
// congruential sequence, seeded with the current time. Log record IDs and
// temporary file names are drawn from it. Safe to use from any thread.

#include "platform/base/WinTypes.h"

#include <atomic>

inline constexpr LONG kStandardRandomMax = 32767;

void SeedStandardRandom(DWORD inSeed);
// 0 to kStandardRandomMax.
LONG StandardRandom();
// Seeds the generator with the current time when ioSeeded was still false
// (each user of the generator keeps its own flag, as each seeds it on first use).
void SeedStandardRandomOnce(std::atomic<bool>& ioSeeded);
