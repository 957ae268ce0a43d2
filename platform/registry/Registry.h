#pragma once
// The registry: HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT kept in one SQLite
// database, <TESSALINE_HOME>/registry.db.
//
// Key and value names compare without regard to case. Every read sees the
// latest write of every process: opening a key and querying a value answer
// what they read last only while the store's change counter shows no write
// since, else they ask the database. Every write is its own immediate
// transaction with a busy time-out, so several processes share the store
// safely. Functions
// answer Windows error codes (ERROR_SUCCESS on success) as RegXxx does.
//
// Keys: an HKEY is a number in a table, never an address; a closed or forged
// one answers ERROR_INVALID_HANDLE, and one whose key was deleted meanwhile
// ERROR_KEY_DELETED. A handle keeps the access it was opened with: querying
// needs KEY_QUERY_VALUE, setting or deleting values KEY_SET_VALUE, creating
// subkeys KEY_CREATE_SUB_KEY, enumerating KEY_ENUMERATE_SUB_KEYS (else
// ERROR_ACCESS_DENIED). Subkey paths are names separated by '\'; a null or
// empty path is the key itself; a name longer than 255 bytes answers
// ERROR_INVALID_PARAMETER, a path that starts with '\' or has an empty name
// inside ERROR_BAD_PATHNAME. A database that cannot be opened or written
// answers the Windows error of the failure (ERROR_ACCESS_DENIED for a user
// who may only read it, ERROR_REGISTRY_CORRUPT for a file that is no database).
//
// Both trees are the store's owner's (the owner of TESSALINE_HOME: the
// administrator) and root's to change: every write of anyone else (setting,
// deleting, creating a key) answers ERROR_ACCESS_DENIED and changes nothing,
// whatever the database file's mode. The store's group reads them: the
// database is made 0640 and nobody needs write access to read it.

#include "platform/base/WinTypes.h"

using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = NumberToHandle<HKEY>(0x80000000u);
inline HKEY const HKEY_LOCAL_MACHINE = NumberToHandle<HKEY>(0x80000002u);

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD RRF_RT_ANY = 0x0000FFFF;
constexpr DWORD RRF_NOEXPAND = 0x10000000;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

LONG RegOpenKeyExA(HKEY inKey, LPCSTR inSubKey, DWORD inOptions, REGSAM inAccess, HKEY* outKey);
LONG RegCreateKeyExA(HKEY inKey, LPCSTR inSubKey, DWORD inReserved, LPSTR inClass, DWORD inOptions,
                     REGSAM inAccess, void* inSecurity, HKEY* outKey, LPDWORD outDisposition);
LONG RegCloseKey(HKEY inKey);

// With a null inData, answers the size in *ioSize. With a buffer too small,
// answers ERROR_MORE_DATA with the size needed and leaves the buffer untouched.
// Strings are stored and answered with their terminating NUL.
LONG RegQueryValueExA(HKEY inKey, LPCSTR inValueName, LPDWORD inReserved, LPDWORD outType, LPBYTE outData,
                      LPDWORD ioSize);
// The value inValueName of the subkey inSubKey of inKey (null or empty: of
// inKey itself, which then needs KEY_QUERY_VALUE), answered as
// RegQueryValueExA answers it on the opened subkey, in one kept read. Only
// the flags RRF_RT_ANY | RRF_NOEXPAND: any type, as stored.
LONG RegGetValueA(HKEY inKey, LPCSTR inSubKey, LPCSTR inValueName, DWORD inFlags, LPDWORD outType, void* outData,
                  LPDWORD ioSize);
// Types REG_SZ, REG_EXPAND_SZ (a NUL is added when the data lacks one),
// REG_BINARY and REG_DWORD (exactly 4 bytes); others answer
// ERROR_INVALID_PARAMETER.
LONG RegSetValueExA(HKEY inKey, LPCSTR inValueName, DWORD inReserved, DWORD inType, const BYTE* inData,
                    DWORD inSize);
LONG RegDeleteValueA(HKEY inKey, LPCSTR inValueName);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise, as Windows).
LONG RegDeleteKeyA(HKEY inKey, LPCSTR inSubKey);
// Deletes a key with all its subkeys and values; with a null or empty subkey,
// only the key's subkeys and values.
LONG RegDeleteTreeA(HKEY inKey, LPCSTR inSubKey);

// Subkeys in the order of their names without regard to case; past the last
// ERROR_NO_MORE_ITEMS; a name buffer too small for the name and its NUL
// ERROR_MORE_DATA, with nothing written. Classes are empty and no write time
// is kept (answered as 0).
LONG RegEnumKeyExA(HKEY inKey, DWORD inIndex, LPSTR outName, LPDWORD ioNameSize, LPDWORD inReserved,
                   LPSTR outClass, LPDWORD ioClassSize, void* outLastWriteTime);

// Only the local machine: a null or empty name, or this machine's own name
// (GetComputerNameA, without regard to case, with or without a leading "\\").
// Any other answers ERROR_BAD_NETPATH.
LONG RegConnectRegistryA(LPCSTR inMachineName, HKEY inKey, HKEY* outKey);
