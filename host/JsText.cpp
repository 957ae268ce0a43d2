#include "host/JsText.h"

#include "platform/automation/Bstr.h"
#include "platform/base/Utf8.h"

std::u16string JsToUtf16(std::string_view inText)
{
  std::u16string theResult;
  theResult.reserve(inText.size());
  for (std::size_t i = 0; i < inText.size();) {
    // A fault replaces its lead byte alone; surrogates pass as they are.
    const utf8::Decoded theChar = utf8::Decode(inText.substr(i));
    utf8::AppendUtf16(theResult, theChar.mValid ? theChar.mCode : 0xFFFD);
    i += theChar.mValid ? theChar.mUsed : 1;
  }
  return theResult;
}

std::string Utf16ToJs(std::u16string_view inText)
{
  std::string theResult;
  theResult.reserve(inText.size());
  for (char16_t theUnit : inText)
    utf8::Append(theResult, theUnit);
  return theResult;
}

std::string JsToUtf8(std::string_view inText)
{
  return Utf16ToUtf8(JsToUtf16(inText));
}
