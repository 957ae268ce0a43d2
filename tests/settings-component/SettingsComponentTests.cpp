// The settings component in-process, registered with tlregsvr and driven by
// tlscript pages, while this process reads what the pages wrote.

#include "core/Preferences.h"
#include "core/TimedLog.h"
#include "platform/automation/ClassFactory.h"
#include "platform/base/Numbers.h"
#include "platform/registry/Registry.h"
#include "settings-component/Settings.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

using tltest::RunProgram;
using tltest::RunResult;

constexpr CLSID kSettingsClass = TL_GUID("{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}");

std::vector<std::string> PageCommand(const std::string& inPage, const std::vector<std::string>& inArgs = {})
{
  std::vector<std::string> theCommand{TL_TLSCRIPT, inPage};
  theCommand.insert(theCommand.end(), inArgs.begin(), inArgs.end());
  return theCommand;
}

std::string TestPage(const std::string& inName)
{
  return std::string(TL_PAGES_DIR) + "/" + inName;
}

const std::string kExamplePage = std::string(TL_EXAMPLES_DIR) + "/preferences.js";

void Register()
{
  RunResult theResult = RunProgram({TL_TLREGSVR, TL_SETTINGS_COMPONENT});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
}

// The type and bytes of a preference as stored.
std::pair<DWORD, std::string> StoredPreference(const char* inName)
{
  DWORD theType = REG_NONE;
  std::string theBytes;
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreferenceKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
    return {theType, theBytes};
  DWORD theSize = 0;
  if (RegQueryValueExA(theKey, inName, nullptr, &theType, nullptr, &theSize) == ERROR_SUCCESS) {
    theBytes.resize(theSize);
    RegQueryValueExA(theKey, inName, nullptr, nullptr, reinterpret_cast<BYTE*>(theBytes.data()), &theSize);
  }
  RegCloseKey(theKey);
  return {theType, theBytes};
}

Variant Real(double inValue)
{
  Variant theValue;
  theValue.Set(VT_R8).dblVal = inValue;
  return theValue;
}

