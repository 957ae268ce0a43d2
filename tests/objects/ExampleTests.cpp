// The examples page of shapes and text, run in-process by the page-scripting
// host over the registered libTessaline4.so, so that the sheet it leaves can
// be read: it is written as a PNG picture for the developer to look at.

#include "host/ScriptHost.h"
#include "tests/platform/GdiTestPng.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
