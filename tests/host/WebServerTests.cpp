// Pages behind a real web server: scripts/serve.sh starts lighttpd with a
// pool of tlscript FastCGI workers (or CGI, see WebServer.h), and curl asks
// for the pages of web/. The WebServer cases run through both; the WebWorker
// cases are of the workers alone.

#include "tests/host/WebServer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <future>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using tltest::HttpAnswer;
using tltest::WebServer;

// A page root of the test's own: a copy of web/.
std::string PageRootCopy()
{
  const std::string theRoot = tltest::MakeTempFolder("root");
  std::filesystem::copy(TL_WEB_PAGES_DIR, theRoot, std::filesystem::copy_options::recursive);
  return theRoot;
}

TEST(WebServer, PagesAnswerWithTheirStatusHeadersAndBody)
{
  WebServer theServer(PageRootCopy());
  ASSERT_TRUE(theServer.Started());

  HttpAnswer theAnswer = theServer.Get("/echo.sjs?name=caf%C3%A9+au+lait&other=1");
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mError << theServer.ErrorLog();
  EXPECT_EQ(theAnswer.Header("content-type"), "text/plain; charset=utf-8");
  EXPECT_EQ(theAnswer.Header("x-page"), "echo");
  EXPECT_EQ(theAnswer.mBody.substr(0, theAnswer.mBody.find("agent=")),
            "name=caf\xC3\xA9 au lait\ncaption=undefined\nmethod=GET\n");
  EXPECT_NE(theAnswer.mBody.find("\nagent=curl/"), std::string::npos) << theAnswer.mBody;
  EXPECT_NE(theAnswer.mBody.find("\nhome=undefined\n"), std::string::npos) << "no variable of the process";

  theAnswer = theServer.Post("/echo.sjs?name=a", "caption=Sea+%26+sky&name=b");
  EXPECT_EQ(theAnswer.mStatus, 200) << theServer.ErrorLog();
  EXPECT_EQ(theAnswer.mBody.substr(0, theAnswer.mBody.find("agent=")),
            "name=a\ncaption=Sea & sky\nmethod=POST\n");

  theAnswer = theServer.Get("/bytes.sjs");
  std::string theBytes;
  for (int i = 0; i < 256; ++i)
    theBytes += static_cast<char>(i);
  EXPECT_EQ(theAnswer.mStatus, 200) << theServer.ErrorLog();
  EXPECT_EQ(theAnswer.Header("content-type"), "application/octet-stream");
  EXPECT_EQ(theAnswer.Header("content-length"), "256");
  EXPECT_EQ(theAnswer.mBody, theBytes);

  theAnswer = theServer.Get("/set-status.sjs?status=404+Not+Found");
  EXPECT_EQ(theAnswer.mStatus, 404);
  EXPECT_EQ(theAnswer.mBody, "sent");
  EXPECT_EQ(theAnswer.Header("content-type"), "text/html; charset=utf-8");
}

// The HTML page of an error answer: its status as title and heading, its
// text in a <pre> block.
std::string ErrorPage(const std::string& inStatus, const std::string& inEscapedText)
{
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + inStatus + "</title></head>\n<body><h1>" +
         inStatus + "</h1>\n<pre>" + inEscapedText + "</pre>\n</body></html>\n";
}

// A failing page answers its error alone, HTML-escaped, and logs an event;
// a page past its time limit is ended with 503.
TEST(WebServer, FailingAndSlowPagesAnswerTheirErrorAndNothingElse)
{
  WebServer theServer(PageRootCopy(), {"TESSALINE_PAGE_TIMEOUT=2"});
  ASSERT_TRUE(theServer.Started());

  HttpAnswer theAnswer = theServer.Get("/failing.sjs?x=1");
  EXPECT_EQ(theAnswer.mStatus, 500);
  EXPECT_EQ(theAnswer.mBody, ErrorPage("500 Internal Server Error",
                                       "failing.sjs: &lt;b&gt;bad&lt;/b&gt; &amp; &quot;worse&quot;"));
  EXPECT_EQ(theAnswer.Header("content-type"), "text/html; charset=utf-8");

  const auto theStart = std::chrono::steady_clock::now();
  theAnswer = theServer.Get("/slow.sjs");
  const auto theSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - theStart).count();
  EXPECT_EQ(theAnswer.mStatus, 503);
  EXPECT_EQ(theAnswer.mBody, ErrorPage("503 Service Unavailable", "the page took longer than 2 seconds"));
  EXPECT_GE(theSeconds, 2.0);
  EXPECT_LT(theSeconds, 30.0);

  const std::string theEvents = tltest::ReadFile(theServer.Home() + "/events.log");
  EXPECT_NE(theEvents.find("Error\ttlscript\t1\t4096\t500 Internal Server Error for /failing.sjs?x=1: failing.sjs: "
                           "<b>bad</b> & \"worse\"\n"),
            std::string::npos)
    << theEvents;
  EXPECT_NE(theEvents.find("\t503 Service Unavailable for /slow.sjs: the page took longer than 2 seconds\n"),
            std::string::npos)
    << theEvents;
}

