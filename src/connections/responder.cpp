#include "connections/responder.h"

#include "base/arrivalclock.h"
#include "base/languagetext.h"

#include <QMetaObject>
#include <QTimer>

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
  // Called under fLock. A one-second window of what the line can carry.
  const int64_t now = ArrivalNow();
  if (now - fWindowStart >= 1000 * kArrivalPerMs) {
    fWindowStart = now;
    fWindowBytes = 0;
  }
  // About ten bits a character on a serial line.
  const int64_t budget = fLineBits > 0 ? fLineBits / 10 : kNetworkBytesPerSecond;
  // An answer larger than a second's budget still goes when the window is fresh.
  if (fWindowBytes > 0 && fWindowBytes + bytes > budget)
    return false;
  fWindowBytes += bytes;
  return true;
}

QByteArray TResponder::DeviceAnswer(QByteArrayView packet, int64_t stamp, int &delayMs) {
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
  delayMs = 0;
  if (!answer.isEmpty() && type == mbtRTU && fLineBits > 0) {
    // The line stays silent for 3.5 characters (11 bits each) after the
    // request's last byte before a device may answer.
    const int64_t silence = 35 * 11 * 1'000'000'000LL / (10 * fLineBits);
    const int64_t wait = stamp + silence - ArrivalNow();
    if (wait > 0)
      delayMs = int((wait + kArrivalPerMs - 1) / kArrivalPerMs);
  }
  return answer;
}

void TResponder::Packet(QByteArrayView packet, int64_t stamp) {
  if (!fActive.load())
    return;
  TResponderRuleSet::THit hit;
  QByteArray answer;
  bool dropped = false;
  {
    std::lock_guard lock(fLock);
    // The rules first, then the device.
    if (fRules->Match(packet, hit)) {
      answer = fRules->Answer(hit.rule, packet, fSeq);
      QMetaObject::invokeMethod(
          this, [this, rule = hit.rule] { emit RuleHit(rule); }, Qt::QueuedConnection);
    } else {
      answer = DeviceAnswer(packet, stamp, hit.delayMs);
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
      [this, answer = std::move(answer), delay = hit.delayMs, generation]() mutable {
        Deliver(std::move(answer), delay, generation);
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

void TResponder::Deliver(QByteArray answer, int delayMs, uint64_t generation) {
  if (generation != fGeneration.load() || !fActive.load())
    return;
  if (delayMs > 0) {
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this,
                       [this, answer = std::move(answer), generation]() mutable {
                         Deliver(std::move(answer), 0, generation);
                       });
    return;
  }
  if (Send)
    Send(answer);
}
