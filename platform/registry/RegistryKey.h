#pragma once
// One open registry key, closed at the end of its scope, with the string reads
// and writes its users share.

#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"

#include <array>
#include <optional>
#include <string>

class RegistryKey {
public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }

  // Windows error codes, ERROR_SUCCESS on success.
  LONG Open(HKEY inRoot, const std::string& inPath, REGSAM inAccess = KEY_READ);
  // Creates the missing keys of the path (non-volatile, no class).
  LONG Create(HKEY inRoot, const std::string& inPath, REGSAM inAccess = KEY_ALL_ACCESS);
  // The root inRoot of the machine inMachine (null or empty: this one).
  LONG Connect(const char* inMachine, HKEY inRoot);
  void Close();
  HKEY Get() const { return mKey; }

  // A REG_SZ or REG_EXPAND_SZ value (the empty name is the default value);
  // nothing when it is missing or of another type.
  std::optional<std::string> ReadString(const std::string& inName) const;
  LONG WriteString(const std::string& inName, const std::string& inValue) const;

private:
  HKEY mKey = nullptr;
};

// The four bytes of a REG_DWORD value, least significant first.
constexpr std::array<BYTE, 4> DwordBytes(DWORD inValue)
{
  return {BYTE(inValue), BYTE(inValue >> 8), BYTE(inValue >> 16), BYTE(inValue >> 24)};
}

// The string value inName of the key inPath, or nothing.
std::optional<std::string> ReadRegistryString(HKEY inRoot, const std::string& inPath, const std::string& inName = "");
