// A page confined to its roots: every object's road to a file refuses what
// lies outside with "Access is denied." and reads or writes nothing there,
// while the library's own logs still land where the administrator put them.

#include "core/Preferences.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/PageSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;
using tltest::RunResult;

constexpr const char* kSecret = "the secret text";

std::set<std::string> Names(const std::string& inFolder)
{
  std::set<std::string> theNames;
  for (const fs::directory_entry& theEntry : fs::directory_iterator(inFolder))
    theNames.insert(theEntry.path().filename().string());
  return theNames;
}

class ConfinedPages : public testing::Test {
protected:
  void SetUp() override
  {
    RunResult theResult = tltest::Registration(true);
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
    mFolder = fs::canonical(tltest::MakeTempFolder("confined")).string();
    for (const char* thePart : {"/root", "/outside", "/logs"}) {
      fs::create_directory(mFolder + thePart);
      const std::string thePlace = mFolder + thePart + "/";
      ASSERT_EQ(std::system(("convert -size 16x8 xc:orange -fill navy -draw 'rectangle 0,0 7,3' " + thePlace +
                             "picture.png && convert " + thePlace + "picture.png " + thePlace + "picture.jpg")
                              .c_str()),
                0);
      std::ofstream(thePlace + "secret.txt") << kSecret;
      std::ofstream(thePlace + "palette.act") << std::string(48, '\x40');
    }
    // A JPEG 255 pixels wide, which the JPEG reader decodes from a temporary file.
    ASSERT_EQ(std::system(("convert -size 255x4 xc:teal " + mFolder + "/root/wide.jpg").c_str()), 0);
    fs::create_directory_symlink(mFolder + "/outside", mFolder + "/root/away");
    fs::create_symlink(mFolder + "/outside/picture.png", mFolder + "/root/linked.png");
    mOutside = Names(mFolder + "/outside");
    const std::string theLogs = mFolder + "/logs";
    ASSERT_EQ(SetPrefString("LogDirectory", theLogs.data(), static_cast<DWORD>(theLogs.size())), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("LogOperations", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("MaxOperationTime", 0), ERROR_SUCCESS);
  }

  std::string mFolder;
  std::set<std::string> mOutside;  // what outside/ held before the page
};

TEST_F(ConfinedPages, EveryRoadOutOfTheRootsIsRefused)
{
  tltest::EventWatcher theEvents;
  RunResult theResult = tltest::RunPage("confined.js", {"TESSALINE_FILE_ROOTS=" + mFolder + "/root"}, {mFolder});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut, tltest::Expected("confined.expected"));
  EXPECT_EQ(Names(mFolder + "/outside"), mOutside) << "nothing was written outside";
  EXPECT_EQ(tltest::ReadFile(mFolder + "/outside/secret.txt"), kSecret);
  EXPECT_EQ(Names(mFolder + "/root"),
            (std::set<std::string>{"away", "linked.png", "palette.act", "picture.jpg", "picture.png", "saved.gif",
                                   "saved.jpg", "saved.png", "saved.txt", "secret.txt", "wide.jpg"}));

  // The library's own logs are below no root, and written all the same.
  const std::string theSaves = tltest::ReadFile(mFolder + "/logs/SaveAs.log");
  EXPECT_NE(theSaves.find(mFolder + "/root/saved.png\r\n"), std::string::npos) << theSaves;
  EXPECT_NE(tltest::ReadFile(mFolder + "/logs/Operation.log").find("\tDraw File:\t"), std::string::npos);

  std::string theEventTexts;
  for (const tltest::Event& theEvent : theEvents.NewEvents())
    theEventTexts += theEvent.mText + "\n";
  for (const std::string& theText : {theResult.mOut, theResult.mErr, theEventTexts, theSaves})
    EXPECT_EQ(theText.find(kSecret), std::string::npos) << theText;
}

// From the command line, without roots, the same page reaches every file.
TEST_F(ConfinedPages, TheCommandLineIsFreeWithoutRoots)
{
  RunResult theResult = tltest::RunPage("confined.js", {"TESSALINE_FILE_ROOTS", "GATEWAY_INTERFACE"}, {mFolder});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_EQ(theResult.mOut.find("Access is denied."), std::string::npos) << theResult.mOut;
  std::size_t theReads = 0;
  for (std::size_t theAt = theResult.mOut.find("Gestalt.Read: ok 15\n"); theAt != std::string::npos;
       theAt = theResult.mOut.find("Gestalt.Read: ok 15\n", theAt + 1))
    ++theReads;
  EXPECT_EQ(theReads, 4u) << theResult.mOut;
  EXPECT_TRUE(fs::exists(mFolder + "/outside/saved.jpg"));
}

}  // namespace
