#include "bench_common.h"
#include "codecs/commandtext.h"

#include <benchmark/benchmark.h>
#include <iterator>

namespace {

// About 1 KiB of typical command lines: text with CR/LF groups in every
// notation, byte lists and escapes.
QByteArray MakeCommandText() {
  static const char *const kPieces[] = {
      "AT+CSQ{0x0D}",  "Hello device!{13,10}", "{$0D,0A}",     "*a{00h,08h}",
      "{14h,81h,07h}", "status?\\r\\n",        "{0,5}{97}",    "path\\\\name",
      "{$1 2 3}{ 5h}", "SET VALUE=1234;{13}",  "{abc}{65535}", "plain text segment ",
  };
  constexpr qsizetype kSize = 1024;
  QByteArray text;
  for (size_t i = 0;; ++i) {
    const QByteArray piece = kPieces[i % std::size(kPieces)];
    if (text.size() + piece.size() > kSize) {
      break;
    }
    text += piece;
  }
  return text.leftJustified(kSize, '.');
}

void BM_CommandText(benchmark::State &state) {
  const QByteArray text = MakeCommandText();
  const auto bytes = static_cast<size_t>(text.size());
  const double memcpyBefore = MeasureMemcpyMBps(bytes);
  for (auto _ : state) {
    QByteArray out = ConvertToBinnaryEx(text, true);
    benchmark::DoNotOptimize(out.data());
  }
  const double memcpyAfter = MeasureMemcpyMBps(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
  state.counters["conversions_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["memcpy_MBps"] = (memcpyBefore + memcpyAfter) / 2;
}
BENCHMARK(BM_CommandText);

} // namespace
