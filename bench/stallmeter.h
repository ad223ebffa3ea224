#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

// The longest gap between the ticks of a 10 ms timer on the UI thread: the
// longest the window could not answer.
class TStallMeter {
public:
  TStallMeter() {
    fTicker.setTimerType(Qt::PreciseTimer);
    fTicker.setInterval(10);
    QObject::connect(&fTicker, &QTimer::timeout, [this] {
      const qint64 now = fClock.nsecsElapsed();
      fMaxGap = std::max(fMaxGap, now - fLast);
      fLast = now;
    });
    fClock.start();
    fTicker.start();
  }
  double MaxStallMs() const { return static_cast<double>(fMaxGap) / 1e6; }

private:
  QTimer fTicker;
  QElapsedTimer fClock;
  qint64 fLast = 0;
  qint64 fMaxGap = 0;
};
