#include "tests/support/RegistryKeys.h"

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryKey.h"

#include <vector>

namespace tltest {

namespace {

void Collect(HKEY inRoot, const std::string& inPath, std::set<std::string>& ioKeys)
{
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(inRoot, inPath.c_str(), 0, KEY_READ, &theKey) != ERROR_SUCCESS)
    return;
  std::vector<std::string> theChildren;
  for (DWORD i = 0;; ++i) {
    char theName[256];
    DWORD theSize = sizeof theName;
    if (RegEnumKeyExA(theKey, i, theName, &theSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    theChildren.emplace_back(theName, theSize);
  }
  RegCloseKey(theKey);
  for (const std::string& theChild : theChildren) {
    const std::string thePath = inPath.empty() ? theChild : inPath + "\\" + theChild;
    ioKeys.insert(thePath);
    Collect(inRoot, thePath, ioKeys);
  }
}

}  // namespace

std::set<std::string> RegistryKeys(HKEY inRoot)
{
  std::set<std::string> theKeys;
  Collect(inRoot, "", theKeys);
  return theKeys;
}

std::string RegistryText(HKEY inRoot, const std::string& inKey, const std::string& inName)
{
  return ReadRegistryString(inRoot, inKey, inName).value_or("(missing)");
}

}  // namespace tltest