class SettingsObject : public testing::Test {
protected:
  void SetUp() override
  {
    // The module stays loaded: the runtime may still hold its class factory.
    void* theLibrary = dlopen(TL_SETTINGS_COMPONENT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(theLibrary, nullptr) << dlerror();
    mGetClassObject = reinterpret_cast<GetClassObjectProc>(dlsym(theLibrary, "DllGetClassObject"));
    mCanUnloadNow = reinterpret_cast<CanUnloadNowProc>(dlsym(theLibrary, "DllCanUnloadNow"));
    ASSERT_NE(mGetClassObject, nullptr);
    ASSERT_NE(mCanUnloadNow, nullptr);
    ASSERT_EQ(mGetClassObject(kSettingsClass, IID_IClassFactory, mFactory.ReceiveVoid()), S_OK);
    ASSERT_EQ(mFactory->CreateInstance(nullptr, ISettings::kIID, mSettings.ReceiveVoid()), S_OK);
  }

  // A property get (into ioValue) or put (of ioValue) through IDispatch, by
  // name; a member's failure answers its own HRESULT.
  HRESULT Call(const char* inName, WORD inFlags, Variant& ioValue)
  {
    std::u16string theName = Utf8ToUtf16(inName);
    LPOLESTR theNames[] = {theName.data()};
    DISPID theId = DISPID_UNKNOWN, thePut = DISPID_PROPERTYPUT;
    if (HRESULT theResult = mSettings->GetIDsOfNames(IID_NULL, theNames, 1, 0, &theId); FAILED(theResult))
      return theResult;
    const UINT thePuts = inFlags == DISPATCH_PROPERTYPUT;
    DISPPARAMS theParams{thePuts ? ioValue.Get() : nullptr, thePuts ? &thePut : nullptr, thePuts, thePuts};
    EXCEPINFO theException{};
    HRESULT theResult = mSettings->Invoke(theId, IID_NULL, 0, inFlags, &theParams,
                                          thePuts ? nullptr : ioValue.Receive(), &theException, nullptr);
    if (theResult == DISP_E_EXCEPTION)
      theResult = theException.scode;
    ClearExcepInfo(&theException);
    return theResult;
  }
  HRESULT Put(const char* inName, Variant inValue) { return Call(inName, DISPATCH_PROPERTYPUT, inValue); }

  using GetClassObjectProc = HRESULT (*)(REFCLSID, REFIID, void**);
  using CanUnloadNowProc = HRESULT (*)();
  GetClassObjectProc mGetClassObject = nullptr;
  CanUnloadNowProc mCanUnloadNow = nullptr;
  ComPtr<IClassFactory> mFactory;
  ComPtr<ISettings> mSettings;
};

TEST_F(SettingsObject, ModuleCountsObjectsAndRefusesWhatItLacks)
{
  ComPtr<IUnknown> theOther;
  EXPECT_EQ(mSettings->QueryInterface(IID_ISupportErrorInfo, theOther.ReceiveVoid()), E_NOINTERFACE);
  EXPECT_EQ(mSettings->get_MaxSize(nullptr), E_POINTER);
  EXPECT_EQ(Put("QuickTime", Variant(LONG{1})), DISP_E_MEMBERNOTFOUND) << "read-only";

  EXPECT_EQ(mCanUnloadNow(), S_FALSE);
  mSettings.Reset();
  EXPECT_EQ(mCanUnloadNow(), S_OK);
  ComPtr<IClassFactory> theFactory;
  EXPECT_EQ(mGetClassObject(IID_IDispatch, IID_IClassFactory, theFactory.ReceiveVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

// Switches store 1 for any non-zero value; numbers as given; a value that
// does not convert is refused and stores nothing.
TEST_F(SettingsObject, SwitchesAndNumbersStoreWhatTheyMean)
{
  struct Case {
    const char* mName;
    const char* mLabel;
    Variant mValue;
    HRESULT mResult;
    LONG mStored;  // 77: nothing stored
  };
  const Case kCases[] = {
      {"QTImportMPEG", "65536", Variant(LONG{65536}), S_OK, 1},
      {"QTImportMPEG", "0.25", Real(0.25), S_OK, 1},
      {"QTImportMPEG", "\"True\"", Variant("True"), S_OK, 1},
      {"QTImportMPEG", "\"0\"", Variant("0"), S_OK, 0},
      {"QTImportMPEG", "\"yes\"", Variant("yes"), DISP_E_TYPEMISMATCH, 77},
      {"MaxSize", "\" 3000 \"", Variant(" 3000 "), S_OK, 3000},
      {"MaxSize", "2.5 (to even)", Real(2.5), S_OK, 2},
      {"MaxSize", "\"abc\"", Variant("abc"), DISP_E_TYPEMISMATCH, 77},
      {"MaxSize", "3e10", Real(3e10), DISP_E_OVERFLOW, 77},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mName) + " = " + theCase.mLabel);
    ASSERT_EQ(SetPrefLong(theCase.mName, 77), ERROR_SUCCESS);
    EXPECT_EQ(Put(theCase.mName, theCase.mValue), theCase.mResult);
    EXPECT_EQ(GetPrefLong(theCase.mName, -9), theCase.mStored);
    EXPECT_EQ(StoredPreference(theCase.mName).first, REG_DWORD);
  }
  EXPECT_EQ(mSettings->put_QTLoad(static_cast<VARIANT_BOOL>(2)), S_OK);
  EXPECT_EQ(GetPrefLong("UseQuickTime", -9), 1) << "QTLoad is the value UseQuickTime";
  ASSERT_EQ(SetPrefLong("LittleCMS", 2), ERROR_SUCCESS);
  VARIANT_BOOL theValue = VARIANT_FALSE;
  EXPECT_EQ(mSettings->get_LittleCMS(&theValue), S_OK);
  EXPECT_EQ(theValue, VARIANT_TRUE) << "any non-zero value reads as true";
}

TEST_F(SettingsObject, FoldersStoreTheTextOfAnyValue)
{
  setenv("TL_TEST_FOLDER", "/srv/pictures", 1);
  Variant theNull;
  theNull.Set(VT_NULL);
  Variant theTrue;
  theTrue.Set(VT_BOOL).boolVal = VARIANT_TRUE;
  const std::string theDefaultLogs = tltest::TestHome() + "/logs/";
  struct Case {
    const char* mLabel;
    Variant mValue;
    HRESULT mResult;
    const char* mStored;  // the bytes stored, without a NUL; null: nothing stored
    std::string mRead;    // what LogDirectory reads back
  };
  const Case kCases[] = {
      {"a path", Variant("/var/log/tessaline"), S_OK, "/var/log/tessaline", "/var/log/tessaline/"},
      {"a variable", Variant("%TL_TEST_FOLDER%/logs/"), S_OK, "%TL_TEST_FOLDER%/logs/", "/srv/pictures/logs/"},
      {"a boolean", Variant(theTrue), S_OK, "-1", "-1/"},
      {"a NUL inside", Variant(std::string_view("/tmp\0/x", 7)), S_OK, "/tmp", "/tmp/"},
      {"empty text", Variant(""), S_OK, "", theDefaultLogs},
      {"null", Variant(theNull), DISP_E_TYPEMISMATCH, nullptr, "/before/"},
  };
  for (const Case& theCase : kCases) {
    for (const char* theName : {"LogDirectory", "ColorProfileDirectory"}) {
      SCOPED_TRACE(std::string(theName) + ": " + theCase.mLabel);
      ASSERT_EQ(SetPrefString(theName, "/before", 7), ERROR_SUCCESS);
      EXPECT_EQ(Put(theName, theCase.mValue), theCase.mResult);
      EXPECT_EQ(StoredPreference(theName), std::make_pair(DWORD{REG_BINARY}, std::string(theCase.mStored ? theCase.mStored : "/before")));
      Variant theRead;
      EXPECT_EQ(Call(theName, DISPATCH_PROPERTYGET, theRead), S_OK);
      ASSERT_EQ(theRead.Type(), VT_BSTR);
      const bool theEmptyDefault = std::string_view(theName) == "ColorProfileDirectory" && theCase.mRead == theDefaultLogs;
      EXPECT_EQ(BstrToUtf8(theRead->bstrVal), theEmptyDefault ? "" : theCase.mRead);
    }
  }
  EXPECT_EQ(GetLogDirectory(), "/before/") << "the core reads what the component stored";
}

// Every key of both trees, HKEY_LOCAL_MACHINE's marked "HKLM\".
std::set<std::string> AllKeys()
{
  std::set<std::string> theKeys = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  for (const std::string& theKey : tltest::RegistryKeys(HKEY_LOCAL_MACHINE))
    theKeys.insert("HKLM\\" + theKey);
  return theKeys;
}

TEST(SettingsRegistration, RegistersAndUnregistersEveryKey)
{
  const std::set<std::string> theBefore = AllKeys();
  Register();
  const std::string theClassKey = "CLSID\\{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}";
  const std::string theLibrary = "TypeLib\\{5F3AEF64-4D3B-4EFB-81BA-977B8C902A00}";
  const std::string theInterface = "Interface\\{44CFF5F4-8A98-4F8A-A852-32E37A142681}";
  char theModule[PATH_MAX];
  ASSERT_NE(realpath(TL_SETTINGS_COMPONENT, theModule), nullptr);
  const std::string kValues[][3] = {
      {"TLUtilities4.Settings.1\\CLSID", "", "{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}"},
      {"TLUtilities4.Settings\\CurVer", "", "TLUtilities4.Settings.1"},
      {theClassKey + "\\InprocServer32", "", theModule},
      {theClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {theClassKey + "\\InprocServer32", "Synchronization", "(missing)"},
      {theClassKey + "\\TypeLib", "", "{5F3AEF64-4D3B-4EFB-81BA-977B8C902A00}"},
      {theLibrary + "\\1.0\\0\\win32", "", theModule},
  };
  for (const auto& [theKey, theName, theValue] : kValues)
    EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, theKey, theName), theValue) << theKey << " " << theName;

  // The whole set of new keys: nothing under HKEY_LOCAL_MACHINE (no
  // preferences, no event source).
  const std::set<std::string> theRegistered = AllKeys();
  std::set<std::string> theNew;
  std::set_difference(theRegistered.begin(), theRegistered.end(), theBefore.begin(), theBefore.end(),
                      std::inserter(theNew, theNew.end()));
  const std::set<std::string> kNew = {
      "CLSID", theClassKey, theClassKey + "\\InprocServer32", theClassKey + "\\ProgID",
      theClassKey + "\\Programmable", theClassKey + "\\TypeLib", theClassKey + "\\VersionIndependentProgID",
      "Interface", theInterface, theInterface + "\\TypeLib", "TLUtilities4.Settings",
      "TLUtilities4.Settings\\CLSID", "TLUtilities4.Settings\\CurVer", "TLUtilities4.Settings.1",
      "TLUtilities4.Settings.1\\CLSID", "TypeLib", theLibrary, theLibrary + "\\1.0", theLibrary + "\\1.0\\0",
      theLibrary + "\\1.0\\0\\win32", theLibrary + "\\1.0\\FLAGS", theLibrary + "\\1.0\\HELPDIR",
  };
  EXPECT_EQ(theNew, kNew);
  Register();
  EXPECT_EQ(AllKeys(), theRegistered) << "twice gives the same keys";

  RunResult theResult = RunProgram({TL_TLREGSVR, "-u", TL_SETTINGS_COMPONENT});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theAfter = AllKeys();
  for (const char* theRoot : {"CLSID", "TypeLib", "Interface"})  // shared roots may stay
    if (!theBefore.count(theRoot))
      theAfter.erase(theRoot);
  EXPECT_EQ(theAfter, theBefore);
  EXPECT_EQ(tltest::ExportedSymbols(TL_SETTINGS_COMPONENT),
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                   "DllUnregisterServer"}));
}

