// The whole program under a TCP flood: the window offscreen, connected
// through its TCP group to a loopback server that sends random bytes as
// fast as it can.
#include "app/connectionpanel.h"
#include "net_support.h"
#include "widgets/numedit.h"
#include "window_support.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

// The full run sends 256 MiB; the smoke run 16 MiB.
int64_t FloodBytes() {
  return FullRun() ? int64_t(256) << 20 : int64_t(16) << 20;
}

// Argument 1: the window records the flood into a file meanwhile.
void BM_GuiFloodTcp(benchmark::State &state) {
  PrepareDataObjects();
  const bool recording = state.range(0) != 0;
  const int64_t total = FloodBytes();
  const double mib = static_cast<double>(total) / (1 << 20);
  TFloodTotals totals;
  for (auto _ : state) {
    TBenchWindow w;
    TRawListener listener;
    TConnectionPanel *panel = w.window.ConnectionPanel();
    panel->edtTcpHost->setText(QStringLiteral("127.0.0.1"));
    panel->iedTcpPort->setText(QString::number(listener.Port()));
    panel->btnTcpConnectDisconnect->click();
    // Accept only once connected: the UI thread must serve the status hand-offs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!w.window.Connections().TcpConnected() && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!w.window.Connections().TcpConnected()) {
      state.SkipWithError("the TCP group did not connect");
      return;
    }
    const int peer = listener.Accept();
    TFloodRecording record(w, recording);
    if (!record.Start()) {
      ::close(peer);
      state.SkipWithError("the recording did not start");
      return;
    }
    const TFloodResult flood =
        RunFlood(w, total, [&](TStreamSum &sent) { WriteRandom(peer, total, sent); });
    ::close(peer);
    if (!totals.Add(flood, state) || !totals.Recorded(record, state))
      return;
  }
  totals.Report(state, mib);
  state.counters["recording"] = recording;
}
BENCHMARK(BM_GuiFloodTcp)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
