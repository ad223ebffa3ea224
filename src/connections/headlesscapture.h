#pragma once

#include "connections/captureoptions.h"
#include "connections/hostresolver.h"
#include "connections/silencetimer.h"
#include "pipeline/logrecorder.h"
#include "pipeline/receivebacklog.h"
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
class TResponder;
class TVexlinDataObject;

// A capture without a window: one transport opened as the window opens it,
// received bytes cut into packets by the same parsers, every row appended
// to a log file in the saved-log format, and texts sent as the command line
// sends them. Lives on the application's main thread and needs only a core
// application: no display.
//
// When the disk is slower than the sender, reading pauses while the log is
// more than the options' backlog behind: a TCP client's thread waits (the
// kernel's window closes), a serial port is not read (its inbox fills and
// the line is held). UDP goes on reading on the main thread, which waits for
// the writer in turn; what the system drops meanwhile is counted, reported
// as the window reports it, and named in the summary. Bytes a parser holds
// for the rest of a packet count as written with the rows before them: a
// packet's size is bounded by --max-length, not by the backlog.
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

  // "12 rows, 3456 bytes received, 7.8 s", for UDP with ", 9 datagrams lost".
  QString Summary() const;
  int64_t Rows() const { return fRows; }
  int64_t BytesReceived() const { return fBacklog.Total(); }
  // Datagrams the system dropped while a UDP capture could not keep up.
  uint32_t DatagramsLost() const;
  const TReceiveBacklog &Backlog() const { return fBacklog; }
  // The log's writer; tests slow its disk down through it.
  TLogRecorder &Recorder() { return fRecorder; }

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
  void Received(qsizetype size);
  void ReadSerial();
  void RequestFlush();
  void LogLine(const QString &text, TColor color);
  void ConnectionState();
  void TakeRows();
  void FlushLog();
  void WriteOut();
  void SendNext();
  void Finish(int exitCode, const QString &reason);
  void SetFailure(const QString &text);
  QString Failure(const QString &otherwise) const;

  TCaptureOptions fOptions;
  TVexlinReceiver fReceiver;
  // Before the recorder: its writer reports here until it ends.
  TReceiveBacklog fBacklog;
  TSilenceTimer fSilence{fReceiver};
  TLogRecorder fRecorder;
  std::unique_ptr<TAfComPort> fPort;
  std::unique_ptr<TConnectionController> fConnections;
  std::unique_ptr<TResponder> fResponder; // --respond
  void StartResponder();
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
  uint32_t fDatagramsLost = 0; // kept when the UDP connection goes
  std::atomic<bool> fFlushRequested{false};
};
