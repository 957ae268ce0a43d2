#pragma once
// One open registry key, closed at the end of its scope.

#include "platform/registry/Registry.h"

class RegKey {
public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Close(); }

  LONG Open(HKEY inRoot, const char* inPath, REGSAM inAccess)
  {
    Close();
    return RegOpenKeyExA(inRoot, inPath, 0, inAccess, &mKey);
  }
  // Creates the missing keys of the path (non-volatile, no class).
  LONG Create(HKEY inRoot, const char* inPath, REGSAM inAccess)
  {
    Close();
    return RegCreateKeyExA(inRoot, inPath, 0, nullptr, REG_OPTION_NON_VOLATILE, inAccess, nullptr, &mKey, nullptr);
  }
  // The root inRoot of the machine inMachine (null or empty: this one).
  LONG Connect(const char* inMachine, HKEY inRoot)
  {
    Close();
    return RegConnectRegistryA(inMachine, inRoot, &mKey);
  }
  void Close()
  {
    if (mKey)
      RegCloseKey(mKey);
    mKey = nullptr;
  }
  HKEY Get() const { return mKey; }

private:
  HKEY mKey = nullptr;
};
