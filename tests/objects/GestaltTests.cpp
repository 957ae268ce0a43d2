// Gestalt and its collections: the pages a script runs and the events they
// leave, with and without QuickTime; in-process, what a page cannot reach.

#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "objects/Fonts.h"
#include "objects/Gestalt.h"
#include "objects/SelfRegistration.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/PageSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using tltest::RunResult;

std::vector<std::string> Lines(const std::string& inText)
{
  std::vector<std::string> theLines;
  std::istringstream theStream(inText);
  for (std::string theLine; std::getline(theStream, theLine);)
    theLines.push_back(theLine);
  return theLines;
}

class GestaltPages : public testing::Test {
protected:
  void SetUp() override
  {
    RunResult theResult = tltest::Registration(true);
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
    ASSERT_EQ(SetPrefLong("LogErrors", 0), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("MaxSize", 2000), ERROR_SUCCESS);
  }
};

// The page turns LogErrors on for two refused puts and off again before it
// logs its own two messages.
TEST_F(GestaltPages, VersionsFontsPreferencesAndFilesAsAPageMeetsThem)
{
  const std::string theFolder = tltest::MakeTempFolder("gestalt");
  tltest::EventWatcher theEvents;
  RunResult theResult = tltest::RunPage("gestalt.js", {}, {theFolder});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, tltest::Expected("gestalt.expected"));
  EXPECT_EQ(theResult.mStatus, 0);

  EXPECT_FALSE(std::filesystem::exists(theFolder + "/string")) << "a refused Save writes nothing";
  EXPECT_EQ(GetPrefLong("MaxSize", 0), 3000);
  std::vector<std::string> theWarnings;
  for (const tltest::Event& theEvent : theEvents.NewEvents())
    if (theEvent.mType == "Warning" && theEvent.mText.rfind("Unable to access QuickTime", 0) != 0)
      theWarnings.push_back(theEvent.mText);
  EXPECT_EQ(theWarnings, (std::vector<std::string>{
                             "Unable to set property   Set Gestalt LogErrors  =  maybe",
                             "Unable to set property   Set Gestalt MaxSize  =  abc",
                             "100% %s %n  next",
                             std::string(1023, 'x'),
                         }));
}

// ImageMagick's formats, then GIF and JPG; QuickTime's exporters come first.
TEST_F(GestaltPages, ExportersListQuickTimesThenTheLibrarysOwnFormats)
{
  const std::string theStandIn = std::string("TESSALINE_QUICKTIME=") + TL_QUICKTIME_STANDIN;
  const struct {
    std::vector<std::string> mEnvironment;
    const char* mVersion;
    std::vector<std::string> mQuickTime;
  } kCases[] = {
      {{"TESSALINE_QUICKTIME"}, "QuickTime 0.0.0", {}},
      {{theStandIn, "TL_TEST_QUICKTIME_VERSION=6.5.1", "TL_TEST_QUICKTIME_EXPORTERS=3"},
       "QuickTime 6.5.1",
       {"BMP", "Exporter 02", "Exporter 03"}},
  };
  for (const auto& [theEnvironment, theVersion, theQuickTime] : kCases) {
    SCOPED_TRACE(theVersion);
    RunResult theResult = tltest::RunPage("exporters.js", theEnvironment);
    EXPECT_EQ(theResult.mErr, "");
    std::vector<std::string> theLines = Lines(theResult.mOut);
    ASSERT_GE(theLines.size(), 5u + theQuickTime.size()) << theResult.mOut;
    EXPECT_EQ(theLines.front(), theVersion);
    const std::size_t theCount = theLines.size() - 3;
    EXPECT_EQ(theLines[theLines.size() - 2], "walked " + std::to_string(theCount) + " of " +
                                                 std::to_string(theCount) + ", Item(0) is Item(1): true");
    EXPECT_EQ(theLines.back(), "past the end: -2147467259 Tessaline4.Exporters.1");

    const std::vector<std::string> theItems(theLines.begin() + 1, theLines.end() - 2);
    const auto theMagickBegin = theItems.begin() + std::ssize(theQuickTime);
    const auto theMagickEnd = theItems.end() - 2;
    EXPECT_EQ(std::vector<std::string>(theItems.begin(), theMagickBegin), theQuickTime);
    EXPECT_EQ(std::vector<std::string>(theMagickEnd, theItems.end()), (std::vector<std::string>{"GIF", "JPG"}));
    for (auto theItem = theMagickBegin; theItem != theMagickEnd; ++theItem)
      EXPECT_NE(theItem->find(" - "), std::string::npos) << "not an ImageMagick format: " << *theItem;
    EXPECT_TRUE(std::any_of(theMagickBegin, theMagickEnd, [](const std::string& inItem) {
      return inItem.starts_with("PNG - ");
    })) << theResult.mOut;
  }
}

