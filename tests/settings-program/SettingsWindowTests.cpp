// The settings window on Qt's offscreen platform, in the test's own
// TESSALINE_HOME with the settings component registered: the preferences it
// reads and writes, the logs it follows and the last saved image it shows.
// A refresh of the timer is one emission of its timeout.

#include "core/OperationLog.h"
#include "core/Preferences.h"
#include "platform/registry/Registry.h"
#include "settings-program/SettingsObject.h"
#include "settings-program/frmOptions.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// One application for the whole test process, on the offscreen platform.
class QtEnvironment : public testing::Environment {
public:
  void SetUp() override
  {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    mApplication = std::make_unique<QApplication>(mArgc, mArgv);
  }
  void TearDown() override { mApplication.reset(); }

private:
  int mArgc = 1;
  char mName[32] = "settings_program_tests";
  char* mArgv[2] = {mName, nullptr};
  std::unique_ptr<QApplication> mApplication;
};
testing::Environment* const gQtEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr int kSettingsTab = 3;
constexpr int kAdvancedTab = 6;
constexpr const char* kOperationHeader = "Version\tID\tStartTime\tDuration(ms)\tType\tCanvasID\tPath\r\n";
constexpr const char* kCanvasHeader = "Version\tID\tStartTime\tDuration(ms)\tMemory(KB)\r\n";

std::string Record(const char* inId, const std::string& inPath = "")
{
  return std::string("1\t") + inId + "\tMar 09 07:05:03 1999\t1200\tDrawFile\t3a0\t" + inPath + "\r\n";
}

// A record as the library writes it: "SaveAs.log" for a path, also
// "Operation.log" while every operation is logged.
void WriteOperationRecord(const char* inType, const std::string& inPath)
{
  OperationLog theLog;
  theLog.SetType(inType);
  theLog.SetCanvasID(0x3a0);
  theLog.SetPath(inPath.c_str());
  theLog.Finish();
}

QStringList Texts(const QTreeWidgetItem* inRow, int inColumns)
{
  QStringList theTexts;
  for (int k = 0; k < inColumns; ++k)
    theTexts << inRow->text(k);
  return theTexts;
}

class SettingsWindow : public testing::Test {
protected:
  void SetUp() override
  {
    tltest::RunResult theResult = tltest::RunProgram({TL_TLREGSVR, TL_SETTINGS_COMPONENT});
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
    unsetenv("TESSALINE_QUICKTIME");
    mLogDirectory = SettingsObject().GetText("logdirectory").value_or("");
    ASSERT_FALSE(mLogDirectory.empty());
    std::filesystem::create_directories(mLogDirectory);
  }

  void Open()
  {
    mWindow = std::make_unique<frmOptions>();
    mWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
  }

  template <class T>
  T* Control(const char* inName)
  {
    T* theControl = mWindow->findChild<T*>(inName);
    EXPECT_NE(theControl, nullptr) << inName;
    return theControl;
  }

  QTabWidget* Tabs() { return Control<QTabWidget>("tbsOptions"); }
  void Select(int inIndex) { Tabs()->setCurrentIndex(inIndex); }
  void Tick() { QMetaObject::invokeMethod(Control<QTimer>("Timer1"), "timeout"); }
  void Click(const char* inButton) { QTest::mouseClick(Control<QPushButton>(inButton), Qt::LeftButton); }
  std::string Stored(const char* inName) { return SettingsObject().GetText(inName).value_or("(failed)"); }

  void Write(const char* inFile, const std::string& inBytes, bool inAppend = true)
  {
    std::ofstream(mLogDirectory + inFile, std::ios::binary | (inAppend ? std::ios::app : std::ios::trunc)) << inBytes;
  }

  std::string mLogDirectory;
  std::unique_ptr<frmOptions> mWindow;
};

