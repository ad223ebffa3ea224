// pt_bench_net: the connections need an application object for the UI
// thread; the start query of UDP connections goes to loopback.
#include "qtbenchmain.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
  qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
  qputenv("PT_DISCOVERY_PORT", "30718");
  return RunBenchmarksInQtApp<QCoreApplication>(argc, argv);
}
