// The parts of the page host that need no page: query and form decoding,
// the page root, the checks on what a page answers.

#include "host/FormFields.h"
#include "host/PageResponse.h"
#include "host/PageRoot.h"
#include "host/PageTimer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <optional>
#include <thread>

namespace {

TEST(FormFields, DecodesNamesAndValues)
{
  struct Case {
    const char* mEncoded;
    const char* mName;
    std::optional<std::string> mValue;
  };
  const Case kCases[] = {
      {"w=160&file=a.jpg", "file", "a.jpg"},
      {"w=160&file=a.jpg", "W", "160"},
      {"caption=Sea+%26+sky", "caption", "Sea & sky"},
      {"c=caf%C3%A9%e2%82%AC", "c", "caf\xC3\xA9\xE2\x82\xAC"},
      {"c=%ZZ%4%", "c", "%ZZ%4%"},
      {"c=100%", "c", "100%"},
      {"c=%FF%C3", "c", "\xEF\xBF\xBD\xEF\xBF\xBD"},      // no UTF-8: replaced
      {"c=%ED%A0%80", "c", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"c=a%00b", "c", std::string("a\0b", 3)},
      {"c=1&c=2&C=3", "c", "1, 2, 3"},
      {"flag&x=1", "flag", ""},
      {"a=b=c", "a", "b=c"},
      {"=lost&&x=1", "", std::nullopt},
      {"a=1;b=2", "a", "1;b=2"},
      {"x=1", "y", std::nullopt},
      {"", "x", std::nullopt},
      {"na%6De=v", "name", "v"},
  };
  for (const Case& theCase : kCases)
    EXPECT_EQ(FormFields::Parse(theCase.mEncoded).Get(theCase.mName), theCase.mValue)
      << theCase.mEncoded << " [" << theCase.mName << "]";
}

TEST(PageRoot, MapsNamesBelowTheRootOnly)
{
  const std::string theRoot = std::filesystem::canonical(tltest::MakeTempFolder("root")).string();
  const std::string theOutside = tltest::MakeTempFolder("outside");
  std::filesystem::create_directories(theRoot + "/pages/pictures");
  std::filesystem::create_directory_symlink(theOutside, theRoot + "/pages/away");
  std::filesystem::create_directory_symlink(theRoot + "/pages/pictures", theRoot + "/pages/inside");
  const PageRoot thePages(theRoot, theRoot + "/pages");
  ASSERT_TRUE(thePages.IsValid()) << thePages.Error();

  const std::pair<const char*, const char*> kCases[] = {
      {"", "/pages"},
      {"a.jpg", "/pages/a.jpg"},
      {"pictures//./a.jpg", "/pages/pictures/a.jpg"},
      {"inside/a.jpg", "/pages/pictures/a.jpg"},
      {"../a.jpg", "/a.jpg"},
      {"/", ""},
      {"/pages/../pages/x", "/pages/x"},
      {"../..", nullptr},
      {"../../a.jpg", nullptr},
      {"/..", nullptr},
      {"away", nullptr},
      {"away/x/y", nullptr},
      {"inside/../../../x", nullptr},
  };
  for (const auto& [theName, theExpected] : kCases) {
    std::string thePath;
    std::string theError;
    bool theMapped = thePages.Map(theName, thePath, theError);
    EXPECT_EQ(theMapped, theExpected != nullptr) << theName << ": " << thePath << theError;
    if (theExpected)
      EXPECT_EQ(thePath, theRoot + theExpected) << theName;
    else
      EXPECT_EQ(theError, "'" + std::string(theName) + "' is outside the page root");
  }
  std::string thePath;
  std::string theError;
  EXPECT_FALSE(thePages.Map(std::string("a\0b", 3), thePath, theError));
  // A folder beside the root whose name starts with the root's.
  std::filesystem::create_directory(theRoot + "-beside");
  const std::string theBeside = "../../" + std::filesystem::path(theRoot).filename().string() + "-beside/x";
  EXPECT_FALSE(thePages.Map(theBeside, thePath, theError)) << thePath;

  EXPECT_FALSE(PageRoot(theRoot + "/none", theRoot).IsValid());
  EXPECT_FALSE(PageRoot(theRoot + "/pages", theRoot).IsValid()) << "the page above the root";
  EXPECT_FALSE(PageRoot(theRoot + "/pages/pictures", theRoot + "/pages/away").IsValid());
  EXPECT_TRUE(PageRoot("/", theRoot).Map("/etc/passwd", thePath, theError));
  EXPECT_EQ(thePath, "/etc/passwd");
}

TEST(PageResponse, RefusesWhatWouldSplitTheResponse)
{
  PageResponse theResponse;
  EXPECT_EQ(theResponse.AddHeader("Cache-Control", "max-age=60, \"quoted\"\t"), "");
  EXPECT_EQ(theResponse.SetStatus("201 Created"), "");
  EXPECT_EQ(theResponse.SetContentType("image/gif"), "");
  const std::pair<const char*, std::string> kHeaders[] = {
      {"X-A", "a\nb"}, {"X-A", "a\rb"}, {"X-A", std::string("a\0b", 3)}, {"X A", "v"}, {"X:A", "v"},
      {"", "v"},       {"X\n", "v"},    {"status", "302 Found"},        {"Content-Length", "1"},
  };
  for (const auto& [theName, theValue] : kHeaders)
    EXPECT_NE(theResponse.AddHeader(theName, theValue), "") << theName;
  for (const char* theStatus : {"200", "200 ", "2000 OK", "600 No", "099 No", "20x OK", "200 OK\r\nX: y", "OK 200"})
    EXPECT_NE(theResponse.SetStatus(theStatus), "") << theStatus;
  EXPECT_NE(theResponse.SetContentType("text/html\nX: y"), "");
  EXPECT_EQ(theResponse.Status(), "201 Created") << "a refused value keeps the one before";
  EXPECT_EQ(theResponse.ContentType(), "image/gif");
  EXPECT_EQ(HtmlEscaped("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
}

// One timer serves page after page: the limit of a page that was disarmed
// never ends the next one, and the next page's own limit still does.
TEST(PageTimer, FiresForTheArmedPageOnly)
{
  using namespace std::chrono_literals;
  PageTimer theTimer;
  std::atomic<int> theCalls = 0;
  theTimer.Arm(100ms, [&] { ++theCalls; });
  std::this_thread::sleep_for(20ms);
  theTimer.Disarm();
  theTimer.Arm(60s, [&] { ++theCalls; });
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(theCalls, 0) << "the first page's limit ended the second";
  theTimer.Disarm();

  std::promise<void> theFired;
  theTimer.Arm(50ms, [&] { theFired.set_value(); });
  EXPECT_EQ(theFired.get_future().wait_for(10s), std::future_status::ready);
  theTimer.Disarm();
  std::this_thread::sleep_for(100ms);
  theTimer.Arm(50ms, [&] { ++theCalls; });
  for (int i = 0; i < 200 && theCalls == 0; ++i)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(theCalls, 1) << "a timer that slept without a page wakes for the next";
  theTimer.Disarm();
}

}  // namespace
