// The QuickTime services boundary: one process-wide start count over one
// loaded services table.

#include "platform/quicktime/QuickTime.h"

#include "platform/base/WinError.h"
#include "platform/faults/Faults.h"
#include "platform/files/FileRoots.h"

#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct Boundary {
  // Held across the library's start and stop calls, so a fault in them gives it back.
  std::mutex mLock;
  bool mLoaded = false;       // the library is loaded and mTable filled
  QTServices mTable{};
  int mStarts = 0;            // successful starts not yet balanced
  std::atomic<const QTServices*> mPublished{nullptr};  // what QT() answers
};

Boundary& TheBoundary()
{
  static Boundary gBoundary;
  return gBoundary;
}

// QuickTime opens the files it is given itself: every path reaches it through
// the file record this makes, so it is held to the roots of the file layer.
// A refused path answers the Mac OS permission error (-54, Windows error 5).
constexpr OSErr kQTPermissionErr = -54;
OSErr (*gLibraryPathToFSSpec)(const char*, FSSpec*, SInt32) = nullptr;

OSErr CheckedPathToFSSpec(const char* inPath, FSSpec* outSpec, SInt32 inFlags)
{
  if (CheckFileRoots(inPath) != ERROR_SUCCESS)
    return kQTPermissionErr;
  return gLibraryPathToFSSpec(inPath, outSpec, inFlags);
}

// Every entry after the version and size is a function pointer. A library
// that leaves one null lacks a call the core makes: it serves no table.
bool ServesEveryEntry(const QTServices& inTable)
{
  using Entry = void (*)();
  constexpr std::size_t kFirst = offsetof(QTServices, InitializeQTML);
  static_assert((sizeof(QTServices) - kFirst) % sizeof(Entry) == 0, "the table holds function pointers only");
  const auto* theBytes = reinterpret_cast<const unsigned char*>(&inTable);
  for (std::size_t theAt = kFirst; theAt < sizeof(QTServices); theAt += sizeof(Entry)) {
    Entry theEntry = nullptr;
    std::memcpy(&theEntry, theBytes + theAt, sizeof theEntry);
    if (!theEntry)
      return false;
  }
  return true;
}

// Loads the library and fills the table; false leaves nothing loaded.
bool LoadLibrary(Boundary& ioBoundary)
{
  if (!QTLibraryNamed())
    return false;
  const char* thePath = std::getenv(kQTLibraryVariable);
  void* theLibrary = dlopen(thePath, RTLD_NOW | RTLD_LOCAL);
  if (!theLibrary)
    return false;
  auto theEntry = reinterpret_cast<QTGetServicesProc>(dlsym(theLibrary, kQTGetServicesName));
  QTServices theTable{};
  theTable.mVersion = kQTServicesVersion;
  theTable.mSize = sizeof(QTServices);
  if (!theEntry || theEntry(&theTable) != kQTNoErr || !ServesEveryEntry(theTable)) {
    dlclose(theLibrary);
    return false;
  }
  gLibraryPathToFSSpec = theTable.NativePathNameToFSSpec;
  theTable.NativePathNameToFSSpec = CheckedPathToFSSpec;
  ioBoundary.mTable = theTable;
  ioBoundary.mLoaded = true;
  return true;
}

}  // namespace

bool QTLibraryNamed()
{
  const char* thePath = std::getenv(kQTLibraryVariable);
  return thePath && *thePath;
}

OSErr QTInitialize(SInt32 inFlags)
{
  Boundary& theBoundary = TheBoundary();
  FaultSafeLock theGuard(theBoundary.mLock);
  if (theBoundary.mStarts > 0) {
    ++theBoundary.mStarts;
    return kQTNoErr;
  }
  if (!theBoundary.mLoaded && !LoadLibrary(theBoundary))
    return kQTNotInstalledErr;
  OSErr theErr = theBoundary.mTable.InitializeQTML(inFlags);
  if (theErr != kQTNoErr)
    return theErr;
  theBoundary.mStarts = 1;
  theBoundary.mPublished.store(&theBoundary.mTable, std::memory_order_release);
  return kQTNoErr;
}

void QTTerminate()
{
  Boundary& theBoundary = TheBoundary();
  FaultSafeLock theGuard(theBoundary.mLock);
  if (theBoundary.mStarts == 0)
    return;
  if (--theBoundary.mStarts == 0) {
    theBoundary.mPublished.store(nullptr, std::memory_order_release);
    theBoundary.mTable.TerminateQTML();
  }
}

const QTServices* QT()
{
  return TheBoundary().mPublished.load(std::memory_order_acquire);
}
