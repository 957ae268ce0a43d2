// TLSettings: the administrator's window over the preferences, the live logs
// and the last saved image. It has no command line of its own (Qt's options,
// such as -platform, apply); it ends when the window is closed.

#include "settings-program/frmOptions.h"

#include <QApplication>

int main(int argc, char** argv)
{
  QApplication theApplication(argc, argv);
  frmOptions theWindow;
  QObject::connect(&theWindow, &QDialog::finished, &theApplication, &QApplication::quit);
  theWindow.show();
  return theApplication.exec();
}