class SettingsPages : public testing::Test {
protected:
  void SetUp() override { Register(); }
};

TEST_F(SettingsPages, TheExamplePageListsEveryDefault)
{
  RunResult theResult = RunProgram(PageCommand(kExamplePage));
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mErr, "");
  const std::pair<const char*, std::string> kDefaults[] = {
      {"QuickTime", "QuickTime Not Installed (-2096)"}, {"LogErrors", "false"}, {"MaxSize", "2000"},
      {"EnableImpersonation", "false"}, {"AutoRecover", "true"}, {"IJLImport", "true"}, {"IJLExport", "true"},
      {"IMImport", "true"}, {"IMExport", "true"}, {"IMInfo", "true"}, {"QTLoad", "true"}, {"QTUnload", "false"},
      {"QTUnloadPeriod", "10000"}, {"QTImport", "true"}, {"QTExport", "true"}, {"QTInfo", "true"},
      {"QTMemoryIP", "true"}, {"QTMemoryOP", "true"}, {"QTImportMovies", "false"}, {"QTImportMPEG", "false"},
      {"QTInfoMovies", "false"}, {"IPLTransform", "true"}, {"LogOperations", "false"}, {"MaxOperationTime", "1000"},
      {"LogDirectory", tltest::TestHome() + "/logs/"}, {"LogMaxFileSize", "65535"}, {"LittleCMS", "true"},
      {"ColorProfileDirectory", "(empty)"},
  };
  std::string theExpected = "Tessaline preferences\n";
  for (const auto& [theName, theValue] : kDefaults)
    theExpected += FormatC("  %-24s%s\n", theName, theValue.c_str());
  EXPECT_EQ(theResult.mOut, theExpected);
  EXPECT_EQ(StoredPreference("MaxSize").first, REG_NONE) << "reading stores nothing";
}