TEST(WebServer, PagesReachNoFileOutsideThePageRoot)
{
  const std::string theRoot = PageRootCopy();
  const std::string theOutside = tltest::MakeTempFolder("outside");
  std::ofstream(theOutside + "/secret.txt") << "the secret text";
  std::ofstream(theOutside + "/page.sjs") << "Response.Write('outside');";
  std::filesystem::create_directory(theRoot + "/files");
  std::filesystem::create_directory_symlink(theOutside, theRoot + "/files/away");
  std::filesystem::create_symlink(theOutside + "/page.sjs", theRoot + "/linked.sjs");
  WebServer theServer(theRoot);
  ASSERT_TRUE(theServer.Started());
  const std::string theResolvedRoot = std::filesystem::canonical(theRoot);

  struct Case {
    const char* mFile;  // URL-encoded
    const char* mPath;  // below the root; null: refused
  };
  const Case kCases[] = {
      {"pictures/a.jpg", "/pictures/a.jpg"},
      {"/pictures/./b/../a.jpg", "/pictures/a.jpg"},
      {"pictures/new/deeper.jpg", "/pictures/new/deeper.jpg"},
      {"../x", nullptr},
      {"..%2F..%2F..%2Fetc%2Fpasswd", nullptr},
      {"/../x", nullptr},
      {"pictures/../../x", nullptr},
      {"files/away/secret.txt", nullptr},
      {"files/away", nullptr},
      {"%2Fetc%2Fpasswd", "/etc/passwd"},  // a name from the root stays below it
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mFile);
    HttpAnswer theAnswer = theServer.Get(std::string("/map-path.sjs?file=") + theCase.mFile);
    if (theCase.mPath) {
      EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
      EXPECT_EQ(theAnswer.mBody, theResolvedRoot + theCase.mPath);
    } else {
      EXPECT_EQ(theAnswer.mStatus, 500);
      EXPECT_NE(theAnswer.mBody.find("Server.MapPath: &#39;"), std::string::npos) << theAnswer.mBody;
      EXPECT_NE(theAnswer.mBody.find("&#39; is outside the page root"), std::string::npos) << theAnswer.mBody;
      EXPECT_EQ(theAnswer.mBody.find("the secret text"), std::string::npos);
    }
  }
  HttpAnswer theAnswer = theServer.Get("/linked.sjs");
  EXPECT_EQ(theAnswer.mStatus, 403);
  EXPECT_EQ(theAnswer.mBody.find("outside\n"), std::string::npos) << "the page outside the root must not run";
}

