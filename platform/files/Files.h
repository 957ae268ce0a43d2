#pragma once
// Files: opening, reading and writing, byte-range locks, read-only mapped
// views, temporary files, probes and directory searches. Paths are UTF-8 and
// use '/'; every failure sets the last error to a Windows code.
//
// Locks are open-file-description locks: they belong to one open file (one
// HANDLE), so two handles exclude each other whether they are held by two
// processes or by two threads of one process, and a lock goes when its
// handle is closed or its process ends. As on Windows, locks bind reads and
// writes too: ReadFile or WriteFile over bytes that another handle has locked
// (exclusively, for reads) fails with ERROR_LOCK_VIOLATION; each read holds a
// shared lock over its bytes while it runs, each positioned write an exclusive
// one. Writes through a FILE_APPEND_DATA handle go to the end of the file in
// one write() each, so lines appended by many writers never interleave; they
// do not look at locks.
//
// Share modes are accepted and not enforced: exclusion between writers and
// readers is by locks. Only regular files are opened: a directory, device or
// pipe is refused with ERROR_ACCESS_DENIED (opening never blocks).

#include "platform/base/WinError.h"
#include "platform/base/WinTypes.h"
#include "platform/kernel/Handles.h"

// Access.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_APPEND_DATA = 0x0004;  // alone (without GENERIC_WRITE): every write goes to the end
constexpr DWORD DELETE = 0x00010000;        // accepted; files are deleted by path

// Sharing (accepted, not enforced).
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

// Creation.
constexpr DWORD CREATE_NEW = 1;         // fails with ERROR_FILE_EXISTS when the name exists (a link included)
constexpr DWORD CREATE_ALWAYS = 2;      // truncates; last error ERROR_ALREADY_EXISTS when it existed
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;        // last error ERROR_ALREADY_EXISTS when it existed
constexpr DWORD TRUNCATE_EXISTING = 5;  // needs GENERIC_WRITE

// Attributes and flags.
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;  // a new file is private (0600), and a link is never followed
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;  // unlinked when the handle is closed
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// Moving the file pointer.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

// Locks.
constexpr DWORD LOCKFILE_FAIL_IMMEDIATELY = 0x1;
constexpr DWORD LOCKFILE_EXCLUSIVE_LOCK = 0x2;

// Mappings (read-only views only).
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD FILE_MAP_READ = 0x0004;

