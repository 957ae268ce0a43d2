#include "settings-program/OptionsPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Room for the widest number a text box holds, a sign and ten digits.
constexpr const char* kNumberRoom = "-0000000000";

QCheckBox* Check(const char* inName, const char* inCaption)
{
  auto* theBox = new QCheckBox(inCaption);
  theBox->setObjectName(inName);
  return theBox;
}

QLineEdit* Text(const char* inName, const char* inInitial = "Error")
{
  auto* theText = new QLineEdit(inInitial);
  theText->setObjectName(inName);
  return theText;
}

QLineEdit* NumberText(const char* inName, const char* inInitial = "Error")
{
  QLineEdit* theText = Text(inName, inInitial);
  QMargins theMargins = theText->textMargins();
  theText->setFixedWidth(theText->fontMetrics().horizontalAdvance(kNumberRoom) + theMargins.left() +
                         theMargins.right() + 16);
  return theText;
}

// Captions are plain text: blanks and every character stand as written.
QLabel* Label(const char* inCaption, const char* inName = "")
{
  auto* theLabel = new QLabel(inCaption);
  theLabel->setObjectName(inName);
  theLabel->setTextFormat(Qt::PlainText);
  return theLabel;
}

QLabel* Explanation(const char* inCaption, const char* inName = "")
{
  QLabel* theLabel = Label(inCaption, inName);
  theLabel->setWordWrap(true);
  return theLabel;
}

// A row of controls held to their natural widths, on the left.
QHBoxLayout* Row(std::initializer_list<QWidget*> inWidgets)
{
  auto* theRow = new QHBoxLayout;
  for (QWidget* theWidget : inWidgets)
    theRow->addWidget(theWidget);
  theRow->addStretch();
  return theRow;
}

QGroupBox* Frame(const char* inCaption, QLayout* inContent)
{
  auto* theFrame = new QGroupBox(inCaption);
  theFrame->setLayout(inContent);
  return theFrame;
}

QVBoxLayout* Column(std::initializer_list<QObject*> inItems)
{
  auto* theColumn = new QVBoxLayout;
  for (QObject* theItem : inItems) {
    if (auto* theLayout = qobject_cast<QLayout*>(theItem))
      theColumn->addLayout(theLayout);
    else
      theColumn->addWidget(static_cast<QWidget*>(theItem));
  }
  return theColumn;
}

QWidget* Page(int inIndex, QLayout* inContent)
{
  auto* thePage = new QWidget;
  thePage->setObjectName(QStringLiteral("tbsFrame_%1").arg(inIndex));
  if (inContent)
    thePage->setLayout(inContent);
  return thePage;
}

// A page of frames and texts, held at the top.
QWidget* FramesPage(int inIndex, std::initializer_list<QObject*> inItems)
{
  QVBoxLayout* theColumn = Column(inItems);
  theColumn->addStretch();
  return Page(inIndex, theColumn);
}

// A report list: one flat row per record, in the file's order.
QWidget* ListPage(int inIndex, const char* inName)
{
  auto* theList = new QTreeWidget;
  theList->setObjectName(inName);
  theList->setColumnCount(0);
  theList->setRootIsDecorated(false);
  theList->setItemsExpandable(false);
  theList->setUniformRowHeights(true);
  theList->setAllColumnsShowFocus(true);
  theList->setSortingEnabled(false);
  theList->header()->setSectionsClickable(false);
  theList->setToolTip("No data available...");
  return Page(inIndex, Column({theList}));
}

// The preview is placed by the window, over the whole page, without a layout.
QWidget* LastImagePage()
{
  QWidget* thePage = Page(0, nullptr);
  QLabel* thePicture = Label("", "pic1");
  thePicture->setParent(thePage);
  thePicture->setScaledContents(true);
  thePicture->hide();
  return thePage;
}

QWidget* SettingsPage()
{
  return FramesPage(3, {Frame("Log Files",
                              Column({Check("logoperations", "Enable Operation Logging"),
                                      Explanation("Maximum Operation Time. Any operations taking longer than this "
                                                  "will be logged.",
                                                  "ol1"),
                                      Row({NumberText("maxoperationtime"), Label("milliseconds", "ol3")}),
                                      Explanation("Maximum Log File Size. The log file will be cleared when the "
                                                  "size exceeds this value.",
                                                  "ol2"),
                                      Row({NumberText("logmaxfilesize"), Label("bytes", "ol4")}),
                                      Label("Log file directory", "ol5"), Text("logdirectory")}))});
}

