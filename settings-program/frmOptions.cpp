#include "settings-program/frmOptions.h"

#include "settings-program/LogTail.h"
#include "settings-program/OptionsPages.h"
#include "settings-program/SettingsObject.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

namespace {

// The properties the window edits, in alphabetical order: the order in which
// they are read and written.
constexpr const char* kEditable[] = {
    "colorprofiledirectory", "enableimpersonation", "ijlexport", "ijlimport", "imexport", "imimport",
    "iminfo", "ipltransform", "littlecms", "logdirectory", "logerrors", "logmaxfilesize", "logoperations",
    "maxoperationtime", "maxsize", "qtexport", "qtimport", "qtimportmovies", "qtimportmpeg", "qtinfo",
    "qtinfomovies", "qtload", "qtmemoryip", "qtmemoryop", "qtunload", "qtunloadperiod",
};

// What "Enable Operation Logging" enables.
constexpr const char* kLoggingControls[] = {
    "ol1", "ol2", "ol3", "ol4", "ol5", "maxoperationtime", "logmaxfilesize", "logdirectory",
};

constexpr int kRefreshInterval = 3000;  // ms
// The first size of the window: room for the six columns of a typical record.
constexpr QSize kRoomForRecords(720, 0);
constexpr int kTabOfLastImage = 1;
constexpr int kTabOfOperationLog = 2;
constexpr int kTabOfCanvasLog = 3;
// The Path field of an "Operation.log" record.
constexpr int kPathColumn = 6;
// A text of more lines than this shows the hourglass while the list fills.
constexpr qsizetype kQuickFill = 1001;

// The hourglass, for as long as it lives (nested ones stack).
class WaitCursor {
public:
  explicit WaitCursor(Qt::CursorShape inShape = Qt::WaitCursor) { QApplication::setOverrideCursor(inShape); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

QPushButton* Button(const char* inName, const char* inCaption)
{
  auto* theButton = new QPushButton(inCaption);
  theButton->setObjectName(inName);
  return theButton;
}

}  // namespace

frmOptions::frmOptions(QWidget* inParent) : QDialog(inParent)
{
  setObjectName("frmOptions");
  setWindowTitle("TLSettings");

  mTabs = new QTabWidget;
  mTabs->setObjectName("tbsOptions");
  AddOptionsPages(mTabs);
  // Every tab's caption in view: the window is at least as wide as the tabs.
  mTabs->tabBar()->setUsesScrollButtons(false);
  QPushButton* theOK = Button("cmdOK", "OK");
  QPushButton* theCancel = Button("cmdCancel", "Cancel");
  QPushButton* theApply = Button("cmdApply", "Apply");
  theOK->setDefault(true);
  auto* theButtons = new QHBoxLayout;
  theButtons->addStretch();
  theButtons->addWidget(theOK);
  theButtons->addWidget(theCancel);
  theButtons->addWidget(theApply);
  auto* theLayout = new QVBoxLayout(this);
  theLayout->addWidget(mTabs);
  theLayout->addLayout(theButtons);

  mItemList1 = findChild<QTreeWidget*>("itemList1");
  mItemList2 = findChild<QTreeWidget*>("itemList2");
  mPicturePage = mTabs->widget(0);
  mPic1 = findChild<QLabel*>("pic1");
  mQuickTime = findChild<QLabel*>("quicktime");
  mPicturePage->installEventFilter(this);
  for (const char* theName : kEditable)
    mBindings.push_back({theName, findChild<QCheckBox*>(theName), findChild<QLineEdit*>(theName)});
  for (const char* theName : {"logoperations", "qtunload", "littlecms"})
    connect(findChild<QCheckBox*>(theName), &QCheckBox::toggled, this, &frmOptions::EnableDependentControls);

  connect(theOK, &QPushButton::clicked, this, [this] {
    SaveSettings();
    accept();
  });
  connect(theCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(theApply, &QPushButton::clicked, this, &frmOptions::SaveSettings);
  // Ctrl+Tab anywhere in the window: the next tab, from the last to the first.
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this), &QShortcut::activated, this,
          [this] { mTabs->setCurrentIndex((mTabs->currentIndex() + 1) % mTabs->count()); });

