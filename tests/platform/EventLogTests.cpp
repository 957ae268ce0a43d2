#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/eventlog/EventLog.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uintmax_t kRotateSize = 16 * 1024 * 1024;

std::string LogPath()
{
  return tltest::TestHome() + "/events.log";
}

std::vector<std::string> Split(const std::string& inText, char inSeparator)
{
  std::vector<std::string> theParts;
  std::stringstream theStream(inText);
  for (std::string thePart; std::getline(theStream, thePart, inSeparator);)
    theParts.push_back(thePart);
  return theParts;
}

// The lines of a log, without the NUL bytes a test put before them.
std::vector<std::string> ReadLines(const std::string& inPath)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::string theText((std::istreambuf_iterator<char>(theFile)), std::istreambuf_iterator<char>());
  std::vector<std::string> theLines;
  for (std::string& theLine : Split(theText, '\n')) {
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
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
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
  ASSERT_NE(static_cast<HANDLE>(theSource), nullptr);

  struct Case {
    WORD mType;
    const char* mTypeName;
    std::string mText;
    std::string mLogged;
  };
  const Case kCases[] = {
    {EVENTLOG_ERROR_TYPE, "Error", "Assertion Failed in Bitmap line 12 (mHDC)", "Assertion Failed in Bitmap line 12 (mHDC)"},
    {EVENTLOG_WARNING_TYPE, "Warning", "two\r\nlines\tand a tab", "two  lines and a tab"},
    {EVENTLOG_INFORMATION_TYPE, "Information", "Tessaline Registered Successfully",
     "Tessaline Registered Successfully"},
    {EVENTLOG_INFORMATION_TYPE, "Information", "", ""},
  };
  const std::regex kTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Case& theCase = kCases[i];
    ASSERT_TRUE(Report(theSource, theCase.mType, theCase.mText)) << theCase.mText;
    std::vector<std::string> theLines = ReadLines(LogPath());
    ASSERT_EQ(theLines.size(), i + 1);
    std::vector<std::string> theFields = Split(theLines.back() + "\t", '\t');
    ASSERT_EQ(theFields.size(), 6u) << theLines.back();
    EXPECT_TRUE(std::regex_match(theFields[0], kTime)) << theFields[0];
    EXPECT_EQ(theFields[1], theCase.mTypeName);
    EXPECT_EQ(theFields[2], "Tessaline");
    EXPECT_EQ(theFields[3], "1");
    EXPECT_EQ(theFields[4], "4096");
    EXPECT_EQ(theFields[5], theCase.mLogged);
  }
}

TEST(EventLog, TextIsTheFirstInsertionString)
{
  Source theSource("Tessaline");
  LPCSTR theStrings[] = {"first", "second"};
  ASSERT_TRUE(ReportEventA(theSource, EVENTLOG_WARNING_TYPE, 3, 77, nullptr, 2, 0, theStrings, nullptr));
  ASSERT_TRUE(ReportEventA(theSource, EVENTLOG_WARNING_TYPE, 3, 77, nullptr, 0, 0, nullptr, nullptr));
  std::vector<std::string> theLines = ReadLines(LogPath());
  ASSERT_EQ(theLines.size(), 2u);
  EXPECT_TRUE(theLines[0].ends_with("\tWarning\tTessaline\t3\t77\tfirst")) << theLines[0];
  EXPECT_TRUE(theLines[1].ends_with("\tWarning\tTessaline\t3\t77\t")) << theLines[1];
}

