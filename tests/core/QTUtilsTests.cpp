// QuickTime's life cycle and the format choices over the stand-in's
// components. The life cycle is process-wide state that never resets, so
// each of its cases runs in a fresh child process (RunFresh).

#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"
#include "tests/core/EventWatcher.h"
#include "tests/quicktime/QuickTimeTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
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

void UseStandIn(const char* inVersion, int inExporters = 6)
{
  qttest::UseStandIn();
  setenv("TL_TEST_QUICKTIME_VERSION", inVersion, 1);
  setenv("TL_TEST_QUICKTIME_EXPORTERS", std::to_string(inExporters).c_str(), 1);
}

// The stand-in, or a library that cannot be loaded.
void UseStandInOrNothing(bool inStandIn)
{
  if (inStandIn)
    UseStandIn("6.0");
  else
    setenv(kQTLibraryVariable, "/nonexistent/quicktime.so", 1);
}

void UnloadAfter(LONG inPeriod)
{
  ASSERT_EQ(SetPrefLong("UnloadQuickTime", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetPrefLong("UnloadQuickTimePeriod", inPeriod), ERROR_SUCCESS);
}

// The stand-in's starts and stops.
std::pair<std::int32_t, std::int32_t> StandInCounts()
{
  std::pair<std::int32_t, std::int32_t> theCounts;
  qttest::StandInCounts(theCounts.first, theCounts.second);
  return theCounts;
}

// InitializeQTML, TerminateQTML, EnterMovies and ExitMovies calls of the fake library.
std::vector<std::int32_t> FakeCounts()
{
  std::vector<std::int32_t> theCounts(4);
  void* theLibrary = dlopen(TL_QUICKTIME_FAKE, RTLD_NOW | RTLD_NOLOAD);
  if (!theLibrary)
    return {};
  reinterpret_cast<void (*)(std::int32_t*)>(dlsym(theLibrary, "TLQuickTimeFakeCounts"))(theCounts.data());
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

std::string Version()
{
  LONG theMajor = -1, theMinor = -1, theBugFix = -1;
  EXPECT_EQ(GetQuickTimeVersion(theMajor, theMinor, theBugFix), kQTNoErr);
  return std::to_string(theMajor) + "." + std::to_string(theMinor) + "." + std::to_string(theBugFix);
}

// --- Life cycle -------------------------------------------------------------

// A later user gets the same answer without a second report. Without a
// library named, not installed is the normal state and nothing is reported.
TEST(QuickTimeLifeCycle, TheFirstUserDecidesAvailabilityAndReportsOnce)
{
  const std::string kTooOld = " is too old. Please upgrade.";
  struct Case {
    const char* mLibrary;  // "": unset; null: the stand-in at mVersion
    const char* mVersion;
    OSErr mStartErr;
    LONG mAvailable;
    const char* mKnownVersion;  // what GetQuickTimeVersion answers
    std::vector<std::string> mWarnings;
  } const kCases[] = {
    {"", "", kQTNotInstalledErr, 0, "0.0.0", {}},
    {"/nonexistent/quicktime.so", "", kQTNotInstalledErr, 0, "0.0.0", {"Warning: Unable to access QuickTime (-2096)"}},
    {nullptr, "3.0", kQTNoErr, 0, "0.0.0", {"Warning: QuickTime 3.0.0" + kTooOld}},
    {nullptr, "4.0.3", kQTNoErr, 0, "0.0.0", {"Warning: QuickTime 4.0.3" + kTooOld}},
    {nullptr, "4.1", kQTNoErr, 1, "4.1.0", {}}, {nullptr, "6.0", kQTNoErr, 1, "6.0.0", {}},
    {nullptr, "12.7.15", kQTNoErr, 1, "12.7.15", {}},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mLibrary ? theCase.mLibrary : theCase.mVersion);
    RunFresh([&] {
      if (!theCase.mLibrary)
        UseStandIn(theCase.mVersion);
      else if (*theCase.mLibrary)
        setenv(kQTLibraryVariable, theCase.mLibrary, 1);
      else
        unsetenv(kQTLibraryVariable);
      tltest::EventWatcher theWatcher;
      User theFirst = Acquire(), theSecond = Acquire();
      for (const User& theUser : {theFirst, theSecond}) {
        EXPECT_EQ(theUser.mStartErr, theCase.mStartErr);
        EXPECT_EQ(theUser.mAvailable, theCase.mAvailable);
      }
      EXPECT_EQ(QuickTimeAvailable(), theCase.mAvailable == 1);
      EXPECT_EQ(Version(), theCase.mKnownVersion);
      ReleaseQuickTime(theSecond.mStartErr);
      ReleaseQuickTime(theFirst.mStartErr);
      EXPECT_EQ(NewWarnings(theWatcher), theCase.mWarnings);
    });
  }
}

TEST(QuickTimeLifeCycle, UnloadsEveryPeriodPlusOneReleases)
{
  struct Case {
    const char* mName;
    LONG mPeriod;  // negative: never unload
    std::vector<std::pair<std::int32_t, std::int32_t>> mCountsAfterRelease;
  } const kCases[] = {
    {"no unloading", -1, {{1, 0}, {1, 0}, {1, 0}}},
    // The counter before each release is 0, 1, 2: the third unloads and starts again.
    {"period 2", 2, {{1, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 1}, {2, 2}}},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    RunFresh([&] {
      UseStandIn("6.0");
      if (theCase.mPeriod >= 0)
        UnloadAfter(theCase.mPeriod);
      for (std::size_t i = 0; i < theCase.mCountsAfterRelease.size(); ++i) {
        User theUser = Acquire();
        EXPECT_EQ(theUser.mAvailable, 1) << "round " << i;
        ReleaseQuickTime(theUser.mStartErr);
        EXPECT_EQ(StandInCounts(), theCase.mCountsAfterRelease[i]) << "round " << i;
      }
    });
  }
}

TEST(QuickTimeLifeCycle, CountsBalanceAcrossThreads)
{
  for (bool theStandIn : {false, true}) {
    SCOPED_TRACE(theStandIn ? "stand-in" : "no QuickTime");
    RunFresh([&] {
      UseStandInOrNothing(theStandIn);
      // Every release tries to unload, so loads and unloads race with the counting.
      UnloadAfter(0);
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
      EXPECT_EQ(NewWarnings(theWatcher), theStandIn ? std::vector<std::string>{}
                                                    : std::vector<std::string>{"Warning: Unable to access QuickTime (-2096)"})
        << "no assertion, one report at most";
      // The last release found nobody and unloaded: every start was stopped.
      EXPECT_EQ(QT(), nullptr);
      if (theStandIn) {
        EXPECT_EQ(StandInCounts().first, StandInCounts().second);
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
    EXPECT_EQ(theWatcher.NewAssertions("QTUtils"), std::vector<std::string>{"(gQTReferenceCount > 0)"});
    User theUser = Acquire();
    EXPECT_EQ(theUser.mAvailable, 1) << "the next user is the first again, and loads";
    ReleaseQuickTime(theUser.mStartErr);
  });
}

TEST(QuickTimeLifeCycle, StartOnAThreadAnswersAsOnTheCallingThread)
{
  for (bool theStandIn : {false, true}) {
    SCOPED_TRACE(theStandIn ? "stand-in" : "no QuickTime");
    RunFresh([&] {
      UseStandInOrNothing(theStandIn);
      const OSErr theExpected = theStandIn ? kQTNoErr : kQTNotInstalledErr;
      const OSErr theDirect = StartQuickTime();
      const OSErr theThreaded = StartQuickTimeOnThread();
      EXPECT_EQ(theDirect, theExpected);
      EXPECT_EQ(theThreaded, theExpected);
      StopQuickTime(theThreaded);
      EXPECT_EQ(QT() != nullptr, theStandIn) << "one start is left";
      StopQuickTime(theDirect);
      EXPECT_EQ(QT(), nullptr);
      if (theStandIn) {
        EXPECT_EQ(StandInCounts(), std::pair(1, 1));
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
    UnloadAfter(0);
    tltest::EventWatcher theWatcher;
    User theUser = Acquire();
    EXPECT_EQ(theUser.mStartErr, -5551);
    EXPECT_EQ(theUser.mAvailable, 0);
    ReleaseQuickTime(theUser.mStartErr);
    EXPECT_EQ(FakeCounts(), (std::vector<std::int32_t>{1, 1, 1, 1}));
    EXPECT_EQ(NewWarnings(theWatcher), std::vector<std::string>{"Warning: Unable to access QuickTime (-5551)"});
  });
}

TEST(QuickTimeLifeCycle, ALibraryWithoutEveryEntryIsNotInstalled)
{
  RunFresh([] {
    setenv(kQTLibraryVariable, TL_QUICKTIME_FAKE, 1);
    setenv("TL_TEST_FAKE_PARTIAL", "1", 1);
    EXPECT_EQ(StartQuickTime(), kQTNotInstalledErr);
    EXPECT_EQ(QT(), nullptr);
    LONG theCount = -1;
    EXPECT_EQ(GetExporterInfo(-1, nullptr, nullptr, &theCount), kQTNotInstalledErr);
  });
}

// --- Format choice ---------------------------------------------------------------

// A 4 x 4 24-bit bitmap file, 2835 dots per metre (72 per inch).
std::string MakeBmp()
{
  constexpr char kHeader[] = "BM\x66\0\0\0\0\0\0\0\x36\0\0\0"                     // file: size, offset
                             "\x28\0\0\0\x04\0\0\0\x04\0\0\0\x01\0\x18\0\0\0\0\0"  // 40 bytes, 4 x 4, 24 bits
                             "\x30\0\0\0\x13\x0B\0\0\x13\x0B\0\0\0\0\0\0\0\0\0\0";
  static_assert(sizeof kHeader - 1 == 54);
  return std::string(kHeader, 54) + std::string(48, '\x7F');
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
    if (!inInstance)
      return "";
    ComponentDescription theDescription{};
    EXPECT_EQ(mQT->GetComponentInstanceInfo(inInstance, &theDescription), kQTNoErr);
    return theDescription.componentSubType == MakeOSType("JPEG") ? "JPEG" : "BMP";
  }

  // A handle holding a copy of the bytes, or a 'ptr ' reference to them.
  Handle NewDataHandle(const std::string& inBytes, bool inByReference = false)
  {
    const PointerDataRefRecord theRecord{const_cast<char*>(inBytes.data()), static_cast<Size>(inBytes.size())};
    const std::size_t theSize = inByReference ? sizeof theRecord : inBytes.size();
    Handle theHandle = mQT->NewHandle(static_cast<Size>(theSize));
    std::memcpy(*theHandle, inByReference ? static_cast<const void*>(&theRecord) : inBytes.data(), theSize);
    return theHandle;
  }

  const QTServices* mQT = nullptr;
};

TEST_F(QuickTimeFormats, ExporterList)
{
  struct Case {
    LONG mIndex;
    const char* mName;
    const char* mDesc;
  } const kCases[] = {
    {-1, "", ""},  // the base exporter is not listed
    {0, "BMP", "Writes Windows bitmaps"}, {3, "Exporter 04", "Lists a format it cannot write"}, {4, "", ""},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mIndex);
    LONG theCount = -1;
    std::string theName = "stale", theDesc = "stale";
    EXPECT_EQ(GetExporterInfo(theCase.mIndex, &theName, &theDesc, &theCount), kQTNoErr);
    EXPECT_EQ(theName, theCase.mName);
    EXPECT_EQ(theDesc, theCase.mDesc);
    EXPECT_EQ(theCount, 4);
  }
  EXPECT_EQ(GetExporterInfo(2, nullptr, nullptr, nullptr), kQTNoErr);
}

TEST_F(QuickTimeFormats, ImporterAndExporterChoice)
{
  struct Case {
    const char* mName;
    const char* mMIME;
    const char* mDesc;
    const char* mImporter;
    const char* mExporter;
  } const kCases[] = {
    {"photo.JPG", "", "", "JPEG", "(none)"},
    {"photo.jpeg", "", "", "JPEG", "(none)"},  // "jpe", the first three characters
    {"/a.b/photo.JpE", "", "", "JPEG", "(none)"}, {"", "IMAGE/JPEG", "", "JPEG", "(none)"},
    {"", "", "jpeg", "JPEG", "(none)"}, {"picture.bmp", "", "", "BMP", "BMP"},
    {"picture.dib", "", "", "BMP", "(none)"}, {"", "image/x-listed-03", "", "(none)", "Exporter 03"},
    {"", "", "Listed 04", "(none)", "Exporter 04"},
    {"a.x 0", "", "", "(none)", "Exporter 02"},  // only the default file type 'X 02' starts with "X 0"
    {"picture.png", "image/png", "PNG", "(none)", "(none)"}, {"noextension", "", "", "(none)", "(none)"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mName) + " | " + theCase.mMIME + " | " + theCase.mDesc);
    Component theImporter = nullptr, theExporter = nullptr;
    const OSErr theErr = FindImporterComponent(theCase.mName, theCase.mMIME, theCase.mDesc, theImporter);
    EXPECT_EQ(theErr, std::string(theCase.mImporter) == "(none)" ? kQTCantFindHandlerErr : kQTNoErr);
    EXPECT_EQ(NameOf(theImporter), theCase.mImporter);
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
  } const kCases[] = {
    // The stand-in's JPEG importer: "jpg,jpeg,jpe", "image/jpeg", "JPEG".
    {"JPEG", "", "", true},       {"jpe", "", "", true}, {"jp", "", "", false},  {"jpgs", "", "", false},
    {"", "image/jpeg", "", true}, {"", "image/jpe", "", false}, {"", "", "Jpeg", true}, {"", "", "", false},
  };
  for (const Case& theCase : kCases) {
    bool theFound = !theCase.mFound;
    EXPECT_EQ(MatchPublicFormatInfo(theCase.mExt, theCase.mMIME, theCase.mDesc, theList, theFound), kQTNoErr);
    EXPECT_EQ(theFound, theCase.mFound) << theCase.mExt << " | " << theCase.mMIME << " | " << theCase.mDesc;
  }
  bool theFound = true;
  EXPECT_EQ(MatchPublicFormatInfo("jpg", nullptr, "", theList, theFound), kQTParamErr);
  EXPECT_FALSE(theFound);
  mQT->QTDisposeAtomContainer(theList);
  EXPECT_EQ(CloseComponentInstance(theInstance), kQTNoErr);
}

TEST_F(QuickTimeFormats, ImportersAreValidatedAndJPEGsRechecked)
{
  const std::string theJpeg = qttest::WriteJpeg(32, 32, 3, qttest::QuadrantPixels(32, 32), 72);
  const std::string theBmp = MakeBmp();
  struct Case {
    const char* mLabel;
    std::string mBytes;
    const char* mHint;
    OSErr mDataErr;  // from a handle or a pointer reference, with the hint
    OSErr mFileErr;  // from a file, chosen by content alone
    const char* mImporter;
  } const kCases[] = {
    {"jpeg by name", theJpeg, "photo.jpg", kQTNoErr, kQTNoErr, "JPEG"},
    {"jpeg named bmp", theJpeg, "photo.bmp", kQTNoErr, kQTNoErr, "JPEG"},
    {"bmp by sniffing", theBmp, "", kQTNoErr, kQTNoErr, "BMP"},
    // The header is whole, so the importer says yes; the library's own walk finds no end marker.
    {"cut jpeg", theJpeg.substr(0, theJpeg.size() - 40), "photo.jpg", kQTInvalidImageErr, kQTInvalidImageErr, ""},
    {"cut bmp", theBmp.substr(0, 60), "x.bmp", kQTInvalidImageErr, kQTCantFindHandlerErr, ""},
    {"nothing known", std::string(100, 'x'), "x.png", kQTCantFindHandlerErr, kQTCantFindHandlerErr, ""},
  };
  for (const Case& theCase : kCases) {
    for (int theWay = 0; theWay < 3; ++theWay) {
      SCOPED_TRACE(std::string(theCase.mLabel) + (theWay == 0 ? ", handle" : theWay == 1 ? ", reference" : ", file"));
      GraphicsImportComponent theGIC = nullptr;
      if (theWay < 2) {
        Handle theData = NewDataHandle(theCase.mBytes, theWay == 1);
        EXPECT_EQ(OpenImporterForData(theData, theWay == 0 ? 0 : kQTPointerDataRefType, theCase.mHint, theGIC),
                  theCase.mDataErr);
        EXPECT_EQ(NameOfInstance(theGIC), theCase.mDataErr == kQTNoErr ? theCase.mImporter : "");
        EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
        mQT->DisposeHandle(theData);
      } else {
        const std::string thePath = qttest::WriteFile(std::string("import ") + theCase.mLabel, theCase.mBytes);
        EXPECT_EQ(OpenImporterForFile(thePath.c_str(), theGIC), theCase.mFileErr);
        EXPECT_EQ(NameOfInstance(theGIC), theCase.mFileErr == kQTNoErr ? theCase.mImporter : "");
        EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
      }
    }
  }
  GraphicsImportComponent theGIC = nullptr;
  EXPECT_EQ(OpenImporterForFile("/nonexistent/photo.jpg", theGIC), kQTFileNotFoundErr);
}

TEST_F(QuickTimeFormats, ImageInfoOfAnImporter)
{
  const std::tuple<std::string, LONG, LONG, const char*> kCases[] = {
    {qttest::WriteJpeg(8, 8, 1, std::vector<std::uint8_t>(64, 100), 150), kQTGray8Depth, 150, "JPEG"},
    {MakeBmp(), 24, 72, "BMP"},
  };
  for (const auto& [theBytes, theWantedDepth, theWantedResolution, theWantedCodec] : kCases) {
    Handle theData = NewDataHandle(theBytes);
    GraphicsImportComponent theGIC = nullptr;
    ASSERT_EQ(OpenImporterForData(theData, 0, "", theGIC), kQTNoErr);
    LONG theDepth = 0, theResolution = 0;
    std::string theCodec;
    EXPECT_EQ(GetImporterImageInfo(theGIC, theDepth, theResolution, theCodec), kQTNoErr);
    EXPECT_EQ(theDepth, theWantedDepth);
    EXPECT_EQ(theResolution, theWantedResolution);
    EXPECT_EQ(theCodec, theWantedCodec);
    EXPECT_EQ(CloseComponentInstance(theGIC), kQTNoErr);
    mQT->DisposeHandle(theData);
  }
}

TEST(QuickTimeSniffing, FirstBytesGiveTheExtension)
{
  const std::string kPng("\x89PNG\r\n\x1A\n", 8);
  struct Case {
    std::string mStart;
    std::size_t mLength;  // the rest is filled with 0x55, or zeros for a PICT
    const char* mExtension;
  } const kCases[] = {
    {"8BPS", 40, ".psd"}, {"BA", 40, ".bmp"}, {"PI", 40, ".bmp"}, {"bm", 40, ""}, {"GIF89a", 40, ".gif"},
    {"GIF7", 40, ""}, {"\xFF\xD8\xFF", 40, ".jpg"}, {"\xFF\xD8\xFE", 40, ""}, {"\x01\xDA", 40, ".sgi"},
    {std::string("MM\0*", 4), 40, ".tif"}, {std::string("II*\0", 4), 40, ".tif"}, {"MM*", 40, ""}, {kPng, 40, ".png"},
    {kPng, 39, ""},
    {std::string(512, '\0'), 523, ".pct"},  // 512 empty header bytes, 523 in all
    {std::string(512, '\0'), 522, ""}, {std::string(511, '\0') + "\x01", 600, ""},
  };
  for (const Case& theCase : kCases) {
    std::string theBytes = theCase.mStart;
    theBytes.resize(theCase.mLength, theCase.mStart.size() >= 511 ? '\0' : '\x55');
    std::string theExtension = "stale";
    SniffImageExtension(theBytes.data(), static_cast<LONGLONG>(theBytes.size()), theExtension);
    EXPECT_EQ(theExtension, theCase.mExtension)
      << "bytes starting " << testing::PrintToString(theCase.mStart.substr(0, 8)) << ", length " << theCase.mLength;
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
  } const kCases[] = {
    {theFile("limit.TXT", 1023), false, false}, {theFile("large.txt", 1024), true, true},
    {theFolder + "/missing.txt", true, true}, {theFile("paper.text", 2000), true, true},
    {theFile("data.xml", 10), false, false}, {"clip.MPEG", true, false}, {"clip.mpe", true, false},
    {"sound.wav", true, true}, {"sound.AUX", true, true}, {"a.mp3", true, true}, {"a.pls", true, true},
    {"movie.mov", false, false}, {"noextension", false, false}, {"a.mp", false, false},
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
  const std::pair<std::string, OSErr> kCases[] = {
    {"sound.wav", kQTCantFindHandlerErr},
    {qttest::WriteFile("movie.mov", "not really a movie"), kQTNoMovieFoundErr},  // the stand-in has no movies
    {"/nonexistent/movie.mov", kQTFileNotFoundErr},
    {"HTTP://example.invalid/movie.mov", kQTNoMovieFoundErr},
  };
  for (const auto& [thePath, theErr] : kCases) {
    int theMarker = 0;
    Movie theMovie = reinterpret_cast<Movie>(&theMarker);
    EXPECT_EQ(OpenMovieForPath(theMovie, thePath.c_str()), theErr) << thePath;
    EXPECT_EQ(theMovie, nullptr) << thePath;
  }
}

TEST(QuickTimeConversions, OSErrToWinError)
{
  const std::pair<OSErr, DWORD> kCases[] = {
    {0, 0},       {-23, 110},   {-34, 112}, {-36, 1117},  {-37, 161},   {-39, 38},   {-43, 2},
    {-47, 148},   {-48, 52},    {-50, 87},  {-54, 5},     {-108, 8},    {-5000, 5},  {-1, 0xFFFFFFFFu},
    {-2003, static_cast<DWORD>(-2003)},  // its bits 0xA000 are set already
    {-2096, static_cast<DWORD>(-2096) | 0xA000u}, {5, 0xA005u}, {32767, 0xFFFFu},
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
  unsetenv(kQTLibraryVariable);
  ASSERT_EQ(QT(), nullptr);
  MatrixRecord theMatrix{};
  EXPECT_EQ(TransformToMatrix(XFORM{1, 0, 0, 1, 0, 0}, theMatrix), kQTNotInstalledErr);
  LONG theCount = -1;
  EXPECT_EQ(GetExporterInfo(0, nullptr, nullptr, &theCount), kQTNotInstalledErr);
  EXPECT_EQ(theCount, 0);
  Component theComponent = reinterpret_cast<Component>(&theCount);
  EXPECT_EQ(FindImporterComponent("a.jpg", "", "", theComponent), kQTNotInstalledErr);
  EXPECT_EQ(theComponent, nullptr);
}

}  // namespace
