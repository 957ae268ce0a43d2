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

#include "platform/base/WinTypes.h"

#include <string>
#include <vector>

enum class PreferenceType {
  kNumber,   // REG_DWORD
  kBoolean,  // REG_DWORD, non-zero is on
  kText,     // REG_BINARY without a NUL
};

struct Preference {
  const char* mName;
  PreferenceType mType;
  LONG mDefault;             // for numbers and booleans
  const char* mDefaultText;  // for texts
};

// Every preference with its type and default. AutoRecover's default is 1 on
// this system (it is 0 only on Windows 2000 and later NT 5 systems);
// LogDirectory's is <TESSALINE_HOME>/logs/ (GetDefaultLogDirectory).
// ModulePath (REG_SZ with its NUL, the library's path, written at
// registration) is no preference of the table.
inline constexpr Preference kPreferences[] = {
  {"LogErrors", PreferenceType::kBoolean, 0, nullptr},
  {"MaxSize", PreferenceType::kNumber, 2000, nullptr},
  {"EnableImpersonation", PreferenceType::kBoolean, 0, nullptr},
  {"AutoRecover", PreferenceType::kBoolean, 1, nullptr},
  {"IJLImport", PreferenceType::kBoolean, 1, nullptr},
  {"IJLExport", PreferenceType::kBoolean, 1, nullptr},
  {"IMImport", PreferenceType::kBoolean, 1, nullptr},
  {"IMExport", PreferenceType::kBoolean, 1, nullptr},
  {"IMInfo", PreferenceType::kBoolean, 1, nullptr},
  {"UseQuickTime", PreferenceType::kBoolean, 1, nullptr},
  {"UnloadQuickTime", PreferenceType::kBoolean, 0, nullptr},
  {"UnloadQuickTimePeriod", PreferenceType::kNumber, 10000, nullptr},
  {"QTImport", PreferenceType::kBoolean, 1, nullptr},
  {"QTExport", PreferenceType::kBoolean, 1, nullptr},
  {"QTInfo", PreferenceType::kBoolean, 1, nullptr},
  {"QTMemoryIP", PreferenceType::kBoolean, 1, nullptr},
  {"QTMemoryOP", PreferenceType::kBoolean, 1, nullptr},
  {"QTImportMovies", PreferenceType::kBoolean, 0, nullptr},
  {"QTImportMPEG", PreferenceType::kBoolean, 0, nullptr},
  {"QTInfoMovies", PreferenceType::kBoolean, 0, nullptr},
  {"IPLTransform", PreferenceType::kBoolean, 1, nullptr},
  {"LogOperations", PreferenceType::kBoolean, 0, nullptr},
  {"MaxOperationTime", PreferenceType::kNumber, 1000, nullptr},
  {"LogDirectory", PreferenceType::kText, 0, nullptr},
  {"LogMaxFileSize", PreferenceType::kNumber, 65535, nullptr},
  {"LittleCMS", PreferenceType::kBoolean, 1, nullptr},
  {"ColorProfileDirectory", PreferenceType::kText, 0, ""},
  {"UseLZW", PreferenceType::kBoolean, 0, nullptr},
};

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
