// The example pages, run in-process by the page-scripting host over the
// registered libTessaline4.so: the sheet of shapes and text, which is written
// as a PNG picture for the developer to look at, and the main road's pages,
// whose files identify reads; and a thumbnail against convert's, made
// without loading ImageMagick.

#include "host/ScriptHost.h"
#include "tests/platform/GdiTestPng.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct PageRun {
  int mStatus;
  std::string mOutput;
};

PageRun RunPage(const std::string& inPage, const std::string& inSource, const std::vector<std::string>& inArguments)
{
  ScriptHost theHost;
  testing::internal::CaptureStdout();
  const int theStatus = theHost.Run(inPage, inSource, inArguments);
  return {theStatus, testing::internal::GetCapturedStdout()};
}

PageRun RunExample(const std::string& inName, const std::vector<std::string>& inArguments)
{
  const std::string thePage = TL_EXAMPLES_DIR "/" + inName;
  return RunPage(thePage, tltest::ReadFile(thePage), inArguments);
}

// ImageMagick's library (an earlier test of the process may have loaded it).
constexpr const char* kMagickCore = "libMagickCore-6.Q16.so.6";

// What identify says of a file: "<width>x<height> <format>".
std::string Identify(const std::string& inPath)
{
  const tltest::RunResult theResult = tltest::RunProgram({"/usr/bin/identify", "-format", "%wx%h %m", inPath});
  return theResult.mStatus == 0 ? theResult.mOut : "identify failed: " + theResult.mErr;
}

TEST(ExamplePage, DrawsTheSheetThroughBothRoads)
{
  const tltest::RunResult theRegistration = tltest::RunProgram({TL_TLREGSVR, TL_TESSALINE4});
  ASSERT_EQ(theRegistration.mStatus, 0) << theRegistration.mErr;
  const std::string thePage = TL_EXAMPLES_DIR "/shapes.js";
  ScriptHost theHost;
  testing::internal::CaptureStdout();
  const int theStatus = theHost.Run(thePage, tltest::ReadFile(thePage), {});
  const std::string theOutput = testing::internal::GetCapturedStdout();
  ASSERT_EQ(theStatus, 0) << theOutput;
  EXPECT_EQ(theOutput.find("error"), std::string::npos) << theOutput;

  // The page ends with the sheet's image, a device context the host still holds.
  const std::size_t theImage = theOutput.rfind("image ");
  ASSERT_NE(theImage, std::string::npos) << theOutput;
  HDC theSheet = NumberToHandle<HDC>(static_cast<std::uint32_t>(std::stoul(theOutput.substr(theImage + 6))));
  DIBSECTION theSection{};
  ASSERT_EQ(GetObjectA(GetCurrentObject(theSheet, OBJ_BITMAP), sizeof theSection, &theSection),
            static_cast<int>(sizeof theSection));
  const LONG theWidth = theSection.dsBm.bmWidth, theHeight = theSection.dsBm.bmHeight;
  gditest::Dib thePicture(gditest::LayoutNamed("32"), theWidth, -theHeight);
  ASSERT_TRUE(BitBlt(thePicture.DC(), 0, 0, theWidth, theHeight, theSheet, 0, 0, SRCCOPY));
  ASSERT_TRUE(gditest::WritePng(thePicture, TL_EXAMPLE_PICTURE));
  std::cout << "The sheet is in " TL_EXAMPLE_PICTURE "\n";

  // GDI leaves alpha 0 in the left half; OpenGL draws opaque pixels in the right.
  LONG theOpaque[2] = {0, 0};
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x)
      theOpaque[x < theWidth / 2] += (thePicture.Get(x, y) >> 24) == 0xFF;
  EXPECT_EQ(theOpaque[1], 0);
  EXPECT_GT(theOpaque[0], 10000);
}

TEST(ExamplePage, TheMainRoadsPagesWriteTheirPictures)
{
  const tltest::RunResult theRegistration = tltest::RunProgram({TL_TLREGSVR, TL_TESSALINE4});
  ASSERT_EQ(theRegistration.mStatus, 0) << theRegistration.mErr;
  const std::string theFolder = tltest::MakeTempFolder("examples");
  const std::string thePhoto = theFolder + "/photo.jpg";
  const std::string theThumbnail = theFolder + "/thumbnail.jpg";
  const std::string theComposite = theFolder + "/composite.gif";
  // The settings component lets roundtrip.js switch the placement road.
  const tltest::RunResult theSettings = tltest::RunProgram({TL_TLREGSVR, TL_TLUTILITIES4});
  ASSERT_EQ(theSettings.mStatus, 0) << theSettings.mErr;

  PageRun theRun = RunExample("photo.js", {thePhoto});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mOutput;
  EXPECT_EQ(Identify(thePhoto), "4000x3000 JPEG");
  theRun = RunExample("thumbnail.js", {thePhoto, theThumbnail});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mOutput;
  EXPECT_EQ(Identify(theThumbnail), "400x300 JPEG");
  theRun = RunExample("composite.js", {thePhoto, theComposite});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mOutput;
  EXPECT_EQ(Identify(theComposite), "640x520 GIF");
  const tltest::RunResult theKey = tltest::RunProgram({"/usr/bin/identify", "-format", "%[channels]", theComposite});
  EXPECT_EQ(theKey.mOut, "srgba") << "the GIF has a transparent colour";
  // Lossless formats come back the same on both placement roads, alpha
  // included; JPEG's do not, and the page says so.
  for (const char* theType : {"png", "gif", "bmp", "jpeg"}) {
    theRun = RunExample("roundtrip.js", {theType});
    ASSERT_EQ(theRun.mStatus, 0) << theRun.mOutput;
    const bool theLossless = std::string(theType) != "jpeg";
    for (const std::string theRoad : {"\nkernel road: ", "\nGDI road: "}) {
      const std::size_t theLine = theRun.mOutput.find(theRoad);
      ASSERT_NE(theLine, std::string::npos) << theType << "\n" << theRun.mOutput;
      const std::string theVerdict = theRun.mOutput.substr(theLine + theRoad.size(), 15);
      EXPECT_EQ(theVerdict == "the same pixels", theLossless) << theType << "\n" << theRun.mOutput;
    }
  }
}