TEST_F(SettingsWindow, IsCentredWithSevenNamedPagesAndUnreadValuesShowAsErrors)
{
  Open();
  EXPECT_EQ(mWindow->windowTitle(), "TLSettings");
  // As placed before its frame was known.
  const QRect theScreen = mWindow->screen()->geometry();
  EXPECT_NEAR(mWindow->geometry().center().x(), theScreen.center().x(), 3);
  EXPECT_NEAR(mWindow->geometry().center().y(), theScreen.center().y(), 3);
  const QStringList kTabs = {"Last Image", "Operation Log", "Canvas Log", "Settings", "Modules", "QuickTime",
                             "Advanced"};
  ASSERT_EQ(Tabs()->count(), kTabs.size());
  for (int i = 0; i < Tabs()->count(); ++i) {
    EXPECT_EQ(Tabs()->tabText(i), kTabs[i]);
    EXPECT_EQ(Tabs()->widget(i)->objectName(), QStringLiteral("tbsFrame_%1").arg(i));
  }
  EXPECT_EQ(Control<QTimer>("Timer1")->interval(), 3000);
  EXPECT_EQ(Control<QLineEdit>("maxsize")->text(), "Error");
  EXPECT_EQ(Control<QLineEdit>("qtunloadperiod")->text(), "10000");
  EXPECT_EQ(Control<QLabel>("quicktime")->text(), "Error Getting QuickTime Description");
  EXPECT_EQ(Control<QTreeWidget>("itemList1")->toolTip(), "No data available...");
}

// From whichever control has the focus; Alt+Tab leaves the tab alone.
TEST_F(SettingsWindow, CtrlTabSelectsTheNextTabAndWraps)
{
  Open();
  mWindow->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(mWindow.get()));
  for (int i = 0; i < Tabs()->count(); ++i) {
    Select(i);
    QWidget* theFocus = Tabs()->tabBar();
    for (QWidget* theControl : Tabs()->widget(i)->findChildren<QWidget*>())
      if (theControl->focusPolicy() & Qt::TabFocus) {
        theFocus = theControl;
        break;
      }
    theFocus->setFocus();
    QTest::keyClick(theFocus, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Tabs()->currentIndex(), (i + 1) % 7) << "from tab " << i << ", " << theFocus->metaObject()->className();
  }
  EXPECT_EQ(Tabs()->currentIndex(), 0) << "from Advanced to Last Image";
  QTest::keyClick(Tabs()->tabBar(), Qt::Key_Tab, Qt::AltModifier);
  EXPECT_EQ(Tabs()->currentIndex(), 0);
}

TEST_F(SettingsWindow, TheTabAlreadyShownIsNotReadAgain)
{
  Write("Operation.log", kOperationHeader + Record("a1"));
  Open();
  Select(1);
  QTreeWidget* theList = Control<QTreeWidget>("itemList1");
  ASSERT_EQ(theList->topLevelItemCount(), 1);
  Write("Operation.log", Record("a2"));
  QTest::mouseClick(Tabs()->tabBar(), Qt::LeftButton, {}, Tabs()->tabBar()->tabRect(1).center());
  Select(1);
  EXPECT_EQ(theList->topLevelItemCount(), 1);
  Tick();
  EXPECT_EQ(theList->topLevelItemCount(), 2);
}

TEST_F(SettingsWindow, OkBeforeAnySettingsTabWritesNothing)
{
  const std::set<std::string> theKeys = tltest::RegistryKeys(HKEY_LOCAL_MACHINE);
  Open();
  Control<QLineEdit>("maxsize")->setText("5");
  Select(1);
  Click("cmdOK");
  EXPECT_FALSE(mWindow->isVisible());
  EXPECT_EQ(tltest::RegistryKeys(HKEY_LOCAL_MACHINE), theKeys);
}

