#include "connections/responder.h"

#include "base/arrivalclock.h"
#include "base/languagetext.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

TResponder::TResponder(QObject *parent)
    : QObject(parent), fRules(std::make_shared<TResponderRuleSet>()) {}

TResponder::~TResponder() = default;

void TResponder::SetSettings(const TResponderSettings &settings) {
  auto rules = std::make_shared<TResponderRuleSet>();
  rules->Assign(settings.rules);
  std::lock_guard lock(fLock);
  fRules = std::move(rules);
  fDevice = settings.device;
}

void TResponder::SetActive(bool active) {
  fActive.store(active);
  if (!active)
    DropPending();
  fWarned.store(false);
}

void TResponder::SetLineSpeed(int64_t bitsPerSecond) {
  std::lock_guard lock(fLock);
  fLineBits = bitsPerSecond;
}

void TResponder::DropPending() {
  // Timers and queued calls of older generations find it changed and send nothing.
  ++fGeneration;
}

bool TResponder::Allow(qsizetype bytes) {
  // Under fLock. The line is taken up to fBusyUntil by the answers sent so
  // far; an answer that would end more than a second out is dropped, except
  // on an idle line, which takes any one answer.
  const int64_t now = ArrivalNow();
  // About ten bits a character on a serial line.
  const int64_t rate =
      fLineBits > 0 ? std::max<int64_t>(fLineBits / 10, 1) : kNetworkBytesPerSecond;
  const int64_t cost = int64_t(bytes) * 1'000'000'000LL / rate;
  if (fBusyUntil <= now)
    fBusyUntil = now;
  else if (fBusyUntil + cost - now > 1000 * kArrivalPerMs)
    return false;
  fBusyUntil += cost;
  return true;
}

QByteArray TResponder::DeviceAnswer(QByteArrayView packet, int64_t stamp, int64_t &due) {
  if (!fDevice.enabled)
    return {};
  const TModbusType type = ModbusType ? ModbusType() : mbtRTU;
  QByteArray answer;
  bool wrote = false;
  if (!fDevice.AnswerFrame(packet, type, answer, wrote))
    answer.clear();
  if (wrote)
    QMetaObject::invokeMethod(
        this, [this, device = fDevice] { emit DeviceChanged(device); }, Qt::QueuedConnection);
  // The line stays silent for 3.5 characters (11 bits each) after the
  // request's last byte before an RTU device may answer.
  due = type == mbtRTU && fLineBits > 0 ? stamp + 35 * 11 * 1'000'000'000LL / (10 * fLineBits) : 0;
  return answer;
}

void TResponder::Packet(QByteArrayView packet, int64_t stamp) {
  if (!fActive.load())
    return;
  TResponderRuleSet::THit hit;
  QByteArray answer;
  int64_t due = 0; // when the answer may leave, in ArrivalNow time
  bool dropped = false;
  {
    std::lock_guard lock(fLock);
    // The rules first, then the device.
    if (fRules->Match(packet, hit)) {
      answer = fRules->Answer(hit.rule, packet, fSeq);
      due = hit.delayMs > 0 ? ArrivalNow() + hit.delayMs * kArrivalPerMs : 0;
      QMetaObject::invokeMethod(
          this, [this, rule = hit.rule] { emit RuleHit(rule); }, Qt::QueuedConnection);
    } else {
      answer = DeviceAnswer(packet, stamp, due);
      if (answer.isEmpty())
        return;
    }
    if (!Allow(answer.size())) {
      ++fDropped;
      dropped = true;
    } else {
      ++fSeq;
    }
  }
  if (dropped)
    return Warned();
  // Always queued, also on this thread: the request's row is queued by the
  // receive path only after this returns, and the answer's row must follow it.
  const uint64_t generation = fGeneration.load();
  QMetaObject::invokeMethod(
      this,
      [this, answer = std::move(answer), due, generation]() mutable {
        Deliver(std::move(answer), due, generation);
      },
      Qt::QueuedConnection);
}

void TResponder::Warned() {
  if (fWarned.exchange(true))
    return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (Warn)
          Warn(LanguageText(QStringLiteral("ResponderDropped"),
                            QStringLiteral("Simulátor: odpovědi přesahují, co linka "
                                           "přenese; nadbytečné se zahazují.")));
      },
      Qt::QueuedConnection);
}

void TResponder::Deliver(QByteArray answer, int64_t due, uint64_t generation) {
  if (generation != fGeneration.load() || !fActive.load())
    return;
  const int64_t wait = due - ArrivalNow();
  if (wait > kArrivalPerMs) {
    // A timer for whole milliseconds, the rest waited out when it fires.
    QTimer::singleShot(int(wait / kArrivalPerMs), Qt::PreciseTimer, this,
                       [this, answer = std::move(answer), due, generation]() mutable {
                         Deliver(std::move(answer), due, generation);
                       });
    return;
  }
  // Under a millisecond (the RTU silence at fast speeds): a timer would
  // round it up to one, so it is waited out here.
  if (wait > 0)
    std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
  if (Send)
    Send(answer);
}
