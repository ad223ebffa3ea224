#pragma once

#include "connections/captureoptions.h"
#include "connections/hostresolver.h"
#include "connections/silencetimer.h"
#include "pipeline/logrecorder.h"
#include "pipeline/receivepath.h"
#include "pipeline/vexlinview.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class TAfComPort;
class TConnectionController;
class TVexlinDataObject;

// A capture without a window: one transport opened as the window opens it,
// received bytes cut into packets by the same parsers, every row appended
// to a log file in the saved-log format, and texts sent as the command line
// sends them. Lives on the application's main thread and needs only a core
// application: no display.
class THeadlessCapture : public QObject {
  Q_OBJECT
public:
  // Exit codes of the capture mode.
  static constexpr int kExitClean = 0;
  static constexpr int kExitBadArguments = 2;
  static constexpr int kExitNotOpened = 3;
  static constexpr int kExitLogFailed = 1;

  explicit THeadlessCapture(TCaptureOptions options, QObject *parent = nullptr);
  ~THeadlessCapture() override;

  // Opens the log and the transport; on failure the exit code and why.
  bool Start(int &exitCode, QString &error);
  // Closes the transport, turns bytes still waiting for the rest of a packet
  // into rows, writes everything and closes the log. Safe to call twice.
  void Stop();

  // "12 rows, 3456 bytes received, 7.8 s"
  QString Summary() const;
  int64_t Rows() const { return fRows; }
  int64_t BytesReceived() const { return fBytes; }

  // Lines worth a user's eye (the transport's states, errors); the log
  // file gets them as rows too.
  std::function<void(const QString &line)> OnLine;
  // Looks up the TCP target's host name; set before Start.
  std::shared_ptr<THostResolver> Resolver = SystemResolver();

signals:
  // The far end closed, the log could not be written, or the TCP connection
  // never came up (kExitNotOpened with the reason).
  void finished(int exitCode, const QString &reason);

private:
  bool OpenLog(QString &error);
  bool OpenSerial(QString &error);
  bool OpenNetwork(QString &error);
  void Receive(const QByteArray &data, const QByteArray &sig, int64_t stamp);
  void LogLine(const QString &text, TColor color);
  void ConnectionState();
  void TakeRows();
  void FlushLog();
  void SendNext();
  void Finish(int exitCode, const QString &reason);
  void SetFailure(const QString &text);
  QString Failure(const QString &otherwise) const;

  TCaptureOptions fOptions;
  TVexlinReceiver fReceiver;
  TSilenceTimer fSilence{fReceiver};
  TLogRecorder fRecorder;
  std::unique_ptr<TAfComPort> fPort;
  std::unique_ptr<TConnectionController> fConnections;
  QTimer fFlushTimer;
  QTimer fSendTimer;
  QElapsedTimer fClock;
  int fNextSend = 0;
  bool fConnected = false;
  bool fStopped = false;
  bool fFinished = false;
  // The last red line of the connection (any thread) or an error shown at start.
  mutable std::mutex fFailureLock;
  QString fFailure;
  int64_t fRows = 0;
  std::atomic<int64_t> fBytes{0};
};
