#pragma once
// Byte limits on UTF-8 text. Every text limit of the system (255, 259, 4095
// bytes ...) counts bytes; a cut never splits a multi-byte sequence. Text that
// is not valid UTF-8 is cut at most three bytes short of the limit.

#include <cstddef>
#include <string_view>

namespace utf8 {

constexpr bool IsContinuation(char inByte)
{
  return (static_cast<unsigned char>(inByte) & 0xC0) == 0x80;
}

// The length of the longest prefix of inText of at most inMax bytes that ends
// on a character boundary.
constexpr std::size_t CutLength(std::string_view inText, std::size_t inMax)
{
  if (inText.size() <= inMax)
    return inText.size();
  std::size_t theCut = inMax;
  for (int theStep = 0; theStep < 3 && theCut > 0 && IsContinuation(inText[theCut]); ++theStep)
    --theCut;
  return theCut;
}

constexpr std::string_view Cut(std::string_view inText, std::size_t inMax)
{
  return inText.substr(0, CutLength(inText, inMax));
}

// The position at most inMax bytes before inEnd from which inText[.., inEnd)
// starts on a character boundary.
constexpr std::size_t StartBefore(std::string_view inText, std::size_t inEnd, std::size_t inMax)
{
  if (inEnd <= inMax)
    return 0;
  std::size_t theStart = inEnd - inMax;
  for (int theStep = 0; theStep < 3 && theStart < inEnd && IsContinuation(inText[theStart]); ++theStep)
    ++theStart;
  return theStart;
}

}  // namespace utf8
