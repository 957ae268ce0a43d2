#pragma once
// One open registry key, closed at the end of its scope, with the string reads
// and writes that activation and registration need.

#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"

#include <optional>
#include <string>

class RegistryKey {
public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }

  // Windows error codes, ERROR_SUCCESS on success.
  LONG Open(HKEY inRoot, const std::string& inPath);
  LONG Create(HKEY inRoot, const std::string& inPath);
  void Close();

  // A REG_SZ or REG_EXPAND_SZ value (the empty name is the default value);
  // nothing when it is missing or of another type.
  std::optional<std::string> ReadString(const std::string& inName) const;
  LONG WriteString(const std::string& inName, const std::string& inValue) const;

private:
  HKEY mKey = nullptr;
};

// The string value inName of the key inPath, or nothing.
std::optional<std::string> ReadRegistryString(HKEY inRoot, const std::string& inPath, const std::string& inName = "");
