#include "platform/automation/ComMemory.h"

#include <cstdlib>

void* CoTaskMemAlloc(SIZE_T inSize)
{
  return std::malloc(inSize ? inSize : 1);
}

void CoTaskMemFree(void* inMemory)
{
  std::free(inMemory);
}
