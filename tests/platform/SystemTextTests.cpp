#include "platform/base/LastError.h"
#include "platform/base/SystemText.h"
#include "platform/base/WinError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

std::string Hex(DWORD inCode)
{
  char theText[16];
  std::snprintf(theText, sizeof(theText), "0x%08X", inCode);
  return theText;
}

}  // namespace

TEST(SystemText, PinnedWordings)
{
  struct Case {
    DWORD mCode;
    const char* mText;
  };
  const Case kCases[] = {
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {static_cast<DWORD>(DISP_E_TYPEMISMATCH), "Type mismatch.\r\n"},
    {static_cast<DWORD>(REGDB_E_CLASSNOTREG), "Class not registered\r\n"},
  };
  for (const Case& theCase : kCases) {
    EXPECT_EQ(GetSystemText(theCase.mCode), theCase.mText) << Hex(theCase.mCode);
    char theBuffer[512];
    DWORD theLength = FormatMessageA(kFromSystem, nullptr, theCase.mCode, 0, theBuffer, sizeof(theBuffer), nullptr);
    EXPECT_EQ(theLength, std::strlen(theCase.mText)) << Hex(theCase.mCode);
    EXPECT_STREQ(theBuffer, theCase.mText) << Hex(theCase.mCode);
  }
}

// Every code our stand-ins and the system's code produce has a wording of one
// line ending in CR LF; the self-registration codes have none (callers word
// them as "IDispatch error #n").
TEST(SystemText, EveryCodeIsWordedOnOneLine)
{
  const DWORD kCodes[] = {
    0,    1,    2,    3,    4,    5,    6,    8,    13,   14,   15,   18,   19,   21,   25,   29,   30,
    31,   32,   33,   38,   39,   50,   52,   53,   80,   82,   87,   109,  110,  111,  112,  120,  122,
    123,  126,  127,  145,  148,  161,  170,  183,  206,  234,  258,  259,  267,  288,  299,  317,  487,
    534,  735,  998,  1004, 1008, 1010, 1011, 1012, 1013, 1015, 1016, 1018, 1117, 1168, 1313, 1314, 1317,
    1326, 1327, 1332, 1346, 1355, 1400, 1460, 2000,
    0x80004001u, 0x80004002u, 0x80004003u, 0x80004004u, 0x80004005u, 0x8000FFFFu, 0x80070005u, 0x80070006u,
    0x8007000Eu, 0x80070057u, 0x80040110u, 0x80040111u, 0x80040150u, 0x80040151u, 0x80040154u, 0x800401F3u,
    0x800401F8u, 0x800401F9u, 0x80020001u, 0x80020003u, 0x80020004u, 0x80020005u, 0x80020006u, 0x80020007u,
    0x80020008u, 0x80020009u, 0x8002000Au, 0x8002000Bu, 0x8002000Cu, 0x8002000Du, 0x8002000Eu, 0x8002000Fu,
    0x8002802Bu, 0x8002801Du,
  };
  for (DWORD theCode : kCodes) {
    std::string theText = GetSystemText(theCode);
    ASSERT_GT(theText.size(), 2u) << Hex(theCode);
    EXPECT_EQ(theText.substr(theText.size() - 2), "\r\n") << Hex(theCode);
    EXPECT_EQ(theText.find_first_of("\r\n"), theText.size() - 2) << Hex(theCode);
  }
  EXPECT_EQ(GetSystemText(static_cast<DWORD>(SELFREG_E_TYPELIB)), "");
  EXPECT_EQ(GetSystemText(static_cast<DWORD>(SELFREG_E_CLASS)), "");
}

// What FormatMessageA refuses: unknown codes, short buffers and every source
// but the system table; each leaves the buffer untouched.
TEST(SystemText, FormatMessageRefusals)
{
  for (DWORD theCode : {9999u, 0x80049999u, 0x8007FFFFu, 0xC0000005u}) {
    EXPECT_EQ(GetSystemText(theCode), "") << Hex(theCode);
    char theBuffer[64] = "untouched";
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, theCode, 0, theBuffer, sizeof(theBuffer), nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND) << Hex(theCode);
    EXPECT_STREQ(theBuffer, "untouched");
  }
  char theBuffer[64];
  for (DWORD theFlags : {FORMAT_MESSAGE_FROM_STRING, FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE}) {
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(theFlags, "text", ERROR_ACCESS_DENIED, 0, theBuffer, sizeof(theBuffer), nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << Hex(theFlags);
  }

  const std::string kText = "Access is denied.\r\n";
  std::memset(theBuffer, 'x', sizeof(theBuffer));
  SetLastError(0);
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_ACCESS_DENIED, 0, theBuffer, kText.size(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(theBuffer[0], 'x');
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_ACCESS_DENIED, 0, theBuffer, kText.size() + 1, nullptr),
            kText.size());
  EXPECT_EQ(std::string(theBuffer), kText);
}
