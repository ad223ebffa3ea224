// UDP connection over loopback: two senders interleaved.
#include "bench_common.h"
#include "connections/udpconnection.h"
#include "net_support.h"

#include <QUdpSocket>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

// 64-byte Pelmar 97 frames (LEN 60) from 127.0.0.2 and 127.0.0.3 in turn;
// each sender's stream must be cut in its own buffer with nothing lost.
void BM_UdpTwoSenders(benchmark::State &state) {
  VexlinDataObjects_Initialize();
  TVexlinParser::MaxLength = 1024;
  QByteArray frame(64, '\x11');
  frame[0] = '*';
  frame[1] = 'a';
  frame[2] = 0;  // address
  frame[3] = 60; // LEN: the frame is LEN + 4 bytes
  const int total = static_cast<int>(state.range(0));
  int64_t packets = 0;
  double seconds = 0;
  bool separate = true;
  for (auto _ : state) {
    TVexlinReceiver receiver;
    TConnectionController controller(BenchWindow(receiver));
    controller.UdpStartStop(QStringLiteral("127.0.0.1"), QStringLiteral("9"), QStringLiteral("0"));
    const quint16 port = static_cast<TVexlinConnection_Udp *>(controller.Connection())->LocalPort();
    std::atomic<int64_t> received{0};
    const auto start = std::chrono::steady_clock::now();
    std::thread senders([&] {
      QUdpSocket a, b;
      a.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);
      b.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0);
      for (int i = 0; i < total; ++i) {
        while (i - received.load() > 32) // keep within the socket buffer: no loss
          std::this_thread::yield();
        (i % 2 ? b : a).writeDatagram(frame, QHostAddress::LocalHost, port);
      }
    });
    const auto deadline = start + std::chrono::seconds(30);
    SpinUntil([&] {
      received += DrainQueue(nullptr);
      return received.load() >= total || std::chrono::steady_clock::now() > deadline;
    });
    if (received.load() < total) {
      received = total; // release the senders
      senders.join();
      state.SkipWithError("datagrams lost");
      break;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    senders.join();
    packets += received.load();
    separate = separate && receiver.BufferCount() == 4 && receiver.Buffer(2).UsedSize() == 0 &&
               receiver.Buffer(3).UsedSize() == 0;
    controller.SetConnection(nullptr);
  }
  if (!separate)
    state.SkipWithError("the senders' streams were not kept apart");
  state.counters["datagrams_per_s"] = static_cast<double>(packets) / seconds;
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(64);
  DrainQueue(nullptr);
  VexlinDataObjects_Finalize();
}
BENCHMARK(BM_UdpTwoSenders)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
