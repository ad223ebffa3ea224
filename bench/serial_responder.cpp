// The responder: a received packet tested against a thousand rules, found
// through the index of their first bytes; and the window's Modbus device
// answering a master over a pty as fast as the master asks.
#include "app/serialgroup.h"
#include "codecs/modbusrequest.h"
#include "connections/responder.h"
#include "pipeline/responderrules.h"
#include "serial/comport.h"
#include "serial_ceiling.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <poll.h>
#include <random>
#include <thread>
#include <vector>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int v : values)
    bytes += char(v);
  return bytes;
}

// Rule k asks for four bytes that only it matches: most start with a fixed
// byte, every tenth with "??".
void BM_ResponderRules(benchmark::State &state) {
  constexpr int kRules = 1000;
  constexpr int kPackets = 1'000'000;
  std::vector<TResponderRule> rules;
  std::vector<QByteArray> requests;
  for (int k = 0; k < kRules; ++k) {
    TResponderRule rule;
    const int lo = k & 0xFF, hi = k >> 8;
    if (k % 10 == 0) {
      rule.request = QStringLiteral("{??,%1,%2,13}").arg(hi | 0x80).arg(lo);
      requests.push_back(Bytes({0x55, hi | 0x80, lo, '\r'}));
    } else {
      rule.request = QStringLiteral("{%1,%2,??,13}").arg(lo).arg(hi);
      requests.push_back(Bytes({lo, hi, 0x77, '\r'}));
    }
    rule.response = QStringLiteral("{REQ[0]}{CRC16}");
    rules.push_back(rule);
  }
  TResponderRuleSet set;
  set.Assign(rules);
  // Half the packets are some rule's request, half match none (no rule ends
  // in 0x0E).
  std::mt19937 random(24);
  std::vector<QByteArray> packets;
  std::vector<int> expected;
  for (int i = 0; i < 4096; ++i) {
    if (i % 2 == 0) {
      const int k = int(random() % kRules);
      packets.push_back(requests[size_t(k)]);
      expected.push_back(k);
    } else {
      packets.push_back(
          Bytes({int(random() & 0xFF), int(random() & 0xFF), int(random() & 0xFF), 0x0E}));
      expected.push_back(-1);
    }
  }
  int64_t tested = 0;
  for (auto _ : state) {
    for (int i = 0; i < kPackets; ++i) {
      const size_t at = size_t(i) & 4095;
      TResponderRuleSet::THit hit;
      const int rule = set.Match(packets[at], hit) ? hit.rule : -1;
      if (rule != expected[at]) {
        state.SkipWithError("a packet matched the wrong rule");
        return;
      }
    }
    tested += kPackets;
  }
  state.counters["packets_per_s"] =
      benchmark::Counter(static_cast<double>(tested), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ResponderRules)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reads exactly `size` bytes from `fd` within a second; false otherwise.
bool ReadExactly(int fd, char *into, int size) {
  int got = 0;
  while (got < size) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 1000) <= 0)
      return false;
    const ssize_t n = ::read(fd, into + got, size_t(size - got));
    if (n <= 0)
      return false;
    got += int(n);
  }
  return true;
}

// 10,000 Modbus RTU reads of holding registers, each timed from its last
// byte written to the answer's last byte read, every answer compared.
void BM_ResponderLatency(benchmark::State &state) {
  PrepareDataObjects();
  constexpr int kRequests = 10'000;
  constexpr int kRegisters = 100;
  TResponderSettings settings;
  settings.device.enabled = true;
  settings.device.unit = 1;
  for (uint16_t a = 0; a < kRegisters; ++a)
    settings.device.tables[mtHoldingRegisters][a] = {uint16_t(a * 3 + 1), {}};
  std::vector<double> ms;
  for (auto _ : state) {
    TBenchWindow w;
    TBenchPty pty;
    TSerialPortGroup *group = w.window.SerialGroup();
    // A pty carries far more than its nominal speed: the line is set fast
    // enough that the answers' budget and the RTU silence follow the pty.
    const int custom = group->cbbBaudRate->count() - 1; // "vlastní"
    group->cbbBaudRate->setCurrentIndex(custom);
    emit group->cbbBaudRate->activated(custom);
    group->cbbBaudRate->setEditText(QStringLiteral("921600"));
    emit group->cbbBaudRate->lineEdit()->textEdited(QStringLiteral("921600"));
    group->cbbComPort->setEditText(pty.Path());
    group->btnOpenClose->click();
    if (!w.window.SerialPort().Active() || w.window.SerialPort().GetNumericBaudrate() != 921600) {
      state.SkipWithError("the serial group did not open the pty");
      return;
    }
    w.window.Receiver().fVexlinParser_Modbus.SetModbusType(mbtRTU);
    w.window.Receiver().SetParser(&w.window.Receiver().fVexlinParser_Modbus);
    w.window.Responder()->SetSettings(settings);
    w.window.Responder()->SetActive(true);
    QEventLoop loop;
    std::string error;
    std::thread master([&] {
      std::mt19937 random(5);
      char answer[512];
      for (int i = 0; i < kRequests && error.empty(); ++i) {
        const uint16_t count = uint16_t(1 + random() % 10);
        const uint16_t address = uint16_t(random() % (kRegisters - count + 1));
        const QByteArray request = ModbusRtuFrame(
            char(1) + ModbusRequestPdu({MODBUS_INST_Read_Holding_Registers, address, count, {}}));
        QByteArray reply = QByteArray::fromHex("0103") + char(count * 2);
        for (uint16_t r = 0; r < count; ++r) {
          const uint16_t v = uint16_t((address + r) * 3 + 1);
          reply += char(v >> 8);
          reply += char(v & 0xFF);
        }
        const QByteArray expected = ModbusRtuFrame(reply);
        const auto start = std::chrono::steady_clock::now();
        if (::write(pty.Master(), request.constData(), size_t(request.size())) != request.size() ||
            !ReadExactly(pty.Master(), answer, int(expected.size()))) {
          error = "request " + std::to_string(i) + " got no answer";
          break;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (QByteArray(answer, expected.size()) != expected)
          error = "request " + std::to_string(i) + " got a wrong answer";
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    master.join();
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    group->btnOpenClose->click();
  }
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms.empty() ? 0 : ms[size_t(q * double(ms.size() - 1))]; };
  state.counters["p50_ms"] = at(0.50);
  state.counters["p99_ms"] = at(0.99);
}
BENCHMARK(BM_ResponderLatency)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
