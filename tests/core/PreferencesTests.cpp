#include "core/Preferences.h"
#include "platform/base/TessalineHome.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void EmptyRegistry()
{
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreferenceKey);
}

// Stores raw bytes of any type under a preference name.
void StoreRaw(const char* inName, DWORD inType, const std::string& inBytes)
{
  HKEY theKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPreferenceKey, 0, nullptr, 0, KEY_WRITE, nullptr, &theKey, nullptr),
            0);
  ASSERT_EQ(RegSetValueExA(theKey, inName, 0, inType, reinterpret_cast<const BYTE*>(inBytes.data()),
                           static_cast<DWORD>(inBytes.size())),
            0);
  RegCloseKey(theKey);
}

std::string StoredType(const char* inName, DWORD& outSize)
{
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreferenceKey, 0, KEY_READ, &theKey) != 0)
    return "no key";
  DWORD theType = 0;
  outSize = 0;
  LONG theStatus = RegQueryValueExA(theKey, inName, nullptr, &theType, nullptr, &outSize);
  RegCloseKey(theKey);
  return theStatus == 0 ? std::to_string(theType) : "missing";
}

}  // namespace

TEST(Preferences, ReadDefaultsAndWhatWasWritten)
{
  EmptyRegistry();
  EXPECT_EQ(PreferenceKey(), "SOFTWARE\\Quillbright\\Tessaline\\4.0.5");
  for (const Preference& thePreference : kPreferences) {
    SCOPED_TRACE(thePreference.mName);
    if (thePreference.mType == PreferenceType::kText) {
      const char* theDefault = thePreference.mDefaultText ? thePreference.mDefaultText : "default";
      EXPECT_EQ(GetPrefString(thePreference.mName, theDefault, 260), theDefault);
      const std::string theValue = std::string("/srv/") + thePreference.mName;
      ASSERT_EQ(SetPrefString(thePreference.mName, theValue.data(), static_cast<DWORD>(theValue.size())), 0);
      EXPECT_EQ(GetPrefString(thePreference.mName, theDefault, 260), theValue);
      DWORD theSize = 0;
      EXPECT_EQ(StoredType(thePreference.mName, theSize), "3");  // REG_BINARY
      EXPECT_EQ(theSize, theValue.size());                       // no NUL
    } else {
      EXPECT_EQ(GetPrefLong(thePreference.mName, thePreference.mDefault), thePreference.mDefault);
      ASSERT_EQ(SetPrefLong(thePreference.mName, -123456), 0);
      EXPECT_EQ(GetPrefLong(thePreference.mName, thePreference.mDefault), -123456);
      DWORD theSize = 0;
      EXPECT_EQ(StoredType(thePreference.mName, theSize), "4");  // REG_DWORD
      EXPECT_EQ(theSize, 4u);
    }
  }
  ASSERT_EQ(SetPrefLong("LogErrors", 2), 0);
  EXPECT_NE(GetPrefLong("LogErrors", 0), 0);
  ASSERT_EQ(SetPrefLong("LogErrors", 0), 0);
  EXPECT_EQ(GetPrefLong("LogErrors", 1), 0);
}

TEST(Preferences, ReplaceOnlyTheBytesAValueHas)
{
  EmptyRegistry();
  struct Case {
    std::string mBytes;
    DWORD mType;
    LONG mExpected;
  };
  const LONG kDefault = 0x11223344;
  const Case kCases[] = {
    {std::string("\xAA", 1), 3, 0x112233AA}, {std::string("\xAA\xBB", 2), 3, 0x1122BBAA},
    {std::string("\xAA\xBB\xCC", 3), 3, 0x11CCBBAA}, {std::string("\x01\x00\x00\x00", 4), 3, 1},
    {std::string("\x01\x02\x03\x04\x05", 5), 3, kDefault},
    {std::string("12\0", 3), 1, 0x11003231},  // any type is read as bytes
  };
  for (const Case& theCase : kCases) {
    StoreRaw("MaxSize", theCase.mType, theCase.mBytes);
    EXPECT_EQ(GetPrefLong("MaxSize", kDefault), theCase.mExpected) << theCase.mBytes.size() << " bytes";
  }
}

