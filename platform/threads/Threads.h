#pragma once
// Threads and time: creating threads and reading their results, the calling
// thread's identity, sleeping, and the two clocks the system measures with.
//
// A thread handle is signalled when the thread's routine has returned
// (WaitForSingleObject, Handles.h).

#include "platform/base/WinTypes.h"
#include "platform/kernel/Handles.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID inParameter);

constexpr DWORD STILL_ACTIVE = 259;

// Starts inStartAddress(inParameter) on a new thread with a stack of at least
// inStackSize bytes (0: the default); *outThreadId (may be NULL) receives its
// id. inCreationFlags must be 0. NULL and the last error on failure.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES inAttributes, SIZE_T inStackSize,
                    LPTHREAD_START_ROUTINE inStartAddress, LPVOID inParameter, DWORD inCreationFlags,
                    LPDWORD outThreadId);

// The routine's result once it has returned, STILL_ACTIVE before.
BOOL GetExitCodeThread(HANDLE inThread, LPDWORD outExitCode);

// The calling thread's id (the system's thread id, unique while the thread lives).
DWORD GetCurrentThreadId();

// Pseudo handles for "the calling thread" and "this process", understood by
// the token functions (Security.h); they need no closing.
HANDLE GetCurrentThread();
HANDLE GetCurrentProcess();

// This process's id (a forked child has its own).
DWORD GetCurrentProcessId();

constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;

// A handle to the process inProcessId while one of that id exists (one that
// has ended but is not yet waited for by its parent still does), closed with
// CloseHandle; NULL with ERROR_INVALID_PARAMETER when there is none. Only
// PROCESS_QUERY_LIMITED_INFORMATION may be asked; the handle serves nothing
// else yet.
HANDLE OpenProcess(DWORD inDesiredAccess, BOOL inInheritHandle, DWORD inProcessId);

// Suspends the calling thread for at least inMilliseconds.
void Sleep(DWORD inMilliseconds);

// Milliseconds of a monotonic clock, wrapping at 2^32.
DWORD GetTickCount();

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  LONGLONG QuadPart;
};

// The monotonic high-resolution counter and its frequency (ticks per second,
// fixed for the life of the system).
BOOL QueryPerformanceCounter(LARGE_INTEGER* outCount);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* outFrequency);
