#include "connections/connectioncontroller.h"

#include "base/arrivalclock.h"
#include "base/pterror.h"
#include "connections/connectiontexts.h"
#include "connections/tcpclient.h"
#include "connections/udpconnection.h"
#include "connections/uithreadcalls.h"

namespace {

bool Running(const TVexlinConnection *connection) {
  return connection && connection->Status() != tcsDisconnect;
}

} // namespace

TConnectionController::TConnectionController(TConnectionWindow window)
    : NewTcpClient([] { return std::make_unique<TVexlinConnection_TcpClient>(); }),
      NewUdp([] { return std::make_unique<TVexlinConnection_Udp>(); }), fWindow(std::move(window)) {
}

TConnectionController::~TConnectionController() {
  SetConnection(nullptr);
}

void TConnectionController::SetConnection(std::unique_ptr<TVexlinConnection> aConnection) {
  if (aConnection && aConnection == fConnection) {
    (void)aConnection.release(); // already owned here
    return;
  }
  if (fConnection) {
    fConnection->Close();
    // Destroyed while still current: its thread may report while it winds down.
    delete fConnection.get();
    (void)fConnection.release();
  }
  fConnection = std::move(aConnection);
  if (fConnection)
    fConnection->SetOnStatus(
        [this](TVexlinConnection *c, TVexlinConnectionStatus s, const QString &t,
               const QByteArray &sig,
               const QByteArray &data) { ConnectionStatusChange(c, s, t, sig, data); });
}

void TConnectionController::ConnectionStatusChange(TVexlinConnection *aConnection,
                                                   TVexlinConnectionStatus aStatus,
                                                   const QString &AStatusText,
                                                   const QByteArray &aSIG,
                                                   const QByteArray &aData) {
  if (aStatus == tcsRxData) {
    // A datagram comes with its bytes, read just now; a stream is read here.
    if (!aData.isEmpty()) {
      if (fWindow.Receive)
        fWindow.Receive(aData, aSIG, ArrivalNow());
      return;
    }
    // Kept per thread: a stream of arrivals reuses one allocation.
    thread_local QByteArray waiting;
    waiting.resize(0);
    if (aConnection->WaitingData() && aConnection->Read(waiting) && !waiting.isEmpty()) {
      if (fWindow.Receive)
        fWindow.Receive(waiting, aSIG, ArrivalNow());
      return;
    }
  }
  // Only a status, or an arrival with nothing to read, is worth a line.
  const TConnectionStatusLine line = ConnectionStatusLine(*aConnection, aStatus, AStatusText);
  if (fWindow.LogInfoMsg)
    fWindow.LogInfoMsg(line.line, line.color);
  if (aStatus == tcsWarning)
    return; // a line in the log; the status bar keeps the connection's state
  TUiThreadCalls::Run([this, text = line.line] {
    if (fWindow.StatusBarRefresh)
      fWindow.StatusBarRefresh(text);
    RefreshPanel();
  });
}

void TConnectionController::TcpConnectDisconnect(const QString &host, const QString &port,
                                                 bool ipv6) {
  try {
    // Any state but closed counts as running, as the caption shows it: a
    // click while the host name is looked up cancels instead of starting over.
    if (Running(fConnection.get())) {
      fConnection->Close();
      SetConnection(nullptr);
    } else {
      std::unique_ptr<TVexlinConnection> connection = NewTcpClient();
      connection->SetSettings(QStringLiteral("HOST"), host);
      connection->SetSettings(QStringLiteral("PORT"), port);
      connection->SetSettings(QStringLiteral("IPV"),
                              ipv6 ? QStringLiteral("6") : QStringLiteral("4"));
      SetConnection(std::move(connection));
      fConnection->Open();
    }
  } catch (const std::exception &error) {
    LogError(ExceptionText(error));
  }
  RefreshPanel();
}

bool TConnectionController::UdpStartStop(const QString &remoteHost, const QString &remotePort,
                                         const QString &listenPort) {
  bool started = false;
  if (fConnection && !dynamic_cast<TVexlinConnection_Udp *>(fConnection.get()))
    SetConnection(nullptr);
  if (fConnection) {
    fConnection->Close();
    SetConnection(nullptr);
  } else {
    started = true;
    try {
      SetConnection(NewUdp());
      fConnection->SetSettings(QStringLiteral("HOST"), remoteHost);
      fConnection->SetSettings(QStringLiteral("PORT_LISTEN"), listenPort);
      fConnection->SetSettings(QStringLiteral("PORT_REMOTE"), remotePort);
      fConnection->Open();
    } catch (const std::exception &error) {
      LogError(ExceptionText(error));
      if (fWindow.ShowError)
        fWindow.ShowError(ExceptionText(error));
    }
  }
  RefreshPanel();
  return started;
}

bool TConnectionController::TcpRunning() const {
  return dynamic_cast<const TVexlinConnection_TcpClient *>(fConnection.get()) &&
         Running(fConnection.get());
}

bool TConnectionController::UdpRunning() const {
  return dynamic_cast<const TVexlinConnection_Udp *>(fConnection.get()) &&
         Running(fConnection.get());
}

bool TConnectionController::TcpConnected() const {
  return dynamic_cast<const TVexlinConnection_TcpClient *>(fConnection.get()) &&
         fConnection->Status() == tcsConnect;
}

QString TConnectionController::TcpButtonCaption() const {
  return ::TcpButtonCaption(TcpRunning());
}

QString TConnectionController::UdpButtonCaption() const {
  return ::UdpButtonCaption(UdpRunning());
}

void TConnectionController::LogError(const QString &message) {
  if (fWindow.LogInfoMsg)
    fWindow.LogInfoMsg(ErrorLineText(message), kColorRed);
}

void TConnectionController::RefreshPanel() {
  if (fWindow.PanelRefresh)
    fWindow.PanelRefresh();
}