// Read once at the first visit, whatever locale Qt formats numbers in; later
// visits and ticks keep the edits, and Cancel leaves the stored values.
TEST_F(SettingsWindow, SettingsPagesShowTheStoredValuesOnce)
{
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  {
    SettingsObject theSettings;
    ASSERT_TRUE(theSettings.PutText("MaxSize", "3000"));
    ASSERT_TRUE(theSettings.PutSwitch("LittleCMS", false));
    ASSERT_TRUE(theSettings.PutText("ColorProfileDirectory", "/usr/share/color/icc"));
  }
  Open();
  Select(kAdvancedTab);
  EXPECT_EQ(Control<QLineEdit>("maxsize")->text(), "3000");
  EXPECT_EQ(Control<QLineEdit>("colorprofiledirectory")->text(), "/usr/share/color/icc/");
  EXPECT_EQ(Control<QLineEdit>("logmaxfilesize")->text(), "65535");
  EXPECT_FALSE(Control<QCheckBox>("littlecms")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>("ijlimport")->isChecked());
  EXPECT_TRUE(Control<QLabel>("quicktime")->text().startsWith("QuickTime Not Installed ("));

  Control<QLineEdit>("maxsize")->setText("4000");
  ASSERT_TRUE(SettingsObject().PutText("MaxSize", "5000"));
  Select(kSettingsTab);
  Tick();
  EXPECT_EQ(Control<QLineEdit>("maxsize")->text(), "4000");
  Click("cmdCancel");
  EXPECT_FALSE(mWindow->isVisible());
  EXPECT_EQ(Stored("maxsize"), "5000");
}

// Every property is written; a text that is no number is refused by the
// component and skipped, and the others are written all the same.
TEST_F(SettingsWindow, SaveWritesEveryPropertyTheComponentTakes)
{
  struct Text {
    const char* mName;
    std::string mText;
    std::string mStored;
  };
  const std::string theFolder = tltest::MakeTempFolder("folder");
  const Text kTexts[] = {
      {"colorprofiledirectory", theFolder, theFolder + "/"}, {"logdirectory", theFolder, theFolder + "/"},
      {"logmaxfilesize", "4096", "4096"}, {"maxoperationtime", " -20 ", "-20"}, {"maxsize", "abc", "2000"},
      {"qtunloadperiod", "250", "250"},
  };
  Open();
  Select(kSettingsTab);
  for (const Text& theText : kTexts)
    Control<QLineEdit>(theText.mName)->setText(QString::fromStdString(theText.mText));
  const QList<QCheckBox*> theSwitches = mWindow->findChildren<QCheckBox*>();
  ASSERT_EQ(theSwitches.size(), 20);
  for (QCheckBox* theSwitch : theSwitches)
    theSwitch->toggle();
  Click("cmdApply");
  EXPECT_TRUE(mWindow->isVisible());
  for (const Text& theText : kTexts)
    EXPECT_EQ(Stored(theText.mName), theText.mStored) << theText.mName;
  for (const QCheckBox* theSwitch : theSwitches) {
    const std::string theName = theSwitch->objectName().toStdString();
    EXPECT_EQ(Stored(theName.c_str()), theSwitch->isChecked() ? "-1" : "0") << theName;
  }

  Control<QLineEdit>("maxsize")->setText("3500");
  Click("cmdOK");
  EXPECT_FALSE(mWindow->isVisible());
  EXPECT_EQ(Stored("maxsize"), "3500");
}

// As loaded and as clicked.
TEST_F(SettingsWindow, SwitchesEnableTheirDependentControls)
{
  const std::pair<const char*, std::vector<const char*>> kDependencies[] = {
      {"logoperations", {"ol1", "ol2", "ol3", "ol4", "ol5", "maxoperationtime", "logmaxfilesize", "logdirectory"}},
      {"qtunload", {"qtunloadperiod"}},
      {"littlecms", {"colorprofiledirectory"}},
  };
  ASSERT_TRUE(SettingsObject().PutSwitch("LogOperations", true));
  Open();
  Select(kSettingsTab);
  for (const auto& [theName, theControls] : kDependencies) {
    QCheckBox* theSwitch = Control<QCheckBox>(theName);
    Tabs()->setCurrentWidget(theSwitch->parentWidget()->parentWidget());
    for (int theClicks = 0; theClicks < 3; ++theClicks) {
      for (const char* theControl : theControls)
        EXPECT_EQ(Control<QWidget>(theControl)->isEnabled(), theSwitch->isChecked()) << theControl;
      QTest::mouseClick(theSwitch, Qt::LeftButton, {}, QPoint(4, theSwitch->height() / 2));
    }
  }
}

