#pragma once
// Small system helpers: the kind of Windows the library runs on, rounding,
// bit masks and URLs.

#include "platform/base/WinTypes.h"

#include <string_view>

enum OSKind : LONG {
  kOSUnknown = 0,  // also Windows NT 6 and later
  kOSWin32s = 1,
  kOSWin95 = 2,
  kOSWin98 = 3,
  kOSNT3 = 4,
  kOSNT4 = 5,
  kOSNT5 = 6,
};

// Asked at each call.
OSKind GetOSKind();
bool IsNT5OrLater();

// Half away from zero: 2.5 gives 3, -2.5 gives -3. Values beyond the 32-bit
// range give its nearest end; NaN gives 0.
LONG RoundToLong(double inValue);
// Truncated toward zero, with the same limits.
LONG TruncToLong(double inValue);
// A 64-bit integer held to the 32-bit range.
LONG ClampToLong(LONGLONG inValue);

// The index 0-31 of the lowest set bit; -1 for 0.
LONG LowestSetBit(DWORD inMask);

// True for "http://", "ftp://" or "rtsp://" at the start, in any letter case.
bool IsURL(std::string_view inPath);
