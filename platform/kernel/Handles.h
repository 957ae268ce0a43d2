#pragma once
// Closing and waiting on kernel handles: threads (signalled when the thread
// has ended) and named mutexes (signalled when free; a successful wait owns it).

#include "platform/base/WinError.h"
#include "platform/base/WinTypes.h"

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;  // a mutex whose owner ended without releasing it; now ours
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
// WAIT_TIMEOUT (258) is in WinError.h.

// Accepted by the Create functions and ignored: objects get default security.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using PHANDLE = HANDLE*;

// Closes a thread, process, mutex, file, file mapping or token handle. Closing a
// thread's handle leaves the thread running; closing a mutex's handle does not
// release it. Directory searches are closed with FindClose.
BOOL CloseHandle(HANDLE inHandle);

// WAIT_OBJECT_0, WAIT_ABANDONED (mutexes only), WAIT_TIMEOUT, or WAIT_FAILED
// with the last error set (ERROR_INVALID_HANDLE for a handle that cannot be
// waited on). inMilliseconds may be INFINITE.
DWORD WaitForSingleObject(HANDLE inHandle, DWORD inMilliseconds);
