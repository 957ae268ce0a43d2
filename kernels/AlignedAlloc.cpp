#include "kernels/AlignedAlloc.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uintptr_t kAlignment = 32;
// Room for the heap's address before the block and for rounding up.
constexpr std::uint64_t kOverhead = sizeof(void*) + kAlignment;

void* Allocate(int inCount, std::uint64_t inElementSize)
{
  if (inCount < 1)
    return nullptr;
  // inCount < 2^31 and inElementSize <= 8: the product cannot overflow.
  const std::uint64_t theBytes = static_cast<std::uint64_t>(inCount) * inElementSize + kOverhead;
  void* theRaw = std::malloc(theBytes);
  if (!theRaw)
    return nullptr;
  const std::uintptr_t theAddress = reinterpret_cast<std::uintptr_t>(theRaw);
  const std::uintptr_t theAligned =
    (theAddress + sizeof(void*) + kAlignment - 1) & ~(kAlignment - 1);
  void* theBlock = reinterpret_cast<void*>(theAligned);
  std::memcpy(static_cast<char*>(theBlock) - sizeof(void*), &theRaw, sizeof(void*));
  return theBlock;
}

}  // namespace

std::uint8_t* iplAlignedAlloc(int inCount)
{
  return static_cast<std::uint8_t*>(Allocate(inCount, 1));
}

std::uint16_t* iplAlignedAlloc16(int inCount)
{
  return static_cast<std::uint16_t*>(Allocate(inCount, 2));
}

std::int32_t* iplAlignedAllocInt(int inCount)
{
  return static_cast<std::int32_t*>(Allocate(inCount, 4));
}

float* iplAlignedAllocFloat(int inCount)
{
  return static_cast<float*>(Allocate(inCount, 4));
}

double* iplAlignedAllocDouble(int inCount)
{
  return static_cast<double*>(Allocate(inCount, 8));
}

void iplAlignedFree(void* inBlock)
{
  if (!inBlock)
    return;
  void* theRaw = nullptr;
  std::memcpy(&theRaw, static_cast<char*>(inBlock) - sizeof(void*), sizeof(void*));
  std::free(theRaw);
}