  mTimer = new QTimer(this);
  mTimer->setObjectName("Timer1");
  mTimer->setInterval(kRefreshInterval);
  connect(mTimer, &QTimer::timeout, this, [this] {
    if (!mShowingMessage)
      RefreshTab(false);
  });

  WaitCursor theWait;
  resize(sizeHint().expandedTo(kRoomForRecords));
  const QRect theScreen = screen()->geometry();
  move(theScreen.x() + (theScreen.width() - width()) / 2, theScreen.y() + (theScreen.height() - height()) / 2);
  mTimer->start();
  tbsOptions_Click();
  connect(mTabs, &QTabWidget::currentChanged, this, &frmOptions::tbsOptions_Click);
}

bool frmOptions::eventFilter(QObject* inObject, QEvent* inEvent)
{
  if (inObject == mPicturePage && inEvent->type() == QEvent::Resize)
    FitPicture();
  return QDialog::eventFilter(inObject, inEvent);
}

// Runs only for another tab than the one shown: selecting the current tab
// changes nothing and reads nothing.
void frmOptions::tbsOptions_Click()
{
  mCurrentTab = mTabs->currentIndex() + 1;
  RefreshTab(true);
}

void frmOptions::RefreshTab(bool inForce)
{
  WaitCursor theWait;
  switch (mCurrentTab) {
  case kTabOfLastImage:
    ShowLastImage(ReadLogTail("SaveAs.log", mSaveAsLogSize, nullptr));
    break;
  case kTabOfOperationLog:
    FillListView(mItemList1, ReadLogTail("Operation.log", mOperationLogSize, mItemList1), kPathColumn,
                 mLastImagePath);
    break;
  case kTabOfCanvasLog: {
    QString theUnused;
    FillListView(mItemList2, ReadLogTail("Canvas.log", mCanvasLogSize, mItemList2), 0, theUnused);
    break;
  }
  default:
    LoadSettings(inForce);
  }
}

void frmOptions::LoadSettings(bool inForce)
{
  SettingsObject theSettings;
  if (!theSettings.Created()) {
    ReportNoComponent();
    return;
  }
  if (!inForce || mSettingsLoaded)
    return;
  WaitCursor theWait;
  for (Binding& theBinding : mBindings) {
    if (theBinding.mCheck) {
      std::optional<bool> theValue = theSettings.GetSwitch(theBinding.mName);
      if (theValue)
        theBinding.mCheck->setChecked(*theValue);
      theBinding.mRead = theValue.has_value();
    } else {
      std::optional<std::string> theText = theSettings.GetText(theBinding.mName);
      if (theText)
        theBinding.mText->setText(QString::fromStdString(*theText));
      theBinding.mRead = theText.has_value();
    }
  }
  EnableDependentControls();
  if (std::optional<std::string> theReport = theSettings.GetText("quicktime"))
    mQuickTime->setText(QString::fromStdString(*theReport));
  mSettingsLoaded = true;
}

void frmOptions::SaveSettings()
{
  if (!mSettingsLoaded)
    return;
  SettingsObject theSettings;
  if (!theSettings.Created()) {
    ReportNoComponent();
    return;
  }
  WaitCursor theWait;
  // A write the component refuses (a text that is no number) is skipped.
  for (const Binding& theBinding : mBindings) {
    if (!theBinding.mRead)
      continue;
    if (theBinding.mCheck)
      static_cast<void>(theSettings.PutSwitch(theBinding.mName, theBinding.mCheck->isChecked()));
    else
      static_cast<void>(theSettings.PutText(theBinding.mName, theBinding.mText->text().toStdString()));
  }
}

void frmOptions::EnableDependentControls()
{
  const bool theLogging = findChild<QCheckBox*>("logoperations")->isChecked();
  for (const char* theName : kLoggingControls)
    findChild<QWidget*>(theName)->setEnabled(theLogging);
  findChild<QLineEdit*>("qtunloadperiod")->setEnabled(findChild<QCheckBox*>("qtunload")->isChecked());
  findChild<QLineEdit*>("colorprofiledirectory")->setEnabled(findChild<QCheckBox*>("littlecms")->isChecked());
}

QString frmOptions::ReadLogTail(const char* inFileName, std::uint64_t& ioConsumed, QTreeWidget* inList)
{
  SettingsObject theSettings;
  if (!theSettings.Created()) {
    ReportNoComponent();
    return {};
  }
  std::optional<std::string> theDirectory = theSettings.GetText("logdirectory");
  if (!theDirectory)
    return {};
  LogTail theTail = LogTail::Read(*theDirectory + inFileName, ioConsumed);
  if (theTail.mRestarted && inList) {
    inList->clear();
    inList->setColumnCount(0);
  }
  return QString::fromStdString(theTail.mText);
}

void frmOptions::FillListView(QTreeWidget* inList, const QString& inText, int inKeyColumn, QString& ioKeyValue)
{
  if (inText.isEmpty())
    return;
  inList->setToolTip(QString());
  const QStringList theLines = inText.split('\n');
  std::optional<WaitCursor> theWait;
  if (theLines.size() > kQuickFill)
    theWait.emplace();

  // The newest row stays in view only when the list showed its end already.
  const QScrollBar* theBar = inList->verticalScrollBar();
  const bool theFollow = theBar->value() == theBar->maximum();
  const bool theFirst = inList->topLevelItemCount() == 0;
  if (theFirst)
    inList->setHeaderLabels(theLines.front().split('\t').mid(1));

  const int theColumns = inList->columnCount();
  QList<QTreeWidgetItem*> theRows;
  for (qsizetype i = theFirst ? 1 : 0; i < theLines.size(); ++i) {
    const QStringList theFields = theLines[i].split('\t');
    if (theFields.size() < 2)
      continue;
    auto* theRow = new QTreeWidgetItem;
    for (int k = 1; k <= theColumns && k < theFields.size(); ++k) {
      if (k == inKeyColumn && !theFields[k].isEmpty())
        ioKeyValue = theFields[k];
      theRow->setText(k - 1, theFields[k]);
    }
    theRows.append(theRow);
  }
  inList->addTopLevelItems(theRows);
  if (theFirst)
    for (int k = 0; k < theColumns; ++k)
      inList->resizeColumnToContents(k);
  if (theFollow)
    inList->scrollToBottom();
}

void frmOptions::ShowLastImage(const QString& inText)
{
  if (inText.isEmpty())
    return;
  // The newest record with a path; the first line may be the header.
  const QStringList theLines = inText.split('\n');
  for (qsizetype i = theLines.size() - 1; i >= 1; --i) {
    const QString thePath = theLines[i].section('\t', -1);
    if (!thePath.isEmpty()) {
      mLastImagePath = thePath;
      break;
    }
  }
  if (mLastImagePath == mShownImagePath)
    return;
  // A picture that does not load leaves the preview as it was.
  QPixmap thePicture(mLastImagePath);
  if (thePicture.isNull())
    return;
  mPicture = thePicture;
  mPic1->setPixmap(mPicture);
  FitPicture();
  mPic1->show();
  mShownImagePath = mLastImagePath;
}

void frmOptions::FitPicture()
{
  if (mPicture.isNull())
    return;
  const QSize theRoom = mPicturePage->size();
  // In 64 bits: the products exceed 32 bits for large pictures.
  std::int64_t theWidth = mPicture.width();
  std::int64_t theHeight = mPicture.height();
  if (theWidth > theRoom.width()) {
    theHeight = theHeight * theRoom.width() / theWidth;
    theWidth = theRoom.width();
  }
  if (theHeight > theRoom.height()) {
    theWidth = theWidth * theRoom.height() / theHeight;
    theHeight = theRoom.height();
  }
  mPic1->setGeometry(static_cast<int>((theRoom.width() - theWidth) / 2),
                     static_cast<int>((theRoom.height() - theHeight) / 2), static_cast<int>(theWidth),
                     static_cast<int>(theHeight));
}

void frmOptions::ReportNoComponent()
{
  mShowingMessage = true;
  {
    WaitCursor theArrow(Qt::ArrowCursor);
    QMessageBox theBox(QMessageBox::NoIcon, "TLSettings", "Unable to create TLUtilities4 object", QMessageBox::Ok,
                       this);
    theBox.exec();
  }
  mShowingMessage = false;
}