QWidget* ModulesPage()
{
  auto* theModules = new QGridLayout;
  theModules->addWidget(Frame("Accelerated JPEG Library", Column({Check("ijlimport", "Import Images"),
                                                                  Check("ijlexport", "Export Images")})),
                        0, 0);
  theModules->addWidget(Frame("QuickTime Image Module",
                              Column({Check("qtinfo", "Get Information"), Check("qtimport", "Import Images"),
                                      Check("qtexport", "Export Images")})),
                        0, 1);
  theModules->addWidget(Frame("Tessaline Image Module",
                              Column({Check("iminfo", "Get Information"), Check("imimport", "Import Images"),
                                      Check("imexport", "Export Images")})),
                        1, 0);
  theModules->addWidget(Frame("QuickTime Movie Module", Column({Check("qtinfomovies", "Get Information"),
                                                                Check("qtimportmovies", "Import Images")})),
                        1, 1);
  return FramesPage(
      4, {Explanation("Tessaline uses four main sets of modules for image processing. First processing is attempted "
                      "using the fast JPEG library, then with the QuickTime Image Module, next with the Tessaline "
                      "Image Module and finally with the QuickTime Movie Module. Using the settings below you can "
                      "control whether image import, export or information is enabled for each of these modules."),
          theModules});
}

QWidget* QuickTimePage()
{
  return FramesPage(
      5,
      {Frame("QuickTime Version Information", Column({Explanation("Error Getting QuickTime Description", "quicktime")})),
       Frame("Advanced QuickTime Settings",
             Column({Check("qtload", "Load QuickTime"),
                     Explanation("Disabling loading will disable all QuickTime modules and related features."),
                     Row({Check("qtunload", "Unload QuickTime"), Label("Every"), NumberText("qtunloadperiod", "10000"),
                          Label("operations")}),
                     Explanation("Unloading QuickTime frees up memory but can dramatically reduce performance if done "
                                 "too often."),
                     Check("qtmemoryip", "Use Memory Mapped IP if available"),
                     Check("qtmemoryop", "Use Memory Mapped OP if available"),
                     Explanation("QuickTime 5.0 introduces input (IP) and output (OP) to and from memory. This enables "
                                 "all access to be done in-memory for greater speed and more efficient use of "
                                 "resources."),
                     Check("qtimportmpeg", "Enable MPEG"),
                     Explanation("MPEG is disabled due to threading problems under QuickTime 5.0.")}))});
}

QWidget* AdvancedPage()
{
  return FramesPage(
      6, {Frame("Color Conversion",
                Column({Check("littlecms", "Use Color Profiles"), Label("Color Profile Directory"),
                        Text("colorprofiledirectory"),
                        Explanation("Color Profiles are normally embedded in images. In cases where an embedded "
                                    "profile is not available you may wish to allow Tessaline to choose a default "
                                    "profile from a color profiles directory. If no suitable profile is available "
                                    "Tessaline will use its own defaults.")})),
          Frame("Other Preferences",
                Column({Check("ipltransform", "Use Interpolated Transforms - optimized for quality rather than speed"),
                        Check("logerrors", "Record all VBScript Errors as Warnings in Application Event Log"),
                        Check("enableimpersonation",
                              "Enable Impersonation - selecting this option will reduce the security of your system"),
                        Explanation("Maximum Image Dimensions.  Any attempt to draw an image larger than this will "
                                    "result in a VBScript error."),
                        Row({NumberText("maxsize"), Label("pixels wide and high")})}))});
}

}  // namespace

void AddOptionsPages(QTabWidget* inTabs)
{
  inTabs->addTab(LastImagePage(), "Last Image");
  inTabs->addTab(ListPage(1, "itemList1"), "Operation Log");
  inTabs->addTab(ListPage(2, "itemList2"), "Canvas Log");
  inTabs->addTab(SettingsPage(), "Settings");
  inTabs->addTab(ModulesPage(), "Modules");
  inTabs->addTab(QuickTimePage(), "QuickTime");
  inTabs->addTab(AdvancedPage(), "Advanced");
}
