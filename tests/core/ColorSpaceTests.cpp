#include "core/ColorSpace.h"
#include "core/FileUtilities.h"
#include "core/Preferences.h"
#include "core/SException.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/core/TestProfiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;
using Pixel = std::array<int, 4>;
using profiletest::Describe;
using profiletest::LightCMYKProfile;
using profiletest::Profile;
using profiletest::SaveProfile;

std::string Description(cmsHPROFILE inProfile)
{
  char theText[256] = "";
  cmsGetProfileInfoASCII(inProfile, cmsInfoDescription, "en", "US", theText, sizeof(theText));
  return theText;
}

// An sRGB profile of the given description and device class.
Profile RGBProfile(const char* inDescription, cmsProfileClassSignature inClass = cmsSigDisplayClass)
{
  Profile theProfile(cmsCreate_sRGBProfile());
  Describe(theProfile.get(), inDescription);
  cmsSetDeviceClass(theProfile.get(), inClass);
  return theProfile;
}

void UseProfileDirectory(const std::string& inDirectory)
{
  ASSERT_EQ(SetPrefString("ColorProfileDirectory", inDirectory.data(), static_cast<DWORD>(inDirectory.size())),
            ERROR_SUCCESS);
}

// A folder holding the given profiles under the given names.
std::string ProfileFolder(const std::vector<std::pair<std::string, cmsHPROFILE>>& inProfiles)
{
  const std::string theFolder = tltest::MakeTempFolder("profiles");
  for (const auto& [theName, theProfile] : inProfiles)
    cmsSaveProfileToFile(theProfile, (theFolder + "/" + theName).c_str());
  return theFolder;
}

// A block of CMYK pixels: every combination of the given levels.
Bytes CMYKBlock()
{
  Bytes theBlock;
  for (int theC : {0, 90, 255})
    for (int theM : {0, 160, 255})
      for (int theY : {0, 60, 255})
        for (int theK : {0, 128, 255})
          theBlock.insert(theBlock.end(), {BYTE(theC), BYTE(theM), BYTE(theY), BYTE(theK)});
  return theBlock;
}

// What lcms2 makes of the block from inSource to the built-in sRGB, fourth byte 0.
Bytes LittleCMSResult(cmsHPROFILE inSource)
{
  Bytes theBlock = CMYKBlock();
  Profile theRGB(OpenResourceProfile("SRGB", "ICC"));
  cmsHTRANSFORM theTransform = cmsCreateTransform(inSource, TYPE_CMYK_8, theRGB.get(), TYPE_RGBA_8, INTENT_PERCEPTUAL, 0);
  cmsDoTransform(theTransform, theBlock.data(), theBlock.data(), static_cast<cmsUInt32Number>(theBlock.size() / 4));
  cmsDeleteTransform(theTransform);
  for (std::size_t theIndex = 3; theIndex < theBlock.size(); theIndex += 4)
    theBlock[theIndex] = 0;
  return theBlock;
}

Bytes Converted(const Bytes& inICC)
{
  Bytes theBlock = CMYKBlock();
  const LONG theCount = static_cast<LONG>(theBlock.size() / 4);
  EXPECT_TRUE(ConvertCMYKToRGBWithICC(theBlock.data(), theCount, 1, theCount * 4, inICC.empty() ? nullptr : inICC.data(),
                                      static_cast<DWORD>(inICC.size())));
  return theBlock;
}

Pixel Convert(void (*inConvert)(BYTE*, LONG, LONG, LONG), Pixel inPixel)
{
  BYTE theBytes[4] = {BYTE(inPixel[0]), BYTE(inPixel[1]), BYTE(inPixel[2]), BYTE(inPixel[3])};
  inConvert(theBytes, 1, 1, 4);
  return {theBytes[0], theBytes[1], theBytes[2], theBytes[3]};
}

void FormulaThroughThePreference(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  ConvertCMYKToRGB(ioPixels, inWidth, inHeight, inRowBytes, nullptr, 0);
}

}  // namespace

