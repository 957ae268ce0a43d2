#pragma once
// Comparisons of names without regard to the case of ASCII letters, whatever
// the process locale: only 'A'..'Z' fold, every other byte must be equal.

#include <cstddef>
#include <string_view>

constexpr char ToLowerAscii(char inChar)
{
  return inChar >= 'A' && inChar <= 'Z' ? static_cast<char>(inChar - 'A' + 'a') : inChar;
}

constexpr bool EqualsIgnoringCase(std::string_view inA, std::string_view inB)
{
  if (inA.size() != inB.size())
    return false;
  for (std::size_t i = 0; i < inA.size(); ++i)
    if (ToLowerAscii(inA[i]) != ToLowerAscii(inB[i]))
      return false;
  return true;
}

constexpr bool StartsWithIgnoringCase(std::string_view inText, std::string_view inPrefix)
{
  return inText.size() >= inPrefix.size() && EqualsIgnoringCase(inText.substr(0, inPrefix.size()), inPrefix);
}
