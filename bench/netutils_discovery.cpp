// The module search on a crowded network: a thousand modules, each on a
// loopback address of its own, answer one query and greet on their setup
// port after 20 ms each. Measured through the window: from the button until
// every row holds its identification, and the longest the UI thread stalled
// meanwhile.
#include "../tests/netutils/fakemodules.h"
#include "netutils/lantronixfinder.h"
#include "pipeline/datanetitems.h"
#include "view/vexlinnode.h"
#include "window_support.h"

#include <QSemaphore>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

constexpr int kModules = 1000;

// The modules live on a thread of their own, as they would on the network.
class TModulesThread : public QThread {
public:
  void run() override {
    TFakeModules modules(kModules, TFakeModules::TBanner::Markers, 20);
    queryPort = modules.QueryPort();
    telnetPort = modules.TelnetPort();
    ready.release();
    exec();
  }
  QSemaphore ready;
  quint16 queryPort = 0;
  quint16 telnetPort = 0;
};

// Rows under the search's line whose query has ended with the identification.
int Identified(TVexlinTree &list) {
  if (list.RowCount() == 0)
    return 0;
  const TVexlinNode *root = list.NodeAt(0);
  int done = 0;
  for (size_t i = 0; i < root->ChildCount(); ++i) {
    const auto *m = dynamic_cast<const TVexlinDataLantronixScanItem *>(root->Child(i)->Data);
    if (m && m->TR == 0 && m->Info.startsWith(QLatin1String("XPort-")))
      ++done;
  }
  return done;
}

void BM_DiscoveryAnswers(benchmark::State &state) {
  TModulesThread modules;
  modules.start();
  modules.ready.acquire();
  qputenv("PT_DISCOVERY_ADDRESS", "127.255.255.255");
  qputenv("PT_DISCOVERY_PORT", QByteArray::number(modules.queryPort));
  qputenv("PT_DISCOVERY_LISTEN_PORT", "0");
  qputenv("PT_DISCOVERY_TELNET_PORT", QByteArray::number(modules.telnetPort));
  PrepareDataObjects();
  double totalMs = 0;
  double maxStallMs = 0;
  bool complete = true;
  for (auto _ : state) {
    auto bench = std::make_unique<TBenchWindow>();
    TfMainPelmarTerm &window = bench->window;
    TVexlinTree &list = *window.vstTerminal();
    TStallMeter meter;
    QElapsedTimer clock;
    clock.start();
    window.actLantronixSearchExecute();
    while (Identified(list) < kModules && clock.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    totalMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
    maxStallMs = std::max(maxStallMs, meter.MaxStallMs());
    complete = complete && Identified(list) == kModules;
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  modules.quit();
  modules.wait();
  for (const char *name : {"PT_DISCOVERY_ADDRESS", "PT_DISCOVERY_PORT", "PT_DISCOVERY_LISTEN_PORT",
                           "PT_DISCOVERY_TELNET_PORT"})
    qunsetenv(name);
  if (!complete) {
    state.SkipWithError("not every module was listed with its identification within a minute");
    return;
  }
  state.counters["ms"] = totalMs / static_cast<double>(state.iterations());
  state.counters["max_stall_ms"] = maxStallMs;
  state.counters["modules"] = kModules;
}

} // namespace

BENCHMARK(BM_DiscoveryAnswers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