TEST(Preferences, ReadTextsWithinTheirSize)
{
  EmptyRegistry();
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", nullptr, 10), "");
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "0123456789abc", 10), "012345678");

  ASSERT_EQ(SetPrefString("ColorProfileDirectory", "123456789", 9), 0);
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "dflt", 10), "123456789");
  // A text of exactly the size (no room for its NUL) keeps the default.
  ASSERT_EQ(SetPrefString("ColorProfileDirectory", "1234567890", 10), 0);
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "dflt", 10), "dflt");
  // An empty value reads as the default too.
  ASSERT_EQ(SetPrefString("ColorProfileDirectory", "", 0), 0);
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "dflt", 10), "dflt");
  // A REG_SZ written by hand, with its NUL, reads the same.
  StoreRaw("ColorProfileDirectory", 1, std::string("/icc\0", 5));
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "dflt", 10), "/icc");

  std::vector<BYTE> theData;
  EXPECT_EQ(GetPrefData("ColorProfileDirectory", theData), 0);
  EXPECT_EQ(theData.size(), 5u);
  EXPECT_NE(GetPrefData("NoSuchPreference", theData), 0);
  EXPECT_TRUE(theData.empty());
}

TEST(Preferences, ExpandDirectoriesAndEndThemWithASeparator)
{
  EmptyRegistry();
  setenv("TL_PREF_TEST_ROOT", "/data/images", 1);
  struct Case {
    const char* mStored;  // null: nothing stored
    DWORD mSize;
    const char* mExpected;
  };
  const Case kCases[] = {
    {"%TL_PREF_TEST_ROOT%/icc", 260, "/data/images/icc/"}, {"%TL_PREF_TEST_ROOT%/icc/", 260, "/data/images/icc/"},
    {"%TL_PREF_NOT_SET%/icc", 260, "%TL_PREF_NOT_SET%/icc/"}, {"/a/b", 6, "/a/b/"},
    {"/a/b", 5, "/a/b"},              // no room for the separator
    {"%TL_PREF_TEST_ROOT%", 10, ""},  // the expansion does not fit
    {nullptr, 260, "/default/dir/"},
  };
  for (const Case& theCase : kCases) {
    if (theCase.mStored)
      ASSERT_EQ(
        SetPrefString("ColorProfileDirectory", theCase.mStored, static_cast<DWORD>(std::strlen(theCase.mStored))), 0);
    else
      EmptyRegistry();
    EXPECT_EQ(GetPrefDirectory("ColorProfileDirectory", "/default/dir", theCase.mSize), theCase.mExpected)
      << (theCase.mStored ? theCase.mStored : "(none)") << " in " << theCase.mSize;
  }
  const std::string theLong(258, 'd');
  ASSERT_EQ(SetPrefString("ColorProfileDirectory", theLong.data(), 258), 0);
  EXPECT_EQ(GetPrefDirectory("ColorProfileDirectory", "", 300), theLong + "/");
  const std::string theLonger(259, 'd');
  ASSERT_EQ(SetPrefString("ColorProfileDirectory", theLonger.data(), 259), 0);
  EXPECT_EQ(GetPrefDirectory("ColorProfileDirectory", "", 300), theLonger);
}

TEST(Preferences, PutLogsInTheHomeUnlessTold)
{
  EmptyRegistry();
  std::string theHome;
  ASSERT_EQ(GetTessalineHome(theHome), 0u);
  EXPECT_EQ(GetDefaultLogDirectory(), theHome + "/logs/");
  const std::string theDirectory = "/var/log/tessaline";
  ASSERT_EQ(SetPrefString("LogDirectory", theDirectory.data(), static_cast<DWORD>(theDirectory.size())), 0);
  EXPECT_EQ(GetDefaultLogDirectory(), "/var/log/tessaline/");
}

TEST(Preferences, RunOnDefaultsWhenTheRegistryCannotBeRead)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  ASSERT_EQ(SetPrefLong("MaxSize", 5), 0);
  tltest::ChildResult theChild = tltest::RunAsNobody([] { return GetPrefLong("MaxSize", 2000) == 2000 ? 0 : 1; });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
}
