#include "core/CanvasLog.h"
#include "core/OperationLog.h"
#include "core/Preferences.h"
#include "core/TimedLog.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/ChildGroup.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kCanvasHeader = "Version\tID\tStartTime\tDuration(ms)\tMemory(KB)";
const char* const kOperationHeader = "Version\tID\tStartTime\tDuration(ms)\tType\tCanvasID\tPath";

void SetPref(const char* inName, LONG inValue)
{
  ASSERT_EQ(SetPrefLong(inName, inValue), ERROR_SUCCESS);
}

std::vector<std::string> Split(const std::string& inText, char inSeparator)
{
  std::vector<std::string> theParts;
  std::size_t theStart = 0;
  for (std::size_t theEnd; (theEnd = inText.find(inSeparator, theStart)) != std::string::npos; theStart = theEnd + 1)
    theParts.push_back(inText.substr(theStart, theEnd - theStart));
  theParts.push_back(inText.substr(theStart));
  return theParts;
}

class Logs : public ::testing::Test {
protected:
  void SetUp() override
  {
    mFolder = tltest::MakeTempFolder("logs") + "/";
    ASSERT_EQ(SetLogDirectory(mFolder.c_str()), ERROR_SUCCESS);
    SetPref("LogOperations", 1);
    SetPref("MaxOperationTime", 0);
  }

  std::string Path(const char* inName) const { return mFolder + inName; }

  // The file's lines; every line must end in CR LF.
  std::vector<std::string> Lines(const char* inName) const
  {
    const std::string theText = tltest::ReadFile(Path(inName));
    std::vector<std::string> theLines;
    std::size_t theStart = 0;
    for (std::size_t theEnd; (theEnd = theText.find("\r\n", theStart)) != std::string::npos; theStart = theEnd + 2) {
      theLines.push_back(theText.substr(theStart, theEnd - theStart));
      EXPECT_EQ(theLines.back().find_first_of("\r\n"), std::string::npos) << inName << ": " << theLines.back();
    }
    EXPECT_EQ(theStart, theText.size()) << inName << " does not end in CR LF";
    return theLines;
  }

  std::string mFolder;
};

// A record's fields, checked against the base columns.
std::vector<std::string> Record(const std::string& inLine, std::size_t inFieldCount, DWORD inID)
{
  std::vector<std::string> theFields = Split(inLine, '\t');
  EXPECT_EQ(theFields.size(), inFieldCount) << inLine;
  theFields.resize(inFieldCount);
  EXPECT_EQ(theFields[0], "1");
  EXPECT_EQ(theFields[1], (std::ostringstream() << std::hex << inID).str());
  EXPECT_TRUE(std::regex_match(theFields[2], std::regex("[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")))
    << theFields[2];
  EXPECT_TRUE(std::regex_match(theFields[3], std::regex("[0-9]+"))) << theFields[3];
  return theFields;
}

TEST_F(Logs, ACanvasLineCarriesItsPeakMemoryUnderOneHeader)
{
  CanvasLog theLog;
  for (DWORD theMemory : {5000u, 300000u, 2048u})
    theLog.NoteMemory(theMemory);
  theLog.Finish();
  CanvasLog theSecond;
  theSecond.Finish();
  const std::vector<std::string> theLines = Lines("Canvas.log");
  ASSERT_EQ(theLines.size(), 3u);
  EXPECT_EQ(theLines[0], kCanvasHeader);
  EXPECT_EQ(Record(theLines[1], 5, theLog.GetID())[4], "292");
  EXPECT_EQ(Record(theLines[2], 5, theSecond.GetID())[4], "0");
}

TEST_F(Logs, TheStartTimeIsTwentyEnglishCharactersWhateverTheLocale)
{
  ASSERT_TRUE(tltest::SwitchToCommaLocale(LC_ALL));
  const std::time_t theBefore = std::time(nullptr);
  OperationLog theLog;
  const std::time_t theAfter = std::time(nullptr);
  theLog.Finish();
  std::setlocale(LC_ALL, "C");
  const std::vector<std::string> theLines = Lines("Operation.log");
  ASSERT_EQ(theLines.size(), 2u);
  const std::string theStart = Record(theLines[1], 7, theLog.GetID())[2];
  auto theText = [](std::time_t inTime) {
    char theBuffer[32];
    std::tm theTime{};
    localtime_r(&inTime, &theTime);
    std::strftime(theBuffer, sizeof theBuffer, "%b %d %H:%M:%S %Y", &theTime);  // "C" locale
    return std::string(theBuffer);
  };
  EXPECT_EQ(theStart.size(), 20u);
  EXPECT_TRUE(theStart == theText(theBefore) || theStart == theText(theAfter)) << theStart;
}

