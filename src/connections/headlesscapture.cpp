#include "connections/headlesscapture.h"

#include "base/pterror.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/responder.h"
#include "connections/tcpclient.h"
#include "connections/transportsend.h"
#include "connections/udpconnection.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobject.h"
#include "pipeline/dataobjectqueue.h"
#include "serial/comport.h"

#include <QFileInfo>
#include <QThread>
#include <limits>

namespace {

// Standard output as a file we can append to; the recorder takes names.
QString LogFileName(const QString &log) {
  return log == QLatin1String("-") ? QStringLiteral("/dev/stdout") : log;
}

// The Modbus type of a Modbus parser, which sent frames are read in too.
std::optional<TModbusType> CaptureModbusType(TCaptureOptions::TParser parser) {
  switch (parser) {
  case TCaptureOptions::ModbusRtu:
    return mbtRTU;
  case TCaptureOptions::ModbusAscii:
    return mbtASCII;
  case TCaptureOptions::ModbusTcp:
    return mbtTCP;
  default:
    return std::nullopt;
  }
}

} // namespace

THeadlessCapture::THeadlessCapture(TCaptureOptions options, QObject *parent)
    : QObject(parent), fOptions(std::move(options)), fBacklog(fOptions.backlogBytes) {
  switch (fOptions.parser) {
  case TCaptureOptions::S97:
    fReceiver.SetParser(&fReceiver.fVexlinParser_Pelmar);
    break;
  case TCaptureOptions::Suffix:
    fReceiver.fVexlinParser_Sufix.SetSufix(fOptions.suffix);
    fReceiver.SetParser(&fReceiver.fVexlinParser_Sufix);
    break;
  case TCaptureOptions::Length:
    fReceiver.fVexlinParser_Length.SetDataLength(fOptions.length);
    fReceiver.SetParser(&fReceiver.fVexlinParser_Length);
    break;
  case TCaptureOptions::ModbusRtu:
  case TCaptureOptions::ModbusAscii:
  case TCaptureOptions::ModbusTcp: {
    fReceiver.fVexlinParser_Modbus.SetModbusType(*CaptureModbusType(fOptions.parser));
    // The RTU pause is measured in characters of the serial line.
    if (fOptions.target.kind == TCaptureTarget::Serial)
      fReceiver.fVexlinParser_Modbus.SetBaudrate(static_cast<int32_t>(fOptions.target.speed));
    fReceiver.SetParser(&fReceiver.fVexlinParser_Modbus);
    break;
  }
  case TCaptureOptions::Gap:
    fReceiver.fVexlinParser_Gap.SetPause(int64_t{fOptions.gapMs} * kArrivalPerMs);
    fReceiver.SetParser(&fReceiver.fVexlinParser_Gap);
    break;
  case TCaptureOptions::LengthField:
    fReceiver.fVexlinParser_LengthField.SetFormat(fOptions.lengthField);
    fReceiver.SetParser(&fReceiver.fVexlinParser_LengthField);
    break;
  }
  TVexlinParser::MaxLength = fOptions.maxLength;
  fRecorder.OnWritten = [this](int64_t position) { fBacklog.Settled(position); };
  // At least once a second: a crash or power cut loses at most that much.
  fFlushTimer.setInterval(1000);
  connect(&fFlushTimer, &QTimer::timeout, this, &THeadlessCapture::WriteOut);
  fSendTimer.setInterval(fOptions.intervalMs);
  connect(&fSendTimer, &QTimer::timeout, this, &THeadlessCapture::SendNext);
  // Before any transport runs, so its threads find the answerer in place.
  if (fOptions.respond)
    StartResponder();
}

THeadlessCapture::~THeadlessCapture() {
  Stop();
}

