#include "platform/automation/Bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t kMaxBytes = 0x7FFFFFFFu;

// The block: a 32-bit byte count, the characters, a 16-bit NUL.
BSTR AllocateBytes(std::uint64_t inBytes)
{
  if (inBytes > kMaxBytes)
    return nullptr;
  auto* theBlock = static_cast<std::uint8_t*>(std::malloc(sizeof(std::uint32_t) + inBytes + sizeof(OLECHAR)));
  if (!theBlock)
    return nullptr;
  std::uint32_t theLength = static_cast<std::uint32_t>(inBytes);
  std::memcpy(theBlock, &theLength, sizeof theLength);
  std::memset(theBlock + sizeof theLength + inBytes, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(theBlock + sizeof theLength);
}

std::uint8_t* BlockOf(BSTR inText)
{
  return reinterpret_cast<std::uint8_t*>(inText) - sizeof(std::uint32_t);
}

void AppendUtf8(std::string& ioText, char32_t inCode)
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

}  // namespace

BSTR SysAllocString(LPCOLESTR inText)
{
  if (!inText)
    return nullptr;
  std::size_t theLength = std::char_traits<char16_t>::length(inText);
  if (theLength > kMaxBytes / 2)
    return nullptr;
  return SysAllocStringLen(inText, static_cast<UINT>(theLength));
}

BSTR SysAllocStringLen(LPCOLESTR inText, UINT inLength)
{
  BSTR theText = AllocateBytes(std::uint64_t{inLength} * 2);
  if (theText && inText)
    std::memcpy(theText, inText, std::size_t{inLength} * 2);
  return theText;
}

BSTR SysAllocStringByteLen(const char* inBytes, UINT inLength)
{
  BSTR theText = AllocateBytes(inLength);
  if (theText && inBytes)
    std::memcpy(theText, inBytes, inLength);
  return theText;
}

INT SysReAllocString(BSTR* ioText, LPCOLESTR inText)
{
  if (!ioText)
    return FALSE;
  std::size_t theLength = inText ? std::char_traits<char16_t>::length(inText) : 0;
  if (theLength > kMaxBytes / 2)
    return FALSE;
  return SysReAllocStringLen(ioText, inText, static_cast<UINT>(theLength));
}

INT SysReAllocStringLen(BSTR* ioText, LPCOLESTR inText, UINT inLength)
{
  if (!ioText)
    return FALSE;
  // Copy first: inText may point into the old text.
  BSTR theNew = SysAllocStringLen(inText, inLength);
  if (!theNew)
    return FALSE;
  SysFreeString(*ioText);
  *ioText = theNew;
  return TRUE;
}

void SysFreeString(BSTR inText)
{
  if (inText)
    std::free(BlockOf(inText));
}

UINT SysStringByteLen(BSTR inText)
{
  if (!inText)
    return 0;
  std::uint32_t theLength;
  std::memcpy(&theLength, BlockOf(inText), sizeof theLength);
  return theLength;
}

UINT SysStringLen(BSTR inText)
{
  return SysStringByteLen(inText) / 2;
}

std::u16string Utf8ToUtf16(std::string_view inText)
{
  std::u16string theResult;
  theResult.reserve(inText.size());
  std::size_t i = 0;
  while (i < inText.size()) {
    auto theLead = static_cast<std::uint8_t>(inText[i]);
    char32_t theCode = 0;
    std::size_t theCount = 0;
    char32_t theMinimum = 0;
    if (theLead < 0x80) {
      theResult += static_cast<char16_t>(theLead);
      ++i;
      continue;
    } else if (theLead >= 0xC2 && theLead <= 0xDF) {
      theCode = theLead & 0x1F;
      theCount = 1;
      theMinimum = 0x80;
    } else if (theLead >= 0xE0 && theLead <= 0xEF) {
      theCode = theLead & 0x0F;
      theCount = 2;
      theMinimum = 0x800;
    } else if (theLead >= 0xF0 && theLead <= 0xF4) {
      theCode = theLead & 0x07;
      theCount = 3;
      theMinimum = 0x10000;
    } else {
      theResult += u'\uFFFD';
      ++i;
      continue;
    }
    std::size_t theUsed = 1;
    bool theValid = true;
    for (; theUsed <= theCount; ++theUsed) {
      if (i + theUsed >= inText.size() || (static_cast<std::uint8_t>(inText[i + theUsed]) & 0xC0) != 0x80) {
        theValid = false;
        break;
      }
      theCode = (theCode << 6) | (static_cast<std::uint8_t>(inText[i + theUsed]) & 0x3F);
    }
    if (theValid && (theCode < theMinimum || theCode > 0x10FFFF || (theCode >= 0xD800 && theCode <= 0xDFFF)))
      theValid = false;
    if (!theValid) {
      // One replacement for the lead byte and the continuation bytes read with it.
      theResult += u'\uFFFD';
      i += theUsed;
      continue;
    }
    if (theCode >= 0x10000) {
      theCode -= 0x10000;
      theResult += static_cast<char16_t>(0xD800 + (theCode >> 10));
      theResult += static_cast<char16_t>(0xDC00 + (theCode & 0x3FF));
    } else {
      theResult += static_cast<char16_t>(theCode);
    }
    i += theCount + 1;
  }
  return theResult;
}

std::string Utf16ToUtf8(std::u16string_view inText)
{
  std::string theResult;
  theResult.reserve(inText.size());
  for (std::size_t i = 0; i < inText.size(); ++i) {
    char32_t theCode = inText[i];
    if (theCode >= 0xD800 && theCode <= 0xDBFF && i + 1 < inText.size() && inText[i + 1] >= 0xDC00 &&
        inText[i + 1] <= 0xDFFF) {
      theCode = 0x10000 + ((theCode - 0xD800) << 10) + (inText[i + 1] - 0xDC00);
      ++i;
    } else if (theCode >= 0xD800 && theCode <= 0xDFFF) {
      theCode = 0xFFFD;
    }
    AppendUtf8(theResult, theCode);
  }
  return theResult;
}

BSTR Utf8ToBstr(std::string_view inText)
{
  std::u16string theWide = Utf8ToUtf16(inText);
  if (theWide.size() > kMaxBytes / 2)
    return nullptr;
  return SysAllocStringLen(theWide.data(), static_cast<UINT>(theWide.size()));
}

std::string BstrToUtf8(BSTR inText)
{
  return Utf16ToUtf8(BstrView(inText));
}
