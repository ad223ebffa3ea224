#include "connections/silencetimer.h"

#include "base/arrivalclock.h"
#include "pipeline/receivepath.h"

#include <QThread>

TSilenceTimer::TSilenceTimer(TVexlinReceiver &receiver, QObject *parent)
    : QObject(parent), fReceiver(receiver) {
  fTimer.setSingleShot(true);
  fTimer.setTimerType(Qt::PreciseTimer);
  connect(&fTimer, &QTimer::timeout, this, &TSilenceTimer::Expired);
}

void TSilenceTimer::Arrived() {
  const TVexlinParser *parser = fReceiver.Parser();
  if (!parser || parser->ClosingPause() < 0)
    return;
  if (QThread::currentThread() == thread()) {
    Restart();
    return;
  }
  if (!fPending.exchange(true))
    QMetaObject::invokeMethod(
        this,
        [this] {
          fPending = false;
          Restart();
        },
        Qt::QueuedConnection);
}

void TSilenceTimer::Restart() {
  const TVexlinParser *parser = fReceiver.Parser();
  const int64_t pause = parser ? parser->ClosingPause() : -1;
  if (pause < 0) {
    fTimer.stop();
    return;
  }
  // Whole milliseconds, rounded up, and one more: the stamps were taken a
  // little before this runs, never after.
  const int64_t ms = (pause + kArrivalPerMs - 1) / kArrivalPerMs + 1;
  fTimer.start(static_cast<int>(std::min<int64_t>(ms, INT32_MAX)));
}

void TSilenceTimer::Expired() {
  fReceiver.Expire(ArrivalNow());
  // Bytes that came in meanwhile restart the timer themselves.
}
