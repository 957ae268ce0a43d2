#pragma once
// GUIDs as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", read without regard
// to case and written in capitals, as the registry keys of classes, type
// libraries and categories spell them.
//
// TL_GUID("4592E792-723A-4DCD-98D4-365D4B2BAA5D") makes a GUID at compile time
// (braces optional); a malformed text does not compile.

#include "platform/base/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

namespace guid_detail {

constexpr int HexDigit(char inChar)
{
  if (inChar >= '0' && inChar <= '9')
    return inChar - '0';
  if (inChar >= 'a' && inChar <= 'f')
    return inChar - 'a' + 10;
  if (inChar >= 'A' && inChar <= 'F')
    return inChar - 'A' + 10;
  return -1;
}

}  // namespace guid_detail

// The GUID in inText (with or without braces), or nothing when it is malformed.
constexpr std::optional<GUID> ParseGuid(std::string_view inText)
{
  if (inText.size() == 38 && inText.front() == '{' && inText.back() == '}')
    inText = inText.substr(1, 36);
  if (inText.size() != 36)
    return std::nullopt;
  std::uint8_t theBytes[16] = {};
  std::size_t theIndex = 0;
  for (std::size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (inText[i] != '-')
        return std::nullopt;
      ++i;
      continue;
    }
    int theHigh = guid_detail::HexDigit(inText[i]);
    int theLow = guid_detail::HexDigit(inText[i + 1]);
    if (theHigh < 0 || theLow < 0)
      return std::nullopt;
    theBytes[theIndex++] = static_cast<std::uint8_t>(theHigh * 16 + theLow);
    i += 2;
  }
  GUID theGuid{};
  theGuid.Data1 = (std::uint32_t{theBytes[0]} << 24) | (std::uint32_t{theBytes[1]} << 16) |
                  (std::uint32_t{theBytes[2]} << 8) | theBytes[3];
  theGuid.Data2 = static_cast<std::uint16_t>((theBytes[4] << 8) | theBytes[5]);
  theGuid.Data3 = static_cast<std::uint16_t>((theBytes[6] << 8) | theBytes[7]);
  for (int i = 0; i < 8; ++i)
    theGuid.Data4[i] = theBytes[8 + i];
  return theGuid;
}

consteval GUID MakeGuid(std::string_view inText)
{
  std::optional<GUID> theGuid = ParseGuid(inText);
  if (!theGuid)
    throw "malformed GUID text";
  return *theGuid;
}

#define TL_GUID(text) (MakeGuid(text))

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};

inline bool IsEqualGUID(REFGUID inA, REFGUID inB) { return inA == inB; }
inline bool IsEqualIID(REFIID inA, REFIID inB) { return inA == inB; }
inline bool IsEqualCLSID(REFCLSID inA, REFCLSID inB) { return inA == inB; }

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals.
std::string GuidToString(REFGUID inGuid);

// Into a caller's buffer of inMax characters (39 needed with the NUL): answers
// the characters written with the NUL, or 0 when the buffer is too small.
int StringFromGUID2(REFGUID inGuid, LPOLESTR outText, int inMax);
// A new CoTaskMem string the caller frees with CoTaskMemFree.
HRESULT StringFromCLSID(REFCLSID inClassId, LPOLESTR* outText);
// The braced form only; CO_E_CLASSSTRING for anything else.
HRESULT CLSIDFromString(LPCOLESTR inText, CLSID* outClassId);
