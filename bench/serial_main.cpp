// pt_bench_serial: the port component delivers its events through the UI
// thread, so the benchmarks run inside an application object.
#include "qtbenchmain.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
  return RunBenchmarksInQtApp<QCoreApplication>(argc, argv);
}
