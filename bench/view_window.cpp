// The whole window, offscreen: how it keeps up with a transport that
// delivers as fast as it can.
#include "app/parserpage.h"
#include "window_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Frame number i as a 12-byte Pelmar 97 frame carrying i in its data.
QByteArray NumberedFrame(uint32_t i) {
  QByteArray f = QByteArray::fromHex("2A6100080102230000000000");
  f[7] = static_cast<char>(i >> 16);
  f[8] = static_cast<char>(i >> 8);
  f[9] = static_cast<char>(i);
  uint8_t sum = 0;
  for (int k = 0; k < 10; ++k)
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(f[k]));
  f[10] = static_cast<char>(255 - sum);
  f[11] = '\r';
  return f;
}

void BM_UiStall(benchmark::State &state) {
  PrepareDataObjects();
  constexpr uint32_t kFrames = 1000000;
  double worst = 0;
  for (auto _ : state) {
    TBenchWindow w;
    // A 1 ms timer: the longest gap between its ticks is the longest time
    // the event loop was busy elsewhere.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 maxGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      if (lastTick)
        maxGap = std::max(maxGap, now - lastTick);
      lastTick = now;
    });
    ticker.start();
    std::atomic<bool> done{false};
    std::thread transport([&] {
      for (uint32_t i = 0; i < kFrames; ++i)
        w.window.Receive(NumberedFrame(i), {});
      done = true;
    });
    TVexlinTree *rows = w.window.vstTerminal();
    while (!done || rows->RowCount() < kFrames)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    transport.join();
    ticker.stop();
    bool inOrder = rows->RowCount() == kFrames;
    for (uint32_t i = 0; inOrder && i < kFrames; ++i)
      inOrder = static_cast<TVexlinDataBinary *>(rows->NodeAt(i)->Data)->Data == NumberedFrame(i);
    if (!inOrder) {
      state.SkipWithError("rows missing or out of order");
      break;
    }
    worst = std::max(worst, static_cast<double>(maxGap) / 1e6);
  }
  state.counters["max_stall_ms"] = worst;
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(12);
}
BENCHMARK(BM_UiStall)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// An unterminated stream under the suffix parser, with the window showing
// the growing remainder: the time must stay linear in the stream's length.
void BM_WindowUnterminated(benchmark::State &state) {
  PrepareDataObjects();
  const qsizetype size = state.range(0) << 20;
  const QByteArray piece(4096, 'u');
  double seconds = 0;
  for (auto _ : state) {
    TBenchWindow w;
    w.window.ParserPage()->rbProtocolCustomParser->click();
    const auto start = std::chrono::steady_clock::now();
    for (qsizetype at = 0; at < size; at += piece.size()) {
      w.window.Receive(piece, {});
      if ((at / piece.size()) % 64 == 0)
        QCoreApplication::processEvents();
    }
    // Done when the unparsed-data view shows the final remainder.
    while (w.window.Receiver().RemainderPending())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["seconds"] = benchmark::Counter(seconds, benchmark::Counter::kAvgIterations);
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(4096);
}
BENCHMARK(BM_WindowUnterminated)
    ->Arg(8)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
