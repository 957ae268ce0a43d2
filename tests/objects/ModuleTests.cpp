// libTessaline4.so as a user meets it: registered with tlregsvr, driven by
// tlscript pages, while this process reads the registry, the events and the
// logs the programs wrote.

#include "core/Preferences.h"
#include "objects/ClassTable.h"
#include "objects/SelfRegistration.h"
#include "platform/automation/Guid.h"
#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/objects/PageSupport.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <regex>

namespace {

using tltest::Expected;
using tltest::Registration;
using tltest::RunPage;
using tltest::RunProgram;
using tltest::RunResult;

const std::string kClassKey = "CLSID\\{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}";
const std::string kLibraryKey = "TypeLib\\{8A6E39EB-BCB3-4E8D-A344-DDED8E259077}";
const std::string kInterfaceKey = "Interface\\{4592E792-723A-4DCD-98D4-365D4B2BAA5D}";
const std::string kCategoryKey = "CLSID\\{8A6E39EB-BCB3-4E8D-A344-DDED8E259077}";
const std::string kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tessaline";

std::string ModulePath()
{
  char thePath[PATH_MAX];
  return realpath(TL_TESSALINE4, thePath) ? thePath : "";
}

// Every key of both trees, HKEY_LOCAL_MACHINE's marked "HKLM\".
std::set<std::string> AllKeys()
{
  std::set<std::string> theKeys = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  for (const std::string& theKey : tltest::RegistryKeys(HKEY_LOCAL_MACHINE))
    theKeys.insert("HKLM\\" + theKey);
  return theKeys;
}

std::set<std::string> Difference(const std::set<std::string>& inAfter, const std::set<std::string>& inBefore)
{
  std::set<std::string> theNew;
  std::set_difference(inAfter.begin(), inAfter.end(), inBefore.begin(), inBefore.end(),
                      std::inserter(theNew, theNew.end()));
  return theNew;
}

TEST(Registration, WritesTheNeutralClassKeysTheLibraryAndTheSharedEntries)
{
  const std::set<std::string> theBefore = AllKeys();
  tltest::EventWatcher theEvents;
  RunResult theResult = Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;

  const std::string theModule = ModulePath();
  const std::string kValues[][3] = {
      {"Tessaline4.Canvas.1", "", "Canvas Class"},
      {"Tessaline4.Canvas.1\\CLSID", "", "{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}"},
      {"Tessaline4.Canvas", "", "Canvas Class"},
      {"Tessaline4.Canvas\\CLSID", "", "{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}"},
      {"Tessaline4.Canvas\\CurVer", "", "Tessaline4.Canvas.1"},
      {kClassKey, "", "Canvas Class"},
      {kClassKey + "\\ProgID", "", "Tessaline4.Canvas.1"},
      {kClassKey + "\\VersionIndependentProgID", "", "Tessaline4.Canvas"},
      {kClassKey + "\\InprocServer32", "", theModule},
      {kClassKey + "\\InprocServer32", "ThreadingModel", "Neutral"},
      {kClassKey + "\\InprocServer32", "Synchronization", "Required"},
      {kClassKey + "\\TypeLib", "", "{8A6E39EB-BCB3-4e8d-A344-DDED8E259077}"},
      {kLibraryKey + "\\1.0", "", "Tessaline 4.0 Image Manipulation Library"},
      {kLibraryKey + "\\1.0\\0\\win32", "", theModule},
      {kInterfaceKey, "", "ICanvas"},
  };
  for (const auto& [theKey, theName, theValue] : kValues)
    EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, theKey, theName), theValue) << theKey << " " << theName;
  EXPECT_EQ(tltest::RegistryText(HKEY_LOCAL_MACHINE, kPreferenceKey, "ModulePath"), theModule);
  EXPECT_EQ(tltest::RegistryText(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile"), theModule);

  const std::set<std::string> theRegistered = AllKeys();
  std::set<std::string> kNew = {
      "CLSID", kCategoryKey, kCategoryKey + "\\Implemented Categories",
      kCategoryKey + "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}", "Interface", "TypeLib",
      kLibraryKey, kLibraryKey + "\\1.0", kLibraryKey + "\\1.0\\0", kLibraryKey + "\\1.0\\0\\win32",
      kLibraryKey + "\\1.0\\FLAGS", kLibraryKey + "\\1.0\\HELPDIR", "HKLM\\SOFTWARE", "HKLM\\SOFTWARE\\Quillbright",
      "HKLM\\SOFTWARE\\Quillbright\\Tessaline", "HKLM\\SOFTWARE\\Quillbright\\Tessaline\\4.0.5", "HKLM\\SYSTEM",
      "HKLM\\SYSTEM\\CurrentControlSet", "HKLM\\SYSTEM\\CurrentControlSet\\Services",
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog",
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", "HKLM\\" + kEventSourceKey,
  };
  // Every class of the table writes the keys the Canvas's values stand for.
  for (const ServerClass& theClass : Tessaline4Module().Classes()) {
    const std::string theClassKey = std::string("CLSID\\") + theClass.mClassIdText;
    const std::string theProgId = theClass.mProgId;
    for (const char* theSubKey : {"", "\\InprocServer32", "\\ProgID", "\\Programmable", "\\TypeLib",
                                  "\\VersionIndependentProgID"})
      kNew.insert(theClassKey + theSubKey);
    for (const std::string& theName : {theProgId, theProgId + "." + std::to_string(theClass.mVersion)})
      kNew.insert({theName, theName + "\\CLSID"});
    kNew.insert(theProgId + "\\CurVer");
  }
  for (const DispatchTable* theInterface : Tessaline4Module().Library().mInterfaces) {
    const std::string theInterfaceKey = "Interface\\" + GuidToString(*theInterface->mIID);
    kNew.insert({theInterfaceKey, theInterfaceKey + "\\TypeLib"});
  }
  EXPECT_EQ(Difference(theRegistered, theBefore), kNew);
  const std::vector<tltest::Event> theNew = theEvents.NewEvents();
  ASSERT_EQ(theNew.size(), 1u);
  EXPECT_EQ(theNew[0].mType, "Information");
  EXPECT_EQ(theNew[0].mSource, "Tessaline");
  EXPECT_EQ(theNew[0].mText, "Tessaline Registered Successfully");

  theResult = Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(AllKeys(), theRegistered) << "twice gives the same keys";

  theResult = Registration(false);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  std::set<std::string> theLeft = Difference(AllKeys(), theBefore);
  for (const char* theRoot : {"CLSID", "TypeLib", "Interface"})  // shared roots may stay
    theLeft.erase(theRoot);
  std::set<std::string> theShared;
  for (const std::string& theKey : kNew)
    if (theKey.rfind("HKLM\\", 0) == 0)
      theShared.insert(theKey);
  EXPECT_EQ(theLeft, theShared) << "only ModulePath and the event source stay";
  EXPECT_EQ(tltest::RegistryText(HKEY_LOCAL_MACHINE, kPreferenceKey, "ModulePath"), theModule);
  theResult = RunPage("properties.js");
  EXPECT_EQ(theResult.mStatus, 1) << "the ProgIDs no longer resolve";

  EXPECT_EQ(tltest::ExportedSymbols(TL_TESSALINE4),
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                   "DllUnregisterServer"}));
}

