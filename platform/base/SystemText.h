#pragma once
// The system's wording of Windows error codes and HRESULTs: one table, each text
// ending in CR LF as the system's own messages do.

#include "platform/base/WinTypes.h"

#include <string>

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// FORMAT_MESSAGE_FROM_SYSTEM only (other sources answer 0 with
// ERROR_INVALID_PARAMETER). Copies the text of inMessageId into outBuffer and
// answers its length without the NUL; answers 0 with ERROR_MR_MID_NOT_FOUND
// (317) for a code the table does not know, or ERROR_INSUFFICIENT_BUFFER when it
// does not fit. With FORMAT_MESSAGE_ALLOCATE_BUFFER, outBuffer is a char** that
// receives a buffer the caller frees with LocalFree.
DWORD FormatMessageA(DWORD inFlags, LPCVOID inSource, DWORD inMessageId, DWORD inLanguageId, LPSTR outBuffer,
                     DWORD inSize, void* inArguments);
void* LocalFree(void* inMemory);

// The text of a code, with its CR LF; empty for a code the table does not know.
std::string GetSystemText(DWORD inCode);

// The same text without its CR LF.
std::string GetSystemWording(DWORD inCode);