TEST_F(Logs, LinesFollowTheirPreferences)
{
  struct Case {
    const char* mName;
    LONG mLogOperations, mMaxTime;
    int mSleep;  // milliseconds the operation takes
    const char* mPath;
    bool mOperationLine, mSaveLine;  // a canvas is logged as an operation without a path
  } const kCases[] = {
    {"logging off, no path", 0, 0, 0, "", false, false},
    {"logging off, a save", 0, 0, 0, "/srv/out/a.gif", false, true}, {"every operation", 1, 0, 0, "", true, false},
    {"a logged save is in both", 1, 0, 0, "/srv/out/b.jpg", true, true},
    {"negative limit logs none", 1, -1, 0, "", false, false},
    {"fast operation", 1, 100000, 0, "/srv/out/c.png", false, true}, {"slow operation", 1, 20, 40, "", true, false},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    for (const char* theFile : {"Operation.log", "SaveAs.log", "Canvas.log"})
      fs::remove(Path(theFile));
    SetPref("LogOperations", theCase.mLogOperations);
    SetPref("MaxOperationTime", theCase.mMaxTime);
    OperationLog theLog;
    CanvasLog theCanvas;
    theLog.SetType("DrawGraphic");
    theLog.SetCanvasID(0x1234abcd);
    theLog.SetPath(theCase.mPath);
    std::this_thread::sleep_for(std::chrono::milliseconds(theCase.mSleep));
    theLog.Finish();
    theCanvas.Finish();
    EXPECT_EQ(Lines("Canvas.log").size(), theCase.mOperationLine ? 2u : 0u);
    for (const char* theFile : {"Operation.log", "SaveAs.log"}) {
      const bool theExpected = std::string(theFile) == "Operation.log" ? theCase.mOperationLine : theCase.mSaveLine;
      const std::vector<std::string> theLines = Lines(theFile);
      ASSERT_EQ(theLines.size(), theExpected ? 2u : 0u) << theFile;
      if (!theExpected)
        continue;
      EXPECT_EQ(theLines[0], kOperationHeader);
      const std::vector<std::string> theFields = Record(theLines[1], 7, theLog.GetID());
      EXPECT_GE(std::stol(theFields[3]), theCase.mSleep);
      EXPECT_EQ(theFields[4], "DrawGraphic");
      EXPECT_EQ(theFields[5], "1234abcd");
      EXPECT_EQ(theFields[6], theCase.mPath);
    }
  }
}

TEST_F(Logs, FieldsStayFieldsAndPathsHaveALimit)
{
  OperationLog theLog;
  theLog.SetType("Draw\tText\r\nInjected");
  theLog.SetPath(std::string(255, 'p').c_str());
  theLog.SetPath(std::string(256, 'q').c_str());  // ignored
  theLog.Finish();
  std::vector<std::string> theLines = Lines("SaveAs.log");
  ASSERT_EQ(theLines.size(), 2u);
  std::vector<std::string> theFields = Record(theLines[1], 7, theLog.GetID());
  EXPECT_EQ(theFields[4], "Draw Text  Injected");
  EXPECT_EQ(theFields[6], std::string(255, 'p'));

  OperationLog theCleared;
  theCleared.SetPath("/srv/x.gif");
  theCleared.SetPath("");
  SetPref("LogOperations", 0);
  theCleared.Finish();
  EXPECT_EQ(Lines("SaveAs.log").size(), 2u) << "an empty path clears it";
}

TEST_F(Logs, AFileAboveTheCapIsEmptiedFirst)
{
  CanvasLog().Finish();
  SetPref("LogMaxFileSize", static_cast<LONG>(fs::file_size(Path("Canvas.log"))));
  CanvasLog().Finish();
  EXPECT_EQ(Lines("Canvas.log").size(), 3u) << "exactly at the cap: kept";
  SetPref("LogMaxFileSize", static_cast<LONG>(fs::file_size(Path("Canvas.log")) - 1));
  CanvasLog().Finish();
  const std::vector<std::string> theLines = Lines("Canvas.log");
  ASSERT_EQ(theLines.size(), 2u) << "one byte above: emptied, then headed again";
  EXPECT_EQ(theLines[0], kCanvasHeader);
  SetPref("LogMaxFileSize", 0);
  for (int theRound = 0; theRound < 3; ++theRound)
    CanvasLog().Finish();
  EXPECT_EQ(Lines("Canvas.log").size(), 2u) << "a cap of 0 keeps the header and one record";
}

