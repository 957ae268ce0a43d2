#include "core/SystemUtilities.h"

#include "core/Utilities.h"

#include "platform/base/Version.h"

#include <cmath>
#include <limits>

namespace {

LONG SaturateToLong(double inValue)
{
  if (std::isnan(inValue))
    return 0;
  if (inValue <= static_cast<double>(std::numeric_limits<LONG>::min()))
    return std::numeric_limits<LONG>::min();
  if (inValue >= static_cast<double>(std::numeric_limits<LONG>::max()))
    return std::numeric_limits<LONG>::max();
  return static_cast<LONG>(inValue);
}

}  // namespace

LONG RoundToLong(double inValue)
{
  return SaturateToLong(inValue >= 0 ? inValue + 0.5 : inValue - 0.5);
}

LONG TruncToLong(double inValue)
{
  return SaturateToLong(inValue);
}

LONG ClampToLong(LONGLONG inValue)
{
  return inValue < std::numeric_limits<LONG>::min()   ? std::numeric_limits<LONG>::min()
         : inValue > std::numeric_limits<LONG>::max() ? std::numeric_limits<LONG>::max()
                                                      : static_cast<LONG>(inValue);
}

LONG LowestSetBit(DWORD inMask)
{
  if (inMask == 0)
    return -1;
  LONG theIndex = 0;
  while ((inMask & 1u) == 0) {
    inMask >>= 1;
    ++theIndex;
  }
  return theIndex;
}

bool IsURL(std::string_view inPath)
{
  return StartsWithIgnoringCase(inPath, "http://") || StartsWithIgnoringCase(inPath, "ftp://") ||
         StartsWithIgnoringCase(inPath, "rtsp://");
}

OSKind GetOSKind()
{
  // The extended record first, then the basic one; both begin alike.
  OSVERSIONINFOEXA theInfo{};
  theInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&theInfo))) {
    theInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&theInfo)))
      return kOSUnknown;
  }
  switch (theInfo.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      return kOSWin32s;
    case VER_PLATFORM_WIN32_WINDOWS:
      return theInfo.dwMajorVersion > 4 || (theInfo.dwMajorVersion == 4 && theInfo.dwMinorVersion != 0) ? kOSWin98
                                                                                                        : kOSWin95;
    case VER_PLATFORM_WIN32_NT:
      switch (theInfo.dwMajorVersion) {
        case 3:
          return kOSNT3;
        case 4:
          return kOSNT4;
        case 5:
          return kOSNT5;
        default:
          return kOSUnknown;
      }
    default:
      return kOSUnknown;
  }
}

bool IsNT5OrLater()
{
  OSVERSIONINFOA theInfo{};
  theInfo.dwOSVersionInfoSize = sizeof theInfo;
  return GetVersionExA(&theInfo) && theInfo.dwPlatformId == VER_PLATFORM_WIN32_NT && theInfo.dwMajorVersion >= 5;
}