// ImageMagick's part of the list holds only the coders that the policy lets
// read and write, and none of those that fetch, run scripts or crashed.
TEST_F(GestaltPages, ExportersListOnlyTheCodersThePolicyAllows)
{
  const RunResult theResult = tltest::RunPage("exporters.js", {"TESSALINE_QUICKTIME"});
  const std::vector<std::string> theLines = Lines(theResult.mOut);
  ASSERT_GE(theLines.size(), 5u) << theResult.mOut;
  MagickFormatList theList;  // starts ImageMagick under the policy, as the library does
  ASSERT_EQ(static_cast<std::size_t>(theList.GetCount()), theLines.size() - 5) << theResult.mOut;
  std::vector<std::string> theNames;
  for (auto theLine = theLines.begin() + 1; theLine != theLines.end() - 4; ++theLine)
    theNames.push_back(theLine->substr(0, theLine->find(" - ")));
  for (const std::string& theName : theNames)
    EXPECT_TRUE(IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, theName.c_str()) &&
                IsRightsAuthorized(CoderPolicyDomain, WritePolicyRights, theName.c_str()))
      << theName;
  for (const char* theRefused : {"HTML", "HTM", "MAT", "SVG", "MVG", "MSL", "TXT", "PS", "PDF", "URL", "XC", "INFO"})
    EXPECT_EQ(std::find(theNames.begin(), theNames.end(), theRefused), theNames.end()) << theRefused;
  for (const char* theRaster : {"PNG", "JPEG", "GIF", "TIFF", "BMP", "WEBP", "PPM", "TGA", "PCX", "PSD", "ICO", "XPM", "XBM"})
    EXPECT_NE(std::find(theNames.begin(), theNames.end(), theRaster), theNames.end()) << theRaster;
}

class GestaltObject : public testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(RegisterModule(), S_OK) << "the error source is the registered ProgID";
    ASSERT_EQ(ComObject<Gestalt>::Create(nullptr, mGestalt), S_OK);
  }

  // The description of the error info a failed member left.
  static std::string Description()
  {
    ComPtr<IErrorInfo> theInfo;
    if (GetErrorInfo(0, theInfo.Receive()) != S_OK)
      return "(none)";
    Bstr theText;
    theInfo->GetDescription(theText.Receive());
    return theText.ToUtf8();
  }

  ObjectPtr<Gestalt> mGestalt;
};

TEST_F(GestaltObject, NullPointersAnswerEPointer)
{
  Variant theText("text");
  EXPECT_EQ(mGestalt->get_Version(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_QuickTime(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_GraphicsExporters(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_Fonts(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_LogErrors(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_MaxSize(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->get_TextCharset(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->Log(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->Read(nullptr, theText.Get()), E_POINTER);
  EXPECT_EQ(mGestalt->Read(theText.Get(), nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->Save(nullptr, theText.Get()), E_POINTER);
  EXPECT_EQ(mGestalt->Save(theText.Get(), nullptr), E_POINTER);

  ComPtr<IDispatch> theFonts;
  ASSERT_EQ(mGestalt->get_Fonts(theFonts.Receive()), S_OK);
  auto* theCollection = static_cast<IFonts*>(theFonts.Get());
  EXPECT_EQ(theCollection->get_Item(1, nullptr), E_POINTER);
  EXPECT_EQ(theCollection->get_Count(nullptr), E_POINTER);
  EXPECT_EQ(theCollection->get__NewEnum(nullptr), E_POINTER);
  EXPECT_EQ(mGestalt->InterfaceSupportsErrorInfo(IGestalt::kIID), S_OK);
  EXPECT_EQ(mGestalt->InterfaceSupportsErrorInfo(IFonts::kIID), S_FALSE);
}

// Byte arrays count in 32 bits: a file of 2 GiB is refused before it is read.
TEST_F(GestaltObject, ReadRefusesAFileOfTwoGibibytes)
{
  const std::string thePath = tltest::MakeTempFolder("gestalt") + "/large";
  std::ofstream{thePath}.close();
  std::filesystem::resize_file(thePath, std::uintmax_t{1} << 31);
  Variant thePathValue(thePath);
  Variant theData;
  EXPECT_EQ(mGestalt->Read(thePathValue.Get(), theData.Receive()), E_FAIL);
  EXPECT_EQ(theData.Type(), VT_EMPTY);
  EXPECT_EQ(Description(), "Windows error 534. Arithmetic result exceeded 32 bits.\r\n\n\nDo Gestalt Read " + thePath);
}

}  // namespace
