// Idle cost of a TCP connection: up and idle, and after the peer reset it.
// Neither may keep the program's threads waking up.
#include "bench_common.h"
#include "connections/tcpclient.h"
#include "net_support.h"

#include <QDir>
#include <QFile>
#include <chrono>
#include <sys/resource.h>
#include <thread>

namespace {

// Context switches of every thread of this process so far.
int64_t ContextSwitches() {
  int64_t total = 0;
  const QStringList tasks =
      QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &task : tasks) {
    QFile status(QStringLiteral("/proc/self/task/%1/status").arg(task));
    if (!status.open(QIODevice::ReadOnly))
      continue;
    for (const QByteArray &line : status.readAll().split('\n'))
      if (line.startsWith("voluntary_ctxt_switches:") ||
          line.startsWith("nonvoluntary_ctxt_switches:"))
        total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
  }
  return total;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Arg 0: connected and idle. Arg 1: after the peer reset the connection.
void BM_IdleWakeups(benchmark::State &state) {
  const bool reset = state.range(0) == 1;
  const auto window = std::chrono::seconds(5);
  TRawListener listener;
  TVexlinReceiver receiver;
  TConnectionController controller{BenchWindow(receiver)};
  controller.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QString::number(listener.Port()),
                                  false);
  SpinUntil([&] { return controller.Connection()->Status() == tcsConnect; });
  int peer = listener.Accept();
  if (reset) {
    const linger abortive{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(peer);
    peer = -1;
    SpinUntil([&] { return controller.Connection()->Status() == tcsDisconnect; });
  }
  // Let the hand-offs of the last status settle before counting.
  const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  SpinUntil([&] { return std::chrono::steady_clock::now() >= settle; });

  double wakeupsPerSecond = 0;
  double cpuPercent = 0;
  for (auto _ : state) {
    const int64_t switchesBefore = ContextSwitches();
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(window); // the UI thread idles too
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    wakeupsPerSecond = static_cast<double>(ContextSwitches() - switchesBefore) / seconds;
    cpuPercent = (CpuSeconds() - cpuBefore) / seconds * 100.0;
  }
  state.counters["wakeups_per_s"] = wakeupsPerSecond;
  state.counters["cpu_percent"] = cpuPercent;
  if (peer >= 0)
    ::close(peer);
  controller.SetConnection(nullptr);
}

} // namespace

BENCHMARK(BM_IdleWakeups)
    ->ArgName("after_reset")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
