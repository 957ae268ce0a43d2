#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tessaline";

std::string ReadText(HKEY inKey, const char* inName)
{
  char theBuffer[512] = {};
  DWORD theSize = sizeof theBuffer - 1;
  DWORD theType = 0;
  if (RegQueryValueExA(inKey, inName, nullptr, &theType, reinterpret_cast<BYTE*>(theBuffer), &theSize) != 0)
    return "<missing>";
  return std::to_string(theType) + ":" + theBuffer;
}

DWORD ReadDword(HKEY inKey, const char* inName)
{
  DWORD theValue = 0xDEAD;
  DWORD theSize = sizeof theValue;
  RegQueryValueExA(inKey, inName, nullptr, nullptr, reinterpret_cast<BYTE*>(&theValue), &theSize);
  return theValue;
}

void ForgetSource()
{
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSourceKey);
}

}  // namespace

TEST(EventLog, WritesOneLineEventsCutTo1023BytesOfWholeCharacters)
{
  tltest::EventWatcher theWatcher;
  LogEvent("first line\r\nsecond %s %d\n", EVENTLOG_WARNING_TYPE, "line", 2);
  LogEvent("%s", EVENTLOG_INFORMATION_TYPE, "Tessaline Registered Successfully");
  LogEvent("%s", EVENTLOG_ERROR_TYPE, "100% sure");
  LogEvent("%s", EVENTLOG_ERROR_TYPE, std::string(2000, 'x').c_str());
  LogEvent("%s%s", EVENTLOG_ERROR_TYPE, std::string(1022, 'y').c_str(), "\xC3\xA9z");  // a letter across the limit
  const std::vector<tltest::Event> theEvents = theWatcher.NewEvents();
  ASSERT_EQ(theEvents.size(), 5u);
  EXPECT_EQ(theEvents[0].mSource, "Tessaline");
  EXPECT_EQ(theEvents[0].mCategory, "1");
  EXPECT_EQ(theEvents[0].mEventID, "4096");
  EXPECT_EQ(theEvents[0].mText, "first line  second line 2 ");
  const char* const kTypes[] = {"Warning", "Information", "Error", "Error", "Error"};
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_EQ(theEvents[i].mType, kTypes[i]) << i;
  EXPECT_EQ(theEvents[2].mText, "100% sure");
  EXPECT_EQ(theEvents[3].mText, std::string(1023, 'x'));
  EXPECT_EQ(theEvents[4].mText, std::string(1022, 'y'));
}

TEST(EventLog, RegistersTheSourceOnFirstUse)
{
  ForgetSource();
  {
    // Without a module path the source cannot be made; the event goes all the same.
    HKEY thePreferences = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreferenceKey, 0, KEY_WRITE, &thePreferences) == 0) {
      RegDeleteValueA(thePreferences, "ModulePath");
      RegCloseKey(thePreferences);
    }
    tltest::EventWatcher theWatcher;
    LogEvent("%s", EVENTLOG_INFORMATION_TYPE, "before registration");
    EXPECT_EQ(theWatcher.NewTexts(), std::vector<std::string>{"before registration"});
    EXPECT_NE(EventSourceExists(nullptr, "Tessaline"), 0);
  }

  ASSERT_EQ(WriteModulePath(), 0);
  std::string thePath;
  ASSERT_EQ(ReadModulePath(nullptr, thePath), 0);
  // The tests link the core statically: the module is the test program.
  EXPECT_EQ(thePath, std::filesystem::canonical("/proc/self/exe").string());

  LogEvent("%s", EVENTLOG_INFORMATION_TYPE, "after registration");
  ASSERT_EQ(EventSourceExists(nullptr, "Tessaline"), 0);
  HKEY theKey = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_READ, &theKey), 0);
  EXPECT_EQ(ReadDword(theKey, "CategoryCount"), 1u);
  EXPECT_EQ(ReadText(theKey, "CategoryMessageFile"), "1:" + thePath);
  EXPECT_EQ(ReadText(theKey, "EventMessageFile"), "1:" + thePath);
  EXPECT_EQ(ReadDword(theKey, "TypesSupported"), 7u);
  RegCloseKey(theKey);

  EXPECT_EQ(EventSourceExists(nullptr, std::string(65, 's').c_str()), 13);
  EXPECT_EQ(EventSourceExists("elsewhere.example", "Tessaline"), static_cast<LONG>(ERROR_BAD_NETPATH));
  EXPECT_EQ(WriteEventLog("elsewhere.example", "Tessaline", "lost", EVENTLOG_ERROR_TYPE), ERROR_BAD_NETPATH);
}

TEST(EventLog, ReportsAssertionsAndGoesOn)
{
  tltest::EventWatcher theWatcher;
  ReportAssertion("/work/core/Preferences.cpp", 77, "comErr");
  ReportAssertion("Paleteer.cpp", 5, std::string(400, 'e').c_str());
  const int theLine = __LINE__ + 1;
  TL_ASSERT(theLine == 0);
  TL_ASSERT(theLine > 0);
  // A parser's assertion does not change its result.
  LONG theValue = 0;
  EXPECT_TRUE(ParseLong("-2147483648", theValue));
  EXPECT_EQ(theValue, -2147483647 - 1);

  std::vector<tltest::Event> theEvents = theWatcher.NewEvents();
  ASSERT_EQ(theEvents.size(), 4u);
  EXPECT_EQ(theEvents[0].mType, "Error");
  EXPECT_EQ(theEvents[0].mText, "Assertion Failed in Preferences line 77 (comErr)");
  const std::string thePrefix = "Assertion Failed in Paleteer line 5 (";
  EXPECT_EQ(theEvents[1].mText, thePrefix + std::string(255 - thePrefix.size(), 'e'));
  EXPECT_EQ(theEvents[2].mText,
            "Assertion Failed in EventLogTests line " + std::to_string(theLine) + " (theLine == 0)");
  EXPECT_EQ(theEvents[3].mText.rfind("Assertion Failed in Utilities line ", 0), 0u);
  EXPECT_NE(theEvents[3].mText.find(" (theVal != LONG_MIN)"), std::string::npos);
}

TEST(EventLog, EndsTheProcessOnAFatalErrorUnlessAutoRecover)
{
  // Never set: the default for this system is to recover.
  EXPECT_EQ(LogFatalEvent("recovered by default", EVENTLOG_ERROR_TYPE), S_OK);

  ASSERT_EQ(SetPrefLong("AutoRecover", 1), 0);
  tltest::EventWatcher theWatcher;
  EXPECT_EQ(LogFatalEvent("System Error 100% fatal", EVENTLOG_ERROR_TYPE), S_OK);
  EXPECT_EQ(theWatcher.NewTexts(), std::vector<std::string>{"System Error 100% fatal"});

  // The ending removes the process's delete-on-close files: the child logs its own's path.
  tltest::ChildResult theChild = tltest::RunInChild([] {
    std::string theScratch;
    HANDLE theFile = INVALID_HANDLE_VALUE;
    if (SetPrefLong("AutoRecover", 0) != 0 || !CreateTempFile(true, "tmp", theFile, &theScratch))
      return 3;
    LogFatalEvent(theScratch.c_str(), EVENTLOG_ERROR_TYPE);
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 1);
  std::vector<std::string> theTexts = theWatcher.NewTexts();
  ASSERT_EQ(theTexts.size(), 2u);
  EXPECT_FALSE(theTexts[1].empty());
  EXPECT_FALSE(std::filesystem::exists(theTexts[1])) << "the temporary file " << theTexts[1] << " outlived the process";
  EXPECT_EQ(GetPrefLong("AutoRecover", 1), 0);
}
