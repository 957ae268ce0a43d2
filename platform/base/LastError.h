#pragma once
// The calling thread's last error, as Windows keeps it: set by a failing call,
// left alone by a successful one.

#include "platform/base/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD inCode);

// The Windows code for an errno value (ERROR_GEN_FAILURE for one we do not map).
DWORD WinErrorFromErrno(int inErrno);

// Sets the last error from errno and returns the code it set.
DWORD SetLastErrorFromErrno(int inErrno);

// Sets the last error to inError and answers inResult: how a failing call
// ends.
template <typename T>
T Fail(DWORD inError, T inResult = T())
{
  SetLastError(inError);
  return inResult;
}
