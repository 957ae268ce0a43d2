#include "core/Utf8.h"

namespace utf8 {

std::u16string ToUtf16(std::string_view inText)
{
  constexpr char16_t kReplacement = 0xFFFD;
  std::u16string theResult;
  theResult.reserve(inText.size());
  std::size_t theAt = 0;
  while (theAt < inText.size()) {
    const unsigned char theLead = static_cast<unsigned char>(inText[theAt]);
    std::size_t theLength = theLead < 0x80 ? 1 : theLead >= 0xC2 && theLead < 0xE0 ? 2
                          : theLead >= 0xE0 && theLead < 0xF0                       ? 3
                          : theLead >= 0xF0 && theLead < 0xF5                       ? 4
                                                                                    : 0;
    char32_t theCode = theLength == 1 ? theLead : theLength == 2 ? theLead & 0x1F : theLength == 3 ? theLead & 0x0F : theLead & 0x07;
    bool theValid = theLength > 0 && theAt + theLength <= inText.size();
    for (std::size_t i = 1; theValid && i < theLength; ++i) {
      const unsigned char theByte = static_cast<unsigned char>(inText[theAt + i]);
      theValid = (theByte & 0xC0) == 0x80;
      theCode = (theCode << 6) | (theByte & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
    if (theValid && ((theLength == 3 && (theCode < 0x800 || (theCode >= 0xD800 && theCode < 0xE000))) ||
                     (theLength == 4 && (theCode < 0x10000 || theCode > 0x10FFFF))))
      theValid = false;
    if (!theValid) {
      theResult += kReplacement;
      ++theAt;
      continue;
    }
    if (theCode >= 0x10000) {
      theCode -= 0x10000;
      theResult += static_cast<char16_t>(0xD800 + (theCode >> 10));
      theResult += static_cast<char16_t>(0xDC00 + (theCode & 0x3FF));
    } else {
      theResult += static_cast<char16_t>(theCode);
    }
    theAt += theLength;
  }
  return theResult;
}

}  // namespace utf8
