// TLSettings: the administrator's window over the preferences, the live logs
// and the last saved image; it ends when the window is closed. Its only
// options are --help and --version (which need no display) and Qt's own,
// such as -platform; anything else is a wrong call (usage on standard error,
// exit status 2).

#include "settings-program/frmOptions.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
  "usage: TLSettings [Qt options such as -platform offscreen]\n"
  "       TLSettings --help | --version\n";
constexpr const char* kHelp =
  "Opens the settings window of Tessaline: the preferences of the store of\n"
  "TESSALINE_HOME, the operation and canvas logs and the last saved image.\n"
  "It needs the registered settings component (TLUtilities4.Settings).\n"
  "\n"
  "  --help     show this text and exit\n"
  "  --version  show the version of Tessaline and exit\n"
  "\n"
  "See TLSettings(1).\n";

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("TLSettings %s\n", TL_VERSION);
    return 0;
  }
  QApplication theApplication(argc, argv);
  // Qt took its own options out of the arguments.
  if (QApplication::arguments().size() > 1) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  frmOptions theWindow;
  QObject::connect(&theWindow, &QDialog::finished, &theApplication, &QApplication::quit);
  theWindow.show();
  return theApplication.exec();
}