bool THeadlessCapture::Start(int &exitCode, QString &error) {
  fClock.start();
  VexlinDataObject_SetTarget([this] {
    QMetaObject::invokeMethod(this, &THeadlessCapture::TakeRows, Qt::QueuedConnection);
  });
  if (!OpenLog(error)) {
    exitCode = kExitLogFailed;
    return false;
  }
  fFlushTimer.start();
  const bool opened =
      fOptions.target.kind == TCaptureTarget::Serial ? OpenSerial(error) : OpenNetwork(error);
  if (!opened) {
    exitCode = kExitNotOpened;
    return false;
  }
  // A TCP client sends once it is connected; the others are ready now.
  if (fOptions.target.kind != TCaptureTarget::Tcp)
    SendNext();
  exitCode = kExitClean;
  return true;
}

bool THeadlessCapture::OpenLog(QString &error) {
  const QString name = LogFileName(fOptions.log);
  if (fRecorder.Start(name, 0, &error))
    return true;
  error = QStringLiteral("the log \"%1\" cannot be written: %2").arg(fOptions.log, error);
  return false;
}

bool THeadlessCapture::OpenSerial(QString &error) {
  const TCaptureTarget &t = fOptions.target;
  fPort = std::make_unique<TAfComPort>();
  fPort->setObjectName(QStringLiteral("AfComPort1")); // errors name the component
  fPort->SetPortName(t.path);
  fPort->SetUserBaudRate(t.speed);
  fPort->SetBaudRate(brUser);
  // The options accept only the names the settings line uses.
  TAfParity parity = paNone;
  TAfStopbits stopbits = sbOne;
  ParityFromLetter(QLatin1Char(t.parity), parity);
  StopbitsFromText(t.stopBits, stopbits);
  fPort->SetParity(parity);
  fPort->SetDatabits(static_cast<TAfDatabits>(db5 + (t.dataBits - 5)));
  fPort->SetStopbits(stopbits);
  fPort->SetFlowControl(fwNone);
  connect(fPort.get(), &TAfComPort::OnDataRecived, this, &THeadlessCapture::ReadSerial);
  // Reading goes on once the log has caught up; any thread.
  fBacklog.OnRoom = [this] {
    QMetaObject::invokeMethod(this, &THeadlessCapture::ReadSerial, Qt::QueuedConnection);
  };
  connect(fPort.get(), &TAfComPort::OnPortClose, this, [this] {
    LogLine(kSerialPortCloseText, kColorMaroon);
    if (!fStopped)
      Finish(kExitClean, QStringLiteral("the port closed"));
  });
  try {
    fPort->Open();
  } catch (const std::exception &e) {
    error = ExceptionText(e);
    return false;
  }
  LogLine(SerialPortOpenText(fPort->SettingsStr()), kColorGreen);
  return true;
}

bool THeadlessCapture::OpenNetwork(QString &error) {
  TConnectionWindow window;
  window.Receive = [this](const QByteArray &data, const QByteArray &sig, int64_t stamp) {
    Receive(data, sig, stamp);
  };
  window.LogInfoMsg = [this](const QString &text, TColor color) {
    if (color == kColorRed)
      SetFailure(text);
    LogLine(text, color);
  };
  window.StatusBarRefresh = [this](const QString &) { ConnectionState(); };
  window.ShowError = [this](const QString &message) { SetFailure(message); };
  fConnections = std::make_unique<TConnectionController>(std::move(window));
  fConnections->NewTcpClient = [resolver = Resolver] {
    return std::make_unique<TVexlinConnection_TcpClient>(
        TVexlinConnection_TcpClient::kDefaultConnectTimeoutMs, resolver);
  };
  const TCaptureTarget &t = fOptions.target;
  if (t.kind == TCaptureTarget::Tcp) {
    fConnections->TcpConnectDisconnect(t.host, QString::number(t.port), t.host.contains(u':'));
    if (!fConnections->TcpRunning()) {
      error = Failure(QStringLiteral("the connection did not start"));
      return false;
    }
    return true;
  }
  fConnections->UdpStartStop(t.host, QString::number(t.port), QString::number(t.listenPort));
  const QString failure = Failure(QString());
  if (!fConnections->UdpRunning() || !failure.isEmpty()) {
    error = failure.isEmpty() ? QStringLiteral("the UDP port did not open") : failure;
    return false;
  }
  return true;
}