// A form larger than a page may read is refused before the page runs; one
// of the largest size is read.
TEST(WebServer, AFormOverItsLimitIsContentTooLarge)
{
  WebServer theServer(PageRootCopy());
  ASSERT_TRUE(theServer.Started());
  constexpr std::size_t kLimit = 1 << 20;
  const std::string theStart = "caption=";
  HttpAnswer theAnswer = theServer.Post("/echo.sjs", theStart + std::string(kLimit - theStart.size(), 'x'));
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
  EXPECT_NE(theAnswer.mBody.find("\ncaption=xxx"), std::string::npos);

  theAnswer = theServer.Post("/echo.sjs", theStart + std::string(kLimit + 1 - theStart.size(), 'x'));
  EXPECT_EQ(theAnswer.mStatus, 413);
  EXPECT_EQ(theAnswer.mBody,
            ErrorPage("413 Content Too Large", "the form of 1048577 bytes is larger than 1048576"));
  EXPECT_EQ(theAnswer.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(tltest::ReadFile(theServer.Home() + "/events.log").find("tlscript"), std::string::npos)
    << "a refused request is no error of the server";
}

// Every road from a page to a file outside the page root and the listed
// roots ends in a 500 with "Access is denied.", whatever links or ".." lead
// there, and the secret's bytes are in no answer, log or event; so does every
// change of a preference, the store being root's. Started as root, the
// server runs its pages as an unprivileged user.
TEST(WebServer, ServedPagesReachNoFileOutsideTheirRoots)
{
  const std::string theRoot = PageRootCopy();
  const std::string theOutside = tltest::MakeTempFolder("outside");
  const std::string theShared = tltest::MakeTempFolder("shared");
  std::filesystem::permissions(theShared, std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  const std::string kSecret = "the secret text";
  std::ofstream(theOutside + "/secret.txt") << kSecret;
  std::filesystem::create_directory(theRoot + "/files");
  std::filesystem::create_directory_symlink(theOutside, theRoot + "/files/away");
  std::filesystem::create_symlink(theOutside + "/secret.txt", theRoot + "/linked.txt");
  WebServer theServer(theRoot, {"TESSALINE_FILE_ROOTS=" + theShared});
  ASSERT_TRUE(theServer.Started());

  const std::string theUp = theRoot + "/../" + std::filesystem::path(theOutside).filename().string();
  const std::vector<std::string> kReadFrom = {theOutside + "/secret.txt", theRoot + "/files/away/secret.txt",
                                              theRoot + "/linked.txt", theUp + "/secret.txt"};
  const std::vector<std::string> kWriteTo = {theOutside + "/new.png", theRoot + "/files/away/new.png",
                                             theUp + "/new.png"};
  std::vector<std::pair<std::string, std::string>> theEscapes;
  for (const char* theRoad : {"DrawFile", "Graphic.SetFile", "GraphicIPTC.SetFile", "Gestalt.Read", "ReduceColors"})
    for (const std::string& theFile : kReadFrom)
      theEscapes.emplace_back(theRoad, theFile);
  for (const char* theRoad : {"SaveAs", "Gestalt.Save"})
    for (const std::string& theFile : kWriteTo)
      theEscapes.emplace_back(theRoad, theFile);
  if (tltest::IsRoot())
    for (const char* theRoad : {"Settings.MaxSize", "Gestalt.MaxSize"})
      theEscapes.emplace_back(theRoad, "");

  std::string theAnswers;
  for (const auto& [theRoad, theFile] : theEscapes) {
    SCOPED_TRACE(theRoad + " " + theFile);
    HttpAnswer theAnswer = theServer.Post("/escape.sjs", "road=" + theRoad + "&file=" + theFile);
    EXPECT_EQ(theAnswer.mStatus, 500) << theAnswer.mBody;
    EXPECT_NE(theAnswer.mBody.find("Access is denied."), std::string::npos) << theAnswer.mBody;
    theAnswers += theAnswer.mBody;
  }

  // The listed root is the pages' own: what a page saves there is its user's.
  HttpAnswer theAnswer = theServer.Post("/escape.sjs", "road=Gestalt.Save&file=" + theShared + "/made.txt");
  EXPECT_EQ(theAnswer.mStatus, 200) << theAnswer.mBody;
  theAnswer = theServer.Post("/escape.sjs", "road=Gestalt.Read&file=" + theShared + "/made.txt");
  EXPECT_EQ(theAnswer.mBody, "ok\nok");
  struct stat theMade {};
  ASSERT_EQ(stat((theShared + "/made.txt").c_str(), &theMade), 0);
  if (tltest::IsRoot()) {
    EXPECT_NE(theMade.st_uid, 0u) << "a page ran as root";
  }

  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(theOutside), std::filesystem::directory_iterator()), 1)
    << "nothing was written outside";
  EXPECT_EQ(tltest::ReadFile(theOutside + "/secret.txt"), kSecret);
  std::vector<std::string> theTexts = {theAnswers, theServer.ErrorLog(),
                                       tltest::ReadFile(theServer.Home() + "/events.log")};
  if (std::filesystem::is_directory(theServer.Home() + "/logs"))
    for (const auto& theLog : std::filesystem::directory_iterator(theServer.Home() + "/logs"))
      theTexts.push_back(tltest::ReadFile(theLog.path().string()));
  for (const std::string& theText : theTexts)
    EXPECT_EQ(theText.find(kSecret), std::string::npos) << theText;
}

