#include "platform/base/LazyEntry.h"

#include <dlfcn.h>

void* OpenLibraryWithEntries(const char* inSoname, std::initializer_list<const char*> inNames, std::string& outWhy)
{
  void* theLibrary = dlopen(inSoname, RTLD_NOW | RTLD_LOCAL);
  if (!theLibrary) {
    const char* theError = dlerror();
    outWhy = theError ? theError : inSoname;
    return nullptr;
  }
  for (const char* theName : inNames) {
    if (!dlsym(theLibrary, theName)) {
      outWhy = std::string(inSoname) + " has no " + theName;
      dlclose(theLibrary);
      return nullptr;
    }
  }
  return theLibrary;
}