void THeadlessCapture::SetFailure(const QString &text) {
  std::lock_guard lock(fFailureLock);
  fFailure = text;
}

QString THeadlessCapture::Failure(const QString &otherwise) const {
  std::lock_guard lock(fFailureLock);
  return fFailure.isEmpty() ? otherwise : fFailure;
}

void THeadlessCapture::ReadSerial() {
  if (!fPort || fStopped || !fPort->Active())
    return;
  // Too far behind: the bytes stay in the port, whose inbox fills and then
  // stops reading the line; OnRoom reads on.
  if (fBacklog.Over()) {
    RequestFlush();
    return;
  }
  // Everything queued by now, which may be more than the event counted,
  // with the arrival stamp of every read.
  QByteArray data;
  std::vector<TArrivalMark> marks;
  try {
    data = fPort->ReadString(marks);
  } catch (const std::exception &e) {
    LogLine(ErrorLineText(ExceptionText(e)), kColorRed);
  }
  if (data.isEmpty())
    return;
  fReceiver.Receive(data, QByteArray(), marks);
  Received(data.size());
}

void THeadlessCapture::Receive(const QByteArray &data, const QByteArray &sig, int64_t stamp) {
  if (data.isEmpty())
    return;
  fReceiver.Receive(data, sig, stamp);
  Received(data.size());
}

void THeadlessCapture::Received(qsizetype size) {
  fSilence.Arrived();
  // Counted once its rows are queued: TakeRows marks what it took by this count.
  fBacklog.Received(size);
  // A transport's own thread waits here, so it reads no further; the main
  // thread (serial, UDP) must not, as it is the one that feeds the writer.
  if (QThread::currentThread() != thread() && fBacklog.Over()) {
    RequestFlush();
    fBacklog.WaitForRoom();
  }
}

void THeadlessCapture::RequestFlush() {
  // Rows gathered below the writer's block size would otherwise wait for
  // the next tick, and a parser's remainder is never taken without rows.
  if (fFlushRequested.exchange(true))
    return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        fFlushRequested = false;
        WriteOut();
      },
      Qt::QueuedConnection);
}

void THeadlessCapture::WriteOut() {
  // The rows first: taking them marks every byte counted so far, the
  // parser's remainder included, so a reader waiting for the writer is
  // never left behind a position nobody will write.
  TakeRows();
  FlushLog();
}

void THeadlessCapture::LogLine(const QString &text, TColor color) {
  // Any thread: rows go through the queue, in order with the packets.
  (new TVexlinDataLog(text, color))->Push();
  if (OnLine)
    OnLine(text);
}

void THeadlessCapture::ConnectionState() {
  TVexlinConnection *connection = fConnections ? fConnections->Connection() : nullptr;
  if (!connection || fStopped)
    return;
  if (connection->Status() == tcsConnect && !fConnected) {
    fConnected = true;
    SendNext();
  } else if (connection->Status() == tcsDisconnect) {
    if (fConnected)
      Finish(kExitClean, QStringLiteral("the far end closed the connection"));
    else
      Finish(kExitNotOpened, Failure(QStringLiteral("the connection did not come up")));
  }
}

void THeadlessCapture::TakeRows() {
  // Read before the queue: the rows of every byte counted by now are in it.
  const int64_t received = fBacklog.Total();
  TVexlinDataObject *chain = nullptr;
  while (VexlinDataObject_POP(chain)) {
    for (const TVexlinDataObject *o = chain; o; o = o->NextDataObj) {
      fRecorder.Add(*o);
      ++fRows;
    }
    FreeDataObjectChain(chain);
  }
  fRecorder.Mark(received);
}

void THeadlessCapture::FlushLog() {
  if (!fRecorder.Active())
    return;
  QString error;
  if (!fRecorder.Flush(&error))
    Finish(kExitLogFailed,
           QStringLiteral("writing the log \"%1\" failed: %2").arg(fOptions.log, error));
}

