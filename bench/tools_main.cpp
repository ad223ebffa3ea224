#include "qtbenchmain.h"

#include <QApplication>

// The tools are widgets: the benchmarks need a QApplication, offscreen.
int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return RunBenchmarksInQtApp<QApplication>(argc, argv);
}
