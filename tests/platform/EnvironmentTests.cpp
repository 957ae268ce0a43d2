#include "platform/base/Environment.h"
#include "platform/base/LastError.h"
#include "platform/base/Version.h"
#include "platform/base/WinError.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

TEST(Environment, ExpandsKnownNamesAndKeepsTheRest)
{
  setenv("TL_ROOT", "/srv/tl", 1);
  setenv("TL_EMPTY", "", 1);
  unsetenv("TL_UNSET");
  struct Case {
    const char* mSource;
    const char* mResult;
  };
  const Case kCases[] = {
    {"%TL_ROOT%\\logs", "/srv/tl\\logs"},
    {"a%TL_EMPTY%b", "ab"},
    {"%TL_UNSET%", "%TL_UNSET%"},
    {"%TL_UNSET%TL_ROOT%", "%TL_UNSET/srv/tl"},  // the closing sign opens the next name
    {"100%", "100%"},
    {"%TL_ROOT", "%TL_ROOT"},
    {"", ""},
  };
  for (const Case& theCase : kCases) {
    char theBuffer[128];
    DWORD theNeeded = ExpandEnvironmentStringsA(theCase.mSource, theBuffer, sizeof(theBuffer));
    EXPECT_EQ(theNeeded, std::strlen(theCase.mResult) + 1) << theCase.mSource;
    EXPECT_STREQ(theBuffer, theCase.mResult) << theCase.mSource;
  }
}

TEST(Environment, ShortBufferAnswersTheSizeNeeded)
{
  setenv("TL_ROOT", "/srv/tl", 1);
  char theBuffer[8] = "xxxxxxx";
  EXPECT_EQ(ExpandEnvironmentStringsA("%TL_ROOT%/x", theBuffer, sizeof(theBuffer)), 10u);
  EXPECT_STREQ(theBuffer, "xxxxxxx");
  EXPECT_EQ(ExpandEnvironmentStringsA("%TL_ROOT%/x", nullptr, 0), 10u);
  SetLastError(0);
  EXPECT_EQ(ExpandEnvironmentStringsA(nullptr, theBuffer, sizeof(theBuffer)), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Environment, ComputerNameIsTheHostNameUpToItsFirstDot)
{
  char theHost[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(gethostname(theHost, sizeof(theHost) - 1), 0);
  std::string theExpected(theHost);
  theExpected = theExpected.substr(0, theExpected.find('.'));

  char theName[HOST_NAME_MAX + 1];
  DWORD theSize = sizeof(theName);
  ASSERT_TRUE(GetComputerNameA(theName, &theSize));
  EXPECT_EQ(std::string(theName), theExpected);
  // No room for the NUL.
  SetLastError(0);
  EXPECT_FALSE(GetComputerNameA(theName, &theSize));
  EXPECT_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(theSize, theExpected.size() + 1);
}

TEST(Version, ReportsNT61InBothRecords)
{
  OSVERSIONINFOEXA theExtended{};
  theExtended.dwOSVersionInfoSize = sizeof(theExtended);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&theExtended)));
  EXPECT_EQ(theExtended.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(theExtended.dwMajorVersion * 10 + theExtended.dwMinorVersion, 61u);
  EXPECT_EQ(theExtended.wProductType, VER_NT_SERVER);

  OSVERSIONINFOA theWrong{};
  theWrong.dwOSVersionInfoSize = 12;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExA(&theWrong));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}
