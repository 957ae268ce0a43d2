#pragma once
// BSTR: UTF-16 text with its byte length stored in the four bytes before the
// first character and a NUL after the last. A null BSTR is the empty text.
// Every BSTR handed out is allocated here and freed with SysFreeString.
//
// Text handed to the library as "ANSI" is UTF-8. The conversions never fail:
// an invalid UTF-8 sequence and a lone surrogate each become U+FFFD.

#include "platform/automation/Guid.h"

#include <string>
#include <string_view>

using BSTR = OLECHAR*;

// Lengths are UINT as the interface has them; texts longer than 2^31 - 1
// bytes are refused (null).
BSTR SysAllocString(LPCOLESTR inText);
BSTR SysAllocStringLen(LPCOLESTR inText, UINT inLength);  // inText may be null: uninitialised characters
BSTR SysAllocStringByteLen(const char* inBytes, UINT inLength);
// Replaces *ioText with a copy of inText (which may overlap it): TRUE on success.
INT SysReAllocString(BSTR* ioText, LPCOLESTR inText);
INT SysReAllocStringLen(BSTR* ioText, LPCOLESTR inText, UINT inLength);
void SysFreeString(BSTR inText);
UINT SysStringLen(BSTR inText);      // characters
UINT SysStringByteLen(BSTR inText);  // bytes

std::u16string Utf8ToUtf16(std::string_view inText);
std::string Utf16ToUtf8(std::u16string_view inText);

// A new BSTR (null only when memory runs out, or for a text past the limit).
BSTR Utf8ToBstr(std::string_view inText);
std::string BstrToUtf8(BSTR inText);
inline std::u16string_view BstrView(BSTR inText)
{
  return inText ? std::u16string_view(inText, SysStringLen(inText)) : std::u16string_view();
}

// Owns one BSTR.
class Bstr {
public:
  Bstr() = default;
  explicit Bstr(std::string_view inUtf8) : mText(Utf8ToBstr(inUtf8)) {}
  explicit Bstr(std::u16string_view inText)
      : mText(SysAllocStringLen(inText.data(), static_cast<UINT>(inText.size())))
  {
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& ioOther) noexcept : mText(ioOther.Detach()) {}
  Bstr& operator=(Bstr&& ioOther) noexcept
  {
    if (this != &ioOther)
      Attach(ioOther.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(mText); }

  BSTR Get() const { return mText; }
  BSTR* Receive()
  {
    Attach(nullptr);
    return &mText;
  }
  void Attach(BSTR inText)
  {
    SysFreeString(mText);
    mText = inText;
  }
  BSTR Detach()
  {
    BSTR theText = mText;
    mText = nullptr;
    return theText;
  }
  std::string ToUtf8() const { return BstrToUtf8(mText); }
  std::u16string_view View() const { return BstrView(mText); }

private:
  BSTR mText = nullptr;
};
