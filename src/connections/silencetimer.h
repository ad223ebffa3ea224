#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>

class TVexlinReceiver;

// Closes packets that silence ends when no further byte comes. Parsers that
// cut by a pause only see the stamps of the bytes they get; after the last
// block nothing would run them again. Every arrival (any thread) restarts
// this timer for the current parser's pause, and when it runs out the
// receiver cuts what the silence closed, as at that moment.
class TSilenceTimer : public QObject {
public:
  explicit TSilenceTimer(TVexlinReceiver &receiver, QObject *parent = nullptr);

  // Bytes arrived; any thread. Cheap while an earlier call is still on its
  // way to the timer's thread.
  void Arrived();

private:
  void Restart();
  void Expired();

  TVexlinReceiver &fReceiver;
  QTimer fTimer;
  std::atomic<bool> fPending{false};
};
