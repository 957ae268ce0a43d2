// QuickTime's life cycle (without QuickTime, with the stand-in at several
// versions, with a library whose start steps fail) and the format choices
// over the stand-in's components.
//
// The life cycle is process-wide state that never resets, so each of those
// cases runs in a fresh child process (RunFresh).

#include "core/EventLog.h"
#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"
#include "tests/core/EventWatcher.h"
#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs inBody in a child process; its failures are printed there and fail
// the calling test.
void RunFresh(const std::function<void()>& inBody)
{
  tltest::ChildResult theChild = tltest::RunInChild([&] {
    inBody();
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_TRUE(theChild.mExited) << "signal " << theChild.mSignal;
  EXPECT_EQ(theChild.mStatus, 0) << "the child's failures are printed above";
}

void UseNoQuickTime()
{
  unsetenv(kQTLibraryVariable);
}

void UseStandIn(const char* inVersion, int inExporters = 6)
{
  qttest::UseStandIn();
  setenv("TL_TEST_QUICKTIME_VERSION", inVersion, 1);
  setenv("TL_TEST_QUICKTIME_EXPORTERS", std::to_string(inExporters).c_str(), 1);
}

struct Counts {
  std::int32_t mStarts = 0;
  std::int32_t mStops = 0;
};

Counts StandInCounts()
{
  Counts theCounts;
  qttest::StandInCounts(theCounts.mStarts, theCounts.mStops);
  return theCounts;
}

// InitializeQTML, TerminateQTML, EnterMovies and ExitMovies calls of the fake library.
std::vector<std::int32_t> FakeCounts()
{
  std::vector<std::int32_t> theCounts(4);
  void* theLibrary = dlopen(TL_QUICKTIME_FAKE, RTLD_NOW | RTLD_NOLOAD);
  if (!theLibrary)
    return {};
  auto theEntry = reinterpret_cast<void (*)(std::int32_t*)>(dlsym(theLibrary, "TLQuickTimeFakeCounts"));
  theEntry(theCounts.data());
  dlclose(theLibrary);
  return theCounts;
}

std::vector<std::string> NewWarnings(const tltest::EventWatcher& inWatcher)
{
  std::vector<std::string> theTexts;
  for (const tltest::Event& theEvent : inWatcher.NewEvents())
    theTexts.push_back(theEvent.mType + ": " + theEvent.mText);
  return theTexts;
}

struct User {
  OSErr mStartErr = 1;
  LONG mAvailable = -1;
};

User Acquire()
{
  User theUser;
  AcquireQuickTime(theUser.mStartErr, theUser.mAvailable);
  return theUser;
}

// --- Life cycle -------------------------------------------------------------

TEST(QuickTimeLifeCycle, WithoutQuickTimeTheFirstUserReportsOnce)
{
  // Unset, and set to something that is no QuickTime library.
  for (const char* theLibrary : {"", "/nonexistent/quicktime.so", "/etc/passwd"}) {
    SCOPED_TRACE(theLibrary);
    RunFresh([&] {
      if (*theLibrary)
        setenv(kQTLibraryVariable, theLibrary, 1);
      else
        UseNoQuickTime();
      tltest::EventWatcher theWatcher;
      User theFirst = Acquire();
      EXPECT_EQ(theFirst.mStartErr, kQTNotInstalledErr);
      EXPECT_EQ(theFirst.mAvailable, 0);
      EXPECT_FALSE(QuickTimeAvailable());
      LONG theMajor = -1, theMinor = -1, theBugFix = -1;
      EXPECT_EQ(GetQuickTimeVersion(theMajor, theMinor, theBugFix), kQTNoErr);
      EXPECT_EQ(theMajor, 0);
      EXPECT_EQ(theMinor, 0);
      EXPECT_EQ(theBugFix, 0);
      User theSecond = Acquire();
      EXPECT_EQ(theSecond.mStartErr, kQTNotInstalledErr);
      ReleaseQuickTime(theSecond.mStartErr);
      ReleaseQuickTime(theFirst.mStartErr);
      EXPECT_EQ(NewWarnings(theWatcher), std::vector<std::string>{"Warning: Unable to access QuickTime (-2096)"});
    });
  }
}

TEST(QuickTimeLifeCycle, VersionDecidesAvailability)
{
  struct Case {
    const char* mVersion;
    LONG mAvailable;
    LONG mMajor, mMinor, mBugFix;  // what GetQuickTimeVersion answers
    const char* mWarning;          // null: none
  };
  const Case kCases[] = {
      {"3.0", 0, 0, 0, 0, "Warning: QuickTime 3.0.0 is too old. Please upgrade."},
      {"4.0.3", 0, 0, 0, 0, "Warning: QuickTime 4.0.3 is too old. Please upgrade."},
      {"4.1", 1, 4, 1, 0, nullptr},
      {"6.0", 1, 6, 0, 0, nullptr},
      {"6.5.2", 1, 6, 5, 2, nullptr},
      {"12.7.15", 1, 12, 7, 15, nullptr},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mVersion);
    RunFresh([&] {
      UseStandIn(theCase.mVersion);
      tltest::EventWatcher theWatcher;
      // A later user gets the same answer without a second report.
      User theFirst = Acquire();
      User theSecond = Acquire();
      for (const User& theUser : {theFirst, theSecond}) {
        EXPECT_EQ(theUser.mStartErr, kQTNoErr);
        EXPECT_EQ(theUser.mAvailable, theCase.mAvailable);
      }
      EXPECT_EQ(QuickTimeAvailable(), theCase.mAvailable == 1);
      LONG theMajor = -1, theMinor = -1, theBugFix = -1;
      EXPECT_EQ(GetQuickTimeVersion(theMajor, theMinor, theBugFix), kQTNoErr);
      EXPECT_EQ(theMajor, theCase.mMajor);
      EXPECT_EQ(theMinor, theCase.mMinor);
      EXPECT_EQ(theBugFix, theCase.mBugFix);
      // Started either way: the version of a too-old one is asked directly.
      EXPECT_EQ(QueryQuickTimeVersion(theMajor, theMinor, theBugFix), kQTNoErr);
      ReleaseQuickTime(theSecond.mStartErr);
      ReleaseQuickTime(theFirst.mStartErr);
      std::vector<std::string> theExpected;
      if (theCase.mWarning)
        theExpected.push_back(theCase.mWarning);
      EXPECT_EQ(NewWarnings(theWatcher), theExpected);
    });
  }
}

TEST(QuickTimeLifeCycle, PreferenceUseQuickTimeOffLoadsNothing)
{
  RunFresh([] {
    UseStandIn("6.0");
    ASSERT_EQ(SetPrefLong("UseQuickTime", 0), ERROR_SUCCESS);
    tltest::EventWatcher theWatcher;
    User theUser = Acquire();
    EXPECT_EQ(theUser.mStartErr, kQTNoErr);
    EXPECT_EQ(theUser.mAvailable, 0);
    EXPECT_EQ(QT(), nullptr);
    ReleaseQuickTime(theUser.mStartErr);
    EXPECT_EQ(NewWarnings(theWatcher), std::vector<std::string>{});
  });
}

TEST(QuickTimeLifeCycle, StaysStartedWithoutUnload)
{
  RunFresh([] {
    UseStandIn("6.0");
    User theFirst = Acquire();
    User theSecond = Acquire();
    ReleaseQuickTime(theSecond.mStartErr);
    ReleaseQuickTime(theFirst.mStartErr);
    User theThird = Acquire();
    ReleaseQuickTime(theThird.mStartErr);
    Counts theCounts = StandInCounts();
    EXPECT_EQ(theCounts.mStarts, 1);
    EXPECT_EQ(theCounts.mStops, 0);
    EXPECT_TRUE(QuickTimeAvailable());
  });
}

TEST(QuickTimeLifeCycle, UnloadsAtTheThirdReleaseWithPeriodTwo)
{
  RunFresh([] {
    UseStandIn("6.0");
    ASSERT_EQ(SetPrefLong("UnloadQuickTime", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("UnloadQuickTimePeriod", 2), ERROR_SUCCESS);
    // The counter before each release is 0, 1, 2: the third unloads and the
    // counter starts again.
    const Counts kAfterRelease[] = {{1, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 1}, {2, 2}};
    for (int i = 0; i < 6; ++i) {
      User theUser = Acquire();
      EXPECT_EQ(theUser.mAvailable, 1) << "round " << i;
      ReleaseQuickTime(theUser.mStartErr);
      Counts theCounts = StandInCounts();
      EXPECT_EQ(theCounts.mStarts, kAfterRelease[i].mStarts) << "round " << i;
      EXPECT_EQ(theCounts.mStops, kAfterRelease[i].mStops) << "round " << i;
      EXPECT_EQ(QuickTimeAvailable(), theCounts.mStarts != theCounts.mStops) << "round " << i;
    }
  });
}

TEST(QuickTimeLifeCycle, ABusyQuickTimeIsNotUnloaded)
{
  RunFresh([] {
    UseStandIn("6.0");
    ASSERT_EQ(SetPrefLong("UnloadQuickTime", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("UnloadQuickTimePeriod", 0), ERROR_SUCCESS);
    User theHolder = Acquire();
    for (int i = 0; i < 3; ++i)
      ReleaseQuickTime(Acquire().mStartErr);
    EXPECT_EQ(StandInCounts().mStops, 0);
    ReleaseQuickTime(theHolder.mStartErr);
    EXPECT_EQ(StandInCounts().mStops, 1);
  });
}

TEST(QuickTimeLifeCycle, CountsBalanceAcrossThreads)
{
  for (bool theStandIn : {false, true}) {
    SCOPED_TRACE(theStandIn ? "stand-in" : "no QuickTime");
    RunFresh([&] {
      if (theStandIn)
        UseStandIn("6.0");
      else
        UseNoQuickTime();
      // Every release tries to unload, so loads and unloads race with the
      // counting.
      ASSERT_EQ(SetPrefLong("UnloadQuickTime", 1), ERROR_SUCCESS);
      ASSERT_EQ(SetPrefLong("UnloadQuickTimePeriod", 0), ERROR_SUCCESS);
      tltest::EventWatcher theWatcher;
      std::vector<std::thread> theThreads;
      for (int t = 0; t < 8; ++t)
        theThreads.emplace_back([theStandIn] {
          for (int i = 0; i < 50; ++i) {
            User theUser = Acquire();
            if ((theUser.mAvailable == 1) != theStandIn)
              ADD_FAILURE() << "available " << theUser.mAvailable << " start error " << theUser.mStartErr;
            if (theUser.mAvailable == 1 && !QT())
              ADD_FAILURE() << "QuickTime stopped under a user";
            ReleaseQuickTime(theUser.mStartErr);
          }
        });
      for (std::thread& theThread : theThreads)
        theThread.join();
      std::vector<std::string> theExpected;
      if (!theStandIn)
        theExpected.push_back("Warning: Unable to access QuickTime (-2096)");
      EXPECT_EQ(NewWarnings(theWatcher), theExpected) << "no assertion, one report at most";
      if (theStandIn) {
        // The last release found nobody and unloaded: every start was stopped.
        Counts theCounts = StandInCounts();
        EXPECT_GE(theCounts.mStarts, 1);
        EXPECT_EQ(theCounts.mStarts, theCounts.mStops);
        EXPECT_EQ(QT(), nullptr);
      }
    });
  }
}

TEST(QuickTimeLifeCycle, AnUnbalancedReleaseIsReportedAndNotCounted)
{
  RunFresh([] {
    UseStandIn("6.0");
    tltest::EventWatcher theWatcher;
    ReleaseQuickTime(0);
    std::vector<std::string> theWarnings = NewWarnings(theWatcher);
    ASSERT_EQ(theWarnings.size(), 1u);
    EXPECT_NE(theWarnings[0].find("Assertion Failed in QTUtils line "), std::string::npos) << theWarnings[0];
    EXPECT_NE(theWarnings[0].find("(gQTReferenceCount > 0)"), std::string::npos) << theWarnings[0];
    // The next user is the first again, and loads.
    User theUser = Acquire();
    EXPECT_EQ(theUser.mAvailable, 1);
    ReleaseQuickTime(theUser.mStartErr);
  });
}

TEST(QuickTimeLifeCycle, StartOnAThreadAnswersAsOnTheCallingThread)
{
  for (bool theStandIn : {false, true}) {
    SCOPED_TRACE(theStandIn ? "stand-in" : "no QuickTime");
    RunFresh([&] {
      if (theStandIn)
        UseStandIn("6.0");
      else
        UseNoQuickTime();
      OSErr theExpected = theStandIn ? kQTNoErr : kQTNotInstalledErr;
      OSErr theDirect = StartQuickTime();
      OSErr theThreaded = StartQuickTimeOnThread();
      EXPECT_EQ(theDirect, theExpected);
      EXPECT_EQ(theThreaded, theExpected);
      EXPECT_EQ(QT() != nullptr, theStandIn);
      StopQuickTime(theThreaded);
      EXPECT_EQ(QT() != nullptr, theStandIn) << "one start is left";
      StopQuickTime(theDirect);
      EXPECT_EQ(QT(), nullptr);
      if (theStandIn) {
        Counts theCounts = StandInCounts();
        EXPECT_EQ(theCounts.mStarts, 1);
        EXPECT_EQ(theCounts.mStops, 1);
      }
    });
  }
}

TEST(QuickTimeLifeCycle, FailedStartStepsLeaveNothingStarted)
{
  // The movie toolbox refuses: the platform library is terminated again.
  RunFresh([] {
    setenv(kQTLibraryVariable, TL_QUICKTIME_FAKE, 1);
    setenv("TL_TEST_FAKE_ENTER_ERR", "-108", 1);
    EXPECT_EQ(StartQuickTime(), kQTMemFullErr);
    EXPECT_EQ(QT(), nullptr);
    EXPECT_EQ(FakeCounts(), (std::vector<std::int32_t>{1, 1, 0, 0}));
  });
  // The version query fails: reported, and QuickTime stopped at once (an
  // unload later does not stop it twice).
  RunFresh([] {
    setenv(kQTLibraryVariable, TL_QUICKTIME_FAKE, 1);
    setenv("TL_TEST_FAKE_GESTALT_ERR", "-5551", 1);
    ASSERT_EQ(SetPrefLong("UnloadQuickTime", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("UnloadQuickTimePeriod", 0), ERROR_SUCCESS);
    tltest::EventWatcher theWatcher;
    User theUser = Acquire();
    EXPECT_EQ(theUser.mStartErr, -5551);
    EXPECT_EQ(theUser.mAvailable, 0);
    EXPECT_EQ(QT(), nullptr);
    ReleaseQuickTime(theUser.mStartErr);
    EXPECT_EQ(FakeCounts(), (std::vector<std::int32_t>{1, 1, 1, 1}));
    EXPECT_EQ(NewWarnings(theWatcher), std::vector<std::string>{"Warning: Unable to access QuickTime (-5551)"});
  });
}

// --- Format choice ---------------------------------------------------------------

// A 4 x 4 24-bit bitmap file, 72 dots per inch.
std::string MakeBmp()
{
  std::string theBytes = "BM";
  auto thePut32 = [&](std::uint32_t inValue) {
    for (int i = 0; i < 4; ++i)
      theBytes.push_back(static_cast<char>((inValue >> (8 * i)) & 0xFF));
  };
  auto thePut16 = [&](std::uint16_t inValue) {
    theBytes.push_back(static_cast<char>(inValue & 0xFF));
    theBytes.push_back(static_cast<char>(inValue >> 8));
  };
  thePut32(54 + 48);
  thePut32(0);
  thePut32(54);
  thePut32(40);
  thePut32(4);
  thePut32(4);
  thePut16(1);
  thePut16(24);
  thePut32(0);
  thePut32(48);
  thePut32(2835);
  thePut32(2835);
  thePut32(0);
  thePut32(0);
  theBytes.append(48, '\x7F');
  return theBytes;
}

class QuickTimeFormats : public testing::Test {
protected:
  void SetUp() override
  {
    UseStandIn("6.0", 4);
    ASSERT_EQ(StartQuickTime(), kQTNoErr);
    mQT = QT();
  }
  void TearDown() override
  {
    if (mQT)
      StopQuickTime(kQTNoErr);
  }

  std::string NameOf(Component inComponent)
  {
    if (!inComponent)
      return "(none)";
    Handle theName = mQT->NewHandle(0);
    ComponentDescription theDescription{};
    EXPECT_EQ(mQT->GetComponentInfo(inComponent, &theDescription, theName, nullptr, nullptr), kQTNoErr);
    std::string theText = CopyPStringHandle(theName);
    mQT->DisposeHandle(theName);
    return theText;
  }

  std::string NameOfInstance(ComponentInstance inInstance)
  {
    ComponentDescription theDescription{};
    EXPECT_EQ(mQT->GetComponentInstanceInfo(inInstance, &theDescription), kQTNoErr);
    return theDescription.componentSubType == MakeOSType("JPEG") ? "JPEG" : "BMP";
  }

  // A handle holding a copy of the bytes, or a 'ptr ' reference to them.
  Handle NewDataHandle(const std::string& inBytes)
  {
    Handle theHandle = mQT->NewHandle(static_cast<Size>(inBytes.size()));
    std::memcpy(*theHandle, inBytes.data(), inBytes.size());
    return theHandle;
  }
  Handle NewPointerRef(const std::string& inBytes)
  {
    PointerDataRefRecord theRecord{const_cast<char*>(inBytes.data()), static_cast<Size>(inBytes.size())};
    Handle theHandle = mQT->NewHandle(sizeof theRecord);
    std::memcpy(*theHandle, &theRecord, sizeof theRecord);
    return theHandle;
  }

  const QTServices* mQT = nullptr;
};

TEST_F(QuickTimeFormats, ExporterList)
{
  // The base exporter is not listed.
  LONG theCount = -1;
  std::string theName, theDesc;
  EXPECT_EQ(GetExporterInfo(-1, &theName, &theDesc, &theCount), kQTNoErr);
  EXPECT_EQ(theCount, 4);
  EXPECT_EQ(theName, "");
  struct Case {
    LONG mIndex;
    const char* mName;
    const char* mDesc;
  };
  const Case kCases[] = {
      {0, "BMP", "Writes Windows bitmaps"},
      {1, "Exporter 02", "Lists a format it cannot write"},
      {3, "Exporter 04", "Lists a format it cannot write"},
      {4, "", ""},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mIndex);
    theCount = -1;
    EXPECT_EQ(GetExporterInfo(theCase.mIndex, &theName, &theDesc, &theCount), kQTNoErr);
    EXPECT_EQ(theName, theCase.mName);
    EXPECT_EQ(theDesc, theCase.mDesc);
    EXPECT_EQ(theCount, 4);
  }
  EXPECT_EQ(GetExporterInfo(2, nullptr, nullptr, nullptr), kQTNoErr);
  EXPECT_EQ(GetExporterInfo(2, &theName, nullptr, nullptr), kQTNoErr);
  EXPECT_EQ(theName, "Exporter 03");
}

TEST_F(QuickTimeFormats, ImporterAndExporterChoice)
{
  struct Case {
    const char* mName;
    const char* mMIME;
    const char* mDesc;
    OSErr mImporterErr;
    const char* mImporter;
    const char* mExporter;  // FindExporterComponent answers 0 either way
  };
  const Case kCases[] = {
      {"photo.JPG", "", "", kQTNoErr, "JPEG", "(none)"},
      {"photo.jpeg", "", "", kQTNoErr, "JPEG", "(none)"},  // "jpe", the first three characters
      {"/a.b/photo.JpE", "", "", kQTNoErr, "JPEG", "(none)"},
      {"", "IMAGE/JPEG", "", kQTNoErr, "JPEG", "(none)"},
      {"", "", "jpeg", kQTNoErr, "JPEG", "(none)"},
      {"picture.bmp", "", "", kQTNoErr, "BMP", "BMP"},
      {"", "image/bmp", "", kQTNoErr, "BMP", "BMP"},
      {"picture.dib", "", "", kQTNoErr, "BMP", "(none)"},
      {"", "image/x-listed-03", "", kQTCantFindHandlerErr, "(none)", "Exporter 03"},
      {"", "", "Listed 04", kQTCantFindHandlerErr, "(none)", "Exporter 04"},
      {"a.x04", "", "", kQTCantFindHandlerErr, "(none)", "Exporter 04"},
      // Only the default file type 'X 02' starts with "X 0".
      {"a.x 0", "", "", kQTCantFindHandlerErr, "(none)", "Exporter 02"},
      {"picture.png", "image/png", "PNG", kQTCantFindHandlerErr, "(none)", "(none)"},
      {"", "", "", kQTCantFindHandlerErr, "(none)", "(none)"},
      {"noextension", "", "", kQTCantFindHandlerErr, "(none)", "(none)"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mName) + " | " + theCase.mMIME + " | " + theCase.mDesc);
    Component theImporter = nullptr;
    EXPECT_EQ(FindImporterComponent(theCase.mName, theCase.mMIME, theCase.mDesc, theImporter), theCase.mImporterErr);
    EXPECT_EQ(NameOf(theImporter), theCase.mImporter);
    Component theExporter = nullptr;
    EXPECT_EQ(FindExporterComponent(theCase.mName, theCase.mMIME, theCase.mDesc, theExporter), kQTNoErr);
    EXPECT_EQ(NameOf(theExporter), theCase.mExporter);
  }
}

TEST_F(QuickTimeFormats, MatchPublicFormatInfo)
{
  Component theImporter = nullptr;
  ASSERT_EQ(FindImporterComponent("a.jpg", "", "", theImporter), kQTNoErr);
  ComponentInstance theInstance = nullptr;
  ASSERT_EQ(OpenComponentInstance(theImporter, theInstance), kQTNoErr);
  QTAtomContainer theList = nullptr;
  ASSERT_EQ(mQT->GraphicsImportGetMIMETypeList(theInstance, &theList), kQTNoErr);
  struct Case {
    const char* mExt;
    const char* mMIME;
    const char* mDesc;
    bool mFound;
  };
  // The stand-in's JPEG importer: "jpg,jpeg,jpe", "image/jpeg", "JPEG".
  const Case kCases[] = {
      {"jpg", "", "", true},    {"JPEG", "", "", true},        {"jpe", "", "", true},
      {"jp", "", "", false},    {"jpgs", "", "", false},       {"", "image/jpeg", "", true},
      {"", "image/jpe", "", false}, {"", "", "Jpeg", true},    {"", "", "", false},
      {"bmp", "image/bmp", "BMP", false},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mExt) + " | " + theCase.mMIME + " | " + theCase.mDesc);
    bool theFound = !theCase.mFound;
    EXPECT_EQ(MatchPublicFormatInfo(theCase.mExt, theCase.mMIME, theCase.mDesc, theList, theFound), kQTNoErr);
    EXPECT_EQ(theFound, theCase.mFound);
  }
  tltest::EventWatcher theWatcher;
  bool theFound = true;
  EXPECT_EQ(MatchPublicFormatInfo("jpg", nullptr, "", theList, theFound), kQTParamErr);
  EXPECT_FALSE(theFound);
  ASSERT_EQ(theWatcher.NewTexts().size(), 1u);
  EXPECT_NE(theWatcher.NewTexts()[0].find("((inExt) && (inMIME) && (inDesc) && (inCont))"), std::string::npos);
  mQT->QTDisposeAtomContainer(theList);
  EXPECT_EQ(CloseComponentInstance(theInstance), kQTNoErr);
  EXPECT_EQ(theInstance, nullptr);
  EXPECT_EQ(CloseComponentInstance(theInstance), kQTNoErr);
}

