#include "tools/packetcomposer.h"
#include "tools_support.h"

#include <QElapsedTimer>
#include <QTableWidget>
#include <benchmark/benchmark.h>

namespace {

// One edit of a 4 KiB SDATA field: every field converted, LEN and SUM
// computed again, the table recoloured and the view rebuilt and coloured.
void BM_ComposerRefresh(benchmark::State &state) {
  TIgnoringSink sink;
  TfrPaket composer(sink);
  composer.Init();
  composer.Table()->setCurrentCell(TfrPaket::rowSDATA, 1);
  QString sdata[2];
  for (int variant = 0; variant < 2; ++variant) {
    QStringList bytes;
    for (int i = 0; i < 4096; ++i)
      bytes << QString::number((i * 7 + variant) & 0xFF, 16) + u'h';
    sdata[variant] = u'{' + bytes.join(u',') + u'}';
  }
  int next = 0;
  double totalMs = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    composer.Table()->item(TfrPaket::rowSDATA, 1)->setText(sdata[next]);
    totalMs += timer.nsecsElapsed() / 1e6;
    next ^= 1;
  }
  if (composer.Value(TfrPaket::rowLEN) != QStringLiteral("{10h,05h}"))
    state.SkipWithError("LEN was not recomputed");
  state.counters["ms"] = totalMs / double(state.iterations());
}
BENCHMARK(BM_ComposerRefresh)->Unit(benchmark::kMillisecond);

} // namespace
