#include "app/versioninfo.h"

#include <QApplication>
#include <QLabel>

// Until the main window exists the program shows what it is and which
// version was built, so that "make run" already proves the toolchain.
int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Pelmar Terminal %1\n\nThe main window is not built yet: "
                              "this build carries the headless core (buffers, parsers, "
                              "data objects, codecs and log files).")
                   .arg(GetFileVersion()));
  label.setObjectName(QStringLiteral("lblPlaceholder"));
  label.setMargin(24);
  label.setWindowTitle(QStringLiteral("Pelmar Terminal"));
  label.show();
  return app.exec();
}