TEST_F(SettingsPages, TheExamplePageSetsOnePreferenceOrExplainsTheMistake)
{
  struct Case {
    std::vector<std::string> mArgs;
    const char* mTail;  // success: the end of the output; failure: the start of the error
    const char* mName = nullptr;  // the registry value set; null: the page fails
    LONG mStored = 0;
  };
  const Case kCases[] = {
      {{"maxsize", "-1"}, "\nSet MaxSize to -1.\n  MaxSize                 -1\n", "MaxSize", -1},
      {{"QTLoad", "off"}, "\nSet QTLoad to false.\n  QTLoad                  false\n", "UseQuickTime", 0},
      {{"Colour", "red"}, "preferences.js: there is no preference \"Colour\". The preferences are QuickTime, "},
      {{"LogErrors", "maybe"}, "preferences.js: LogErrors is a switch: give true or false, not \"maybe\"."},
      {{"MaxSize"}, "preferences.js: give no arguments to list the preferences, or a name and a value"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(theCase.mArgs));
    RunResult theResult = RunProgram(PageCommand(kExamplePage, theCase.mArgs));
    if (theCase.mName) {
      EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
      EXPECT_TRUE(theResult.mOut.ends_with(theCase.mTail)) << theResult.mOut;
      EXPECT_EQ(GetPrefLong(theCase.mName, 12345), theCase.mStored);
      continue;
    }
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mOut, "");
    EXPECT_EQ(theResult.mErr.rfind(theCase.mTail, 0), 0u) << theResult.mErr;
    EXPECT_EQ(std::count(theResult.mErr.begin(), theResult.mErr.end(), '\n'), 1) << theResult.mErr;
  }
}