TEST(ColorSpace, ConvertsByTheFormulasWhenColourManagementIsOff)
{
  ASSERT_EQ(SetPrefLong("LittleCMS", 0), ERROR_SUCCESS);
  const struct {
    void (*mConvert)(BYTE*, LONG, LONG, LONG);
    Pixel mIn;
    Pixel mOut;
  } kCases[] = {
    {FormulaThroughThePreference, {100, 0, 0, 50}, {105, 205, 205, 0}},
    {FormulaThroughThePreference, {0, 0, 0, 255}, {0, 0, 0, 0}},
    {FormulaThroughThePreference, {200, 0, 30, 100}, {0, 155, 125, 0}},
    {ConvertYCCKToCMYK, {128, 128, 128, 0}, {128, 128, 128, 255}},
    {ConvertYCCKToCMYK, {128, 128, 255, 10}, {255, 38, 128, 245}},
    {ConvertYCCKToCMYK, {200, 0, 128, 255}, {200, 244, 0, 0}},
    {ConvertYCCKToCMYK, {90, 30, 200, 7}, {190, 72, 0, 248}},
    {ConvertAdobeCMYKToCMYK, {0, 10, 200, 255}, {255, 245, 55, 0}},
    {ConvertRGBXToBGRA, {10, 20, 30, 40}, {30, 20, 10, 0}},
  };
  for (const auto& theCase : kCases) {
    const Pixel theResult = Convert(theCase.mConvert, theCase.mIn);
    EXPECT_EQ(theResult, theCase.mOut) << theCase.mIn[0] << "," << theCase.mIn[1] << "," << theCase.mIn[2] << ","
                                       << theCase.mIn[3];
  }
}

TEST(ColorSpace, ConvertsOnlyInsideTheBlockAndLeavesBadBlocksAlone)
{
  // Two rows of one pixel, 8 bytes apart: the bytes between stay.
  Bytes theBlock = {0, 0, 0, 255, 9, 9, 9, 9, 0, 0, 0, 0};
  ConvertCMYKToRGBByFormula(theBlock.data(), 1, 2, 8);
  EXPECT_EQ(theBlock, (Bytes{0, 0, 0, 0, 9, 9, 9, 9, 255, 255, 255, 0}));
  ConvertCMYKToRGBByFormula(theBlock.data(), 2, 1, 7);
  ConvertCMYKToRGBByFormula(theBlock.data(), 0, 1, 8);
  ConvertCMYKToRGBByFormula(nullptr, 1, 1, 4);
  EXPECT_EQ(theBlock, (Bytes{0, 0, 0, 0, 9, 9, 9, 9, 255, 255, 255, 0}));
  EXPECT_FALSE(ConvertCMYKToRGBWithICC(theBlock.data(), 2, 1, 7, nullptr, 0));
}

