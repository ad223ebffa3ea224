// A loaded log with one enormous log line among ordinary rows: repainting
// and resizing must cost what a screenful of ordinary rows does.
#include "bench_common.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobjectregistry.h"
#include "view/terminalview.h"
#include "view_rows.h"

#include <QApplication>
#include <QImage>
#include <chrono>

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 700;
constexpr qsizetype kLongLine = 50'000'000;

// Repaints (arg 0) or resizes and repaints (arg 1) a list whose visible rows
// include one 50-million-character log line. [ms] per repaint.
void BM_LongLogLineRepaint(benchmark::State &state) {
  RegisterVexlinDataObjectClasses();
  TVexlinTree tree;
  TTerminalView view(tree);
  tree.resize(kWidth, kHeight);
  tree.show();
  TBenchRowSource source;
  auto *log = new TVexlinDataLog;
  QString text;
  text.reserve(kLongLine);
  while (text.size() < kLongLine)
    text += QStringLiteral("Přijato 4096 bajtů z 127.0.0.1:10001; ");
  log->Text = std::move(text);
  log->Time = 45000.0;
  view.AppendChain(source.Chain(5));
  view.AppendChain(log);
  view.AppendChain(source.Chain(5));
  QApplication::processEvents();

  const bool resize = state.range(0) == 1;
  QImage image(QSize(kWidth + 100, kHeight), QImage::Format_RGB32);
  int width = kWidth;
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (resize) {
      width = width == kWidth ? kWidth + 100 : kWidth;
      tree.resize(width, kHeight);
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 0);
    }
    tree.render(&image);
    benchmark::DoNotOptimize(image.constBits());
    ms +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["ms"] = ms / double(state.iterations());
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_LongLogLineRepaint)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
