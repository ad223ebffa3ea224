// pt_bench_net: the connections need an application object for the UI
// thread; the start query of UDP connections goes to loopback.
#include "qtbenchmain.h"

#include <QApplication>

// A widget application, offscreen, for the whole window of BM_GuiFloodTcp.
int main(int argc, char **argv) {
  qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
  qputenv("PT_DISCOVERY_PORT", "30718");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return RunBenchmarksInQtApp<QApplication>(argc, argv);
}
