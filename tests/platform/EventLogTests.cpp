#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/eventlog/EventLog.h"
#include "tests/support/ChildGroup.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uintmax_t kRotateSize = 16 * 1024 * 1024;

std::string LogPath()
{
  return tltest::TestHome() + "/events.log";
}

// The six fields of a line.
std::vector<std::string> Fields(const std::string& inLine)
{
  std::vector<std::string> theFields;
  std::stringstream theStream(inLine + "\t");
  for (std::string theField; std::getline(theStream, theField, '\t');)
    theFields.push_back(theField);
  return theFields;
}

// The lines of a log, without the NUL bytes a test put before them.
std::vector<std::string> ReadLines(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::vector<std::string> theLines;
  for (std::string theLine; std::getline(theFile, theLine);) {
    theLine.erase(0, theLine.find_first_not_of('\0'));
    if (!theLine.empty())
      theLines.push_back(theLine);
  }
  return theLines;
}

// An event source, deregistered when it goes.
class Source {
public:
  explicit Source(const char* inName) : mHandle(RegisterEventSourceA(nullptr, inName)) {}
  ~Source()
  {
    if (mHandle != nullptr)
      DeregisterEventSource(mHandle);
  }
  operator HANDLE() const { return mHandle; }

private:
  HANDLE mHandle;
};

BOOL Report(HANDLE inSource, WORD inType, const std::string& inText)
{
  LPCSTR theStrings[] = {inText.c_str()};
  return ReportEventA(inSource, inType, 1, 4096, nullptr, 1, 0, theStrings, nullptr);
}

// A file of inSize bytes with no line in it (a hole, so it costs no disk).
void MakeFullLog(const std::string& inPath, std::uintmax_t inSize)
{
  std::ofstream(inPath).close();
  std::filesystem::resize_file(inPath, inSize);
}

}  // namespace

