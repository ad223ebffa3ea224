// Find in a 10-million-row list (about 300 MB of packets): counting every
// occurrence of a 4-byte pattern, and building the view that shows only the
// rows holding it. Both run in slices on the UI thread; the longest the
// thread could not answer meanwhile is measured too.
#include "stallmeter.h"
#include "view/rowfinder.h"
#include "view_biglist.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

// Bytes 2 to 5 of the 30-byte packets of the row source.
const QByteArray kPattern("\x68\x8D\xB2\xD7", 4);

template <class Done> double RunUntil(Done done, TStallMeter &meter, double &maxStall) {
  QElapsedTimer clock;
  clock.start();
  while (!done())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  maxStall = std::max(maxStall, meter.MaxStallMs());
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void BM_FindAll(benchmark::State &state) {
  TVexlinTree &tree = BigList().tree;
  TRowFinder finder(tree);
  double totalMs = 0;
  double maxStall = 0;
  for (auto _ : state) {
    TStallMeter meter;
    finder.SetPattern(TByteFinder(kPattern, false));
    totalMs += RunUntil([&] { return finder.Counted(); }, meter, maxStall);
  }
  state.counters["ms"] = totalMs / static_cast<double>(state.iterations());
  state.counters["max_stall_ms"] = maxStall;
  state.counters["occurrences"] = static_cast<double>(finder.Occurrences());
  state.counters["rows"] = static_cast<double>(tree.RowCount());
}
BENCHMARK(BM_FindAll)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilterToggle(benchmark::State &state) {
  TVexlinTree &tree = BigList().tree;
  TRowFinder finder(tree);
  finder.SetPattern(TByteFinder(kPattern, false));
  double totalMs = 0;
  double maxStall = 0;
  for (auto _ : state) {
    TStallMeter meter;
    finder.SetFilter(true);
    totalMs += RunUntil([&] { return !finder.FilterBusy(); }, meter, maxStall);
    state.PauseTiming();
    finder.SetFilter(false);
    double ignored = 0;
    RunUntil([&] { return !finder.FilterBusy(); }, meter, ignored);
    state.ResumeTiming();
  }
  state.counters["ms"] = totalMs / static_cast<double>(state.iterations());
  state.counters["max_stall_ms"] = maxStall;
  state.counters["rows"] = static_cast<double>(tree.RowCount());
}
BENCHMARK(BM_FilterToggle)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
