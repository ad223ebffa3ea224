#pragma once

// Waiting in tests without timing them: the UI thread's event loop runs
// until a condition holds, or gives up after a generous time (sanitizer
// builds are slow).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

inline bool WaitFor(const std::function<bool()> &done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Runs the UI thread's event loop for `ms` milliseconds.
inline void Settle(int ms) {
  WaitFor([] { return false; }, ms);
}