TEST(EventLog, LongTextIsCutWithoutSplittingACharacter)
{
  Source theSource("Tessaline");
  std::string theText = "a";
  while (theText.size() < 40000)
    theText += "\xC3\xA9";  // é: after the "a", every character starts at an odd offset
  ASSERT_TRUE(Report(theSource, EVENTLOG_ERROR_TYPE, theText));
  std::vector<std::string> theFields = Split(ReadLines(LogPath()).at(0) + "\t", '\t');
  ASSERT_EQ(theFields.size(), 6u);
  EXPECT_EQ(theFields[5].size(), 31839u);  // 31839 = 1 + 2 x 15919, a whole number of characters
  EXPECT_EQ(theFields[5], theText.substr(0, 31839));

  std::string theShifted = "b" + theText;  // now a cut at 31839 would fall inside one
  ASSERT_TRUE(Report(theSource, EVENTLOG_ERROR_TYPE, theShifted));
  theFields = Split(ReadLines(LogPath()).at(1) + "\t", '\t');
  EXPECT_EQ(theFields[5], theShifted.substr(0, 31838));
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
  for (WORD theType : {WORD{0}, WORD{3}, WORD{8}, WORD{16}}) {
    SetLastError(0);
    EXPECT_FALSE(Report(theSource, theType, "x")) << theType;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  LPCSTR theMissing[] = {nullptr};
  EXPECT_FALSE(ReportEventA(theSource, EVENTLOG_ERROR_TYPE, 1, 4096, nullptr, 1, 0, nullptr, nullptr));
  EXPECT_FALSE(ReportEventA(theSource, EVENTLOG_ERROR_TYPE, 1, 4096, nullptr, 1, 0, theMissing, nullptr));
  EXPECT_FALSE(std::filesystem::exists(LogPath()));

  SetLastError(0);
  EXPECT_EQ(RegisterEventSourceA("\\\\elsewhere-host", "Tessaline"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  SetLastError(0);
  EXPECT_EQ(RegisterEventSourceA(nullptr, ""), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Eight threads log at once: every line arrives whole, none mixed with
// another.
TEST(EventLog, ThreadsNeverInterleave)
{
  constexpr int kThreads = 8;
  constexpr int kEvents = 300;
  constexpr std::size_t kTextSize = 3000;
  std::vector<std::thread> theThreads;
  for (int t = 0; t < kThreads; ++t) {
    theThreads.emplace_back([t] {
      Source theSource(("Thread" + std::to_string(t)).c_str());
      std::string theText(kTextSize, static_cast<char>('A' + t));
      for (int i = 0; i < kEvents; ++i)
        EXPECT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, theText));
    });
  }
  for (std::thread& theThread : theThreads)
    theThread.join();

  std::vector<std::string> theLines = ReadLines(LogPath());
  ASSERT_EQ(theLines.size(), static_cast<std::size_t>(kThreads * kEvents));
  std::map<std::string, int> theCounts;
  for (const std::string& theLine : theLines) {
    std::vector<std::string> theFields = Split(theLine + "\t", '\t');
    ASSERT_EQ(theFields.size(), 6u);
    int theThread = std::stoi(theFields[2].substr(6));
    ASSERT_EQ(theFields[5], std::string(kTextSize, static_cast<char>('A' + theThread)));
    ++theCounts[theFields[2]];
  }
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(theCounts["Thread" + std::to_string(t)], kEvents);
}

TEST(EventLog, FullLogIsRotated)
{
  MakeFullLog(LogPath(), kRotateSize - 1);
  Source theSource("Tessaline");
  ASSERT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, "still below"));
  EXPECT_FALSE(std::filesystem::exists(LogPath() + ".1"));
  ASSERT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, "first of the new log"));
  ASSERT_TRUE(std::filesystem::exists(LogPath() + ".1"));
  EXPECT_GE(std::filesystem::file_size(LogPath() + ".1"), kRotateSize);
  std::vector<std::string> theOld = ReadLines(LogPath() + ".1");
  ASSERT_EQ(theOld.size(), 1u);
  EXPECT_TRUE(theOld[0].ends_with("still below"));
  std::vector<std::string> theNew = ReadLines(LogPath());
  ASSERT_EQ(theNew.size(), 1u);
  EXPECT_TRUE(theNew[0].ends_with("first of the new log"));

  // The next rotation replaces the older file.
  MakeFullLog(LogPath(), kRotateSize);
  ASSERT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, "after the second"));
  EXPECT_TRUE(ReadLines(LogPath() + ".1").empty());
  EXPECT_EQ(ReadLines(LogPath()).size(), 1u);
}

