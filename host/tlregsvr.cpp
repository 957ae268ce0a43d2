// tlregsvr [-u] path/to/server.so: registers (or with -u unregisters) an
// in-process automation server by calling its DllRegisterServer (or
// DllUnregisterServer). Exit status: 0 on success, 1 when the call fails,
// 2 for a wrong command line, 3 when the server cannot be loaded. A store
// whose registry the user may not change is named, with its owner. --help and
// --version say what they say and exit 0.

#include "platform/base/WinError.h"
#include "platform/base/SystemText.h"
#include "platform/base/TessalineHome.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using EntryPoint = HRESULT (*)();

constexpr const char* kUsage =
  "usage: tlregsvr [-u] path/to/server.so\n"
  "       tlregsvr --help | --version\n";
constexpr const char* kHelp =
  "Registers an in-process automation server (libTessaline4.so, libTLUtilities4.so)\n"
  "in the Tessaline store of TESSALINE_HOME, or with -u unregisters it.\n"
  "\n"
  "  -u         unregister the server\n"
  "  --help     show this text and exit\n"
  "  --version  show the version of Tessaline and exit\n"
  "\n"
  "Exit status: 0 done, 1 the server's call failed, 2 wrong use, 3 the server\n"
  "cannot be loaded. See tlregsvr(1).\n";

std::string TextOf(HRESULT inResult)
{
  std::string theText = GetSystemWording(static_cast<DWORD>(inResult));
  return theText.empty() ? std::string("unknown error") : theText;
}

// Who may change the registry of the store, when the user may not.
std::string OwnerHint()
{
  std::string theHome;
  struct stat theInfo {};
  if (GetTessalineHome(theHome) != ERROR_SUCCESS || stat(theHome.c_str(), &theInfo) != 0)
    return {};
  const passwd* theOwner = getpwuid(theInfo.st_uid);
  const std::string theName = theOwner ? theOwner->pw_name : "user " + std::to_string(theInfo.st_uid);
  return "only root and the owner of " + theHome + " (" + theName + ") may change its registry";
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tlregsvr %s\n", TL_VERSION);
    return 0;
  }
  bool theUnregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
  if (!(argc == 2 && argv[1][0] != '-') && !theUnregister) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (std::string theWarning = GetTessalineHomeWarning(); !theWarning.empty())
    std::fprintf(stderr, "tlregsvr: %s\n", theWarning.c_str());

  const char* theGiven = argv[argc - 1];
  // The server records its own path from where it was loaded: load it by its full path.
  std::unique_ptr<char, decltype(&std::free)> thePath(realpath(theGiven, nullptr), &std::free);
  if (!thePath) {
    std::fprintf(stderr, "tlregsvr: cannot find %s: %s\n", theGiven, std::strerror(errno));
    return 3;
  }
  void* theLibrary = dlopen(thePath.get(), RTLD_NOW | RTLD_LOCAL);
  if (!theLibrary) {
    std::fprintf(stderr, "tlregsvr: cannot load %s: %s\n", thePath.get(), dlerror());
    return 3;
  }
  const char* theName = theUnregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto theEntry = reinterpret_cast<EntryPoint>(dlsym(theLibrary, theName));
  if (!theEntry) {
    std::fprintf(stderr, "tlregsvr: %s has no %s\n", thePath.get(), theName);
    return 3;
  }
  HRESULT theResult = theEntry();
  if (FAILED(theResult)) {
    std::fprintf(stderr, "tlregsvr: %s in %s failed: 0x%08X %s\n", theName, thePath.get(),
                 static_cast<unsigned>(theResult), TextOf(theResult).c_str());
    if (theResult == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))
      if (std::string theHint = OwnerHint(); !theHint.empty())
        std::fprintf(stderr, "tlregsvr: %s\n", theHint.c_str());
    return 1;
  }
  std::printf("%s in %s succeeded.\n", theName, thePath.get());
  return 0;
}