TEST_F(QuickTimeFormats, ImportersAreValidatedAndJPEGsRechecked)
{
  const std::string theJpeg = qttest::WriteJpeg(32, 32, 3, qttest::QuadrantPixels(32, 32), 72);
  // The header is whole, so the importer says yes; the library's own walk
  // finds no end marker.
  const std::string theCut = theJpeg.substr(0, theJpeg.size() - 40);
  const std::string theBmp = MakeBmp();
  struct Case {
    const char* mLabel;
    std::string mBytes;
    const char* mHint;
    OSErr mDataErr;   // from a handle or a pointer reference, with the hint
    OSErr mFileErr;   // from a file, chosen by content alone
    const char* mImporter;
  };
  const Case kCases[] = {
      {"jpeg by name", theJpeg, "photo.jpg", kQTNoErr, kQTNoErr, "JPEG"},
      {"jpeg by sniffing", theJpeg, "photo", kQTNoErr, kQTNoErr, "JPEG"},
      {"jpeg named bmp", theJpeg, "photo.bmp", kQTNoErr, kQTNoErr, "JPEG"},
      {"bmp by sniffing", theBmp, "", kQTNoErr, kQTNoErr, "BMP"},
      {"bmp named jpeg", theBmp, "x.jpg", kQTNoErr, kQTNoErr, "BMP"},
      {"cut jpeg", theCut, "photo.jpg", kQTInvalidImageErr, kQTInvalidImageErr, ""},
      {"cut bmp", theBmp.substr(0, 60), "x.bmp", kQTInvalidImageErr, kQTCantFindHandlerErr, ""},
      {"nothing known", std::string(100, 'x'), "x.png", kQTCantFindHandlerErr, kQTCantFindHandlerErr, ""},
  };
  int theFileNumber = 0;
  for (const Case& theCase : kCases) {
    for (int theWay = 0; theWay < 3; ++theWay) {
      SCOPED_TRACE(std::string(theCase.mLabel) + (theWay == 0 ? ", handle" : theWay == 1 ? ", reference" : ", file"));
      GraphicsImportComponent theGIC = nullptr;
      OSErr theErr = kQTNoErr;
      if (theWay < 2) {
        Handle theData = theWay == 0 ? NewDataHandle(theCase.mBytes) : NewPointerRef(theCase.mBytes);
        theErr = OpenImporterForData(theData, theWay == 0 ? 0 : kQTPointerDataRefType, theCase.mHint, theGIC);
        EXPECT_EQ(theErr, theCase.mDataErr);
        EXPECT_EQ(theGIC ? NameOfInstance(theGIC) : "", theErr == kQTNoErr ? theCase.mImporter : "");
        EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
        mQT->DisposeHandle(theData);
      } else {
        std::string thePath = qttest::WriteFile("import" + std::to_string(++theFileNumber), theCase.mBytes);
        theErr = OpenImporterForFile(thePath.c_str(), theGIC);
        EXPECT_EQ(theErr, theCase.mFileErr);
        EXPECT_EQ(theGIC ? NameOfInstance(theGIC) : "", theErr == kQTNoErr ? theCase.mImporter : "");
        EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
      }
    }
  }
  GraphicsImportComponent theGIC = nullptr;
  EXPECT_EQ(OpenImporterForFile("/nonexistent/photo.jpg", theGIC), kQTFileNotFoundErr);
  EXPECT_EQ(theGIC, nullptr);
}

