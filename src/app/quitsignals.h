#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, `kill`, Ctrl+C) into a
// signal of the event loop, so that the program ends the normal way and
// saves what a normal close saves. One instance at a time; the default
// handlers come back when it goes.
class TQuitSignals : public QObject {
  Q_OBJECT
public:
  explicit TQuitSignals(QObject *parent = nullptr);
  ~TQuitSignals() override;

  // False when the handlers could not be installed.
  bool Installed() const { return fNotifier != nullptr; }

signals:
  void quitRequested(int signalNumber);

private:
  void Drain();

  QSocketNotifier *fNotifier = nullptr;
};
