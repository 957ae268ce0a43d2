#include "host/FormFields.h"

#include "platform/base/AsciiCase.h"
#include "platform/base/Utf8.h"

namespace {

int HexValue(char inChar)
{
  if (inChar >= '0' && inChar <= '9')
    return inChar - '0';
  if (inChar >= 'a' && inChar <= 'f')
    return inChar - 'a' + 10;
  if (inChar >= 'A' && inChar <= 'F')
    return inChar - 'A' + 10;
  return -1;
}

std::string ValidUtf8(std::string_view inBytes)
{
  std::string theText;
  theText.reserve(inBytes.size());
  for (std::size_t i = 0; i < inBytes.size();) {
    const utf8::Decoded theChar = utf8::Decode(inBytes.substr(i));
    bool theKept = theChar.mValid && !utf8::IsSurrogate(theChar.mCode);
    if (theKept)
      theText.append(inBytes.substr(i, theChar.mUsed));
    else
      utf8::Append(theText, 0xFFFD);
    i += theKept ? theChar.mUsed : 1;
  }
  return theText;
}

std::string Decode(std::string_view inEncoded)
{
  std::string theBytes;
  theBytes.reserve(inEncoded.size());
  for (std::size_t i = 0; i < inEncoded.size(); ++i) {
    char theChar = inEncoded[i];
    if (theChar == '+') {
      theBytes += ' ';
    } else if (theChar == '%' && i + 2 < inEncoded.size() && HexValue(inEncoded[i + 1]) >= 0 &&
               HexValue(inEncoded[i + 2]) >= 0) {
      theBytes += static_cast<char>(HexValue(inEncoded[i + 1]) * 16 + HexValue(inEncoded[i + 2]));
      i += 2;
    } else {
      theBytes += theChar;
    }
  }
  return ValidUtf8(theBytes);
}

}  // namespace

FormFields FormFields::Parse(std::string_view inEncoded)
{
  FormFields theFields;
  while (!inEncoded.empty()) {
    std::size_t theEnd = inEncoded.find('&');
    std::string_view thePair = inEncoded.substr(0, theEnd);
    inEncoded.remove_prefix(theEnd == std::string_view::npos ? inEncoded.size() : theEnd + 1);
    std::size_t theEquals = thePair.find('=');
    std::string theName = Decode(thePair.substr(0, theEquals));
    std::string theValue = theEquals == std::string_view::npos ? std::string() : Decode(thePair.substr(theEquals + 1));
    theFields.Add(std::move(theName), std::move(theValue));
  }
  return theFields;
}

void FormFields::Add(std::string inName, std::string inValue)
{
  if (!inName.empty())
    mFields.emplace_back(std::move(inName), std::move(inValue));
}

std::optional<std::string> FormFields::Get(std::string_view inName) const
{
  std::optional<std::string> theValue;
  for (const auto& [theName, theText] : mFields) {
    if (!EqualsIgnoringCase(theName, inName))
      continue;
    theValue = theValue ? *theValue + ", " + theText : theText;
  }
  return theValue;
}