TEST_F(QuickTimeFormats, ImageInfoOfAnImporter)
{
  struct Case {
    const char* mLabel;
    std::string mBytes;
    LONG mDepth;
    LONG mResolution;
    const char* mCodec;
  };
  const Case kCases[] = {
      {"jpeg 150 dpi", qttest::WriteJpeg(8, 8, 3, qttest::QuadrantPixels(8, 8), 150), 24, 150, "JPEG"},
      {"grey jpeg", qttest::WriteJpeg(8, 8, 1, std::vector<std::uint8_t>(64, 100), 72), kQTGray8Depth, 72, "JPEG"},
      {"bmp", MakeBmp(), 24, 72, "BMP"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mLabel);
    Handle theData = NewDataHandle(theCase.mBytes);
    GraphicsImportComponent theGIC = nullptr;
    ASSERT_EQ(OpenImporterForData(theData, 0, "", theGIC), kQTNoErr);
    LONG theDepth = 0, theResolution = 0;
    std::string theCodec;
    EXPECT_EQ(GetImporterImageInfo(theGIC, theDepth, theResolution, theCodec), kQTNoErr);
    EXPECT_EQ(theDepth, theCase.mDepth);
    EXPECT_EQ(theResolution, theCase.mResolution);
    EXPECT_EQ(theCodec, theCase.mCodec);
    EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
    mQT->DisposeHandle(theData);
  }
}

