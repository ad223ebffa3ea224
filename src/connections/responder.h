#pragma once

// The responder at work: every received packet is tested against the rules
// (on the thread that cut it), and the first rule that matches has its
// response sent after its delay, on the thread this object lives on, through
// the same send the command line uses. Answers are limited to what the line
// can carry, so a rule that answers itself over a loopback cannot flood the
// program.

#include "pipeline/responderrules.h"
#include "pipeline/responderstore.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QTimer;

class TResponder : public QObject {
  Q_OBJECT
public:
  explicit TResponder(QObject *parent = nullptr);
  ~TResponder() override;

  // Sends an answer (the window's Send, the capture's sender). This thread.
  std::function<void(const QByteArray &)> Send;
  // A maroon log line: answers were dropped.
  std::function<void(const QString &)> Warn;

  void SetSettings(const TResponderSettings &settings);
  // The framing the device answers in: the Modbus parser's current type.
  std::function<TModbusType()> ModbusType;
  // The line's speed in bit/s, for the RTU silence before an answer; 0 for
  // a network link.
  void SetLineSpeed(int64_t bitsPerSecond);
  void SetActive(bool active);
  bool Active() const { return fActive.load(); }
  static constexpr int64_t kNetworkBytesPerSecond = 12'500'000;

  // A packet was cut at `stamp` (ArrivalNow). Any thread.
  void Packet(QByteArrayView packet, int64_t stamp);
  // The connection went: answers still waiting for their delay are dropped.
  void DropPending();

  int64_t Dropped() const { return fDropped.load(); }

signals:
  // A rule (its index in the settings) matched a packet. Queued to this thread.
  void RuleHit(int rule);
  // A request wrote the device's tables; the tables now. Queued to this thread.
  void DeviceChanged(const TModbusDevice &device);

private:
  void Deliver(QByteArray answer, int64_t due, uint64_t generation);
  bool Allow(qsizetype bytes);
  void Warned();
  // The device's answer, or an empty one; under fLock.
  QByteArray DeviceAnswer(QByteArrayView packet, int64_t stamp, int64_t &due);

  std::mutex fLock; // the rules and the rate window
  std::shared_ptr<const TResponderRuleSet> fRules;
  std::atomic<bool> fActive{false};
  std::atomic<uint64_t> fGeneration{0};
  std::atomic<int64_t> fDropped{0};
  std::atomic<bool> fWarned{false};
  uint8_t fSeq = 0;
  TModbusDevice fDevice;
  int64_t fLineBits = 0;
  int64_t fBusyUntil = 0; // ArrivalNow time when the answers sent so far have left
};
