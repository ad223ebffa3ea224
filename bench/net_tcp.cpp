// TCP client over loopback: receive throughput, send rate and latency.
#include "bench_common.h"
#include "connections/tcpclient.h"
#include "net_support.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A "VmRSS:"-style line of /proc/self/status in MiB, 0 when missing.
double ProcStatusMiB(const std::string &key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0)
      return std::strtod(line.c_str() + key.size(), nullptr) / 1024.0;
  return 0;
}

// A connected client of `listener`, its peer socket and the receive path.
struct TTcpRig {
  TRawListener listener;
  TVexlinReceiver receiver;
  TConnectionController controller{BenchWindow(receiver)};
  int peer = -1;

  TTcpRig() {
    VexlinDataObjects_Initialize();
    controller.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QString::number(listener.Port()),
                                    false);
    // Accept only once connected: the UI thread must serve the status hand-offs.
    SpinUntil([&] { return controller.Connection()->Status() == tcsConnect; });
    peer = listener.Accept();
  }
  ~TTcpRig() {
    if (peer >= 0)
      ::close(peer);
    controller.SetConnection(nullptr);
    DrainQueue(nullptr);
    VexlinDataObjects_Finalize();
  }
};

// Sends `total` bytes of `pattern` repeated from a peer thread; measures the
// time until every byte came out of the receive path as packets, in order.
void ReceiveStream(benchmark::State &state, const QByteArray &pattern, TVexlinParser *parser,
                   TTcpRig &rig) {
  rig.receiver.SetParser(parser);
  const int64_t total = state.range(0) / pattern.size() * pattern.size();
  const TStreamSum sent = TStreamSum::Repeated(pattern.constData(), pattern.size(), total);
  TStreamSum got;
  int64_t packets = 0;
  double seconds = 0;
  for (auto _ : state) {
    got = {};
    const auto start = Clock::now();
    std::thread writer([&] {
      for (int64_t at = 0; at < total; at += pattern.size())
        WriteAll(rig.peer, pattern.constData(), static_cast<size_t>(pattern.size()));
    });
    SpinUntil([&] {
      packets += DrainQueue(&got);
      return got.bytes >= static_cast<uint64_t>(total);
    });
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
  }
  if (!(got == sent))
    state.SkipWithError("received bytes differ from the sent ones");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["MBps"] = static_cast<double>(total) * iterations / seconds / 1e6;
  state.counters["frames_per_s"] = static_cast<double>(packets) / seconds;
  // Peak over the process, and what is left once every packet was freed.
  state.counters["peak_rss_MiB"] = ProcStatusMiB("VmHWM:");
  state.counters["rss_after_MiB"] = ProcStatusMiB("VmRSS:");
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(pattern.size());
}

// 64 KiB blocks of random bytes, cut into 64 KiB packets.
void BM_TcpReceiveRaw(benchmark::State &state) {
  QByteArray block(64 * 1024, '\0');
  std::mt19937 random(97);
  for (char &c : block)
    c = static_cast<char>(random());
  TTcpRig rig;
  rig.receiver.fVexlinParser_Length.SetDataLength(block.size());
  ReceiveStream(state, block, &rig.receiver.fVexlinParser_Length, rig);
}

// 12-byte Pelmar 97 frames through the Pelmar 97 parser.
void BM_TcpReceiveFrames(benchmark::State &state) {
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  QByteArray block;
  while (block.size() + frame.size() <= 64 * 1024)
    block.append(frame);
  TVexlinParser::MaxLength = 1024;
  TTcpRig rig;
  ReceiveStream(state, block, &rig.receiver.fVexlinParser_Pelmar, rig);
}

// 100,000 Send calls of 64 bytes reach the peer complete and in order.
void BM_TcpSend(benchmark::State &state) {
  TTcpRig rig;
  const int calls = static_cast<int>(state.range(0));
  double seconds = 0;
  bool inOrder = true;
  for (auto _ : state) {
    std::atomic<bool> done{false};
    const auto start = Clock::now();
    std::thread reader([&] {
      QByteArray got;
      char buffer[65536];
      while (got.size() < qsizetype(calls) * 64) {
        const ssize_t n = ::recv(rig.peer, buffer, sizeof buffer, 0);
        if (n <= 0)
          break;
        got.append(buffer, n);
      }
      for (int i = 0; i < calls && inOrder; ++i)
        inOrder = got.size() >= qsizetype(i + 1) * 64 &&
                  std::memcmp(got.constData() + qsizetype(i) * 64, &i, sizeof i) == 0;
      done = true;
    });
    QByteArray block(64, 'S');
    for (int i = 0; i < calls; ++i) {
      std::memcpy(block.data(), &i, sizeof i);
      rig.controller.Connection()->Send(block);
    }
    SpinUntil([&] { return done.load(); });
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    reader.join();
  }
  if (!inOrder)
    state.SkipWithError("blocks lost or out of order");
  state.counters["calls_per_s"] =
      static_cast<double>(calls) * static_cast<double>(state.iterations()) / seconds;
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(64);
}

// Bytes written by the peer appear as a queued packet after how long.
void BM_TcpLatency(benchmark::State &state) {
  TTcpRig rig;
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  std::vector<double> ms;
  for (auto _ : state) {
    ms.clear();
    for (int i = 0; i < state.range(0); ++i) {
      const auto start = Clock::now();
      WriteAll(rig.peer, frame.constData(), static_cast<size_t>(frame.size()));
      int64_t packets = 0;
      SpinUntil([&] { return (packets += DrainQueue(nullptr)) > 0; });
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(frame.size());
}

// The full 1 GiB transfer only when PT_BENCH_FULL is set; 64 MiB otherwise.
int64_t StreamBytes() {
  return FullRun() ? int64_t(1) << 30 : int64_t(64) << 20;
}

BENCHMARK(BM_TcpReceiveRaw)
    ->Arg(StreamBytes())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TcpReceiveFrames)
    ->Arg(StreamBytes())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TcpSend)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TcpLatency)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
