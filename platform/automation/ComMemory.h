#pragma once
// The task allocator: memory that one side of an interface allocates and the
// other frees (strings handed out by ProgIDFromCLSID and StringFromCLSID).

#include "platform/base/WinTypes.h"

void* CoTaskMemAlloc(SIZE_T inSize);
void CoTaskMemFree(void* inMemory);
