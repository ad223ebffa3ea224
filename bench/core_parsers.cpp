// Throughput of the frame parsers over a receive buffer, pushed in 4096-byte
// chunks as a transport delivers them, with Parse run until false after each.
#include "bench_common.h"
#include "pipeline/dataobject.h"
#include "pipeline/vexlinparser.h"

#include <chrono>
#include <random>

namespace {

constexpr int kChunk = 4096;

// Pushes `stream` in chunks and parses after each; returns the packets cut.
int64_t FeedStream(TVexlinParser &parser, TVexlinBuffer &buffer, const QByteArray &stream) {
  int64_t packets = 0;
  std::unique_ptr<TVexlinDataObject> packet;
  for (qsizetype at = 0; at < stream.size(); at += kChunk) {
    buffer.Push(stream.constData() + at, qMin<qsizetype>(kChunk, stream.size() - at));
    while (parser.Parse(buffer, packet)) {
      benchmark::DoNotOptimize(packet.get());
      ++packets;
    }
  }
  return packets;
}

// 1 MiB of whole 12-byte Pelmar 97 frames (the count is not a multiple of
// the chunk, so frames straddle chunk borders).
QByteArray S97Stream() {
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  QByteArray stream;
  while (stream.size() + frame.size() <= (1 << 20))
    stream.append(frame);
  return stream;
}

void ReportMemcpy(benchmark::State &state) {
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(kChunk);
}

void BM_S97Stream(benchmark::State &state) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_S97 parser;
  TVexlinBuffer buffer("Rx");
  const QByteArray stream = S97Stream();
  const int64_t expected = stream.size() / 12;
  int64_t frames = 0;
  for (auto _ : state) {
    const int64_t n = FeedStream(parser, buffer, stream);
    if (n != expected || buffer.UsedSize() != 0) {
      state.SkipWithError("frames lost or left over");
      break;
    }
    frames += n;
  }
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  ReportMemcpy(state);
}
BENCHMARK(BM_S97Stream)->Unit(benchmark::kMillisecond);

void BM_SuffixStream(benchmark::State &state) {
  TVexlinParser_Sufix parser;
  parser.SetSufix("\r");
  TVexlinBuffer buffer("Rx");
  QByteArray line(31, 'L');
  line.append('\r');
  QByteArray stream;
  while (stream.size() < (1 << 20))
    stream.append(line);
  int64_t lines = 0;
  for (auto _ : state) {
    const int64_t n = FeedStream(parser, buffer, stream);
    if (n != stream.size() / 32) {
      state.SkipWithError("lines lost");
      break;
    }
    lines += n;
  }
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  ReportMemcpy(state);
}
BENCHMARK(BM_SuffixStream)->Unit(benchmark::kMillisecond);

QByteArray Garbage(qsizetype size) {
  std::mt19937 rng(97);
  QByteArray g(size, Qt::Uninitialized);
  for (char &c : g) {
    c = static_cast<char>(rng());
    if (c == 0x2A) // never a frame start
      c = 0x2B;
  }
  return g;
}

void BM_GarbageStream(benchmark::State &state) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_S97 parser;
  TVexlinBuffer buffer("Rx");
  const QByteArray stream = Garbage(1 << 20);
  int64_t bytes = 0;
  for (auto _ : state) {
    FeedStream(parser, buffer, stream);
    bytes += stream.size();
  }
  state.counters["MBps"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
  ReportMemcpy(state);
}
BENCHMARK(BM_GarbageStream)->Unit(benchmark::kMillisecond);

// An unterminated stream must cost time linear in its size: 64 MiB may take
// at most 10 times as long as 8 MiB.
void BM_UnterminatedSuffix(benchmark::State &state) {
  const qsizetype size = state.range(0) << 20;
  const QByteArray stream(size, 'u');
  auto run = [&stream] {
    TVexlinParser_Sufix parser;
    parser.SetSufix("\r");
    TVexlinBuffer buffer("Rx");
    const auto start = std::chrono::steady_clock::now();
    FeedStream(parser, buffer, stream);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  // One untimed pass first, so both sizes are measured with the allocator
  // warmed up rather than one of them paying for fresh pages.
  run();
  double seconds = 0;
  for (auto _ : state)
    seconds += run();
  state.counters["seconds"] = benchmark::Counter(seconds, benchmark::Counter::kAvgIterations);
  ReportMemcpy(state);
}
BENCHMARK(BM_UnterminatedSuffix)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
