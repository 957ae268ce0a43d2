#include "host/JsText.h"

#include "platform/automation/Bstr.h"

#include <cstdint>

std::u16string JsToUtf16(std::string_view inText)
{
  std::u16string theResult;
  theResult.reserve(inText.size());
  std::size_t i = 0;
  while (i < inText.size()) {
    auto theLead = static_cast<std::uint8_t>(inText[i]);
    if (theLead < 0x80) {
      theResult += static_cast<char16_t>(theLead);
      ++i;
      continue;
    }
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
      theResult += u'\uFFFD';
      ++i;
      continue;
    }
    bool theValid = true;
    for (std::size_t k = 1; k <= theCount; ++k) {
      if (i + k >= inText.size() || (static_cast<std::uint8_t>(inText[i + k]) & 0xC0) != 0x80) {
        theValid = false;
        break;
      }
      theCode = (theCode << 6) | (static_cast<std::uint8_t>(inText[i + k]) & 0x3F);
    }
    if (!theValid || theCode < theMinimum || theCode > 0x10FFFF) {
      theResult += u'\uFFFD';
      ++i;
      continue;
    }
    if (theCode >= 0x10000) {
      theCode -= 0x10000;
      theResult += static_cast<char16_t>(0xD800 + (theCode >> 10));
      theResult += static_cast<char16_t>(0xDC00 + (theCode & 0x3FF));
    } else {
      theResult += static_cast<char16_t>(theCode);  // surrogates pass as they are
    }
    i += theCount + 1;
  }
  return theResult;
}

std::string Utf16ToJs(std::u16string_view inText)
{
  std::string theResult;
  theResult.reserve(inText.size());
  for (char16_t theUnit : inText) {
    if (theUnit < 0x80) {
      theResult += static_cast<char>(theUnit);
    } else if (theUnit < 0x800) {
      theResult += static_cast<char>(0xC0 | (theUnit >> 6));
      theResult += static_cast<char>(0x80 | (theUnit & 0x3F));
    } else {
      theResult += static_cast<char>(0xE0 | (theUnit >> 12));
      theResult += static_cast<char>(0x80 | ((theUnit >> 6) & 0x3F));
      theResult += static_cast<char>(0x80 | (theUnit & 0x3F));
    }
  }
  return theResult;
}

std::string JsToUtf8(std::string_view inText)
{
  return Utf16ToUtf8(JsToUtf16(inText));
}
