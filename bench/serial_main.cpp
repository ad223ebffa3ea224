// pt_bench_serial: the port component delivers its events through the UI
// thread, so the benchmarks run inside an application object; a widget one,
// offscreen, for the whole window.
#include "qtbenchmain.h"

#include <QApplication>

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return RunBenchmarksInQtApp<QApplication>(argc, argv);
}