void THeadlessCapture::SendNext() {
  if (fNextSend >= fOptions.sends.size() || fStopped) {
    fSendTimer.stop();
    return;
  }
  SendToTransports(
      fOptions.sends.at(fNextSend++), fConnections ? fConnections->Connection() : nullptr,
      fPort.get(),
      [this](const std::exception &e) { LogLine(ErrorLineText(ExceptionText(e)), kColorRed); },
      CaptureModbusType(fOptions.parser));
  if (fNextSend < fOptions.sends.size() && !fSendTimer.isActive())
    fSendTimer.start();
}

void THeadlessCapture::StartResponder() {
  fResponder = std::make_unique<TResponder>();
  fResponder->Send = [this](const QByteArray &answer) {
    if (fStopped)
      return;
    SendToTransports(
        answer, fConnections ? fConnections->Connection() : nullptr, fPort.get(),
        [this](const std::exception &e) { LogLine(ErrorLineText(ExceptionText(e)), kColorRed); });
  };
  fResponder->Warn = [this](const QString &text) { LogLine(text, kColorMaroon); };
  fResponder->ModbusType = [this] { return fReceiver.fVexlinParser_Modbus.ModbusType(); };
  if (fOptions.target.kind == TCaptureTarget::Serial)
    fResponder->SetLineSpeed(fOptions.target.speed);
  fResponder->SetSettings(fOptions.responder);
  fResponder->SetActive(true);
  fReceiver.OnPacket = [this](QByteArrayView packet, int64_t stamp) {
    fResponder->Packet(packet, stamp);
  };
}

void THeadlessCapture::Finish(int exitCode, const QString &reason) {
  if (fFinished)
    return;
  fFinished = true;
  emit finished(exitCode, reason);
}

void THeadlessCapture::Stop() {
  if (fStopped)
    return;
  fStopped = true;
  // A transport thread waiting for the writer goes on, so it can end.
  fBacklog.Stop();
  fFlushTimer.stop();
  fSendTimer.stop();
  if (fResponder)
    fResponder->SetActive(false); // pending answers are dropped with the link
  // The transports' threads end here, so nothing arrives after the remainders.
  if (fPort && fPort->Active()) {
    // What the port has read already is ours; closing would drop it.
    try {
      Receive(fPort->ReadString(), QByteArray(), ArrivalNow());
    } catch (const std::exception &) {
      // Closing anyway; the port said why on its own line.
    }
    fPort->Close();
  }
  if (fConnections) {
    fDatagramsLost = DatagramsLost();
    fConnections->SetConnection(nullptr);
  }
  // The transport is gone: whatever silence would close is closed now, as
  // a pause-framed packet, before the rest becomes rows as it is.
  fReceiver.Expire(std::numeric_limits<int64_t>::max() / 2);
  fReceiver.FlushRemainders();
  TakeRows();
  VexlinDataObject_SetTarget({});
  QString error;
  if (!fRecorder.Stop(&error) && OnLine)
    OnLine(QStringLiteral("writing the log \"%1\" failed: %2").arg(fOptions.log, error));
}

uint32_t THeadlessCapture::DatagramsLost() const {
  const auto *udp = dynamic_cast<const TVexlinConnection_Udp *>(
      fConnections ? fConnections->Connection() : nullptr);
  return udp ? udp->Dropped() : fDatagramsLost;
}

QString THeadlessCapture::Summary() const {
  QString summary = QStringLiteral("%1 rows, %2 bytes received, %3 s")
                        .arg(fRows)
                        .arg(BytesReceived())
                        .arg(static_cast<double>(fClock.elapsed()) / 1000.0, 0, 'f', 1);
  if (fOptions.target.kind == TCaptureTarget::Udp)
    summary += QStringLiteral(", %1 datagrams lost").arg(DatagramsLost());
  return summary;
}