// A put into a store its user may only read fails with the registry's
// refusal, which the page reports instead of a change.
TEST_F(SettingsPages, TheExamplePageFailsWhenTheValueDoesNotTake)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to run the page as nobody";
  ASSERT_EQ(chmod((tltest::TestHome() + "/registry.db").c_str(), 0644), 0);
  const LONG theKept = GetPrefLong("MaxSize", 2000);
  std::vector<std::string> theCommand = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  for (const std::string& thePart : PageCommand(kExamplePage, {"MaxSize", "99"}))
    theCommand.push_back(thePart);
  RunResult theResult = RunProgram(theCommand);
  EXPECT_EQ(theResult.mStatus, 1);
  EXPECT_EQ(theResult.mErr, "preferences.js: cannot set MaxSize: Access is denied.\n");
  EXPECT_EQ(GetPrefLong("MaxSize", 2000), theKept);
  EXPECT_EQ(theResult.mOut.find("Set MaxSize"), std::string::npos) << theResult.mOut;
}

// A folder reads back expanded and with its final "/": that is the value set.
TEST_F(SettingsPages, TheExamplePageTakesFoldersAsTheyReadBack)
{
  for (const char* theFolder : {"%TL_TEST_FOLDER%/logs", "/srv/a.b (c)/", ""}) {
    RunResult theResult = RunProgram(PageCommand(kExamplePage, {"LogDirectory", theFolder}), {"TL_TEST_FOLDER=/srv"});
    EXPECT_EQ(theResult.mStatus, 0) << theFolder << ": " << theResult.mErr;
  }
}

TEST_F(SettingsPages, EveryWriteReadsBackAndIsSeenByTheCore)
{
  RunResult theResult = RunProgram(PageCommand(TestPage("write-all.js")), {"TL_TEST_FOLDER=/srv/pictures"});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut, "LogErrors=true\nMaxSize=-5\nEnableImpersonation=true\nAutoRecover=false\n"
                            "IJLImport=false\nIJLExport=false\nIMImport=false\nIMExport=false\nIMInfo=false\n"
                            "QTLoad=false\nQTUnload=true\nQTUnloadPeriod=7\nQTImport=false\nQTExport=false\n"
                            "QTInfo=false\nQTMemoryIP=false\nQTMemoryOP=false\nQTImportMovies=true\n"
                            "QTImportMPEG=true\nQTInfoMovies=true\nIPLTransform=false\nLogOperations=true\n"
                            "MaxOperationTime=0\nLogDirectory=/srv/pictures/logs here/\n"
                            "LogMaxFileSize=2147483647\nLittleCMS=false\n"
                            "ColorProfileDirectory=/srv/pictures/profiles/\n");
  // This process reads the same values at once, under the registry's names.
  const std::pair<const char*, LONG> kNumbers[] = {
      {"LogErrors", 1},       {"MaxSize", -5},           {"UseQuickTime", 0},     {"UnloadQuickTime", 1},
      {"UnloadQuickTimePeriod", 7}, {"QTInfoMovies", 1}, {"LogMaxFileSize", INT_MAX}, {"LittleCMS", 0},
  };
  for (const auto& [theName, theValue] : kNumbers) {
    EXPECT_EQ(GetPrefLong(theName, 12345), theValue) << theName;
    EXPECT_EQ(StoredPreference(theName).first, REG_DWORD) << theName;
  }
  EXPECT_EQ(GetPrefString("LogDirectory", "", 260), "%TL_TEST_FOLDER%/logs here");
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "", 260), "%TL_TEST_FOLDER%/profiles/");
}