// Four processes log across the 16 MiB mark at once: the log is rotated once,
// and every event is in one of the two files exactly once.
TEST(EventLog, ProcessesRotatingAtOnceLoseNothing)
{
  constexpr int kProcesses = 4;
  constexpr int kEvents = 1000;
  MakeFullLog(LogPath(), kRotateSize - 64 * 1024);

  std::vector<pid_t> theChildren;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t theChild = fork();
    if (theChild == 0) {
      Source theSource("Tessaline");
      int theFailures = 0;
      for (int i = 0; i < kEvents; ++i)
        theFailures += !Report(theSource, EVENTLOG_INFORMATION_TYPE,
                               "process " + std::to_string(p) + " event " + std::to_string(i) + " padding padding");
      _exit(theFailures == 0 ? 0 : 1);
    }
    ASSERT_GT(theChild, 0);
    theChildren.push_back(theChild);
  }
  for (pid_t theChild : theChildren) {
    int theStatus = 0;
    ASSERT_EQ(waitpid(theChild, &theStatus, 0), theChild);
    EXPECT_TRUE(WIFEXITED(theStatus) && WEXITSTATUS(theStatus) == 0);
  }

  ASSERT_TRUE(std::filesystem::exists(LogPath() + ".1"));
  EXPECT_GE(std::filesystem::file_size(LogPath() + ".1"), kRotateSize - 64 * 1024);
  EXPECT_LT(std::filesystem::file_size(LogPath()), kRotateSize);
  std::map<std::string, int> theCounts;
  for (const char* theSuffix : {"", ".1"})
    for (const std::string& theLine : ReadLines(LogPath() + theSuffix))
      ++theCounts[Split(theLine, '\t').back()];
  ASSERT_EQ(theCounts.size(), static_cast<std::size_t>(kProcesses * kEvents));
  for (const auto& [theText, theCount] : theCounts)
    EXPECT_EQ(theCount, 1) << theText;
}

// A log the process may not write, or a home it cannot use, makes the call
// fail with the Windows error; nothing crashes.
TEST(EventLog, UnwritableLogGivesAnError)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  {
    Source theSource("Tessaline");
    ASSERT_TRUE(Report(theSource, EVENTLOG_INFORMATION_TYPE, "made by root"));
  }
  ASSERT_EQ(chmod(LogPath().c_str(), 0644), 0);
  std::string theEmptyHome = tltest::MakeTempFolder("readonly-home");

  tltest::ChildResult theChild = tltest::RunAsNobody([&]() -> int {
    Source theSource("Tessaline");
    if (static_cast<HANDLE>(theSource) == nullptr)
      return 1;
    SetLastError(0);
    if (Report(theSource, EVENTLOG_ERROR_TYPE, "refused") || GetLastError() != ERROR_ACCESS_DENIED)
      return 2;
    // No log yet, and a home where the user may not make one.
    setenv("TESSALINE_HOME", theEmptyHome.c_str(), 1);
    SetLastError(0);
    if (Report(theSource, EVENTLOG_ERROR_TYPE, "refused") || GetLastError() != ERROR_ACCESS_DENIED)
      return 3;
    return 0;
  });
  ASSERT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
  EXPECT_EQ(ReadLines(LogPath()).size(), 1u);
}

TEST(EventLog, HomeWithMissingParentGivesAnError)
{
  tltest::ChildResult theChild = tltest::RunInChild([]() -> int {
    Source theSource("Tessaline");
    setenv("TESSALINE_HOME", "/nonexistent-tessaline/home", 1);
    SetLastError(0);
    return !Report(theSource, EVENTLOG_ERROR_TYPE, "lost") && GetLastError() == ERROR_PATH_NOT_FOUND ? 0 : 1;
  });
  ASSERT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
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
    if (!theText.starts_with("<11>") || theText.find("TessalineTest[" + std::to_string(getpid()) + "]: ") ==
                                          std::string::npos ||
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