// CR and LF in a header or status never reach the response. (lighttpd itself
// refuses them in a URL, so they come in a form.)
TEST(WebServer, LineBreaksInHeadersAreRefused)
{
  WebServer theServer(PageRootCopy());
  ASSERT_TRUE(theServer.Started());
  HttpAnswer theAnswer = theServer.Post("/header.sjs", "value=plain+text");
  EXPECT_EQ(theAnswer.mStatus, 200);
  EXPECT_EQ(theAnswer.Header("x-caption"), "plain text");
  EXPECT_EQ(theServer.Get("/header.sjs?value=a%0Ab").mStatus, 400);

  const std::pair<const char*, const char*> kCases[] = {
      {"/header.sjs", "value=a%0AInjected:+yes"},
      {"/header.sjs", "value=a%0D%0AInjected:+yes"},
      {"/header.sjs", "value=a%0DInjected:+yes"},
      {"/header.sjs", "value=a%00b"},
      {"/set-status.sjs", "status=200+OK%0AInjected:+yes"},
  };
  for (const auto& [thePage, theForm] : kCases) {
    SCOPED_TRACE(theForm);
    theAnswer = theServer.Post(thePage, theForm);
    EXPECT_EQ(theAnswer.mStatus, 500);
    EXPECT_EQ(theAnswer.Header("injected"), "(none)");
    EXPECT_EQ(theAnswer.Header("x-caption"), "(none)");
    EXPECT_NE(theAnswer.mBody.find("holds a carriage return, line feed or NUL"), std::string::npos) << theAnswer.mBody;
  }
}

// Runs inStatement as the administrator does, from the command line over
// the store of inServer.
void Administer(const WebServer& inServer, const std::string& inStatement)
{
  const std::string thePage = tltest::MakeTempFolder("admin") + "/change.js";
  std::ofstream(thePage) << "var settings = Server.CreateObject('TLUtilities4.Settings');\n" << inStatement << ";\n";
  tltest::RunResult theRun =
    tltest::RunProgram({TL_BUILD_DIR "/bin/tlscript", thePage}, {"TESSALINE_HOME=" + inServer.Home()});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mErr;
}

// One FastCGI worker answers page after page: each in a context of its own
// (a global of one page is gone for the next), each reading the preferences
// anew (the administrator's change shows on the next page).
TEST(WebWorker, AnswersEachPageAfreshAndReadsPreferencesAtEachUse)
{
  WebServer theServer(PageRootCopy(), {"TL_WORKERS=1"});
  ASSERT_TRUE(theServer.Started());
  const std::vector<pid_t> theWorkers = theServer.Workers();
  ASSERT_EQ(theWorkers.size(), 1u) << "the pool is the configuration's";

  for (int i = 0; i < 3; ++i) {
    HttpAnswer theAnswer = theServer.Get("/keep.sjs");
    EXPECT_EQ(theAnswer.mStatus, 200) << theServer.ErrorLog();
    EXPECT_EQ(theAnswer.mBody, "kept");
  }

  Administer(theServer, "settings.MaxSize = 1234");
  EXPECT_EQ(theServer.Get("/max-size.sjs").mBody, "1234") << theServer.ErrorLog();
  Administer(theServer, "settings.MaxSize = 4321");
  EXPECT_EQ(theServer.Get("/max-size.sjs").mBody, "4321");
  EXPECT_EQ(theServer.Workers(), theWorkers) << "the same worker answered every page";
}

// QuickTime stays loaded from page to page of a worker, and is unloaded at
// the release after the period's: each page's Gestalt object is a user
// acquired and released once. With QuickTime no longer to be loaded, the
// pages still see the one loaded before until that unload.
// One worker over the QuickTime stand-in, unloading it at the release after
// inPeriod releases.
std::unique_ptr<WebServer> QuickTimeWorker(int inPeriod)
{
  auto theServer = std::make_unique<WebServer>(
    PageRootCopy(), std::vector<std::string>{"TL_WORKERS=1", "TESSALINE_QUICKTIME=" TL_QUICKTIME_STANDIN});
  if (theServer->Started())
    Administer(*theServer, "settings.QTUnload = true; settings.QTUnloadPeriod = " + std::to_string(inPeriod));
  return theServer;
}

TEST(WebWorker, QuickTimeOutlivesAPageUntilItsUnloadPeriod)
{
  const std::unique_ptr<WebServer> theServer = QuickTimeWorker(2);
  ASSERT_TRUE(theServer->Started());

  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "6.0.0") << theServer->ErrorLog();
  Administer(*theServer, "settings.QTLoad = false");
  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "6.0.0") << "loaded by the first page";
  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "6.0.0") << "the third release unloads";
  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "0.0.0");
  Administer(*theServer, "settings.QTLoad = true");
  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "6.0.0");
}

