#include "platform/kernel/Modules.h"

#include "platform/base/LastError.h"
#include "platform/base/Utf8.h"
#include "platform/base/WinError.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::string ExecutablePath()
{
  std::string thePath(PATH_MAX, '\0');
  ssize_t theLength = readlink("/proc/self/exe", thePath.data(), thePath.size());
  if (theLength <= 0)
    return {};
  thePath.resize(static_cast<std::size_t>(theLength));
  return thePath;
}

// The full path of the module loaded at inBase; empty when none is.
std::string ModulePath(HMODULE inBase)
{
  Dl_info theInfo{};
  link_map* theMap = nullptr;
  if (!dladdr1(reinterpret_cast<void*>(inBase), &theInfo, reinterpret_cast<void**>(&theMap), RTLD_DL_LINKMAP) ||
      theInfo.dli_fbase != reinterpret_cast<void*>(inBase) || !theMap)
    return {};
  // The executable's entry has an empty name.
  if (!theMap->l_name || !*theMap->l_name)
    return ExecutablePath();
  std::unique_ptr<char, decltype(&std::free)> theFull(realpath(theMap->l_name, nullptr), &std::free);
  return theFull ? std::string(theFull.get()) : std::string(theMap->l_name);
}

}  // namespace

BOOL GetModuleHandleExA(DWORD inFlags, LPCSTR inModuleName, HMODULE* outModule)
{
  if (!outModule || !(inFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *outModule = nullptr;
  Dl_info theInfo{};
  if (!dladdr(inModuleName, &theInfo) || !theInfo.dli_fbase) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  *outModule = reinterpret_cast<HMODULE>(theInfo.dli_fbase);
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE inModule, LPSTR outFileName, DWORD inSize)
{
  std::string thePath = inModule ? ModulePath(inModule) : ExecutablePath();
  if (thePath.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (inSize == 0 || !outFileName) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (thePath.size() < inSize) {
    std::memcpy(outFileName, thePath.c_str(), thePath.size() + 1);
    return static_cast<DWORD>(thePath.size());
  }
  std::size_t theCut = utf8::CutLength(thePath, inSize - 1);
  std::memcpy(outFileName, thePath.data(), theCut);
  outFileName[theCut] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return inSize;
}