// The rewrite that systems before Windows 2000 get, run here directly.
TEST(Registration, TheApartmentSetReplacesTheNeutralOne)
{
  ASSERT_EQ(RegisterModule(), S_OK);
  ASSERT_EQ(RegisterApartmentScripts(true), S_OK);
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "Synchronization"), "(missing)");
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, "Tessaline4.Canvas\\CurVer"), "Tessaline4.Canvas.1");
  ASSERT_EQ(RegisterApartmentScripts(false), S_OK);
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, kClassKey), "(missing)");
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, "Tessaline4.Canvas.1"), "(missing)");
}

class Pages : public testing::Test {
protected:
  void SetUp() override
  {
    RunResult theResult = Registration(true);
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  }
};

TEST_F(Pages, PropertiesStartAtTheirDefaultsAndKeepGoodValues)
{
  RunResult theResult = RunPage("properties.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("properties.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

// Each refusal is E_FAIL from the canvas's ProgID, leaves the value as it
// was, and with LogErrors on is also a warning event with the same text.
TEST_F(Pages, RefusedValuesAreReportedAndLoseNothing)
{
  ASSERT_EQ(SetPrefLong("LogErrors", 1), ERROR_SUCCESS);
  tltest::EventWatcher theEvents;
  RunResult theResult = RunPage("refusals.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("refusals.expected"));
  std::vector<std::string> theWarnings;
  for (const tltest::Event& theEvent : theEvents.NewEvents())
    if (theEvent.mType == "Warning" && theEvent.mText.rfind("Unable to access QuickTime", 0) != 0)
      theWarnings.push_back(theEvent.mText);
  EXPECT_EQ(theWarnings, (std::vector<std::string>{
                             "Unable to set property   Set Canvas Color  =  notacolour",
                             "Unable to set property   Set Canvas PenSize  =  -1",
                             "Unable to set property   Set Canvas TextSize  =  -1",
                             "Unable to set property   Set Canvas Depth  =  24",
                             "Type mismatch.",
                             "Unable to set property   Set Canvas HAlign  =  sideways",
                             "Unable to understand location for color",
                         }));
}

// The pixels' life, and the lines the logs get: the canvas's and one for
// each of its operations, naming it.
TEST_F(Pages, PixelsAreMadeErasedInvertedAndClearedAndEveryOperationIsLogged)
{
  ASSERT_EQ(SetPrefLong("LogOperations", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetPrefLong("MaxOperationTime", 0), ERROR_SUCCESS);
  RunResult theResult = RunPage("pixels.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("pixels.expected"));

  const auto theCanvases = tltest::LogRecords("Canvas.log");
  const auto theOperations = tltest::LogRecords("Operation.log");
  ASSERT_EQ(theCanvases.size(), 1u);
  ASSERT_EQ(theOperations.size(), 2u);
  EXPECT_EQ(theCanvases[0][4], std::to_string(50 * 30 * 4 / 1024)) << "the peak memory, in KB";
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(theOperations[i][4], i == 0 ? "Erase Canvas:" : "Invert Canvas:");
    EXPECT_EQ(theOperations[i][5], theCanvases[0][1]) << "the canvas's ID";
    EXPECT_EQ(theOperations[i][6], "");
  }
}

// Pictures from bytes the page builds and from files that are missing: the
// rectangle drawn, the colours where they belong, and each failure's words.
TEST_F(Pages, DrawDataAndDrawFilePlaceThePictureAndWordTheirFailures)
{
  RunResult theResult = RunPage("draw.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("draw.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

// A page's strings reach the library whole: a NUL in a parameter string, a
// file name or a value is refused in words, and no file is read or written.
TEST_F(Pages, StringsHoldingANulAreRefusedAndNothingIsDrawnReadOrWritten)
{
  const std::string theFolder = tltest::MakeTempFolder("nul");
  const std::string theGood = theFolder + "/good.gif";
  ASSERT_EQ(RunProgram({"/usr/bin/convert", "-size", "20x20", "xc:#0000FF", theGood}).mStatus, 0);
  RunResult theResult = RunPage("nul.js", {}, {theFolder});
  EXPECT_EQ(theResult.mErr, "");
  // FOLDER+n: the position n bytes past the folder's name.
  std::string theExpected;
  const std::string theText = Expected("nul.expected");
  const std::regex theFolderAt("FOLDER(\\+([0-9]+))?");
  std::size_t theDone = 0;
  for (auto theMatch = std::sregex_iterator(theText.begin(), theText.end(), theFolderAt);
       theMatch != std::sregex_iterator(); ++theMatch) {
    const auto theAt = static_cast<std::size_t>(theMatch->position());
    theExpected += theText.substr(theDone, theAt - theDone);
    theExpected += (*theMatch)[2].matched ? std::to_string(theFolder.size() + std::stoul((*theMatch)[2].str()))
                                          : theFolder;
    theDone = theAt + static_cast<std::size_t>(theMatch->length());
  }
  theExpected += theText.substr(theDone);
  EXPECT_EQ(theResult.mOut, theExpected);
  EXPECT_EQ(theResult.mStatus, 0);
  for (const char* theName : {"/out.gif", "/saved.txt"})
    EXPECT_NE(access((theFolder + theName).c_str(), F_OK), 0) << theName;
}

// QuickTime's GWorlds resize in place: the dither flag stays until Clear.
TEST_F(Pages, WithQuickTimeTheDitherFlagSurvivesAResize)
{
  RunResult theResult = RunPage("pixels.js", {std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_STANDIN});
  EXPECT_EQ(theResult.mErr, "");
  std::string theExpected = Expected("pixels.expected");
  const std::string theReset = "resized: dither false";
  theExpected.replace(theExpected.find(theReset), theReset.size(), "resized: dither true");
  EXPECT_EQ(theResult.mOut, theExpected);
}

// DrawCanvas and SetChannel with other canvases' Image, and with handles
// that are none.
TEST_F(Pages, CanvasesDrawOntoAndMapIntoOneAnotherAndRefuseOtherHandles)
{
  RunResult theResult = RunPage("canvases.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("canvases.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

// The palette file is the page's argument.
TEST_F(Pages, SelectionReductionAndInformationAnswerInTheScriptsTypes)
{
  const std::string thePalette = tltest::MakeTempFolder("palette") + "/red-and-white.pal";
  std::ofstream(thePalette, std::ios::binary) << std::string("\xFF\x00\x00\xFF\xFF\xFF", 6);
  RunResult theResult = RunPage("selection.js", {}, {thePalette});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, Expected("selection.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

}  // namespace
