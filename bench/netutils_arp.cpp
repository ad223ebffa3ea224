// The ARP table button on a large table: 5000 neighbour entries in a network
// namespace of the benchmark's own, read and turned into rows of the packet
// list.
#include "../tests/netutils/netifnamespace.h"
#include "app/arpsnapshotview.h"
#include "netutils/arpsnapshot.h"
#include "netutils/arptable.h"
#include "view/vexlintree.h"

#include <QTemporaryFile>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

constexpr int kEntries = 5000;

// One "ip -batch" file adds them all: most static, the rest in the states a
// busy network shows.
bool AddNeighbours() {
  QTemporaryFile batch;
  if (!batch.open())
    return false;
  for (int i = 0; i < kEntries; ++i) {
    const char *state = i % 10 == 7 ? "reachable" : i % 10 == 8 ? "stale" : "permanent";
    batch.write(QStringLiteral("neigh add 10.20.%1.%2 lladdr 02:00:00:00:%3:%4 nud %5 dev v0\n")
                    .arg(i / 250)
                    .arg(i % 250 + 1)
                    .arg(i / 256, 2, 16, QLatin1Char('0'))
                    .arg(i % 256, 2, 16, QLatin1Char('0'))
                    .arg(QLatin1String(state))
                    .toLatin1());
  }
  batch.close();
  return TNetifNamespace::Ip(QStringLiteral("-batch ") + batch.fileName());
}

void BM_ArpSnapshot(benchmark::State &state) {
  TNetifNamespace ns;
  if (!ns.Ready()) {
    const std::string why = ns.Why().toStdString();
    state.SkipWithError(why.c_str());
    return;
  }
  if (!TNetifNamespace::AddVethPair() || !AddNeighbours()) {
    state.SkipWithError("the namespace could not be set up (veth, ip -batch)");
    return;
  }
  TVexlinTree list;
  list.resize(800, 600);
  double totalMs = 0;
  size_t entries = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const TNetSnapshot snapshot = ReadNetSnapshot();
    TArpSnapshotRow rows =
        ArpSnapshotRows(snapshot, [](const TArpNetRow &row) { return DeleteArpEntry(row); });
    AddArpSnapshotRows(list, rows);
    totalMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    entries = snapshot.ArpTable ? snapshot.ArpTable->size() : 0;
    state.PauseTiming();
    list.Clear();
    state.ResumeTiming();
  }
  if (entries != kEntries) {
    state.SkipWithError("the table did not hold every entry");
    return;
  }
  state.counters["ms"] = totalMs / static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(entries);
}

} // namespace

BENCHMARK(BM_ArpSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