TEST_F(Logs, TheDirectoryIsExpandedMadeAndLimited)
{
  // %NAME% is expanded and the separator added.
  std::string theBase = tltest::MakeTempFolder("expanded");
  setenv("TL_TEST_LOGS", theBase.c_str(), 1);
  ASSERT_EQ(SetLogDirectory("%TL_TEST_LOGS%/made"), ERROR_SUCCESS);
  EXPECT_EQ(GetLogDirectory(), theBase + "/made/");
  CanvasLog().Finish();
  EXPECT_TRUE(fs::exists(theBase + "/made/Canvas.log")) << "the missing log folder is made";

  // A directory and file name of 256 bytes or more write nothing.
  std::string theLong = tltest::MakeTempFolder("long");
  std::string theFolder = theLong + "/" + std::string(256 - 10 - theLong.size() - 2, 'd') + "/";
  ASSERT_EQ(theFolder.size() + std::string("Canvas.log").size(), 256u);
  fs::create_directories(theFolder);
  ASSERT_EQ(SetLogDirectory(theFolder.c_str()), ERROR_SUCCESS);
  CanvasLog().Finish();
  EXPECT_FALSE(fs::exists(theFolder + "Canvas.log"));
  std::string theShorter = theFolder.substr(0, theFolder.size() - 2) + "/";
  fs::create_directories(theShorter);
  ASSERT_EQ(SetLogDirectory(theShorter.c_str()), ERROR_SUCCESS);
  CanvasLog().Finish();
  EXPECT_TRUE(fs::exists(theShorter + "Canvas.log"));
}

TEST_F(Logs, IDsAreTwo15BitDraws)
{
  std::vector<DWORD> theIDs;
  for (int theIndex = 0; theIndex < 2000; ++theIndex) {
    DWORD theID = OperationLog().GetID();
    ASSERT_EQ(theID & 0x80008000u, 0u) << std::hex << theID;
    theIDs.push_back(theID);
  }
  std::sort(theIDs.begin(), theIDs.end());
  EXPECT_GT(std::unique(theIDs.begin(), theIDs.end()) - theIDs.begin(), 1990);
}

TEST_F(Logs, LinesOfEightThreadsNeverMix)
{
  constexpr int kThreads = 8;
  constexpr int kLines = 250;
  SetPref("LogMaxFileSize", 100 << 20);
  std::vector<std::thread> theThreads;
  for (int theThread = 0; theThread < kThreads; ++theThread) {
    theThreads.emplace_back([theThread] {
      for (int theLine = 0; theLine < kLines; ++theLine) {
        OperationLog theLog;
        theLog.SetType(("Thread" + std::to_string(theThread) + std::string(static_cast<std::size_t>(theLine % 50), 'x')).c_str());
        theLog.SetPath(("/srv/out/" + std::to_string(theThread) + "/" + std::to_string(theLine) + ".gif").c_str());
        theLog.Finish();
      }
    });
  }
  for (std::thread& theThread : theThreads)
    theThread.join();
  std::vector<std::string> theLines = Lines("SaveAs.log");
  ASSERT_EQ(theLines.size(), static_cast<std::size_t>(kThreads * kLines + 1)) << "one header and every record";
  std::size_t theHeaders = 0;
  for (const std::string& theLine : theLines) {
    if (theLine == kOperationHeader) {
      ++theHeaders;
      continue;
    }
    std::vector<std::string> theFields = Split(theLine, '\t');
    ASSERT_EQ(theFields.size(), 7u) << theLine;
    std::smatch theMatch;
    ASSERT_TRUE(std::regex_match(theFields[6], theMatch, std::regex("/srv/out/([0-9])/[0-9]+\\.gif"))) << theLine;
    EXPECT_EQ(theFields[4].substr(0, 7), "Thread" + theMatch[1].str()) << theLine;
  }
  EXPECT_EQ(theHeaders, 1u);
}

// A log that is a link to nothing is written through the link at once, as
// every create through a link to a missing file is.
TEST_F(Logs, ADanglingLogEndsAtOnceAndFillsItsTarget)
{
  const std::string theTarget = mFolder + "elsewhere.log";
  ASSERT_EQ(symlink(theTarget.c_str(), Path("SaveAs.log").c_str()), 0);
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    alarm(10);
    OperationLog theLog;
    theLog.SetPath("/srv/out/a.gif");
    theLog.Finish();
    return 0;
  })));
  const std::vector<std::string> theLines = Lines("elsewhere.log");
  ASSERT_EQ(theLines.size(), 2u);
  EXPECT_EQ(theLines[0], kOperationHeader);
  EXPECT_EQ(Split(theLines[1], '\t').back(), "/srv/out/a.gif");
}

