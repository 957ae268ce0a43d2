#pragma once
// The settings window: seven tabs over the library's live logs, the last
// image it saved, and its preferences.
//
// Tabs 1 to 3 follow "SaveAs.log", "Operation.log" and "Canvas.log" in the
// log directory: each visit and each tick of the timer (every 3000 ms) reads
// only what the library appended since the last look, and a list keeps its
// newest row in view while it shows its end. Tabs 4 to 7 edit the
// preferences; they are read once, at the first visit of any of them, so
// edits survive tab changes, and OK or Apply write them back only after that
// read. Every read and write goes through a fresh object of the settings
// component; when it cannot be made, one message box says so (the timer
// shows no second one while it is open) and nothing is read or written.
//
// Preferences whose read failed are not written: their control never showed
// the stored value.

#include <QDialog>
#include <QPixmap>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTimer;
class QTreeWidget;

class frmOptions : public QDialog {
public:
  explicit frmOptions(QWidget* inParent = nullptr);

protected:
  bool eventFilter(QObject* inObject, QEvent* inEvent) override;

private:
  // A control bound to the settings component's property of the same name.
  struct Binding {
    std::string mName;
    QCheckBox* mCheck = nullptr;  // a switch, or
    QLineEdit* mText = nullptr;   // a text
    bool mRead = false;           // it shows the stored value
  };

  void tbsOptions_Click();
  void RefreshTab(bool inForce);
  void LoadSettings(bool inForce);
  void SaveSettings();
  void EnableDependentControls();

  // The whole lines appended to the log file since the last look; a file
  // the library emptied also clears inList (when given).
  QString ReadLogTail(const char* inFileName, std::uint64_t& ioConsumed, QTreeWidget* inList);
  // Adds a row per record; the first text of an empty list starts with the
  // file's header, which names the columns. ioKeyValue becomes the newest
  // non-empty field number inKeyColumn (0: none).
  void FillListView(QTreeWidget* inList, const QString& inText, int inKeyColumn, QString& ioKeyValue);
  // Shows the picture of the newest record's path, when it is new and loads.
  void ShowLastImage(const QString& inText);
  // The picture at its natural size, shrunk to fit its page keeping its
  // proportions, and centred.
  void FitPicture();

  void ReportNoComponent();

  QTabWidget* mTabs;
  QTreeWidget* mItemList1;
  QTreeWidget* mItemList2;
  QWidget* mPicturePage;
  QLabel* mPic1;
  QLabel* mQuickTime;
  QTimer* mTimer;
  std::vector<Binding> mBindings;  // in alphabetical order

  int mCurrentTab = -1;  // 1-based; -1 before the first
  std::uint64_t mOperationLogSize = 0;
  std::uint64_t mCanvasLogSize = 0;
  std::uint64_t mSaveAsLogSize = 0;
  QString mLastImagePath;
  QString mShownImagePath;
  QPixmap mPicture;
  bool mSettingsLoaded = false;
  bool mShowingMessage = false;
};
