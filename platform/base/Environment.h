#pragma once
// The process's environment as Windows offers it: %NAME% expansion and the
// computer's name.

#include "platform/base/WinTypes.h"

// Replaces every %NAME% of inSource by the variable's value from the process
// environment; a name that is not set stays as written, percent signs
// included. Answers the size of the result in characters with its NUL. When
// that is more than inSize, nothing is written and the size needed is
// answered; 0 with ERROR_INVALID_PARAMETER for a null source.
DWORD ExpandEnvironmentStringsA(LPCSTR inSource, LPSTR outBuffer, DWORD inSize);

// This machine's name: the host name up to its first dot. *ioSize is the
// buffer's size; on success it becomes the name's length without the NUL. A
// buffer too small answers FALSE with ERROR_BUFFER_OVERFLOW and the size
// needed (with the NUL) in *ioSize.
BOOL GetComputerNameA(LPSTR outBuffer, LPDWORD ioSize);

// True when inName means this machine: null or empty, or its computer name
// (without regard to case, with or without a leading "\\"), as the
// Win32 calls that take a server name accept it.
bool IsLocalMachineName(LPCSTR inName);