TEST_F(SettingsWindow, OperationLogListsTheLibrarysRecords)
{
  ASSERT_EQ(SetPrefLong("LogOperations", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetPrefLong("MaxOperationTime", 0), ERROR_SUCCESS);
  for (const char* theType : {"DrawFile", "DrawText", "SaveAs"})
    WriteOperationRecord(theType, theType == std::string("SaveAs") ? "/srv/www/out.png" : "");
  Open();
  Select(1);
  QTreeWidget* theList = Control<QTreeWidget>("itemList1");
  const int theColumns = theList->columnCount();
  EXPECT_EQ(Texts(theList->headerItem(), theColumns),
            QStringList({"ID", "StartTime", "Duration(ms)", "Type", "CanvasID", "Path"}));
  ASSERT_EQ(theList->topLevelItemCount(), 3);
  const QStringList theLast = Texts(theList->topLevelItem(2), theColumns);
  EXPECT_EQ(theLast[1].size(), 20) << theLast[1].toStdString();
  EXPECT_EQ(theLast.mid(3), QStringList({"SaveAs", "3a0", "/srv/www/out.png"}));
  EXPECT_TRUE(theList->toolTip().isEmpty());
}

// Refresh by refresh, as the library appends, empties and refills the file.
TEST_F(SettingsWindow, ListsFollowTheirFiles)
{
  struct Step {
    const char* mLabel;
    bool mAppend;
    std::string mBytes;
    int mColumns;
    int mRows;
    QStringList mLastRow;
  };
  const Step kSteps[] = {
      {"a header alone", false, kCanvasHeader, 4, 0, {}},
      {"a record", true, "1\ta1\tT1\t1500\t2048\r\n", 4, 1, {"a1", "T1", "1500", "2048"}},
      {"a record and half of the next", true, "1\ta2\tT2\t1600\t4096\r\n1\ta3\tT", 4, 2, {"a2", "T2", "1600", "4096"}},
      {"the half still without its line end", true, "3\t1700", 4, 2, {"a2", "T2", "1600", "4096"}},
      {"the half completed", true, "\t8192\r\n", 4, 3, {"a3", "T3", "1700", "8192"}},
      {"fewer fields, a line of one field, an empty one", true, "1\ta4\tT4\r\nnoise\r\n\r\n", 4, 4,
       {"a4", "T4", "", ""}},
      {"more fields than columns", true, "1\ta5\tT5\t1\t2\t3\r\n", 4, 5, {"a5", "T5", "1", "2"}},
      {"emptied, with another header", false, "Version\tID\tStartTime\r\n1\tb1\tT6\t9\r\n", 2, 1, {"b1", "T6"}},
      {"emptied and grown past what was read", false,
       kCanvasHeader + std::string("1\tc1\tT7\t1\t1\r\n1\tc2\tT7\t2\t2\r\n1\tc3\tT7\t3\t3\r\n"), 4, 3,
       {"c3", "T7", "3", "3"}},
      {"emptied to nothing", false, "", 0, 0, {}},
  };
  Open();
  Select(2);
  QTreeWidget* theList = Control<QTreeWidget>("itemList2");
  for (const Step& theStep : kSteps) {
    Write("Canvas.log", theStep.mBytes, theStep.mAppend);
    Tick();
    EXPECT_EQ(theList->columnCount(), theStep.mColumns) << theStep.mLabel;
    ASSERT_EQ(theList->topLevelItemCount(), theStep.mRows) << theStep.mLabel;
    if (theStep.mRows > 0) {
      EXPECT_EQ(Texts(theList->topLevelItem(theStep.mRows - 1), theStep.mColumns), theStep.mLastRow)
          << theStep.mLabel;
    }
  }
}

// The newest row stays in view while the list shows its end; a list scrolled
// back stays where it is.
TEST_F(SettingsWindow, ListFollowsTheNewestRowOnlyFromItsEnd)
{
  std::string theRecords = kOperationHeader;
  for (int i = 0; i < 200; ++i)
    theRecords += Record("a1");
  Write("Operation.log", theRecords);
  Open();
  Select(1);
  QScrollBar* theBar = Control<QTreeWidget>("itemList1")->verticalScrollBar();
  ASSERT_GT(theBar->maximum(), 0);
  for (int theStart : {theBar->maximum(), 10}) {
    theBar->setValue(theStart);
    const bool theAtEnd = theStart == theBar->maximum();
    Write("Operation.log", Record("a2") + Record("a3"));
    Tick();
    QApplication::processEvents();
    EXPECT_EQ(theBar->value(), theAtEnd ? theBar->maximum() : theStart) << "from " << theStart;
  }
}

// At most its natural size, fitted to its page with its proportions, and
// centred; a path that does not load changes nothing.
TEST_F(SettingsWindow, LastImageIsFittedAndCentred)
{
  const std::string theFolder = tltest::MakeTempFolder("images");
  for (auto [theName, theSize] : {std::pair{"wide.png", QSize(1600, 800)}, std::pair{"small.png", QSize(120, 300)}}) {
    QImage thePicture(theSize, QImage::Format_RGB32);
    thePicture.fill(Qt::darkCyan);
    ASSERT_TRUE(thePicture.save(QString::fromStdString(theFolder + "/" + theName)));
  }
  WriteOperationRecord("SaveAs", theFolder + "/wide.png");
  Open();
  QLabel* thePicture = Control<QLabel>("pic1");
  const QSize thePage = Tabs()->widget(0)->size();
  ASSERT_LT(thePage.width(), 1600);
  ASSERT_TRUE(thePicture->isVisible());
  const QRect theWide(0, (thePage.height() - thePage.width() / 2) / 2, thePage.width(), thePage.width() / 2);
  EXPECT_EQ(thePicture->geometry(), theWide);
  const qint64 theKey = thePicture->pixmap().cacheKey();

  WriteOperationRecord("SaveAs", theFolder + "/missing.png");
  Tick();
  EXPECT_EQ(thePicture->geometry(), theWide);
  EXPECT_EQ(thePicture->pixmap().cacheKey(), theKey);

  WriteOperationRecord("SaveAs", theFolder + "/small.png");
  Tick();
  EXPECT_EQ(thePicture->geometry(), QRect((thePage.width() - 120) / 2, (thePage.height() - 300) / 2, 120, 300));

  // A page wider than twice its height: the wide picture fills the height.
  WriteOperationRecord("SaveAs", theFolder + "/wide.png");
  Tick();
  mWindow->resize(mWindow->width() + 1500 - thePage.width(), mWindow->height());
  QApplication::processEvents();
  const int theHeight = Tabs()->widget(0)->height();
  ASSERT_LT(theHeight, 750);
  EXPECT_EQ(thePicture->geometry(), QRect((1500 - 2 * theHeight) / 2, 0, 2 * theHeight, theHeight));
}

// One message box; the timer, ticking fast here, shows no second one while
// it is open.
TEST(SettingsWindowWithoutComponent, ShowsOneMessageBox)
{
  struct BoxCounter : QObject {
    int mShown = 0;
    bool eventFilter(QObject* inObject, QEvent* inEvent) override
    {
      auto* theBox = qobject_cast<QMessageBox*>(inObject);
      if (theBox && inEvent->type() == QEvent::Show) {
        ++mShown;
        EXPECT_EQ(theBox->text(), "Unable to create TLUtilities4 object");
        EXPECT_EQ(theBox->standardButtons(), QMessageBox::Ok);
      }
      return false;
    }
  } theCounter;
  qApp->installEventFilter(&theCounter);
  QTimer::singleShot(0, [] {
    for (QWidget* theWidget : QApplication::topLevelWidgets())
      if (auto* theTimer = theWidget->findChild<QTimer*>("Timer1"))
        theTimer->setInterval(100);
  });
  QTimer::singleShot(5000, Qt::PreciseTimer, [] {
    for (QWidget* theWidget : QApplication::topLevelWidgets())
      if (auto* theBox = qobject_cast<QMessageBox*>(theWidget); theBox && theBox->isVisible())
        theBox->done(QMessageBox::Ok);
  });
  QElapsedTimer theClock;
  theClock.start();
  frmOptions theWindow;
  qApp->removeEventFilter(&theCounter);
  EXPECT_GE(theClock.elapsed(), 5000);
  EXPECT_EQ(theCounter.mShown, 1);
}

// A picture of every page, with logs and an image to show, under the build's
// test output; and no caption short of the room it needs.
TEST_F(SettingsWindow, ScreenshotsOfEveryPage)
{
  const std::string theFolder = tltest::MakeTempFolder("images");
  QImage theImage(640, 400, QImage::Format_RGB32);
  theImage.fill(Qt::darkCyan);
  ASSERT_TRUE(theImage.save(QString::fromStdString(theFolder + "/picture.png")));
  WriteOperationRecord("SaveAs", theFolder + "/picture.png");
  Write("Operation.log", std::string(kOperationHeader) + "1\t2c4f1a0b\tMar 09 07:05:03 1999\t1520\tDrawFile\t3a0\t\r\n"
                             "1\t6d1e02c4\tMar 09 07:05:05 1999\t1105\tReduceColors\t3a0\t\r\n"
                             "1\t1b7c5f30\tMar 09 07:05:06 1999\t1210\tSaveAs\t3a0\t/srv/www/out/photo.jpg\r\n"
                             "1\t51e3007d\tMar 09 07:05:09 1999\t2210\tDrawText\t72f1\t\r\n");
  Write("Canvas.log", std::string(kCanvasHeader) + "1\t2c4f1a0b\tMar 09 07:05:03 1999\t1520\t7500\r\n"
                          "1\t51e3007d\tMar 09 07:05:09 1999\t2210\t30000\r\n");
  Open();
  std::filesystem::create_directories(TL_SCREENSHOT_DIR);
  for (int i = 0; i < Tabs()->count(); ++i) {
    Select(i);
    QApplication::processEvents();
    const QString theName = QStringLiteral("%1/tab-%2.png").arg(TL_SCREENSHOT_DIR).arg(i + 1);
    EXPECT_TRUE(mWindow->grab().save(theName)) << theName.toStdString();
    for (QWidget* theWidget : Tabs()->widget(i)->findChildren<QWidget*>()) {
      const auto* theLabel = qobject_cast<QLabel*>(theWidget);
      if (!(theLabel || qobject_cast<QCheckBox*>(theWidget) || qobject_cast<QGroupBox*>(theWidget)) ||
          !theWidget->isVisible() || theWidget->objectName() == "pic1")
        continue;
      const QSize theNeed(theWidget->minimumSizeHint().width(),
                          theLabel && theLabel->wordWrap() ? theLabel->heightForWidth(theWidget->width())
                                                           : theWidget->minimumSizeHint().height());
      EXPECT_TRUE(theWidget->width() >= theNeed.width() && theWidget->height() >= theNeed.height())
          << "tab " << i + 1 << ": " << theWidget->metaObject()->className() << " '"
          << theWidget->objectName().toStdString() << "' is " << theWidget->width() << "x" << theWidget->height();
    }
  }
}

// The program's own options need no display; anything but Qt's options is a
// wrong call.
TEST(SettingsProgram, AnswersHelpVersionAndWrongUse)
{
  tltest::RunResult theResult = tltest::RunProgram({TL_TLSETTINGS, "--help"}, {"QT_QPA_PLATFORM", "DISPLAY"});
  EXPECT_EQ(theResult.mStatus, 0);
  EXPECT_EQ(theResult.mOut.rfind("usage: TLSettings ", 0), 0u) << theResult.mOut;
  for (const char* theMention : {"--help", "--version", "TLSettings(1)"})
    EXPECT_NE(theResult.mOut.find(theMention), std::string::npos) << theMention;
  theResult = tltest::RunProgram({TL_TLSETTINGS, "--version"}, {"QT_QPA_PLATFORM", "DISPLAY"});
  EXPECT_EQ(theResult.mStatus, 0);
  EXPECT_EQ(theResult.mOut, "TLSettings " TL_VERSION "\n");
  EXPECT_EQ(theResult.mErr, "");
  for (const std::vector<std::string>& theCommand : {std::vector<std::string>{TL_TLSETTINGS, "--bogus"},
                                                      {TL_TLSETTINGS, "-platform", "offscreen", "extra"}}) {
    theResult = tltest::RunProgram(theCommand, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(theResult.mStatus, 2) << theCommand.back();
    EXPECT_EQ(theResult.mOut, "");
    EXPECT_NE(theResult.mErr.find("usage: TLSettings "), std::string::npos) << theResult.mErr;
  }
}

// The README's picture: the operation log after the main road's pages ran
// over the registered library, every operation logged (switched on through
// the example page, as the README says). It stays in the build folder
// (screenshots/settings.png), from which settings-program/screenshot.png is
// copied.
TEST_F(SettingsWindow, OperationLogOfRealPages)
{
  ASSERT_EQ(tltest::RunProgram({TL_TLREGSVR, TL_TESSALINE4}).mStatus, 0);
  const std::string theFolder = tltest::MakeTempFolder("road");
  const std::vector<std::vector<std::string>> kPages = {
      {"preferences.js", "LogOperations", "true"},
      {"preferences.js", "MaxOperationTime", "0"},
      {"photo.js", theFolder + "/photo.jpg"},
      {"thumbnail.js", theFolder + "/photo.jpg", theFolder + "/thumbnail.jpg"},
  };
  for (std::vector<std::string> thePage : kPages) {
    thePage[0] = TL_EXAMPLES_DIR "/" + thePage[0];
    thePage.insert(thePage.begin(), TL_TLSCRIPT);
    const tltest::RunResult theRun =
      tltest::RunProgram(thePage, {"LSAN_OPTIONS=suppressions=" TL_HOST_SUPPRESSIONS ":print_suppressions=0"});
    ASSERT_EQ(theRun.mStatus, 0) << thePage[1] << ": " << theRun.mErr;
  }

  Open();
  Select(2);
  EXPECT_GE(Control<QTreeWidget>("itemList2")->topLevelItemCount(), 2) << "a canvas of each page";
  Select(1);
  QTreeWidget* theList = Control<QTreeWidget>("itemList1");
  ASSERT_EQ(theList->columnCount(), 6);
  QStringList theTypes;
  const QString theYear = QString::number(QDate::currentDate().year());
  for (int i = 0; i < theList->topLevelItemCount(); ++i) {
    const QStringList theRow = Texts(theList->topLevelItem(i), 6);
    theTypes << theRow[3];
    EXPECT_TRUE(theRow[1].endsWith(theYear)) << theRow[1].toStdString();
  }
  for (const char* theType : {"Draw Shape:", "Draw Text:", "Draw File:", "Save As:"})
    EXPECT_TRUE(theTypes.contains(theType)) << theType << " in " << theTypes.join(", ").toStdString();
  EXPECT_EQ(Texts(theList->topLevelItem(theList->topLevelItemCount() - 1), 6)[5].toStdString(),
            theFolder + "/thumbnail.jpg");

  std::filesystem::create_directories(std::filesystem::path(TL_SETTINGS_SCREENSHOT).parent_path());
  EXPECT_TRUE(mWindow->grab().save(TL_SETTINGS_SCREENSHOT));
}

}  // namespace
