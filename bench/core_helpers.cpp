#include "base/ansicodepage.h"
#include "base/utils.h"

#include <benchmark/benchmark.h>

namespace {

// A typical saved-log line: time stamp, token, data.
const QByteArray kLogLine =
    "2013-05-07 14:03:59\tlog\tPřipojeno k zařízení 192.168.1.254:10001, přijímací buffer "
    "vyprázdněn";

void BM_TextFromAnsi(benchmark::State &state) {
  const QByteArray line = AnsiFromText(QString::fromUtf8(kLogLine));
  for (auto _ : state)
    benchmark::DoNotOptimize(TextFromAnsi(line));
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_TextFromAnsi);

void BM_AnsiFromText(benchmark::State &state) {
  const QString line = QString::fromUtf8(kLogLine);
  for (auto _ : state)
    benchmark::DoNotOptimize(AnsiFromText(line));
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_AnsiFromText);

void BM_IsoDateTimeToDateTime(benchmark::State &state) {
  const QString stamp = QStringLiteral("2013-05-07 14:03:59");
  TDateTime result = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IsoDateTimeToDateTime(stamp, result, true));
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IsoDateTimeToDateTime);

void BM_IsoDateTimeToDateTimeDotted(benchmark::State &state) {
  const QString stamp = QStringLiteral("2013.05.07.14.03.59");
  TDateTime result = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IsoDateTimeToDateTime(stamp, result, true));
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IsoDateTimeToDateTimeDotted);

} // namespace
