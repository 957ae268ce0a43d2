// The example site of examples/web/ behind lighttpd: the thumbnail and badge
// pages answer pictures, and a browser (headless Chromium) shows the gallery.

#include "tests/host/WebServer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using tltest::HttpAnswer;
using tltest::RunProgram;
using tltest::RunResult;
using tltest::WebServer;

// A copy of examples/web/ without its pictures; serve.sh makes them.
std::string ExampleSite()
{
  const std::string theRoot = tltest::MakeTempFolder("site");
  std::filesystem::copy(TL_EXAMPLES_WEB_DIR, theRoot, std::filesystem::copy_options::recursive);
  for (const auto& theEntry : std::filesystem::directory_iterator(theRoot + "/pictures"))
    if (theEntry.path().extension() == ".jpg")
      std::filesystem::remove(theEntry.path());
  return theRoot;
}

// "FORMAT WIDTH HEIGHT" of a picture, as ImageMagick reads it.
std::string Describe(const std::string& inBytes)
{
  const std::string thePath = tltest::MakeTempFolder("picture") + "/picture";
  std::ofstream(thePath, std::ios::binary) << inBytes;
  return RunProgram({"/usr/bin/identify", "-format", "%m %w %h", thePath}).mOut;
}

TEST(WebExamples, ThumbnailAndBadgePagesAnswerPictures)
{
  WebServer theServer(ExampleSite());
  ASSERT_TRUE(theServer.Started());

  // harbour.jpg is 800 x 600: each width keeps the proportions.
  for (const auto& [theWidth, theHeight] : {std::pair{200, 150}, {64, 48}, {801, 601}}) {
    const std::string thePage = "/thumbnail.sjs?file=harbour.jpg&w=" + std::to_string(theWidth);
    HttpAnswer theAnswer = theServer.Get(thePage);
    EXPECT_EQ(theAnswer.mStatus, 200) << thePage << theAnswer.mBody << theServer.ErrorLog();
    EXPECT_EQ(theAnswer.Header("content-type"), "image/jpeg");
    EXPECT_EQ(Describe(theAnswer.mBody), "JPEG " + std::to_string(theWidth) + " " + std::to_string(theHeight));
  }
  HttpAnswer theAnswer = theServer.Get("/thumbnail.sjs?file=sunset.jpg&w=300&caption=Evening");
  EXPECT_EQ(Describe(theAnswer.mBody), "JPEG 300 400");

  theAnswer = theServer.Get("/thumbnail.sjs?file=..%2F..%2Fetc%2Fpasswd&w=200");
  EXPECT_EQ(theAnswer.mStatus, 500);
  EXPECT_NE(theAnswer.mBody.find("is outside the page root"), std::string::npos) << theAnswer.mBody;
  EXPECT_EQ(theServer.Get("/thumbnail.sjs?file=harbour.jpg&w=5").mStatus, 400);
  theAnswer = theServer.Get("/thumbnail.sjs?file=nosuch.jpg&w=200");
  EXPECT_EQ(theAnswer.mStatus, 404);
  EXPECT_EQ(theAnswer.Header("content-type"), "text/plain; charset=utf-8");
  EXPECT_EQ(theAnswer.mBody, "There is no picture \"nosuch.jpg\" in the gallery.");

  theAnswer = theServer.Get("/badge.sjs?text=Hello");
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
  EXPECT_EQ(theAnswer.Header("content-type"), "image/gif");
  EXPECT_EQ(Describe(theAnswer.mBody), "GIF 240 64");
  // A graphic control extension that marks a transparent colour.
  const std::size_t theControl = theAnswer.mBody.find("\x21\xF9\x04");
  ASSERT_NE(theControl, std::string::npos);
  EXPECT_EQ(theAnswer.mBody[theControl + 3] & 1, 1);

  theAnswer = theServer.Post("/picture.sjs", "file=meadow.jpg&w=320&caption=%3Cb%3EGreen%3C%2Fb%3E");
  EXPECT_EQ(theAnswer.mStatus, 200);
  EXPECT_NE(theAnswer.mBody.find("<h1>&lt;b&gt;Green&lt;/b&gt;</h1>"), std::string::npos) << theAnswer.mBody;
  EXPECT_NE(theAnswer.mBody.find("thumbnail.sjs?file=meadow.jpg&amp;w=320&amp;caption=%3Cb%3EGreen%3C%2Fb%3E"),
            std::string::npos)
    << theAnswer.mBody;
}

// The browser's script beside the pages is sent as it stands, with its type;
// the server page of the same folder runs.
TEST(WebExamples, BrowserScriptsAreFilesAndPagesRun)
{
  WebServer theServer(ExampleSite());
  ASSERT_TRUE(theServer.Started());
  HttpAnswer theAnswer = theServer.Get("/gallery.js");
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
  EXPECT_EQ(theAnswer.Header("content-type"), "text/javascript");
  EXPECT_EQ(theAnswer.mBody, tltest::ReadFile(TL_EXAMPLES_WEB_DIR "/gallery.js"));
  theAnswer = theServer.Get("/thumbnail.sjs?file=meadow.jpg&w=160");
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
  EXPECT_EQ(Describe(theAnswer.mBody), "JPEG 160 120");
  theAnswer = theServer.Get("/style.css");
  EXPECT_EQ(theAnswer.Header("content-type"), "text/css;charset=utf-8");
}

// The screenshot stays in the build folder (screenshots/gallery.png) for a
// person to look at; the README shows a copy.
TEST(WebExamples, ChromiumShowsTheGallery)
{
  WebServer theServer(ExampleSite());
  ASSERT_TRUE(theServer.Started());
  const std::string theFolder = TL_BUILD_DIR "/screenshots";
  std::filesystem::create_directories(theFolder);
  const std::string theShot = theFolder + "/gallery.png";
  std::filesystem::remove(theShot);
  RunResult theRun = RunProgram({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                                 "--hide-scrollbars", "--user-data-dir=" + tltest::MakeTempFolder("chromium"),
                                 "--window-size=900,720", "--screenshot=" + theShot, theServer.Url("/")});
  ASSERT_TRUE(std::filesystem::exists(theShot)) << theRun.mErr;
  // The page alone is a few hundred colours of text and badge; the three
  // thumbnails bring thousands.
  const std::string theColours = RunProgram({"/usr/bin/identify", "-format", "%k", theShot}).mOut;
  EXPECT_GT(std::atoi(theColours.c_str()), 5000) << theShot;
  const std::string theLog = tltest::ReadFile(theServer.Home() + "/events.log");
  EXPECT_EQ(theLog.find("tlscript"), std::string::npos) << "no page failed: " << theLog;
}

}  // namespace
