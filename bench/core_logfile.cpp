// Saving and loading communication logs of a million rows.
#include "bench_common.h"
#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"

#include <QTemporaryDir>
#include <malloc.h>

namespace {

constexpr int kRows = 1000000;

using TRows = std::vector<std::unique_ptr<TVexlinDataObject>>;

// Nine packet rows of 12 to 40 bytes to one log row, a second apart.
TRows MixedRows() {
  TRows rows;
  rows.reserve(kRows);
  TDateTime t = 0;
  TryEncodeDateTime({2026, 12, 10, 8, 0, 0, 0}, t);
  for (int i = 0; i < kRows; ++i) {
    TVexlinDataObject *o;
    if (i % 10 == 9) {
      o = new TVexlinDataLog(QStringLiteral("Připojeno k 127.0.0.1:%1").arg(i), 0x008000);
    } else {
      QByteArray data(12 + i % 29, Qt::Uninitialized);
      for (qsizetype k = 0; k < data.size(); ++k)
        data[k] = static_cast<char>(i * 31 + k * 7);
      o = new TVexlinDataBinary(data, i % 2 ? spTx : spRx);
    }
    o->Time = t + i / 86400.0;
    rows.emplace_back(o);
  }
  return rows;
}

std::vector<const TVexlinDataObject *> Pointers(const TRows &rows) {
  std::vector<const TVexlinDataObject *> out;
  out.reserve(rows.size());
  for (const auto &r : rows)
    out.push_back(r.get());
  return out;
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_LogSave(benchmark::State &state) {
  RegisterVexlinDataObjectClasses();
  QTemporaryDir dir;
  const TRows rows = MixedRows();
  const auto pointers = Pointers(rows);
  const QString name = dir.filePath("save.vexlin.txt");
  int64_t saved = 0;
  for (auto _ : state) {
    QString error;
    if (!SaveLogFile(name, pointers, &error)) {
      state.SkipWithError(error.toUtf8().constData());
      break;
    }
    saved += kRows;
  }
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(saved), benchmark::Counter::kIsRate);
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_LogSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LogLoad(benchmark::State &state) {
  RegisterVexlinDataObjectClasses();
  QTemporaryDir dir;
  const QString mixed = dir.filePath("mixed.vexlin.txt");
  const QString small = dir.filePath("small.vexlin.txt");
  {
    const TRows rows = MixedRows();
    SaveLogFile(mixed, Pointers(rows));
    TRows packets;
    packets.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
      packets.emplace_back(new TVexlinDataBinary(QByteArray(12, static_cast<char>(i)), spRx));
    SaveLogFile(small, Pointers(packets));
  }
  int64_t loaded = 0;
  for (auto _ : state) {
    TRows rows;
    rows.reserve(kRows + 1);
    LoadLogFile(mixed, [&](std::unique_ptr<TVexlinDataObject> o) { rows.push_back(std::move(o)); });
    if (rows.size() != static_cast<size_t>(kRows)) {
      state.SkipWithError("rows lost");
      break;
    }
    loaded += static_cast<int64_t>(rows.size());
    state.PauseTiming();
    rows.clear();
    state.ResumeTiming();
  }
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(loaded), benchmark::Counter::kIsRate);

  // What a million loaded 12-byte packets cost beyond their bytes, the row
  // list of pointers included.
  malloc_trim(0);
  const size_t before = HeapInUse();
  {
    TRows rows;
    rows.reserve(kRows);
    LoadLogFile(small, [&](std::unique_ptr<TVexlinDataObject> o) { rows.push_back(std::move(o)); });
    const double perRow = static_cast<double>(HeapInUse() - before) / static_cast<double>(kRows);
    state.counters["bytes_per_row"] = perRow - 12.0;
  }
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_LogLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