TEST_F(QuickTimeFormats, ComponentInstances)
{
  ComponentInstance theInstance = nullptr;
  tltest::EventWatcher theWatcher;
  EXPECT_EQ(OpenComponentInstance(nullptr, theInstance), kQTInvalidComponentErr);
  EXPECT_EQ(theInstance, nullptr);
  ASSERT_EQ(theWatcher.NewTexts().size(), 1u) << "the assertion on a null component";
  EXPECT_NE(theWatcher.NewTexts()[0].find("(inComponent)"), std::string::npos);
  int theForged = 0;
  EXPECT_EQ(OpenComponentInstance(reinterpret_cast<Component>(&theForged), theInstance), kQTInvalidComponentErr);
  EXPECT_EQ(theInstance, nullptr);
}

TEST(QuickTimeSniffing, FirstBytesGiveTheExtension)
{
  struct Case {
    std::string mStart;
    std::size_t mLength;  // the rest is filled with 0x55
    const char* mExtension;
  };
  const std::string kPng("\x89PNG\r\n\x1A\n", 8);
  const Case kCases[] = {
      {"8BPS", 40, ".psd"},
      {"BA", 40, ".bmp"},
      {"BM", 40, ".bmp"},
      {"CI", 40, ".bmp"},
      {"CP", 40, ".bmp"},
      {"IC", 40, ".bmp"},
      {"PI", 40, ".bmp"},
      {"GIF89a", 40, ".gif"},
      {"GIF7", 40, ""},
      {"\xFF\xD8\xFF", 40, ".jpg"},
      {"\xFF\xD8\xFE", 40, ""},
      {"\x01\xDA", 40, ".sgi"},
      {std::string("MM\0*", 4), 40, ".tif"},
      {std::string("II*\0", 4), 40, ".tif"},
      {"MM*", 40, ""},
      {kPng, 40, ".png"},
      {kPng, 39, ""},
      {kPng.substr(0, 7), 40, ""},
      {"bm", 40, ""},
      {"", 40, ""},
  };
  for (const Case& theCase : kCases) {
    std::string theBytes = theCase.mStart;
    theBytes.resize(theCase.mLength, '\x55');
    std::string theExtension = "stale";
    SniffImageExtension(theBytes.data(), static_cast<LONGLONG>(theBytes.size()), theExtension);
    EXPECT_EQ(theExtension, theCase.mExtension) << "bytes starting " << testing::PrintToString(theCase.mStart)
                                                << ", length " << theCase.mLength;
  }
  // PICT: 512 empty header bytes, and at least 523 bytes in all.
  for (std::size_t theLength : {522u, 523u, 600u}) {
    std::string theBytes(theLength, '\0');
    std::string theExtension;
    SniffImageExtension(theBytes.data(), static_cast<LONGLONG>(theLength), theExtension);
    EXPECT_EQ(theExtension, theLength >= 523 ? ".pct" : "") << theLength << " zero bytes";
    theBytes[511] = 1;
    SniffImageExtension(theBytes.data(), static_cast<LONGLONG>(theLength), theExtension);
    EXPECT_EQ(theExtension, "") << theLength << " bytes, one not zero";
  }
  std::string theExtension = "stale";
  SniffImageExtension(nullptr, 100, theExtension);
  EXPECT_EQ(theExtension, "");
}

