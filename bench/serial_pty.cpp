// The serial port component over a pseudo-terminal pair: throughput each
// way, the delay from a received byte to OnDataRecived, and the CPU an
// idle open port costs.
#include "bench_common.h"
#include "serial/comport.h"
#include "serial_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlock = 64 * 1024;
constexpr int kTimeoutMs = 600000;

// An open port on the slave of `pty`.
struct TPortRig {
  TBenchPty pty;
  TAfComPort port;
  bool opened = false;

  explicit TPortRig(int32_t ringSize = 2048) {
    port.setObjectName(QStringLiteral("AfComPort1"));
    port.SetOutBufSize(ringSize);
    port.SetPortName(pty.Path());
    try {
      port.Open();
      opened = true;
    } catch (const std::exception &) {
    }
  }
};

// What a throughput run moves: `bytes` rounded down to whole blocks of the
// bench pattern, and the checksum the other end must arrive at.
struct TPtyStream {
  explicit TPtyStream(int64_t bytes)
      : total(bytes / kBlock * kBlock), block(BenchBlock(kBlock)),
        sent(TStreamSum::Repeated(block.constData(), kBlock, total)) {}
  const int64_t total;
  const QByteArray block;
  const TStreamSum sent;
};

// False, with the reason on the report, when the rig's port did not open.
bool Opened(benchmark::State &state, const TPortRig &rig) {
  if (!rig.opened)
    state.SkipWithError("cannot open the pty");
  return rig.opened;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The master writes as fast as it can; OnDataRecived with ReadString hands
// every byte to a checksum standing in for the receive path.
void BM_PtyReceive(benchmark::State &state) {
  TPortRig rig;
  if (!Opened(state, rig))
    return;
  const TPtyStream stream(state.range(0));
  const int64_t total = stream.total;
  const QByteArray &block = stream.block;
  TStreamSum got;
  TBenchLoop loop;
  int64_t events = 0;
  QObject::connect(&rig.port, &TAfComPort::OnDataRecived, [&](int) {
    ++events;
    const QByteArray data = rig.port.ReadString();
    got.Add(data.constData(), data.size());
    if (got.bytes >= uint64_t(total))
      loop.Quit();
  });
  double seconds = 0;
  bool complete = true;
  for (auto _ : state) {
    got = {};
    const auto start = Clock::now();
    std::thread writer([&] {
      for (int64_t at = 0; at < total; at += kBlock)
        for (int done = 0; done < kBlock;) {
          const ssize_t n = ::write(rig.pty.Master(), block.constData() + done, kBlock - done);
          if (n <= 0)
            return;
          done += int(n);
        }
    });
    complete = loop.Run(kTimeoutMs) && complete;
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
  }
  if (!complete || !(got == stream.sent))
    state.SkipWithError("received bytes differ from the sent ones");
  state.counters["MBps"] = double(total) * double(state.iterations()) / seconds / 1e6;
  state.counters["bytes_per_event"] = double(total) * double(state.iterations()) / double(events);
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(4096);
}

// WriteString fills the write ring whenever it has room; the master reads
// everything and checks it.
void BM_PtySend(benchmark::State &state) {
  TPortRig rig(int32_t(state.range(1)));
  if (!Opened(state, rig))
    return;
  const TPtyStream stream(state.range(0));
  const int64_t total = stream.total;
  const QByteArray &block = stream.block;
  TStreamSum got;
  double seconds = 0;
  for (auto _ : state) {
    got = {};
    std::atomic<bool> done{false};
    const auto start = Clock::now();
    std::thread reader([&] {
      std::vector<char> buffer(kBlock);
      while (got.bytes < uint64_t(total)) {
        const ssize_t n = ::read(rig.pty.Master(), buffer.data(), buffer.size());
        if (n <= 0)
          break;
        got.Add(buffer.data(), n);
      }
      done = true;
    });
    int64_t at = 0;
    while (at < total) {
      const int offset = int(at % kBlock);
      // Half a ring at a time: whole chunks for the write thread, fewer wake-ups.
      const int free = std::min(rig.port.OutBufFree(), kBlock - offset);
      if (free < std::min<int64_t>(state.range(1) / 2, kBlock - offset)) {
        QCoreApplication::processEvents();
        std::this_thread::yield();
        continue;
      }
      rig.port.WriteString(QByteArray::fromRawData(block.constData() + offset, free));
      at += free;
    }
    while (!done)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    reader.join();
  }
  if (!(got == stream.sent))
    state.SkipWithError("sent bytes arrived changed or out of order");
  state.counters["MBps"] = double(total) * double(state.iterations()) / seconds / 1e6;
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(std::size_t(state.range(1)));
}

// One byte at a time from the master to OnDataRecived.
void BM_PtyLatency(benchmark::State &state) {
  TPortRig rig;
  if (!Opened(state, rig))
    return;
  TBenchLoop loop;
  Clock::time_point sentAt;
  std::vector<double> ms;
  QObject::connect(&rig.port, &TAfComPort::OnDataRecived, [&](int) {
    if (!rig.port.ReadString().isEmpty()) {
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt).count());
      loop.Quit();
    }
  });
  bool complete = true;
  for (auto _ : state) {
    ms.clear();
    for (int i = 0; i < state.range(0) && complete; ++i) {
      const char byte = char(i);
      sentAt = Clock::now();
      complete = ::write(rig.pty.Master(), &byte, 1) == 1 && loop.Run(5000);
    }
  }
  if (!complete || ms.empty()) {
    state.SkipWithError("a byte did not arrive");
    return;
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}

// An open port with nothing on the line.
void BM_IdleCpu(benchmark::State &state) {
  TPortRig rig;
  if (!Opened(state, rig))
    return;
  TBenchLoop loop;
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    loop.Run(int(state.range(0)) * 1000);
    wall += std::chrono::duration<double>(Clock::now() - start).count();
    cpu += CpuSeconds() - cpuStart;
  }
  state.counters["cpu_percent"] = cpu / wall * 100.0;
}

BENCHMARK(BM_PtyReceive)
    ->Arg(StreamBytes())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PtySend)
    ->Args({StreamBytes(), 2048})
    ->Args({StreamBytes(), 65536})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PtyLatency)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdleCpu)
    ->Arg(IdleSeconds())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
