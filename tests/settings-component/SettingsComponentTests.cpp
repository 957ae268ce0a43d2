// The settings component: loaded in-process as a host loads it, registered
// with tlregsvr, and driven by tlscript pages (the example page among them)
// in the test's fresh TESSALINE_HOME, while this process reads what the pages
// wrote through the core's own preference functions.

#include "core/Preferences.h"
#include "core/TimedLog.h"
#include "platform/automation/ClassFactory.h"
#include "platform/registry/RegistryKey.h"
#include "settings-component/Settings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

extern char** environ;

namespace {

constexpr CLSID kSettingsClass = TL_GUID("{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}");

// --- Running the hosts ----------------------------------------------------------

struct RunResult {
  int mStatus = -1;  // exit status, or -1 when killed by a signal
  std::string mOut;
  std::string mErr;
};

std::string ReadFile(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::ostringstream theText;
  theText << theFile.rdbuf();
  return theText.str();
}

// A program started with the test's environment changed by inExtra
// ("NAME=value" replaces or adds NAME), its output going to files in a folder
// of its own.
class Child {
public:
  Child(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra = {})
    : mFolder(tltest::MakeTempFolder("run"))
  {
    posix_spawn_file_actions_t theActions;
    posix_spawn_file_actions_init(&theActions);
    posix_spawn_file_actions_addopen(&theActions, 1, (mFolder + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&theActions, 2, (mFolder + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> theEnvironment;
    auto theNameOf = [](const std::string& inEntry) { return inEntry.substr(0, inEntry.find('=')); };
    for (char** theEntry = environ; *theEntry; ++theEntry) {
      std::string theText = *theEntry;
      if (std::none_of(inExtra.begin(), inExtra.end(),
                       [&](const std::string& inOther) { return theNameOf(inOther) == theNameOf(theText); }))
        theEnvironment.push_back(theText);
    }
    theEnvironment.insert(theEnvironment.end(), inExtra.begin(), inExtra.end());
    std::vector<char*> theEnvp;
    for (std::string& theEntry : theEnvironment)
      theEnvp.push_back(theEntry.data());
    theEnvp.push_back(nullptr);
    std::vector<std::string> theArgs = inCommand;
    std::vector<char*> theArgv;
    for (std::string& theArg : theArgs)
      theArgv.push_back(theArg.data());
    theArgv.push_back(nullptr);
    if (posix_spawn(&mChild, theArgv[0], &theActions, nullptr, theArgv.data(), theEnvp.data()) != 0)
      mChild = 0;
    posix_spawn_file_actions_destroy(&theActions);
  }

  RunResult Wait()
  {
    RunResult theResult;
    int theStatus = 0;
    if (mChild > 0 && waitpid(mChild, &theStatus, 0) == mChild && WIFEXITED(theStatus))
      theResult.mStatus = WEXITSTATUS(theStatus);
    mChild = 0;
    theResult.mOut = ReadFile(mFolder + "/out");
    theResult.mErr = ReadFile(mFolder + "/err");
    return theResult;
  }

private:
  std::string mFolder;
  pid_t mChild = 0;
};

RunResult RunProgram(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra = {})
{
  return Child(inCommand, inExtra).Wait();
}

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

// --- The registry -------------------------------------------------------------------

void CollectKeys(HKEY inRoot, const std::string& inPath, std::set<std::string>& ioKeys)
{
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(inRoot, inPath.c_str(), 0, KEY_READ, &theKey) != ERROR_SUCCESS)
    return;
  std::vector<std::string> theChildren;
  for (DWORD i = 0;; ++i) {
    char theName[256];
    DWORD theSize = sizeof theName;
    if (RegEnumKeyExA(theKey, i, theName, &theSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    theChildren.emplace_back(theName, theSize);
  }
  RegCloseKey(theKey);
  for (const std::string& theChild : theChildren) {
    std::string thePath = inPath.empty() ? theChild : inPath + "\\" + theChild;
    ioKeys.insert(thePath);
    CollectKeys(inRoot, thePath, ioKeys);
  }
}

// Every key of both trees, HKEY_LOCAL_MACHINE's marked "HKLM\".
std::set<std::string> AllKeys()
{
  std::set<std::string> theKeys;
  CollectKeys(HKEY_CLASSES_ROOT, "", theKeys);
  std::set<std::string> theMachine;
  CollectKeys(HKEY_LOCAL_MACHINE, "", theMachine);
  for (const std::string& theKey : theMachine)
    theKeys.insert("HKLM\\" + theKey);
  return theKeys;
}

// The type and bytes of a preference as stored.
struct Stored {
  DWORD mType = REG_NONE;
  std::string mBytes;
};

Stored StoredPreference(const char* inName)
{
  Stored theStored;
  HKEY theKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreferenceKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
    return theStored;
  DWORD theSize = 0;
  if (RegQueryValueExA(theKey, inName, nullptr, &theStored.mType, nullptr, &theSize) == ERROR_SUCCESS) {
    theStored.mBytes.resize(theSize);
    RegQueryValueExA(theKey, inName, nullptr, nullptr, reinterpret_cast<BYTE*>(theStored.mBytes.data()), &theSize);
  }
  RegCloseKey(theKey);
  return theStored;
}

// --- The component in-process ---------------------------------------------------------

class SettingsObject : public testing::Test {
protected:
  void SetUp() override
  {
    mLibrary = dlopen(TL_SETTINGS_COMPONENT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(mLibrary, nullptr) << dlerror();
    mGetClassObject = reinterpret_cast<GetClassObjectProc>(dlsym(mLibrary, "DllGetClassObject"));
    mCanUnloadNow = reinterpret_cast<CanUnloadNowProc>(dlsym(mLibrary, "DllCanUnloadNow"));
    ASSERT_NE(mGetClassObject, nullptr);
    ASSERT_NE(mCanUnloadNow, nullptr);
    ASSERT_EQ(mGetClassObject(kSettingsClass, IID_IClassFactory, mFactory.ReceiveVoid()), S_OK);
    ASSERT_EQ(mFactory->CreateInstance(nullptr, ISettings::kIID, mSettings.ReceiveVoid()), S_OK);
  }
  void TearDown() override
  {
    mSettings.Reset();
    mFactory.Reset();
    // The module stays loaded: the runtime may still hold its class factory.
  }

  // A property get or put through IDispatch, by name.
  HRESULT Get(const char* inName, Variant& outValue)
  {
    DISPPARAMS theParams{nullptr, nullptr, 0, 0};
    return Call(inName, DISPATCH_PROPERTYGET, theParams, outValue.Receive());
  }
  HRESULT Put(const char* inName, const Variant& inValue)
  {
    Variant theValue = inValue;
    DISPID theNamed = DISPID_PROPERTYPUT;
    DISPPARAMS theParams{theValue.Get(), &theNamed, 1, 1};
    return Call(inName, DISPATCH_PROPERTYPUT, theParams, nullptr);
  }
  HRESULT Call(const char* inName, WORD inFlags, DISPPARAMS& ioParams, VARIANT* outResult)
  {
    std::u16string theName = Utf8ToUtf16(inName);
    LPOLESTR theNames[] = {theName.data()};
    DISPID theId = DISPID_UNKNOWN;
    if (HRESULT theResult = mSettings->GetIDsOfNames(IID_NULL, theNames, 1, 0, &theId); FAILED(theResult))
      return theResult;
    EXCEPINFO theException{};
    UINT theArgError = 0;
    HRESULT theResult = mSettings->Invoke(theId, IID_NULL, 0, inFlags, &ioParams, outResult, &theException, &theArgError);
    if (theResult == DISP_E_EXCEPTION)
      theResult = theException.scode;
    ClearExcepInfo(&theException);
    return theResult;
  }
  static Variant Number(LONG inValue) { return Variant(inValue); }
  static Variant Real(double inValue)
  {
    Variant theValue;
    theValue.Set(VT_R8).dblVal = inValue;
    return theValue;
  }
  static Variant Text(const char* inText) { return Variant(std::string_view(inText)); }

  using GetClassObjectProc = HRESULT (*)(REFCLSID, REFIID, void**);
  using CanUnloadNowProc = HRESULT (*)();
  void* mLibrary = nullptr;
  GetClassObjectProc mGetClassObject = nullptr;
  CanUnloadNowProc mCanUnloadNow = nullptr;
  ComPtr<IClassFactory> mFactory;
  ComPtr<ISettings> mSettings;
};

TEST_F(SettingsObject, NamesAndDispids)
{
  const std::pair<const char*, DISPID> kMembers[] = {
      {"QuickTime", 1},       {"LogErrors", 3},       {"MaxSize", 4},         {"EnableImpersonation", 5},
      {"AutoRecover", 6},     {"IJLImport", 7},       {"IJLExport", 8},       {"IMImport", 9},
      {"IMExport", 10},       {"IMInfo", 11},         {"QTLoad", 12},         {"QTUnload", 13},
      {"QTUnloadPeriod", 14}, {"QTImport", 15},       {"QTExport", 16},       {"QTInfo", 17},
      {"QTMemoryIP", 18},     {"QTMemoryOP", 19},     {"QTImportMovies", 20}, {"QTImportMPEG", 21},
      {"QTInfoMovies", 22},   {"IPLTransform", 23},   {"LogOperations", 24},  {"MaxOperationTime", 25},
      {"LogDirectory", 26},   {"LogMaxFileSize", 27}, {"LittleCMS", 28},      {"ColorProfileDirectory", 29},
  };
  const DispatchTable* theTable = nullptr;
  ComPtr<IMemberTable> theMembers;
  ASSERT_EQ(mSettings.As(theMembers), S_OK);
  ASSERT_EQ(theMembers->GetMemberTable(&theTable), S_OK);
  EXPECT_EQ(theTable->mMembers.size(), std::size(kMembers));
  for (const auto& [theName, theId] : kMembers) {
    const DispatchMember* theMember = theTable->FindByName(theName);
    ASSERT_NE(theMember, nullptr) << theName;
    EXPECT_EQ(theMember->mId, theId) << theName;
    EXPECT_EQ(theMember->mPut.mCall != nullptr, theId != 1) << theName << ": only QuickTime is read-only";
  }
  ComPtr<IUnknown> theOther;
  EXPECT_EQ(mSettings->QueryInterface(IID_ISupportErrorInfo, theOther.ReceiveVoid()), E_NOINTERFACE);
  EXPECT_EQ(mSettings->QueryInterface(IID_IDispatch, theOther.ReceiveVoid()), S_OK);
}

TEST_F(SettingsObject, ModuleCountsObjects)
{
  EXPECT_EQ(mCanUnloadNow(), S_FALSE);
  mSettings.Reset();
  EXPECT_EQ(mCanUnloadNow(), S_OK);
  EXPECT_EQ(mFactory->LockServer(TRUE), S_OK);
  EXPECT_EQ(mCanUnloadNow(), S_FALSE);
  EXPECT_EQ(mFactory->LockServer(FALSE), S_OK);
  EXPECT_EQ(mCanUnloadNow(), S_OK);
  ComPtr<IClassFactory> theFactory;
  EXPECT_EQ(mGetClassObject(IID_IDispatch, IID_IClassFactory, theFactory.ReceiveVoid()), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(mGetClassObject(kSettingsClass, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(SettingsObject, NullOutPointers)
{
  EXPECT_EQ(mSettings->get_QuickTime(nullptr), E_POINTER);
  EXPECT_EQ(mSettings->get_LogErrors(nullptr), E_POINTER);
  EXPECT_EQ(mSettings->get_AutoRecover(nullptr), E_POINTER);
  EXPECT_EQ(mSettings->get_MaxSize(nullptr), E_POINTER);
  EXPECT_EQ(mSettings->get_LogDirectory(nullptr), E_POINTER);
  EXPECT_EQ(mSettings->get_ColorProfileDirectory(nullptr), E_POINTER);
}

TEST_F(SettingsObject, SwitchesStoreOneOrZero)
{
  struct Case {
    const char* mLabel;
    Variant mValue;
    HRESULT mResult;
    LONG mStored;  // -1: nothing stored (the value before stays)
  };
  const Case kCases[] = {
      {"65536", Number(65536), S_OK, 1},
      {"-1", Number(-1), S_OK, 1},
      {"0", Number(0), S_OK, 0},
      {"0.25", Real(0.25), S_OK, 1},
      {"\"True\"", Text("True"), S_OK, 1},
      {"\"0\"", Text("0"), S_OK, 0},
      {"\"yes\"", Text("yes"), DISP_E_TYPEMISMATCH, -1},
      {"\"\"", Text(""), DISP_E_TYPEMISMATCH, -1},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mLabel);
    ASSERT_EQ(SetPrefLong("QTImportMPEG", 7), ERROR_SUCCESS);
    EXPECT_EQ(Put("QTImportMPEG", theCase.mValue), theCase.mResult);
    EXPECT_EQ(GetPrefLong("QTImportMPEG", -9), theCase.mStored == -1 ? 7 : theCase.mStored);
    EXPECT_EQ(StoredPreference("QTImportMPEG").mType, REG_DWORD);
  }
  EXPECT_EQ(mSettings->put_QTLoad(static_cast<VARIANT_BOOL>(2)), S_OK);
  EXPECT_EQ(GetPrefLong("UseQuickTime", -9), 1) << "QTLoad is the value UseQuickTime";
  // Any non-zero value reads as true.
  ASSERT_EQ(SetPrefLong("LittleCMS", 2), ERROR_SUCCESS);
  VARIANT_BOOL theValue = VARIANT_FALSE;
  EXPECT_EQ(mSettings->get_LittleCMS(&theValue), S_OK);
  EXPECT_EQ(theValue, VARIANT_TRUE);
}

TEST_F(SettingsObject, NumbersAreStoredAsGiven)
{
  struct Case {
    const char* mLabel;
    Variant mValue;
    HRESULT mResult;
    LONG mStored;
  };
  const Case kCases[] = {
      {"-5", Number(-5), S_OK, -5},
      {"INT_MAX", Number(INT_MAX), S_OK, INT_MAX},
      {"INT_MIN", Number(INT_MIN), S_OK, INT_MIN},
      {"\" 3000 \"", Text(" 3000 "), S_OK, 3000},
      {"2.5 (to even)", Real(2.5), S_OK, 2},
      {"\"abc\"", Text("abc"), DISP_E_TYPEMISMATCH, 77},
      {"3e10", Real(3e10), DISP_E_OVERFLOW, 77},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mLabel);
    ASSERT_EQ(SetPrefLong("MaxSize", 77), ERROR_SUCCESS);
    EXPECT_EQ(Put("MaxSize", theCase.mValue), theCase.mResult);
    EXPECT_EQ(GetPrefLong("MaxSize", 2000), theCase.mStored);
    Variant theRead;
    EXPECT_EQ(Get("MaxSize", theRead), S_OK);
    EXPECT_EQ(theRead.Type(), VT_I4);
    EXPECT_EQ(theRead->lVal, theCase.mStored);
  }
}

TEST_F(SettingsObject, FoldersStoreTheTextOfAnyValue)
{
  setenv("TL_TEST_FOLDER", "/srv/pictures", 1);
  Variant theNull;
  theNull.Set(VT_NULL);
  Variant theNullText;
  theNullText.Set(VT_BSTR).bstrVal = nullptr;
  Variant theTrue;
  theTrue.Set(VT_BOOL).boolVal = VARIANT_TRUE;
  struct Case {
    const char* mLabel;
    Variant mValue;
    HRESULT mResult;
    const char* mStored;  // the bytes stored, without a NUL; null: nothing stored
    const char* mLogDirectory;
  };
  const std::string theDefaultLogs = tltest::TestHome() + "/logs/";
  const Case kCases[] = {
      {"a path", Text("/var/log/tessaline"), S_OK, "/var/log/tessaline", "/var/log/tessaline/"},
      {"with a slash", Text("/var/log/"), S_OK, "/var/log/", "/var/log/"},
      {"a variable", Text("%TL_TEST_FOLDER%/logs"), S_OK, "%TL_TEST_FOLDER%/logs", "/srv/pictures/logs/"},
      {"a number", Number(42), S_OK, "42", "42/"},
      {"a real", Real(2.5), S_OK, "2.5", "2.5/"},
      {"a boolean", Variant(theTrue), S_OK, "-1", "-1/"},
      {"a NUL inside", Variant(std::string_view("/tmp\0/x", 7)), S_OK, "/tmp", "/tmp/"},
      // An empty value reads as the default.
      {"empty text", Text(""), S_OK, "", theDefaultLogs.c_str()},
      {"a null string", Variant(theNullText), S_OK, "", theDefaultLogs.c_str()},
      {"null", Variant(theNull), DISP_E_TYPEMISMATCH, nullptr, "/before/"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mLabel);
    for (const char* theName : {"LogDirectory", "ColorProfileDirectory"}) {
      SCOPED_TRACE(theName);
      ASSERT_EQ(SetPrefString(theName, "/before", 7), ERROR_SUCCESS);
      EXPECT_EQ(Put(theName, theCase.mValue), theCase.mResult);
      Stored theStored = StoredPreference(theName);
      EXPECT_EQ(theStored.mType, REG_BINARY);
      EXPECT_EQ(theStored.mBytes, theCase.mStored ? theCase.mStored : "/before");
      Variant theRead;
      EXPECT_EQ(Get(theName, theRead), S_OK);
      ASSERT_EQ(theRead.Type(), VT_BSTR);
      std::string theExpected = theCase.mLogDirectory;
      if (std::string_view(theName) == "ColorProfileDirectory" && theExpected == theDefaultLogs)
        theExpected = "";  // its default is empty
      EXPECT_EQ(BstrToUtf8(theRead->bstrVal), theExpected);
    }
  }
  EXPECT_EQ(GetLogDirectory(), "/before/") << "the core reads what the component stored";
}

TEST_F(SettingsObject, AutoRecoverIsOnByDefault)
{
  VARIANT_BOOL theValue = VARIANT_FALSE;
  EXPECT_EQ(mSettings->get_AutoRecover(&theValue), S_OK);
  EXPECT_EQ(theValue, VARIANT_TRUE);
  EXPECT_EQ(StoredPreference("AutoRecover").mType, REG_NONE) << "a get writes nothing";
}

// --- Registration ----------------------------------------------------------------------

TEST(SettingsRegistration, RegistersAndUnregistersEveryKey)
{
  const std::set<std::string> theBefore = AllKeys();
  Register();
  const std::string theClassKey = "CLSID\\{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}";
  const std::string theLibrary = "{5F3AEF64-4D3B-4EFB-81BA-977B8C902A00}";
  char theModule[PATH_MAX];
  ASSERT_NE(realpath(TL_SETTINGS_COMPONENT, theModule), nullptr);
  struct Value {
    std::string mKey;
    std::string mName;  // empty: the default value
    std::string mValue;
  };
  const Value kValues[] = {
      {"TLUtilities4.Settings.1", "", "Settings Class"},
      {"TLUtilities4.Settings.1\\CLSID", "", "{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}"},
      {"TLUtilities4.Settings", "", "Settings Class"},
      {"TLUtilities4.Settings\\CLSID", "", "{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}"},
      {"TLUtilities4.Settings\\CurVer", "", "TLUtilities4.Settings.1"},
      {theClassKey, "", "Settings Class"},
      {theClassKey + "\\ProgID", "", "TLUtilities4.Settings.1"},
      {theClassKey + "\\VersionIndependentProgID", "", "TLUtilities4.Settings"},
      {theClassKey + "\\InprocServer32", "", theModule},
      {theClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {theClassKey + "\\TypeLib", "", theLibrary},
      {"TypeLib\\" + theLibrary + "\\1.0", "", "Tessaline 4.0 Utilities Library"},
      {"TypeLib\\" + theLibrary + "\\1.0\\0\\win32", "", theModule},
      {"Interface\\{44CFF5F4-8A98-4F8A-A852-32E37A142681}", "", "ISettings"},
  };
  for (const Value& theValue : kValues)
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, theValue.mKey, theValue.mName).value_or("(missing)"),
              theValue.mValue)
        << theValue.mKey << " " << theValue.mName;
  EXPECT_FALSE(ReadRegistryString(HKEY_CLASSES_ROOT, theClassKey + "\\InprocServer32", "Synchronization"));

  // The whole set of new keys: nothing under HKEY_LOCAL_MACHINE (no
  // preferences, no event source).
  const std::set<std::string> theRegistered = AllKeys();
  std::set<std::string> theNew;
  for (const std::string& theKey : theRegistered)
    if (!theBefore.count(theKey))
      theNew.insert(theKey);
  const std::set<std::string> kNew = {
      "CLSID",
      theClassKey,
      theClassKey + "\\InprocServer32",
      theClassKey + "\\ProgID",
      theClassKey + "\\Programmable",
      theClassKey + "\\TypeLib",
      theClassKey + "\\VersionIndependentProgID",
      "Interface",
      "Interface\\{44CFF5F4-8A98-4F8A-A852-32E37A142681}",
      "Interface\\{44CFF5F4-8A98-4F8A-A852-32E37A142681}\\TypeLib",
      "TLUtilities4.Settings",
      "TLUtilities4.Settings\\CLSID",
      "TLUtilities4.Settings\\CurVer",
      "TLUtilities4.Settings.1",
      "TLUtilities4.Settings.1\\CLSID",
      "TypeLib",
      "TypeLib\\" + theLibrary,
      "TypeLib\\" + theLibrary + "\\1.0",
      "TypeLib\\" + theLibrary + "\\1.0\\0",
      "TypeLib\\" + theLibrary + "\\1.0\\0\\win32",
      "TypeLib\\" + theLibrary + "\\1.0\\FLAGS",
      "TypeLib\\" + theLibrary + "\\1.0\\HELPDIR",
  };
  EXPECT_EQ(theNew, kNew);

  // Twice gives the same keys.
  Register();
  EXPECT_EQ(AllKeys(), theRegistered);

  RunResult theResult = RunProgram({TL_TLREGSVR, "-u", TL_SETTINGS_COMPONENT});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theAfter = AllKeys();
  // Unregistration may leave the three shared root keys that registration made.
  for (const char* theRoot : {"CLSID", "TypeLib", "Interface"})
    if (!theBefore.count(theRoot))
      theAfter.erase(theRoot);
  EXPECT_EQ(theAfter, theBefore);
  theResult = RunProgram(PageCommand(TestPage("quicktime.js")));
  EXPECT_EQ(theResult.mStatus, 1);
  EXPECT_EQ(theResult.mErr,
            "Server.CreateObject: Cannot create 'TLUtilities4.Settings': the ProgID is not registered\n");
}

TEST(SettingsRegistration, ExportsExactlyTheFourEntryPoints)
{
  RunResult theResult = RunProgram({"/usr/bin/nm", "-D", "--defined-only", TL_SETTINGS_COMPONENT});
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theSymbols;
  std::istringstream theLines(theResult.mOut);
  for (std::string theLine; std::getline(theLines, theLine);)
    theSymbols.insert(theLine.substr(theLine.rfind(' ') + 1));
  EXPECT_EQ(theSymbols, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                                "DllUnregisterServer"}));
}

// --- Pages -------------------------------------------------------------------------------

class SettingsPages : public testing::Test {
protected:
  void SetUp() override { Register(); }
};

TEST_F(SettingsPages, TheExamplePageListsEveryDefault)
{
  RunResult theResult = RunProgram(PageCommand(kExamplePage));
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, "Tessaline preferences\n"
                            "  QuickTime               QuickTime Not Installed (-2096)\n"
                            "  LogErrors               false\n"
                            "  MaxSize                 2000\n"
                            "  EnableImpersonation     false\n"
                            "  AutoRecover             true\n"
                            "  IJLImport               true\n"
                            "  IJLExport               true\n"
                            "  IMImport                true\n"
                            "  IMExport                true\n"
                            "  IMInfo                  true\n"
                            "  QTLoad                  true\n"
                            "  QTUnload                false\n"
                            "  QTUnloadPeriod          10000\n"
                            "  QTImport                true\n"
                            "  QTExport                true\n"
                            "  QTInfo                  true\n"
                            "  QTMemoryIP              true\n"
                            "  QTMemoryOP              true\n"
                            "  QTImportMovies          false\n"
                            "  QTImportMPEG            false\n"
                            "  QTInfoMovies            false\n"
                            "  IPLTransform            true\n"
                            "  LogOperations           false\n"
                            "  MaxOperationTime        1000\n"
                            "  LogDirectory            " +
                                tltest::TestHome() +
                                "/logs/\n"
                                "  LogMaxFileSize          65535\n"
                                "  LittleCMS               true\n"
                                "  ColorProfileDirectory   (empty)\n");
  EXPECT_EQ(StoredPreference("MaxSize").mType, REG_NONE) << "reading stores nothing";
}

TEST_F(SettingsPages, TheExamplePageSetsOnePreference)
{
  struct Case {
    std::vector<std::string> mArgs;
    const char* mTail;  // the end of the output
    const char* mName;  // the registry value
    LONG mStored;
  };
  const Case kCases[] = {
      {{"MaxSize", "3000"}, "\nSet MaxSize to 3000.\n  MaxSize                 3000\n", "MaxSize", 3000},
      {{"maxsize", "-1"}, "\nSet MaxSize to -1.\n  MaxSize                 -1\n", "MaxSize", -1},
      {{"LOGERRORS", "yes"}, "\nSet LogErrors to true.\n  LogErrors               true\n", "LogErrors", 1},
      {{"QTLoad", "off"}, "\nSet QTLoad to false.\n  QTLoad                  false\n", "UseQuickTime", 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mArgs[0] + " " + theCase.mArgs[1]);
    RunResult theResult = RunProgram(PageCommand(kExamplePage, theCase.mArgs));
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_TRUE(theResult.mOut.ends_with(theCase.mTail)) << theResult.mOut;
    EXPECT_EQ(GetPrefLong(theCase.mName, 12345), theCase.mStored);
  }
  RunResult theResult = RunProgram(PageCommand(kExamplePage, {"LogDirectory", "/srv/logs"}));
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_TRUE(theResult.mOut.ends_with("  LogDirectory            /srv/logs/\n")) << theResult.mOut;
  EXPECT_EQ(GetPrefString("LogDirectory", "", 260), "/srv/logs");
}

TEST_F(SettingsPages, TheExamplePageExplainsMistakes)
{
  struct Case {
    std::vector<std::string> mArgs;
    const char* mErrStart;
  };
  const Case kCases[] = {
      {{"Colour", "red"}, "preferences.js: there is no preference \"Colour\". The preferences are QuickTime, "},
      {{"MaxSize", "big"}, "preferences.js: MaxSize needs a whole number from -2147483648 to 2147483647, not \"big\"."},
      {{"MaxSize", "3.5"}, "preferences.js: MaxSize needs a whole number"},
      {{"MaxSize", "2147483648"}, "preferences.js: MaxSize needs a whole number"},
      {{"LogErrors", "maybe"}, "preferences.js: LogErrors is a switch: give true or false, not \"maybe\"."},
      {{"QuickTime", "6"}, "preferences.js: QuickTime reports the QuickTime installation and cannot be set."},
      {{"MaxSize"}, "preferences.js: give no arguments to list the preferences, or a name and a value"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mArgs[0]);
    RunResult theResult = RunProgram(PageCommand(kExamplePage, theCase.mArgs));
    EXPECT_EQ(theResult.mStatus, 1);
    EXPECT_EQ(theResult.mOut, "");
    EXPECT_EQ(theResult.mErr.rfind(theCase.mErrStart, 0), 0u) << theResult.mErr;
    EXPECT_EQ(std::count(theResult.mErr.begin(), theResult.mErr.end(), '\n'), 1) << theResult.mErr;
  }
  EXPECT_EQ(AllKeys().count(std::string("HKLM\\") + kPreferenceKey), 0u) << "nothing was stored";
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
      {"LogErrors", 1},       {"MaxSize", -5},         {"EnableImpersonation", 1}, {"AutoRecover", 0},
      {"IJLImport", 0},       {"IJLExport", 0},        {"IMImport", 0},            {"IMExport", 0},
      {"IMInfo", 0},          {"UseQuickTime", 0},     {"UnloadQuickTime", 1},     {"UnloadQuickTimePeriod", 7},
      {"QTImport", 0},        {"QTExport", 0},         {"QTInfo", 0},              {"QTMemoryIP", 0},
      {"QTMemoryOP", 0},      {"QTImportMovies", 1},   {"QTImportMPEG", 1},        {"QTInfoMovies", 1},
      {"IPLTransform", 0},    {"LogOperations", 1},    {"MaxOperationTime", 0},    {"LogMaxFileSize", INT_MAX},
      {"LittleCMS", 0},
  };
  for (const auto& [theName, theValue] : kNumbers) {
    EXPECT_EQ(GetPrefLong(theName, 12345), theValue) << theName;
    EXPECT_EQ(StoredPreference(theName).mType, REG_DWORD) << theName;
  }
  EXPECT_EQ(GetPrefString("LogDirectory", "", 260), "%TL_TEST_FOLDER%/logs here");
  EXPECT_EQ(GetPrefString("ColorProfileDirectory", "", 260), "%TL_TEST_FOLDER%/profiles/");
  setenv("TL_TEST_FOLDER", "/srv/pictures", 1);
  EXPECT_EQ(GetLogDirectory(), "/srv/pictures/logs here/");
}

TEST_F(SettingsPages, QuickTimeReport)
{
  struct Case {
    std::vector<std::string> mEnvironment;
    const char* mReport;
  };
  const std::string theStandIn = std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_STANDIN;
  const Case kCases[] = {
      {{"TESSALINE_QUICKTIME="}, "QuickTime Not Installed (-2096)"},
      {{"TESSALINE_QUICKTIME=/nonexistent/qt.so"}, "QuickTime Not Installed (-2096)"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=6"}, "QuickTime 6.0.0 Full Installation"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=5"}, "QuickTime 6.0.0 Incomplete Install"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=0", "TL_TEST_QUICKTIME_VERSION=6.5.2"},
       "QuickTime 6.5.2 Incomplete Install"},
      {{theStandIn, "TL_TEST_QUICKTIME_EXPORTERS=40", "TL_TEST_QUICKTIME_VERSION=3.0"},
       "QuickTime 3.0.0 Full Installation"},
      {{theStandIn, "TL_TEST_QUICKTIME_VERSION=six"}, "QuickTime Not Installed (-50)"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(theCase.mEnvironment));
    RunResult theResult = RunProgram(PageCommand(TestPage("quicktime.js")), theCase.mEnvironment);
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mOut, theCase.mReport);
  }
}

TEST_F(SettingsPages, TwoProcessesWritingAtOnceLoseNothing)
{
  constexpr int kWrites = 150;
  Child theFirst(PageCommand(TestPage("hammer.js"), {std::to_string(kWrites), "MaxSize", "QTUnloadPeriod"}));
  Child theSecond(PageCommand(TestPage("hammer.js"), {std::to_string(kWrites), "MaxOperationTime", "LogMaxFileSize"}));
  for (Child* theChild : {&theFirst, &theSecond}) {
    RunResult theResult = theChild->Wait();
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mOut, "lost 0");
  }
  for (const char* theName : {"MaxSize", "UnloadQuickTimePeriod", "MaxOperationTime", "LogMaxFileSize"})
    EXPECT_EQ(GetPrefLong(theName, 0), kWrites) << theName;
}

}  // namespace
