// pt_bench_netutils: the network utilities need an application object for
// the UI thread; whatever could be sent goes to loopback only.
#include "qtbenchmain.h"

#include <QApplication>

// A widget application, offscreen, for the packet list the rows go into.
int main(int argc, char **argv) {
  qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
  qputenv("PT_DISCOVERY_PORT", "30718");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return RunBenchmarksInQtApp<QApplication>(argc, argv);
}