struct OVERLAPPED {
  DWORD_PTR Internal;
  DWORD_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

using PLONG = LONG*;

// Opening and closing (CloseHandle, Handles.h).
HANDLE CreateFileA(LPCSTR inFileName, DWORD inDesiredAccess, DWORD inShareMode,
                   LPSECURITY_ATTRIBUTES inSecurityAttributes, DWORD inCreationDisposition,
                   DWORD inFlagsAndAttributes, HANDLE inTemplateFile);

// Reading and writing at the file pointer. A read past the end reads what
// there is (0 bytes at the end) and succeeds.
BOOL ReadFile(HANDLE inFile, LPVOID outBuffer, DWORD inBytesToRead, LPDWORD outBytesRead,
              LPOVERLAPPED inOverlapped);
BOOL WriteFile(HANDLE inFile, LPCVOID inBuffer, DWORD inBytesToWrite, LPDWORD outBytesWritten,
               LPOVERLAPPED inOverlapped);

// The new pointer's low 32 bits (its high 32 bits in *inoutDistanceHigh when
// given); INVALID_SET_FILE_POINTER with a last error other than 0 on failure
// (ERROR_NEGATIVE_SEEK before the start). The last error is 0 on success.
DWORD SetFilePointer(HANDLE inFile, LONG inDistance, PLONG inoutDistanceHigh, DWORD inMoveMethod);

// The size's low 32 bits (high bits in *outSizeHigh when given);
// INVALID_FILE_SIZE with a last error other than 0 on failure.
DWORD GetFileSize(HANDLE inFile, LPDWORD outSizeHigh);

// Cuts or extends the file to the file pointer.
BOOL SetEndOfFile(HANDLE inFile);
BOOL FlushFileBuffers(HANDLE inFile);

// Byte-range locks. A range may not overlap one the same handle holds
// (ERROR_LOCK_VIOLATION); a range of zero bytes locks nothing and succeeds.
// Unlocking names exactly a range that was locked (else ERROR_NOT_LOCKED).
// LockFile is LockFileEx with LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY.
// Without LOCKFILE_FAIL_IMMEDIATELY the call waits for the range; with it a
// held range fails with ERROR_LOCK_VIOLATION.
BOOL LockFile(HANDLE inFile, DWORD inOffsetLow, DWORD inOffsetHigh, DWORD inBytesLow, DWORD inBytesHigh);
BOOL UnlockFile(HANDLE inFile, DWORD inOffsetLow, DWORD inOffsetHigh, DWORD inBytesLow, DWORD inBytesHigh);
BOOL LockFileEx(HANDLE inFile, DWORD inFlags, DWORD inReserved, DWORD inBytesLow, DWORD inBytesHigh,
                LPOVERLAPPED inOverlapped);
BOOL UnlockFileEx(HANDLE inFile, DWORD inReserved, DWORD inBytesLow, DWORD inBytesHigh, LPOVERLAPPED inOverlapped);

// Read-only mappings of a file opened for reading: inProtect PAGE_READONLY, no
// name; size 0 means the whole file (an empty file: ERROR_FILE_INVALID).
// Views (FILE_MAP_READ, offsets in multiples of 65536, 0 bytes = to the end)
// stay valid after the mapping and file handles are closed, until
// UnmapViewOfFile.
HANDLE CreateFileMappingA(HANDLE inFile, LPSECURITY_ATTRIBUTES inAttributes, DWORD inProtect,
                          DWORD inMaximumSizeHigh, DWORD inMaximumSizeLow, LPCSTR inName);
LPVOID MapViewOfFile(HANDLE inMapping, DWORD inDesiredAccess, DWORD inOffsetHigh, DWORD inOffsetLow,
                     SIZE_T inBytesToMap);
BOOL UnmapViewOfFile(LPCVOID inBaseAddress);

// The temporary folder: $TMPDIR, else /tmp, with a trailing '/'. Answers the
// length copied, or the size needed (with its NUL) when inBufferLength is too small.
DWORD GetTempPathA(DWORD inBufferLength, LPSTR outBuffer);

// Makes "<inPathName>/<first three bytes of inPrefixString><4 hex digits>.TMP"
// in outTempFileName (MAX_PATH bytes) and answers the number used. With
// inUnique 0 the file is created, empty and private (0600), under a name that
// did not exist (exclusive creation, never following a link; numbers are tried
// from a random start until one is free); otherwise the name is only composed.
// 0 on failure (ERROR_BUFFER_OVERFLOW when the name is too long,
// ERROR_FILE_EXISTS when every number is taken).
UINT GetTempFileNameA(LPCSTR inPathName, LPCSTR inPrefixString, UINT inUnique, LPSTR outTempFileName);

BOOL DeleteFileA(LPCSTR inFileName);
BOOL CreateDirectoryA(LPCSTR inPathName, LPSECURITY_ATTRIBUTES inAttributes);

// FILE_ATTRIBUTE_DIRECTORY, or FILE_ATTRIBUTE_NORMAL for anything else;
// INVALID_FILE_ATTRIBUTES when the path does not exist.
DWORD GetFileAttributesA(LPCSTR inFileName);

// Directory searches: "<folder>/<pattern>" with '*' and '?' matched without
// regard to case ("*.*" matches every name). Entries "." and ".." are listed.
// No match: INVALID_HANDLE_VALUE and ERROR_FILE_NOT_FOUND; a missing folder:
// ERROR_PATH_NOT_FOUND. FindNextFileA fails with ERROR_NO_MORE_FILES at the end.
HANDLE FindFirstFileA(LPCSTR inFileName, WIN32_FIND_DATAA* outFindData);
BOOL FindNextFileA(HANDLE inFindFile, WIN32_FIND_DATAA* outFindData);
BOOL FindClose(HANDLE inFindFile);