TEST_F(SettingsPages, QuickTimeReport)
{
  const std::string theStandIn = std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_STANDIN;
  const std::pair<std::vector<std::string>, const char*> kCases[] = {
      {{"TESSALINE_QUICKTIME="}, "QuickTime Not Installed (-2096)"},
      {{"TESSALINE_QUICKTIME=/nonexistent/qt.so"}, "QuickTime Not Installed (-2096)"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=6"}, "QuickTime 6.0.0 Full Installation"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=5"}, "QuickTime 6.0.0 Incomplete Install"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=40", "TL_TEST_QUICKTIME_VERSION=6.5.2"},
       "QuickTime 6.5.2 Full Installation"},
      {{theStandIn, "TL_TEST_QUICKTIME_VERSION=six"}, "QuickTime Not Installed (-50)"},
      // A library without every entry the core calls is no QuickTime.
      {{std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_FAKE, "TL_TEST_FAKE_PARTIAL=1"},
       "QuickTime Not Installed (-2096)"},
  };
  for (const auto& [theEnvironment, theReport] : kCases) {
    SCOPED_TRACE(testing::PrintToString(theEnvironment));
    RunResult theResult = RunProgram(PageCommand(TestPage("quicktime.js")), theEnvironment);
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mOut, theReport);
  }
}

// A library whose entries point nowhere faults inside the report: each call
// fails as a script error with a fatal event, and the host goes on.
TEST_F(SettingsPages, AQuickTimeThatFaultsFailsTheCallAndTheHostServesOn)
{
  tltest::EventWatcher theEvents;
  RunResult theResult = RunProgram(PageCommand(TestPage("quicktime-twice.js")),
                                   {std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_FAKE, "TL_TEST_FAKE_WILD=1"});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut, "error 80004005\nerror 80004005\nMaxSize 2000");
  std::vector<std::string> theFaults;
  for (const tltest::Event& theEvent : theEvents.NewEvents())
    if (theEvent.mType == "Error" && theEvent.mText.find("System Error caught at line ") != std::string::npos)
      theFaults.push_back(theEvent.mText);
  EXPECT_EQ(theFaults.size(), 2u) << testing::PrintToString(theFaults);
}

TEST_F(SettingsPages, TwoProcessesWritingAtOnceLoseNothing)
{
  constexpr int kWrites = 150;
  tltest::HostProcess theFirst(PageCommand(TestPage("hammer.js"), {std::to_string(kWrites), "MaxSize", "QTUnloadPeriod"}));
  tltest::HostProcess theSecond(
      PageCommand(TestPage("hammer.js"), {std::to_string(kWrites), "MaxOperationTime", "LogMaxFileSize"}));
  for (tltest::HostProcess* theChild : {&theFirst, &theSecond}) {
    RunResult theResult = theChild->Wait();
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mOut, "lost 0");
  }
  for (const char* theName : {"MaxSize", "UnloadQuickTimePeriod", "MaxOperationTime", "LogMaxFileSize"})
    EXPECT_EQ(GetPrefLong(theName, 0), kWrites) << theName;
}

}  // namespace
