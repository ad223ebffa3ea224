// The whole program under a serial flood: the window offscreen, its serial
// group opening a pty, random bytes written into the master as fast as it
// takes them. Beside it the same bytes through an identical pty pair into a
// trivial reader thread: the ceiling this machine sets at this moment.
#include "app/serialgroup.h"
#include "serial/comport.h"
#include "serial_ceiling.h"

#include <QComboBox>
#include <QPushButton>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The full run writes 50 MiB; the smoke run 4 MiB.
int64_t FloodBytes() {
  return FullRun() ? int64_t(50) << 20 : int64_t(4) << 20;
}

// Argument 1: the window records the flood into a file meanwhile.
void BM_GuiFlood(benchmark::State &state) {
  PrepareDataObjects();
  const bool recording = state.range(0) != 0;
  const int64_t total = FloodBytes();
  const double mib = static_cast<double>(total) / (1 << 20);
  TFloodTotals totals;
  double ceilingSeconds = 0;
  for (auto _ : state) {
    if (!AddPtyCeiling(state, total, ceilingSeconds))
      return;

    TBenchWindow w;
    TBenchPty pty;
    TSerialPortGroup *group = w.window.SerialGroup();
    group->cbbComPort->setEditText(pty.Path());
    group->btnOpenClose->click();
    if (group->btnOpenClose->text() != QStringLiteral("Close")) {
      state.SkipWithError("the serial group did not open the pty");
      return;
    }
    TFloodRecording record(w, recording);
    if (!record.Start()) {
      state.SkipWithError("the recording did not start");
      return;
    }
    const TFloodResult flood =
        RunFlood(w, total, [&](TStreamSum &sent) { WriteRandom(pty.Master(), total, sent); });
    if (!totals.Add(flood, state) || !totals.Recorded(record, state))
      return;
    group->btnOpenClose->click();
  }
  const double rate = totals.Report(state, mib);
  const double ceilingRate = mib * static_cast<double>(state.iterations()) / ceilingSeconds;
  state.counters["ceiling_MiBps"] = ceilingRate;
  state.counters["ceiling_ratio"] = rate / ceilingRate;
  state.counters["recording"] = recording;
}
BENCHMARK(BM_GuiFlood)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