TEST(ColorSpace, BuiltInProfilesAreResourcesOfTheLibrary)
{
  Profile theRGB(OpenResourceProfile("srgb", "icc"));
  Profile theCMYK(OpenResourceProfile("CMYK", "ICC"));
  ASSERT_TRUE(theRGB && theCMYK);
  EXPECT_EQ(cmsGetDeviceClass(theRGB.get()), cmsSigDisplayClass);
  EXPECT_EQ(cmsGetColorSpace(theRGB.get()), cmsSigRgbData);
  EXPECT_EQ(cmsGetDeviceClass(theCMYK.get()), cmsSigOutputClass);
  EXPECT_EQ(cmsGetColorSpace(theCMYK.get()), cmsSigCmykData);
  EXPECT_FALSE(OpenResourceProfile("CMYK", "BMP"));
  EXPECT_FALSE(OpenResourceProfile("GREY", "ICC"));

  // The ink model prints white paper, dark black, and gives back what it is given.
  cmsHTRANSFORM theToRGB = cmsCreateTransform(theCMYK.get(), TYPE_CMYK_8, theRGB.get(), TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  cmsHTRANSFORM theToCMYK = cmsCreateTransform(theRGB.get(), TYPE_RGB_8, theCMYK.get(), TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
  ASSERT_TRUE(theToRGB && theToCMYK);
  const struct {
    BYTE mCMYK[4];
    int mMinimum[3];
    int mMaximum[3];
  } kInks[] = {{{0, 0, 0, 0}, {240, 240, 240}, {255, 255, 255}},
               {{0, 0, 0, 255}, {0, 0, 0}, {90, 90, 90}},
               {{255, 0, 0, 0}, {0, 150, 200}, {100, 255, 255}},
               {{0, 0, 255, 0}, {200, 200, 0}, {255, 255, 100}}};
  for (const auto& theInk : kInks) {
    BYTE theRGBOut[3];
    cmsDoTransform(theToRGB, theInk.mCMYK, theRGBOut, 1);
    for (int theChannel = 0; theChannel < 3; ++theChannel) {
      EXPECT_GE(theRGBOut[theChannel], theInk.mMinimum[theChannel]) << int(theInk.mCMYK[0]) << " channel " << theChannel;
      EXPECT_LE(theRGBOut[theChannel], theInk.mMaximum[theChannel]) << int(theInk.mCMYK[0]) << " channel " << theChannel;
    }
  }
  // Colours inside the press's gamut.
  for (const BYTE theGrey : {60, 128, 200}) {
    const BYTE theIn[3] = {theGrey, BYTE(theGrey * 7 / 8), BYTE(theGrey * 3 / 4)};
    BYTE theInks[4];
    BYTE theBack[3];
    cmsDoTransform(theToCMYK, theIn, theInks, 1);
    cmsDoTransform(theToRGB, theInks, theBack, 1);
    for (int theChannel = 0; theChannel < 3; ++theChannel)
      EXPECT_NEAR(theBack[theChannel], theIn[theChannel], 6) << int(theGrey) << " channel " << theChannel;
  }
  cmsDeleteTransform(theToRGB);
  cmsDeleteTransform(theToCMYK);
}

TEST(ColorSpace, SearchesTakeTheMonitorProfileNamedSRGBAfterTheFirst)
{
  Profile theP1 = RGBProfile("Monitor One");
  Profile theP2 = RGBProfile("Office sRGB monitor");
  Profile theP3 = RGBProfile("Monitor Three");
  Profile theScanner = RGBProfile("Scanner sRGB", cmsSigInputClass);
  Profile theCMYK = LightCMYKProfile();
  const struct {
    const char* mName;
    std::vector<std::pair<std::string, cmsHPROFILE>> mFiles;
    const char* mRGB;
    const char* mCMYK;  // null: not searched
  } kCases[] = {
    // Offered in byte order of the names, whatever order the folder lists them in.
    {"p1, p2, p3", {{"p3.icc", theP3.get()}, {"p1.icc", theP1.get()}, {"p2.icc", theP2.get()}}, "Office sRGB monitor",
     nullptr},
    {"p1, p3", {{"p3.icc", theP3.get()}, {"p1.icc", theP1.get()}}, "Monitor One", nullptr},
    {"scanner, light CMYK, p3",
     {{"a.icc", theScanner.get()}, {"b.icc", theCMYK.get()}, {"c.icc", theP3.get()}},
     "Monitor Three",
     "Light CMYK"},
  };
  for (const auto& theCase : kCases) {
    const std::string theFolder = ProfileFolder(theCase.mFiles);
    UseProfileDirectory(theFolder);
    for (int theTime : {1, 2}) {
      Profile theRGB(FindRGBProfile());
      EXPECT_EQ(Description(theRGB.get()), theCase.mRGB) << theCase.mName << ", search " << theTime;
    }
    if (theCase.mCMYK) {
      Profile theFoundCMYK(FindCMYKProfile());
      EXPECT_EQ(Description(theFoundCMYK.get()), theCase.mCMYK) << theCase.mName;
    }
  }
}

// The administrator's profiles serve a page confined to roots that do not
// hold them; the page itself still cannot open them.
TEST(ColorSpace, AConfinedPageFindsTheProfilesOfItsLibrary)
{
  Profile theRGB = RGBProfile("Monitor One");
  Profile theCMYK = LightCMYKProfile();
  const std::string theFolder = ProfileFolder({{"rgb.icc", theRGB.get()}, {"cmyk.icc", theCMYK.get()}});
  UseProfileDirectory(theFolder);
  setenv("GATEWAY_INTERFACE", "CGI/1.1", 1);
  setenv("DOCUMENT_ROOT", tltest::MakeTempFolder("pages").c_str(), 1);
  Profile theFoundRGB(FindRGBProfile());
  Profile theFoundCMYK(FindCMYKProfile());
  EXPECT_EQ(Description(theFoundRGB.get()), "Monitor One");
  EXPECT_EQ(Description(theFoundCMYK.get()), "Light CMYK");
  EXPECT_FALSE(FileExists((theFolder + "/rgb.icc").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  unsetenv("GATEWAY_INTERFACE");
  unsetenv("DOCUMENT_ROOT");
}

TEST(ColorSpace, AMissingProfileIsReportedOnceAndTheBuiltInOneUsed)
{
  tltest::EventWatcher theWatcher;
  UseProfileDirectory("");
  Profile theSilent(FindCMYKProfile());
  EXPECT_EQ(Description(theSilent.get()), "Coated press CMYK (built in)");
  EXPECT_TRUE(theWatcher.NewTexts().empty());

  Profile theRGB = RGBProfile("Monitor One");
  const std::string theFolder = ProfileFolder({{"rgb.icc", theRGB.get()}});
  UseProfileDirectory(theFolder);
  for (int theTime : {1, 2}) {
    Profile theBuiltIn(FindCMYKProfile());
    EXPECT_EQ(Description(theBuiltIn.get()), "Coated press CMYK (built in)") << theTime;
  }
  EXPECT_EQ(theWatcher.NewTexts(),
            std::vector<std::string>{"Unable to find appropriate CMYK profile in \"" + theFolder + "/\"."});
}

TEST(ColorSpace, TransformsWithAnEmbeddedCMYKProfileOnlyAndAgreesWithLittleCMS)
{
  UseProfileDirectory("");
  Profile theBuiltIn(OpenResourceProfile("CMYK", "ICC"));
  Profile theLight = LightCMYKProfile();
  const Bytes theDefault = LittleCMSResult(theBuiltIn.get());
  EXPECT_EQ(Converted({}), theDefault);
  EXPECT_EQ(Converted(SaveProfile(RGBProfile("Embedded RGB").get())), theDefault);
  EXPECT_EQ(Converted(Bytes(300, 0x41)), theDefault);
  const Bytes theEmbedded = Converted(SaveProfile(theLight.get()));
  EXPECT_EQ(theEmbedded, LittleCMSResult(theLight.get()));
  EXPECT_NE(theEmbedded, theDefault);

  // The same from two threads at once.
  Bytes theResults[2];
  std::thread theThreads[2];
  for (int theIndex = 0; theIndex < 2; ++theIndex)
    theThreads[theIndex] = std::thread([&theResults, theIndex] {
      for (int theRound = 0; theRound < 5; ++theRound)
        theResults[theIndex] = Converted({});
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theResults[0], theDefault);
  EXPECT_EQ(theResults[1], theDefault);
}

TEST(ColorSpace, AProfileWithoutTablesFallsBackToTheFormula)
{
  ASSERT_EQ(SetPrefLong("LittleCMS", 1), ERROR_SUCCESS);
  Profile theEmpty(cmsCreateProfilePlaceholder(nullptr));
  cmsSetDeviceClass(theEmpty.get(), cmsSigOutputClass);
  cmsSetColorSpace(theEmpty.get(), cmsSigCmykData);
  cmsSetPCS(theEmpty.get(), cmsSigLabData);
  const Bytes theICC = SaveProfile(theEmpty.get());
  tltest::EventWatcher theWatcher;
  BYTE thePixel[4] = {100, 0, 0, 50};
  ConvertCMYKToRGB(thePixel, 1, 1, 4, theICC.data(), static_cast<DWORD>(theICC.size()));
  EXPECT_EQ(Bytes(thePixel, thePixel + 4), (Bytes{105, 205, 205, 0}));
  EXPECT_EQ(theWatcher.NewTexts(), std::vector<std::string>{"Unable to create ICC transform."});
}

TEST(ColorSpace, ReportsAProfileOnTheStandardErrorStream)
{
  Profile theCMYK(OpenResourceProfile("CMYK", "ICC"));
  const std::string thePath = tltest::MakeTempFolder("report") + "/cmyk.icc";
  cmsSaveProfileToFile(theCMYK.get(), thePath.c_str());
  testing::internal::CaptureStderr();
  ReportProfile(thePath.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            thePath + "\nCoated press CMYK (built in)\nCoated press CMYK (built in)\n"
                      "PCS = Lab  ColorSpace = CMYK DeviceClass = prtr\n\n");
}

// A fault inside a transform (its pixels unreadable) reaches the guarding
// frame; the locks the transform held are given back, so the next one runs
// (a wait on a lock still held ends the child by its alarm).
TEST(ColorSpace, AFaultInsideATransformGivesBackItsLocks)
{
  UseProfileDirectory("");
  tltest::ChildResult theResult = tltest::RunInChild([] {
    alarm(20);
    BYTE* const theUnreadable = static_cast<BYTE*>(
      mmap(nullptr, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    try {
      GuardedCall(TranslateSystemException, [&] { ConvertCMYKToRGBWithICC(theUnreadable, 4, 1, 16, nullptr, 0); });
      return 10;
    } catch (SException&) {
    }
    bool theConverted = false;
    std::thread([&] { theConverted = Converted({}) == LittleCMSResult(Profile(OpenResourceProfile("CMYK", "ICC")).get()); }).join();
    return theConverted ? 0 : 11;
  });
  EXPECT_TRUE(tltest::Succeeded(theResult));
}