TEST(EventLog, LineHasSixTabSeparatedFields)
{
  Source theSource("Tessaline");
  ASSERT_TRUE(Report(theSource, EVENTLOG_ERROR_TYPE, "Assertion Failed in Bitmap line 12 (mHDC)"));
  ASSERT_TRUE(Report(theSource, EVENTLOG_WARNING_TYPE, "two\r\nlines\tand a tab"));
  LPCSTR theStrings[] = {"first", "second"};  // the text is the first insertion string
  ASSERT_TRUE(ReportEventA(theSource, EVENTLOG_INFORMATION_TYPE, 3, 77, nullptr, 2, 0, theStrings, nullptr));
  const std::vector<std::string> kExpected[] = {
    {"Error", "Tessaline", "1", "4096", "Assertion Failed in Bitmap line 12 (mHDC)"},
    {"Warning", "Tessaline", "1", "4096", "two  lines and a tab"},
    {"Information", "Tessaline", "3", "77", "first"},
  };
  const std::vector<std::string> theLines = ReadLines(LogPath());
  ASSERT_EQ(theLines.size(), std::size(kExpected));
  for (std::size_t i = 0; i < theLines.size(); ++i) {
    std::vector<std::string> theFields = Fields(theLines[i]);
    ASSERT_EQ(theFields.size(), 6u) << theLines[i];
    EXPECT_TRUE(std::regex_match(theFields[0], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")))
      << theFields[0];
    EXPECT_EQ(std::vector<std::string>(theFields.begin() + 1, theFields.end()), kExpected[i]);
  }
}

TEST(EventLog, LongTextIsCutWithoutSplittingACharacter)
{
  Source theSource("Tessaline");
  std::string theText = "a";
  while (theText.size() < 40000)
    theText += "\xC3\xA9";  // é: after the "a", every character starts at an odd offset
  ASSERT_TRUE(Report(theSource, EVENTLOG_ERROR_TYPE, theText));
  const std::string theShifted = "b" + theText;  // now a cut at 31839 would fall inside one
  ASSERT_TRUE(Report(theSource, EVENTLOG_ERROR_TYPE, theShifted));
  const std::vector<std::string> theLines = ReadLines(LogPath());
  ASSERT_EQ(theLines.size(), 2u);
  EXPECT_EQ(Fields(theLines[0]).back(), theText.substr(0, 31839));  // 1 + 2 x 15919: whole characters
  EXPECT_EQ(Fields(theLines[1]).back(), theShifted.substr(0, 31838));
}

TEST(EventLog, BadCallsAreRefused)
{
  Source theSource("Tessaline");
  HANDLE theClosed = RegisterEventSourceA("", "Closed");
  ASSERT_NE(theClosed, nullptr);
  ASSERT_TRUE(DeregisterEventSource(theClosed));
  for (HANDLE theBad : {theClosed, static_cast<HANDLE>(nullptr), NumberToHandle<HANDLE>(0x1234u),
                        reinterpret_cast<HANDLE>((std::uintptr_t{1} << 32) |
                                                 HandleToNumber(static_cast<HANDLE>(theSource)))}) {
    SetLastError(0);
    EXPECT_FALSE(Report(theBad, EVENTLOG_ERROR_TYPE, "x"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(DeregisterEventSource(theBad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  for (WORD theType : {WORD{3}, WORD{16}}) {
    SetLastError(0);
    EXPECT_FALSE(Report(theSource, theType, "x")) << theType;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  LPCSTR theMissing[] = {nullptr};
  EXPECT_FALSE(ReportEventA(theSource, EVENTLOG_ERROR_TYPE, 1, 4096, nullptr, 1, 0, nullptr, nullptr));
  EXPECT_FALSE(ReportEventA(theSource, EVENTLOG_ERROR_TYPE, 1, 4096, nullptr, 1, 0, theMissing, nullptr));
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
  EXPECT_EQ(RegisterEventSourceA("\\\\elsewhere-host", "Tessaline"), nullptr);
  EXPECT_EQ(RegisterEventSourceA(nullptr, ""), nullptr);
}

// Four processes log across the 16 MiB mark at once: the log is rotated once
// (the older file replaced), and every event is in one of the two files once.
TEST(EventLog, ProcessesRotatingAtOnceLoseNothing)
{
  constexpr int kProcesses = 4;
  constexpr int kEvents = 1000;
  MakeFullLog(LogPath() + ".1", 100);
  MakeFullLog(LogPath(), kRotateSize - 64 * 1024);
  std::vector<std::function<int()>> theLoggers;
  for (int p = 0; p < kProcesses; ++p)
    theLoggers.push_back([p] {
      Source theSource("Tessaline");
      for (int i = 0; i < kEvents; ++i)
        if (!Report(theSource, EVENTLOG_INFORMATION_TYPE, "process " + std::to_string(p) + " event " + std::to_string(i)))
          return 1;
      return 0;
    });
  EXPECT_TRUE(tltest::AllSucceeded(tltest::RunChildrenTogether(theLoggers)));

  EXPECT_GE(std::filesystem::file_size(LogPath() + ".1"), kRotateSize - 64 * 1024);
  EXPECT_LT(std::filesystem::file_size(LogPath()), kRotateSize);
  std::map<std::string, int> theCounts;
  for (const char* theSuffix : {"", ".1"})
    for (const std::string& theLine : ReadLines(LogPath() + theSuffix))
      ++theCounts[Fields(theLine).back()];
  ASSERT_EQ(theCounts.size(), static_cast<std::size_t>(kProcesses * kEvents));
  for (const auto& [theText, theCount] : theCounts)
    EXPECT_EQ(theCount, 1) << theText;
}

// A log the process may not write, or a home it cannot use, makes the call
// fail with the Windows error; nothing crashes.
TEST(EventLog, UnwritableLogGivesAnError)
{
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([]() -> int {
    Source theSource("Tessaline");
    setenv("TESSALINE_HOME", "/nonexistent-tessaline/home", 1);
    SetLastError(0);
    return !Report(theSource, EVENTLOG_ERROR_TYPE, "lost") && GetLastError() == ERROR_PATH_NOT_FOUND ? 0 : 1;
  })));
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  {
    Source theSource("Tessaline");
    ASSERT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, "made by root"));
  }
  ASSERT_EQ(chmod(LogPath().c_str(), 0644), 0);
  std::string theEmptyHome = tltest::MakeTempFolder("readonly-home");
  EXPECT_TRUE(tltest::Succeeded(tltest::RunAsNobody([&]() -> int {
    Source theSource("Tessaline");
    if (static_cast<HANDLE>(theSource) == nullptr)
      return 1;
    SetLastError(0);
    if (Report(theSource, EVENTLOG_ERROR_TYPE, "refused") || GetLastError() != ERROR_ACCESS_DENIED)
      return 2;
    // No log yet, and a home where the user may not make one.
    setenv("TESSALINE_HOME", theEmptyHome.c_str(), 1);
    SetLastError(0);
    return !Report(theSource, EVENTLOG_ERROR_TYPE, "refused") && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 3;
  })));
  EXPECT_EQ(ReadLines(LogPath()).size(), 1u);
}

// With TESSALINE_SYSLOG=1 the event also reaches syslog under the source's
// name. The child takes a private /dev, where the test listens as /dev/log.
TEST(EventLog, SyslogGetsTheEventWhenAsked)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root for a private /dev";
  tltest::ChildResult theChild = tltest::RunInChild([]() -> int {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev", "tmpfs", 0, nullptr) != 0)
      return 77;
    int theSocket = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un theAddress{};
    theAddress.sun_family = AF_UNIX;
    std::strcpy(theAddress.sun_path, "/dev/log");
    if (theSocket < 0 || bind(theSocket, reinterpret_cast<sockaddr*>(&theAddress), sizeof(theAddress)) != 0)
      return 1;
    timeval theWait{5, 0};
    setsockopt(theSocket, SOL_SOCKET, SO_RCVTIMEO, &theWait, sizeof(theWait));

    Source theSource("TessalineTest");
    unsetenv("TESSALINE_SYSLOG");
    if (!Report(theSource, EVENTLOG_INFORMATION_TYPE, "file only"))
      return 2;
    setenv("TESSALINE_SYSLOG", "1", 1);
    if (!Report(theSource, EVENTLOG_ERROR_TYPE, "to syslog too"))
      return 3;
    char theMessage[1024] = {};
    ssize_t theSize = recv(theSocket, theMessage, sizeof(theMessage) - 1, 0);
    if (theSize <= 0)
      return 4;
    std::string theText(theMessage, static_cast<std::size_t>(theSize));
    // <11> is LOG_USER | LOG_ERR; the first message is this one, not "file only".
    if (!theText.starts_with("<11>") ||
        theText.find("TessalineTest[" + std::to_string(getpid()) + "]: ") == std::string::npos ||
        !theText.ends_with("to syslog too")) {
      std::fprintf(stderr, "syslog got: %s\n", theText.c_str());
      return 5;
    }
    return ReadLines(LogPath()).size() == 2 ? 0 : 6;
  });
  ASSERT_TRUE(theChild.mExited);
  if (theChild.mStatus == 77)
    GTEST_SKIP() << "no private /dev here";
  EXPECT_EQ(theChild.mStatus, 0);
}
