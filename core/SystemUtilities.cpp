#include "core/SystemUtilities.h"

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

bool StartsWithIgnoringCase(std::string_view inText, std::string_view inPrefix)
{
  if (inText.size() < inPrefix.size())
    return false;
  for (std::size_t i = 0; i < inPrefix.size(); ++i) {
    char theChar = inText[i];
    if (theChar >= 'A' && theChar <= 'Z')
      theChar = static_cast<char>(theChar - 'A' + 'a');
    if (theChar != inPrefix[i])
      return false;
  }
  return true;
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