// The thumbnail road (a photo-like JPEG drawn into 400 x 300 and saved at
// quality 75) gives what convert gives with its size hint, within 30 dB.
TEST(ExamplePage, AThumbnailMatchesConvertsOne)
{
  const tltest::RunResult theRegistration = tltest::RunProgram({TL_TLREGSVR, TL_TESSALINE4});
  ASSERT_EQ(theRegistration.mStatus, 0) << theRegistration.mErr;
  const std::string theFolder = tltest::MakeTempFolder("thumbnail");
  const std::string theSource = theFolder + "/in.jpg";
  const std::string theOurs = theFolder + "/ours.jpg";
  const std::string theTheirs = theFolder + "/convert.jpg";
  ASSERT_EQ(tltest::RunProgram({"/usr/bin/convert", "-seed", "7", "-size", "1600x1200", "plasma:fractal", "-blur", "0x1",
                                "-quality", "90", theSource})
                .mStatus,
            0);
  const bool theMagickWasLoaded = tltest::IsLibraryLoaded(kMagickCore);
  const PageRun theRun = RunPage("thumbnail page",
                                 "var canvas = Server.CreateObject('Tessaline4.Canvas');\n"
                                 "canvas.DrawFile(args[0], 'rect=0,0,400,300');\n"
                                 "canvas.SaveAs(args[1], 'quality=56');\n",
                                 {theSource, theOurs});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mOutput;
  if (!theMagickWasLoaded) {
    EXPECT_FALSE(tltest::IsLibraryLoaded(kMagickCore)) << "the JPEG road loaded ImageMagick";
  }
  ASSERT_EQ(tltest::RunProgram({"/usr/bin/convert", "-define", "jpeg:size=800x600", theSource, "-thumbnail", "400x300",
                                "-quality", "75", theTheirs})
                .mStatus,
            0);
  EXPECT_EQ(Identify(theOurs), "400x300 JPEG");
  EXPECT_EQ(tltest::RunProgram({"/usr/bin/identify", "-format", "%Q", theOurs}).mOut, "75") << "the JPEG's quality";
  // compare writes the metric to its error stream and exits with 1 when the
  // pictures differ at all.
  const tltest::RunResult thePSNR = tltest::RunProgram({"/usr/bin/compare", "-metric", "PSNR", theOurs, theTheirs, "null:"});
  EXPECT_GT(std::atof(thePSNR.mErr.c_str()), 30.0) << thePSNR.mErr;
}

// Every example page as a user runs it, through the tlscript program: it ends
// with status 0 and, in the sanitizer build, with nothing reported, the
// dependencies' own losses being suppressed (scripts/lsan.supp).
TEST(ExamplePage, EveryPageRunsAsAProgramWithNothingReported)
{
  for (const char* theServer : {TL_TESSALINE4, TL_TLUTILITIES4}) {
    const tltest::RunResult theRegistration = tltest::RunProgram({TL_TLREGSVR, theServer});
    ASSERT_EQ(theRegistration.mStatus, 0) << theRegistration.mErr;
  }
  const std::string theFolder = tltest::MakeTempFolder("programs");
  const std::string thePhoto = theFolder + "/photo.jpg";
  const std::vector<std::vector<std::string>> kPages = {
    {"shapes.js"},
    {"photo.js", thePhoto},
    {"thumbnail.js", thePhoto, theFolder + "/thumbnail.jpg"},
    {"composite.js", thePhoto, theFolder + "/composite.gif"},
    {"roundtrip.js", "png"},
    {"roundtrip.js", "jpeg"},
    {"preferences.js"},
  };
  for (const std::vector<std::string>& thePage : kPages) {
    SCOPED_TRACE(testing::PrintToString(thePage));
    std::vector<std::string> theCommand{TL_TLSCRIPT, TL_EXAMPLES_DIR "/" + thePage[0]};
    theCommand.insert(theCommand.end(), thePage.begin() + 1, thePage.end());
    const tltest::RunResult theRun =
      tltest::RunProgram(theCommand, {"LSAN_OPTIONS=suppressions=" TL_HOST_SUPPRESSIONS ":print_suppressions=0"});
    EXPECT_EQ(theRun.mStatus, 0) << theRun.mErr;
    EXPECT_EQ(theRun.mErr.find("Sanitizer"), std::string::npos) << theRun.mErr;
    EXPECT_EQ(theRun.mErr.find("runtime error"), std::string::npos) << theRun.mErr;
  }
  EXPECT_EQ(Identify(theFolder + "/composite.gif"), "640x520 GIF");
}

}  // namespace
