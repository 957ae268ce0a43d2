#pragma once
// UTF-8 text: byte limits, and reading and writing one character.
//
// Every text limit of the system (255, 259, 4095 bytes ...) counts bytes; a
// cut never splits a multi-byte sequence. Text that is not valid UTF-8 is cut
// at most three bytes short of the limit.

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

constexpr bool IsContinuation(char inByte)
{
  return (static_cast<unsigned char>(inByte) & 0xC0) == 0x80;
}

constexpr bool IsSurrogate(char32_t inCode)
{
  return inCode >= 0xD800 && inCode <= 0xDFFF;
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

struct Decoded {
  char32_t mCode = 0;
  std::size_t mUsed = 1;  // bytes read
  bool mValid = false;
};

// The character at the start of inText (not empty). A byte that starts no
// sequence, a sequence cut short and an overlong or too large one are not
// valid; mUsed then counts the bytes read up to the fault. Surrogate code
// points (as CESU-8 writes them) decode as they stand.
constexpr Decoded Decode(std::string_view inText)
{
  const auto theLead = static_cast<unsigned char>(inText[0]);
  if (theLead < 0x80)
    return {theLead, 1, true};
  std::size_t theCount = 0;
  char32_t theCode = 0;
  char32_t theMinimum = 0;
  if (theLead >= 0xC2 && theLead <= 0xDF) {
    theCount = 1;
    theCode = theLead & 0x1F;
    theMinimum = 0x80;
  } else if (theLead >= 0xE0 && theLead <= 0xEF) {
    theCount = 2;
    theCode = theLead & 0x0F;
    theMinimum = 0x800;
  } else if (theLead >= 0xF0 && theLead <= 0xF4) {
    theCount = 3;
    theCode = theLead & 0x07;
    theMinimum = 0x10000;
  } else {
    return {0, 1, false};
  }
  for (std::size_t k = 1; k <= theCount; ++k) {
    if (k >= inText.size() || !IsContinuation(inText[k]))
      return {0, k, false};
    theCode = (theCode << 6) | (static_cast<unsigned char>(inText[k]) & 0x3F);
  }
  return {theCode, theCount + 1, theCode >= theMinimum && theCode <= 0x10FFFF};
}

// The UTF-8 sequence of inCode (at most U+10FFFF; a surrogate takes three bytes).
inline void Append(std::string& ioText, char32_t inCode)
{
  if (inCode < 0x80) {
    ioText += static_cast<char>(inCode);
  } else if (inCode < 0x800) {
    ioText += static_cast<char>(0xC0 | (inCode >> 6));
    ioText += static_cast<char>(0x80 | (inCode & 0x3F));
  } else if (inCode < 0x10000) {
    ioText += static_cast<char>(0xE0 | (inCode >> 12));
    ioText += static_cast<char>(0x80 | ((inCode >> 6) & 0x3F));
    ioText += static_cast<char>(0x80 | (inCode & 0x3F));
  } else {
    ioText += static_cast<char>(0xF0 | (inCode >> 18));
    ioText += static_cast<char>(0x80 | ((inCode >> 12) & 0x3F));
    ioText += static_cast<char>(0x80 | ((inCode >> 6) & 0x3F));
    ioText += static_cast<char>(0x80 | (inCode & 0x3F));
  }
}

// inCode as UTF-16: one code unit, or a surrogate pair above U+FFFF.
inline void AppendUtf16(std::u16string& ioText, char32_t inCode)
{
  if (inCode >= 0x10000) {
    inCode -= 0x10000;
    ioText += static_cast<char16_t>(0xD800 + (inCode >> 10));
    ioText += static_cast<char16_t>(0xDC00 + (inCode & 0x3FF));
  } else {
    ioText += static_cast<char16_t>(inCode);
  }
}

}  // namespace utf8