TEST(QuickTimeMovies, RefusedTypes)
{
  const std::string theFolder = tltest::MakeTempFolder("movies");
  auto theFile = [&](const char* inName, std::size_t inSize) {
    return qttest::WriteFile(theFolder.substr(tltest::TestHome().size() + 1) + "/" + inName, std::string(inSize, 'a'));
  };
  struct Case {
    std::string mPath;
    bool mRefused;
    bool mRefusedWithMPEG;  // QTImportMPEG = 1
  };
  const Case kCases[] = {
      {theFile("notes.txt", 500), false, false},
      {theFile("limit.TXT", 1023), false, false},
      {theFile("large.txt", 1024), true, true},
      {theFile("larger.txt", 5000), true, true},
      {theFolder + "/missing.txt", true, true},
      {theFile("paper.tex", 10), false, false},
      {theFile("paper.text", 2000), true, true},
      {theFile("data.xml", 10), false, false},
      {"clip.mpg", true, false},
      {"clip.MPEG", true, false},
      {"clip.mpe", true, false},
      {"sound.wav", true, true},
      {"sound.au", true, true},
      {"sound.AUX", true, true},
      {"a.dls", true, true},
      {"a.aiff", true, true},
      {"a.mid", true, true},
      {"a.rmi", true, true},
      {"a.mp3", true, true},
      {"a.m3u", true, true},
      {"a.sf2", true, true},
      {"a.pls", true, true},
      {"movie.mov", false, false},
      {"movie.avi", false, false},
      {"noextension", false, false},
      {"a.mp", false, false},
  };
  for (bool theMPEG : {false, true}) {
    ASSERT_EQ(SetPrefLong("QTImportMPEG", theMPEG ? 1 : 0), ERROR_SUCCESS);
    for (const Case& theCase : kCases)
      EXPECT_EQ(IsRefusedMovieType(theCase.mPath.c_str()), theMPEG ? theCase.mRefusedWithMPEG : theCase.mRefused)
          << theCase.mPath << (theMPEG ? " with QTImportMPEG" : "");
  }
  EXPECT_FALSE(IsRefusedMovieType(nullptr));
}

