#include "platform/automation/Bstr.h"

#include "platform/base/Utf8.h"

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
  for (std::size_t i = 0; i < inText.size();) {
    // One replacement for the lead byte and the continuation bytes read with it.
    const utf8::Decoded theChar = utf8::Decode(inText.substr(i));
    utf8::AppendUtf16(theResult, theChar.mValid && !utf8::IsSurrogate(theChar.mCode) ? theChar.mCode : 0xFFFD);
    i += theChar.mUsed;
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
    } else if (utf8::IsSurrogate(theCode)) {
      theCode = 0xFFFD;
    }
    utf8::Append(theResult, theCode);
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
