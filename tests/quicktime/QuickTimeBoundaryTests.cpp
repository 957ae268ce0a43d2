// The boundary: "not installed" answers, counted starts and stops.

#include "platform/quicktime/QuickTime.h"
#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/quicktime/standin/StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(QuickTimeBoundary, NotInstalledCodeIsPinned)
{
  // Written into the README and shown by the settings component as
  // "QuickTime Not Installed (-2096)".
  EXPECT_EQ(kQTNotInstalledErr, -2096);
}

TEST(QuickTimeBoundary, StartAnswersNotInstalledWithoutALoadableLibrary)
{
  std::string theText = qttest::WriteFile("not-a-library.so", "plain text");
  struct Case {
    const char* mName;
    const char* mValue;  // null: unset
  };
  const Case kCases[] = {
      {"unset", nullptr},
      {"empty", ""},
      {"missing file", "/nonexistent/libquicktime.so"},
      {"not a library", theText.c_str()},
      {"library without the entry point", "libm.so.6"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    if (theCase.mValue)
      setenv(kQTLibraryVariable, theCase.mValue, 1);
    else
      unsetenv(kQTLibraryVariable);
    EXPECT_EQ(QTInitialize(0), kQTNotInstalledErr);
    EXPECT_EQ(QT(), nullptr);
    QTTerminate();  // unbalanced: ignored
    EXPECT_EQ(QT(), nullptr);
  }
  // A failed load is not remembered: the stand-in loads afterwards.
  qttest::UseStandIn();
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  EXPECT_NE(QT(), nullptr);
  QTTerminate();
  EXPECT_EQ(QT(), nullptr);
}

TEST(QuickTimeBoundary, FirstStartStartsAndLastStopStopsAcrossThreads)
{
  qttest::UseStandIn();
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  const QTServices* theTable = QT();
  ASSERT_NE(theTable, nullptr);

  constexpr int kThreads = 8;
  constexpr int kRounds = 500;
  std::vector<std::thread> theThreads;
  std::vector<int> theFailures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t)
    theThreads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        if (QTInitialize(0) != kQTNoErr || QT() != theTable) {
          ++theFailures[static_cast<std::size_t>(t)];
          continue;
        }
        QTTerminate();
      }
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(theFailures[static_cast<std::size_t>(t)], 0) << "thread " << t;

  std::int32_t theStarts = 0, theStops = 0;
  qttest::StandInCounts(theStarts, theStops);
  EXPECT_EQ(theStarts, 1);
  EXPECT_EQ(theStops, 0);
  EXPECT_EQ(QT(), theTable);

  QTTerminate();
  EXPECT_EQ(QT(), nullptr);
  qttest::StandInCounts(theStarts, theStops);
  EXPECT_EQ(theStops, 1);

  // The library stays loaded; a new first start starts it again through the
  // same table.
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  EXPECT_EQ(QT(), theTable);
  QTTerminate();
  qttest::StandInCounts(theStarts, theStops);
  EXPECT_EQ(theStarts, 2);
  EXPECT_EQ(theStops, 2);
}

TEST(QuickTimeBoundary, LibraryStartErrorPassesThroughAndCountsNothing)
{
  qttest::UseStandIn();
  setenv(kStandInVersionVariable, "not a version", 1);
  EXPECT_EQ(QTInitialize(0), kQTParamErr);
  EXPECT_EQ(QT(), nullptr);
  unsetenv(kStandInVersionVariable);
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  QTTerminate();
  EXPECT_EQ(QT(), nullptr);
}

// QuickTime opens what it is given itself: a confined process gives it no
// path outside its roots.
TEST(QuickTimeBoundary, PathsReachQuickTimeOnlyBelowTheRoots)
{
  qttest::UseStandIn();
  const std::string theInside = qttest::WriteFile("inside.bmp", "BM");
  const std::string theRoot = theInside.substr(0, theInside.rfind('/'));
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  setenv("TESSALINE_FILE_ROOTS", theRoot.c_str(), 1);
  auto theSpec = std::make_unique<FSSpec>();
  EXPECT_EQ(QT()->NativePathNameToFSSpec(theInside.c_str(), theSpec.get(), 0), kQTNoErr);
  EXPECT_EQ(QT()->NativePathNameToFSSpec((theRoot + "/../elsewhere.bmp").c_str(), theSpec.get(), 0), -54);
  EXPECT_EQ(QT()->NativePathNameToFSSpec("/etc/passwd", theSpec.get(), 0), -54);
  unsetenv("TESSALINE_FILE_ROOTS");
  EXPECT_EQ(QT()->NativePathNameToFSSpec("/etc/passwd", theSpec.get(), 0), kQTNoErr);
  QTTerminate();
}

}  // namespace
