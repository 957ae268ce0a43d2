#pragma once
// Loaded modules: the executable and the shared libraries of the process.
//
// An HMODULE is the module's load address (its base), as on Windows, which is
// also what fault records report as the module base.

#include "platform/base/WinTypes.h"

constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS (the only lookup offered),
// inModuleName is an address inside a module, and *outModule becomes that
// module's base. A module is never pinned: UNCHANGED_REFCOUNT is implied.
// ERROR_INVALID_PARAMETER without the flag, ERROR_MOD_NOT_FOUND for an
// address in no module.
BOOL GetModuleHandleExA(DWORD inFlags, LPCSTR inModuleName, HMODULE* outModule);

// The full path of the module (NULL: the executable) into outFileName, and its
// length. When it does not fit, the path is cut to inSize - 1 bytes (at a
// character boundary) and terminated, the result is inSize and the last error
// ERROR_INSUFFICIENT_BUFFER. 0 and ERROR_MOD_NOT_FOUND for an unknown module.
DWORD GetModuleFileNameA(HMODULE inModule, LPSTR outFileName, DWORD inSize);
