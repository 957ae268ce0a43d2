#pragma once
// The preferences: named values under one machine-wide registry key, read at
// the moment they are needed, every time (no copy is kept), so a change made
// by the settings component takes effect at the next read in every process.
//
// Numbers and booleans are REG_DWORD (any non-zero boolean is on); texts are
// REG_BINARY without a NUL (a REG_SZ written by hand reads the same).
// Readers never fail: a missing key or value, or any registry error, gives the
// default handed in. Writers create the key when it is missing and answer the
// registry status (0 = success).
//
// The names, types and defaults of all preferences:
//   LogErrors B 0, MaxSize D 2000, EnableImpersonation B 0, AutoRecover B 1,
//   IJLImport B 1, IJLExport B 1, IMImport B 1, IMExport B 1, IMInfo B 1,
//   UseQuickTime B 1, UnloadQuickTime B 0, UnloadQuickTimePeriod D 10000,
//   QTImport B 1, QTExport B 1, QTInfo B 1, QTMemoryIP B 1, QTMemoryOP B 1,
//   QTImportMovies B 0, QTImportMPEG B 0, QTInfoMovies B 0, IPLTransform B 1,
//   LogOperations B 0, MaxOperationTime D 1000,
//   LogDirectory S <TESSALINE_HOME>/logs/ (GetDefaultLogDirectory),
//   LogMaxFileSize D 65535, LittleCMS B 1, ColorProfileDirectory S "",
//   UseLZW B 0, and ModulePath (REG_SZ, written at registration).

#include "platform/base/WinTypes.h"

#include <string>
#include <vector>

// SOFTWARE\Quillbright\Tessaline\4.0.5 under HKEY_LOCAL_MACHINE.
inline constexpr const char* kPreferenceKey = "SOFTWARE\\Quillbright\\Tessaline\\4.0.5";

// The key's path.
std::string PreferenceKey();

// The value, or inDefault. A value of 1 to 3 bytes replaces only that many
// low-order bytes of the default; a longer one leaves the default.
LONG GetPrefLong(const char* inName, LONG inDefault);
[[nodiscard]] LONG SetPrefLong(const char* inName, LONG inValue);

// The value's text up to its first NUL, when it has 1 to inSize - 1 bytes;
// else inDefault (null: empty), held to inSize - 1 bytes.
std::string GetPrefString(const char* inName, const char* inDefault, DWORD inSize);
// The raw bytes of the value (empty when there is none); the registry status.
LONG GetPrefData(const char* inName, std::vector<BYTE>& outData);
// GetPrefString within 260 bytes, with %NAME% expanded; empty when the
// expansion does not fit in inSize bytes with its NUL.
std::string GetPrefExpandedString(const char* inName, const char* inDefault, DWORD inSize);
// GetPrefExpandedString ending in '/': one is added to a text of 1 to 258
// bytes that lacks it, when inSize has room for it.
std::string GetPrefDirectory(const char* inName, const char* inDefault, DWORD inSize);
// Writes exactly inLength bytes as REG_BINARY (callers give the text's length,
// so no NUL is stored).
[[nodiscard]] LONG SetPrefString(const char* inName, const void* inBytes, DWORD inLength);

// The folder of the log files: the preference LogDirectory, by default
// <TESSALINE_HOME>/logs/, within 256 bytes.
std::string GetDefaultLogDirectory();
