#pragma once
// The aligned allocator all kernel memory comes from: records, span arrays,
// fetch buffers. Each block is 32-byte aligned and the address the heap gave is
// kept in the pointer-sized word just before it, which is how iplAlignedFree
// finds it. A count below 1, or a size that does not fit, gives null.

#include <cstdint>

std::uint8_t* iplAlignedAlloc(int inCount);
std::uint16_t* iplAlignedAlloc16(int inCount);
std::int32_t* iplAlignedAllocInt(int inCount);
float* iplAlignedAllocFloat(int inCount);
double* iplAlignedAllocDouble(int inCount);

// Frees a block of the allocator; nothing for null.
void iplAlignedFree(void* inBlock);