TEST_F(QuickTimeFormats, MoviesAreOpenedByPathOrURL)
{
  const std::string theMovie = qttest::WriteFile("movie.mov", "not really a movie");
  struct Case {
    std::string mPath;
    OSErr mErr;
  };
  const Case kCases[] = {
      {"sound.wav", kQTCantFindHandlerErr},
      {"http://example.invalid/clip.mpg", kQTCantFindHandlerErr},
      {theMovie, kQTNoMovieFoundErr},  // the stand-in has no movies
      {"/nonexistent/movie.mov", kQTFileNotFoundErr},
      {"HTTP://example.invalid/movie.mov", kQTNoMovieFoundErr},
      {"rtsp://example.invalid/stream", kQTNoMovieFoundErr},
  };
  int theMarker = 0;
  for (const Case& theCase : kCases) {
    Movie theMovieRef = reinterpret_cast<Movie>(&theMarker);
    EXPECT_EQ(OpenMovieForPath(theMovieRef, theCase.mPath.c_str()), theCase.mErr) << theCase.mPath;
    EXPECT_EQ(theMovieRef, nullptr) << theCase.mPath;
  }
}

TEST(QuickTimeConversions, OSErrToWinError)
{
  const std::pair<OSErr, DWORD> kCases[] = {
      {0, 0},
      {-23, 110},
      {-34, 112},
      {-36, 1117},
      {-37, 161},
      {-39, 38},
      {-43, 2},
      {-47, 148},
      {-48, 52},
      {-50, 87},
      {-54, 5},
      {-108, 8},
      {-5000, 5},
      {-2003, static_cast<DWORD>(-2003)},  // its bits 0xA000 are set already
      {-1, 0xFFFFFFFFu},
      {-2096, static_cast<DWORD>(-2096) | 0xA000u},
      {5, 0xA005u},
      {-32768, 0xFFFFA000u | 0x8000u},
      {32767, 0xFFFFu},
  };
  for (const auto& [theErr, theWinError] : kCases)
    EXPECT_EQ(OSErrToWinError(theErr), theWinError) << "OSErr " << theErr;
}

