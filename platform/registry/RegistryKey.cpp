#include "platform/registry/RegistryKey.h"

#include "platform/base/WinError.h"

#include <vector>

LONG RegistryKey::Open(HKEY inRoot, const std::string& inPath, REGSAM inAccess)
{
  Close();
  return RegOpenKeyExA(inRoot, inPath.c_str(), 0, inAccess, &mKey);
}

LONG RegistryKey::Create(HKEY inRoot, const std::string& inPath, REGSAM inAccess)
{
  Close();
  return RegCreateKeyExA(inRoot, inPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, inAccess, nullptr, &mKey, nullptr);
}

LONG RegistryKey::Connect(const char* inMachine, HKEY inRoot)
{
  Close();
  return RegConnectRegistryA(inMachine, inRoot, &mKey);
}

void RegistryKey::Close()
{
  if (mKey)
    RegCloseKey(mKey);
  mKey = nullptr;
}

std::optional<std::string> RegistryKey::ReadString(const std::string& inName) const
{
  if (!mKey)
    return std::nullopt;
  DWORD theType = REG_NONE;
  DWORD theSize = 0;
  if (RegQueryValueExA(mKey, inName.c_str(), nullptr, &theType, nullptr, &theSize) != ERROR_SUCCESS ||
      (theType != REG_SZ && theType != REG_EXPAND_SZ))
    return std::nullopt;
  std::vector<BYTE> theData(theSize + 1, 0);
  if (RegQueryValueExA(mKey, inName.c_str(), nullptr, &theType, theData.data(), &theSize) != ERROR_SUCCESS)
    return std::nullopt;
  std::string theValue(reinterpret_cast<const char*>(theData.data()), theSize);
  while (!theValue.empty() && theValue.back() == '\0')
    theValue.pop_back();
  return theValue;
}

LONG RegistryKey::WriteString(const std::string& inName, const std::string& inValue) const
{
  if (!mKey)
    return ERROR_INVALID_HANDLE;
  return RegSetValueExA(mKey, inName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(inValue.c_str()),
                        static_cast<DWORD>(inValue.size() + 1));
}

std::optional<std::string> ReadRegistryString(HKEY inRoot, const std::string& inPath, const std::string& inName)
{
  RegistryKey theKey;
  if (theKey.Open(inRoot, inPath) != ERROR_SUCCESS)
    return std::nullopt;
  return theKey.ReadString(inName);
}