// Logging never fails towards its caller, but the first record a process
// loses is an error event naming the file.
TEST_F(Logs, TheFirstLostRecordOfAProcessIsAnErrorEvent)
{
  for (const char* theName : {"Operation.log", "SaveAs.log"})
    ASSERT_TRUE(fs::create_directory(Path(theName)));
  tltest::EventWatcher theEvents;
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    for (int theRecord = 0; theRecord < 3; ++theRecord) {
      OperationLog theLog;
      theLog.SetPath("/srv/out/lost.gif");
      theLog.Finish();
    }
    return 0;
  })));
  const std::vector<tltest::Event> theLost = theEvents.NewEvents();
  ASSERT_EQ(theLost.size(), 1u) << "once per process";
  EXPECT_EQ(theLost[0].mType, "Error");
  EXPECT_TRUE(std::regex_match(theLost[0].mText, std::regex("Unable to write log file \"" + mFolder +
                                                            "Operation\\.log\" \\([0-9]+\\)")))
    << theLost[0].mText;
  CanvasLog().Finish();
  EXPECT_EQ(Lines("Canvas.log").size(), 2u);
  EXPECT_EQ(theEvents.NewEvents().size(), 1u) << "a record written is no event";
}

// Processes started at one moment into a store without its log folder: each
// makes the folder or finds it made, and no record is lost. Every file has one
// header, as its first line.
TEST_F(Logs, EightProcessesStartingTogetherKeepEveryRecord)
{
  constexpr int kRuns = 20;
  constexpr int kProcesses = 8;
  constexpr int kRecords = 500;
  SetPref("LogMaxFileSize", 100 << 20);
  for (int theRun = 0; theRun < kRuns; ++theRun) {
    SCOPED_TRACE("run " + std::to_string(theRun));
    const std::string theFolder = mFolder + "run" + std::to_string(theRun) + "/";
    ASSERT_EQ(SetLogDirectory(theFolder.c_str()), ERROR_SUCCESS);
    const auto theStart = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    std::vector<std::function<int()>> theBodies;
    for (int theProcess = 0; theProcess < kProcesses; ++theProcess)
      theBodies.push_back([theStart, theProcess] {
        std::this_thread::sleep_until(theStart);
        for (int theRecord = 0; theRecord < kRecords; ++theRecord) {
          OperationLog theLog;
          theLog.SetPath(("/srv/" + std::to_string(theProcess) + "/" + std::to_string(theRecord)).c_str());
          theLog.Finish();
        }
        return 0;
      });
    ASSERT_TRUE(tltest::AllSucceeded(tltest::RunChildrenTogether(theBodies)));
    for (const char* theName : {"Operation.log", "SaveAs.log"}) {
      const std::string theText = tltest::ReadFile(theFolder + theName);
      std::vector<std::string> theLines = Split(theText, '\n');
      ASSERT_EQ(theLines.back(), "") << theName;
      theLines.pop_back();
      ASSERT_FALSE(theLines.empty()) << theName;
      EXPECT_EQ(theLines.front(), std::string(kOperationHeader) + "\r") << theName;
      std::set<std::string> thePaths;
      for (std::size_t theLine = 1; theLine < theLines.size(); ++theLine)
        thePaths.insert(Split(theLines[theLine], '\t').back());
      EXPECT_EQ(theLines.size(), static_cast<std::size_t>(kProcesses * kRecords + 1)) << theName;
      EXPECT_EQ(thePaths.size(), static_cast<std::size_t>(kProcesses * kRecords)) << theName << ": every record once";
    }
  }
}

// Log IDs stay two 15-bit draws, and processes started at one moment (forked
// from one that drew already, too) never share them.
TEST_F(Logs, ProcessesStartedTogetherNeverShareIDs)
{
  constexpr int kProcesses = 8;
  constexpr int kCanvases = 100;
  CanvasLog theParents;
  const std::string theFolder = tltest::MakeTempFolder("ids");
  const auto theStart = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  std::vector<std::function<int()>> theBodies;
  for (int theProcess = 0; theProcess < kProcesses; ++theProcess)
    theBodies.push_back([&, theProcess] {
      std::this_thread::sleep_until(theStart);
      std::ofstream theFile(theFolder + "/" + std::to_string(theProcess));
      for (int theCanvas = 0; theCanvas < kCanvases; ++theCanvas)
        theFile << CanvasLog().GetID() << "\n";
      return theFile ? 0 : 1;
    });
  ASSERT_TRUE(tltest::AllSucceeded(tltest::RunChildrenTogether(theBodies)));
  std::set<DWORD> theIDs{theParents.GetID()};
  for (int theProcess = 0; theProcess < kProcesses; ++theProcess) {
    std::ifstream theFile(theFolder + "/" + std::to_string(theProcess));
    for (DWORD theID; theFile >> theID;) {
      EXPECT_EQ(theID & 0x80008000u, 0u) << std::hex << theID;
      theIDs.insert(theID);
    }
  }
  EXPECT_EQ(theIDs.size(), static_cast<std::size_t>(kProcesses * kCanvases + 1));
}

}  // namespace
