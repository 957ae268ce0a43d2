#include "platform/base/Version.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <cstring>

namespace {
constexpr DWORD kMajorVersion = 6;
constexpr DWORD kMinorVersion = 1;
constexpr DWORD kBuildNumber = 7600;
}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* ioInfo)
{
  if (ioInfo == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  DWORD theSize = ioInfo->dwOSVersionInfoSize;
  if (theSize != sizeof(OSVERSIONINFOA) && theSize != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  ioInfo->dwMajorVersion = kMajorVersion;
  ioInfo->dwMinorVersion = kMinorVersion;
  ioInfo->dwBuildNumber = kBuildNumber;
  ioInfo->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(ioInfo->szCSDVersion, 0, sizeof(ioInfo->szCSDVersion));
  if (theSize == sizeof(OSVERSIONINFOEXA)) {
    // The caller passed the extended record, whose first part is this one.
    auto* theExtended = reinterpret_cast<OSVERSIONINFOEXA*>(ioInfo);
    theExtended->wServicePackMajor = 0;
    theExtended->wServicePackMinor = 0;
    theExtended->wSuiteMask = 0;
    theExtended->wProductType = VER_NT_SERVER;
    theExtended->wReserved = 0;
  }
  return TRUE;
}