TEST_F(QuickTimeFormats, TransformToMatrix)
{
  MatrixRecord theMatrix{};
  ASSERT_EQ(TransformToMatrix(XFORM{1.0f, 0.5f, -0.25f, 2.0f, 10.5f, -3.0f}, theMatrix), kQTNoErr);
  const Fixed kExpected[3][3] = {{0x10000, 0x8000, 0}, {-0x4000, 0x20000, 0}, {0xA8000, -0x30000, 0x40000000}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(theMatrix.matrix[r][c], kExpected[r][c]) << "row " << r << " column " << c;
}

TEST(QuickTimeConversions, NothingWithoutQuickTime)
{
  UseNoQuickTime();
  ASSERT_EQ(QT(), nullptr);
  MatrixRecord theMatrix{};
  EXPECT_EQ(TransformToMatrix(XFORM{1, 0, 0, 1, 0, 0}, theMatrix), kQTNotInstalledErr);
  LONG theCount = -1;
  EXPECT_EQ(GetExporterInfo(0, nullptr, nullptr, &theCount), kQTNotInstalledErr);
  EXPECT_EQ(theCount, 0);
  Component theComponent = reinterpret_cast<Component>(&theCount);
  EXPECT_EQ(FindImporterComponent("a.jpg", "", "", theComponent), kQTNotInstalledErr);
  EXPECT_EQ(theComponent, nullptr);
  LONG theMajor = -1, theMinor = -1, theBugFix = -1;
  EXPECT_EQ(QueryQuickTimeVersion(theMajor, theMinor, theBugFix), kQTNotInstalledErr);
  EXPECT_EQ(CopyPStringHandle(nullptr), "");
}

}  // namespace
