// Throughput of the frame parsers over a receive buffer, pushed in 4096-byte
// chunks as a transport delivers them, with Parse run until false after each.
#include "bench_common.h"
#include "codecs/modbus.h"
#include "codecs/modbusrequest.h"
#include "pipeline/dataobject.h"
#include "pipeline/gapparser.h"
#include "pipeline/lengthfieldparser.h"
#include "pipeline/modbusparser.h"
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

QByteArray WithCrc(const QByteArray &frame) {
  return ModbusRtuFrame(frame);
}

// 1 MiB of a master polling holding registers: each request (8 bytes) and
// its response of 1 to 125 registers (7 to 255 bytes), back to back.
QByteArray RtuStream(int64_t &frames) {
  std::mt19937 rng(3);
  QByteArray stream;
  frames = 0;
  while (stream.size() < (1 << 20)) {
    const int count = 1 + static_cast<int>(rng() % 125);
    QByteArray request = QByteArray::fromHex("0103006B");
    request.append(char(0));
    request.append(static_cast<char>(count));
    QByteArray response = QByteArray::fromHex("0103");
    response.append(static_cast<char>(2 * count));
    for (int i = 0; i < 2 * count; ++i)
      response.append(static_cast<char>(rng()));
    stream += WithCrc(request) + WithCrc(response);
    frames += 2;
  }
  return stream;
}

void BM_ModbusRtuStream(benchmark::State &state) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_Modbus parser;
  parser.SetModbusType(mbtRTU);
  TVexlinBuffer buffer("Rx");
  int64_t expected = 0;
  const QByteArray stream = RtuStream(expected);
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
}
BENCHMARK(BM_ModbusRtuStream)->Unit(benchmark::kMillisecond);

// 12-byte packets, each its own block, 10 ms apart by their stamps: the
// arrival of each closes the one before.
void BM_GapParser(benchmark::State &state) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_Gap parser;
  parser.SetPause(5'000'000);
  TVexlinBuffer buffer("Rx");
  const QByteArray packet = QByteArray::fromHex("2A610008010223148107AA0D");
  constexpr int kPackets = 100000;
  int64_t stamp = 0;
  int64_t frames = 0;
  std::unique_ptr<TVexlinDataObject> cut;
  for (auto _ : state) {
    int64_t n = 0;
    for (int i = 0; i < kPackets; ++i) {
      stamp += 10'000'000;
      buffer.Push(packet.constData(), packet.size(), stamp);
      buffer.SetParseNow(stamp);
      while (parser.Parse(buffer, cut)) {
        benchmark::DoNotOptimize(cut.get());
        ++n;
      }
    }
    if (n < kPackets - 1) {
      state.SkipWithError("packets not closed");
      break;
    }
    frames += n;
  }
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GapParser)->Unit(benchmark::kMillisecond);

// 64 MiB of random bytes through a 2-byte length field: garbage must flow
// through at full speed, never wait for a length it announces.
void BM_LengthFieldGarbage(benchmark::State &state) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_LengthField parser;
  parser.SetFormat({{}, 0, 2, true, 0});
  TVexlinBuffer buffer("Rx");
  const QByteArray stream = Garbage(64 << 20);
  int64_t bytes = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    rows += FeedStream(parser, buffer, stream);
    bytes += stream.size();
    if (buffer.UsedSize() > 1024) {
      state.SkipWithError("garbage piles up");
      break;
    }
  }
  state.counters["MBps"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
  state.counters["rows_per_MiB"] =
      benchmark::Counter(static_cast<double>(rows) * (1 << 20) / static_cast<double>(bytes));
}
BENCHMARK(BM_LengthFieldGarbage)->Unit(benchmark::kMillisecond);

} // namespace