// What a page keeps to its end, however its objects hold one another, is
// released when it ends: its Gestalt object's release, the first since
// QuickTime was loaded, unloads QuickTime before the next page.
TEST(WebWorker, ReleasesWhatAPageKeepsWhenItEnds)
{
  const std::unique_ptr<WebServer> theServer = QuickTimeWorker(0);
  ASSERT_TRUE(theServer->Started());

  EXPECT_EQ(theServer->Get("/quicktime-kept.sjs").mBody, "6.0.0") << theServer->ErrorLog();
  Administer(*theServer, "settings.QTLoad = false");
  EXPECT_EQ(theServer->Get("/quicktime.sjs").mBody, "0.0.0") << "the page before kept its Gestalt object";
}

// A QuickTime that cannot be loaded is reported once by each worker, however
// many of its pages try again.
TEST(WebWorker, ReportsOncePerProcess)
{
  WebServer theServer(PageRootCopy(), {"TL_WORKERS=1", "TESSALINE_QUICKTIME=/nonexistent/quicktime.so"});
  ASSERT_TRUE(theServer.Started());
  Administer(theServer, "settings.QTUnload = true; settings.QTUnloadPeriod = 0");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(theServer.Get("/quicktime.sjs").mBody, "0.0.0") << theServer.ErrorLog();

  const std::string theEvents = tltest::ReadFile(theServer.Home() + "/events.log");
  std::size_t theReports = 0;
  for (std::size_t theAt = theEvents.find("Unable to access QuickTime"); theAt != std::string::npos;
       theAt = theEvents.find("Unable to access QuickTime", theAt + 1))
    ++theReports;
  EXPECT_EQ(theReports, 1u) << theEvents;
}

// The workers of theServer once there are inCount of them again (within 10 s).
std::vector<pid_t> PoolOf(const WebServer& inServer, std::size_t inCount)
{
  std::vector<pid_t> theWorkers = inServer.Workers();
  for (int i = 0; i < 200 && theWorkers.size() != inCount; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    theWorkers = inServer.Workers();
  }
  return theWorkers;
}

// The worker that runs a page now (its state is "running"); 0 when none does.
pid_t BusyWorker(const WebServer& inServer)
{
  for (pid_t theWorker : inServer.Workers()) {
    const std::string theStat = tltest::ReadFile("/proc/" + std::to_string(theWorker) + "/stat");
    if (theStat.find(") R ") != std::string::npos)
      return theWorker;
  }
  return 0;
}

// A worker whose page runs out of time answers 503 and ends; a worker killed
// half-way through a page ends too. The other worker answers the next
// requests meanwhile, and lighttpd starts a new worker in place of the one
// that ended.
TEST(WebWorker, ThatEndsIsReplaced)
{
  WebServer theServer(PageRootCopy(), {"TL_WORKERS=2", "TESSALINE_PAGE_TIMEOUT=2"});
  ASSERT_TRUE(theServer.Started());
  const std::vector<pid_t> theFirst = PoolOf(theServer, 2);
  ASSERT_EQ(theFirst.size(), 2u);

  EXPECT_EQ(theServer.Get("/slow.sjs").mStatus, 503);
  for (int i = 0; i < 3; ++i) {
    HttpAnswer theAnswer = theServer.Get("/echo.sjs?name=next");
    EXPECT_EQ(theAnswer.mStatus, 200) << theServer.ErrorLog();
    EXPECT_EQ(theAnswer.mBody.substr(0, 10), "name=next\n");
  }
  const std::vector<pid_t> theSecond = PoolOf(theServer, 2);
  ASSERT_EQ(theSecond.size(), 2u);
  EXPECT_NE(theSecond, theFirst);

  std::future<HttpAnswer> theKilled = std::async(std::launch::async, [&] { return theServer.Get("/slow.sjs"); });
  pid_t theBusy = 0;
  for (int i = 0; i < 100 && theBusy == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    theBusy = BusyWorker(theServer);
  }
  ASSERT_NE(theBusy, 0);
  ASSERT_EQ(kill(theBusy, SIGKILL), 0);
  HttpAnswer theAnswer = theKilled.get();
  EXPECT_GE(theAnswer.mStatus, 500) << "no answer of the killed page's";
  EXPECT_EQ(theAnswer.mBody.find("partial body"), std::string::npos);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(theServer.Get("/echo.sjs?name=after").mStatus, 200) << theServer.ErrorLog();
  const std::vector<pid_t> theThird = PoolOf(theServer, 2);
  EXPECT_EQ(theThird.size(), 2u);
  EXPECT_EQ(std::count(theThird.begin(), theThird.end(), theBusy), 0);
}

}  // namespace
