#include "connections/tcpclient.h"

#include "base/pterror.h"
#include "connections/connectionreasons.h"
#include "connections/connectiontexts.h"
#include "connections/settingvalues.h"
#include "connections/tcpconnector.h"

#include <QTcpSocket>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TVexlinConnection_TcpClient::TVexlinConnection_TcpClient(int connectTimeoutMs,
                                                         std::shared_ptr<THostResolver> resolver)
    : fConnectTimeoutMs(connectTimeoutMs), fResolver(std::move(resolver)) {
  fProcessThread->SetOnTerminate([this] { fEvents.Wake(); });
  StartThread();
}

TVexlinConnection_TcpClient::~TVexlinConnection_TcpClient() {
  InternalClose();
  StopThread();
}

QString TVexlinConnection_TcpClient::GetSettings(const QString &name) const {
  const QString key = SettingKey(name);
  std::lock_guard lock(fSettingsLock);
  if (key == QLatin1String("HOST"))
    return QString::fromLatin1(fHost);
  if (key == QLatin1String("PORT"))
    return QString::number(fPort);
  if (key == QLatin1String("IPV"))
    return fIpV6 ? QStringLiteral("6") : QStringLiteral("4");
  return {};
}

void TVexlinConnection_TcpClient::SetSettings(const QString &name, const QString &value) {
  const QString key = SettingKey(name);
  if (key == QLatin1String("HOST")) {
    std::lock_guard lock(fSettingsLock);
    fHost = value.toLatin1();
  } else if (key == QLatin1String("PORT")) {
    const uint16_t port = PortSetting(value);
    std::lock_guard lock(fSettingsLock);
    fPort = port;
  } else if (key == QLatin1String("IPV")) {
    std::lock_guard lock(fSettingsLock);
    fIpV6 = value == QLatin1String("6");
  }
}

QString TVexlinConnection_TcpClient::GetDescription() const {
  return kTcpClientDescription;
}

QString TVexlinConnection_TcpClient::GetStrSettings() const {
  std::lock_guard lock(fSettingsLock);
  return QString::fromLatin1(fHost) + QLatin1Char(':') + QString::number(fPort);
}

bool TVexlinConnection_TcpClient::InternalOpen() {
  fEvents.Reset(kWantDisconnect);
  fEvents.Set(kWantConnect);
  return true;
}

bool TVexlinConnection_TcpClient::InternalClose() {
  fEvents.Reset(kWantConnect);
  const TVexlinConnectionStatus status = Status();
  if (status == tcsConnecting || status == tcsConnect)
    SetStatus(tcsDisconnecting, QStringLiteral("Disconnecting."));
  fEvents.Set(kWantDisconnect);
  return true;
}

void TVexlinConnection_TcpClient::Send(const QByteArray &aData) {
  if (aData.isEmpty())
    return;
  try {
    fSendQueue.Push(aData, [this] { fEvents.Set(kWantSendData); });
  } catch (const std::exception &error) {
    SetStatus(tcsError, QueuedSendErrorText(ExceptionText(error)));
  }
}

bool TVexlinConnection_TcpClient::ClientConnected() const {
  return fTcpClient && fTcpClient->state() == QAbstractSocket::ConnectedState;
}

bool TVexlinConnection_TcpClient::WaitingData() {
  return fTcpClient && fTcpClient->bytesAvailable() > 0;
}

bool TVexlinConnection_TcpClient::Read(QByteArray &aBuffer) {
  if (!fTcpClient)
    return false;
  const qint64 waiting = fTcpClient->bytesAvailable();
  if (waiting <= 0)
    return false;
  // Straight into the caller's buffer, whose room is reused between reads.
  const qsizetype at = aBuffer.size();
  aBuffer.resize(at + waiting);
  const qint64 got = fTcpClient->read(aBuffer.data() + at, waiting);
  aBuffer.resize(at + qMax<qint64>(got, 0));
  if (got <= 0) {
    SetStatus(tcsError, SocketFailureText(*fTcpClient));
    return false;
  }
  return true;
}

void TVexlinConnection_TcpClient::Process(TProcessThread &thread) {
  while (!thread.Terminated()) {
    try {
      while (!thread.Terminated()) {
        const int request = fEvents.Take();
        switch (request) {
        case kWantDisconnect:
          fEvents.Reset(kWantDisconnect);
          DisconnectClient();
          break;
        case kWantConnect:
          fEvents.Reset(kWantConnect);
          ConnectClient(thread);
          thread.SleepUnlessTerminated(1);
          break;
        case kWantSendData:
          SendQueued();
          break;
        default:
          break;
        }
        PollClient(thread, request < 0);
      }
    } catch (const std::exception &error) {
      SetStatus(tcsError, ExceptionText(error));
    }
    fEvents.Reset(kWantConnect);
    fEvents.Reset(kWantDisconnect);
    SetStatus(tcsDisconnect);
    fTcpClient.reset();
  }
}

bool TVexlinConnection_TcpClient::Cancelled(const TProcessThread &thread) const {
  return thread.Terminated() || fEvents.IsSet(kWantDisconnect);
}

std::optional<QHostAddress> TVexlinConnection_TcpClient::LookUp(TProcessThread &thread,
                                                                const QString &host, bool ipv6) {
  const auto lookup = TPendingLookup::Start(*fResolver, host, [this] { fEvents.Wake(); });
  while (!lookup->Done()) {
    if (Cancelled(thread)) {
      lookup->Abandon();
      return std::nullopt;
    }
    fEvents.Wait(-1, 0, -1);
  }
  return TcpConnector::PickAddress(lookup->Result(), host, ipv6);
}

void TVexlinConnection_TcpClient::ConnectClient(TProcessThread &thread) {
  if (ClientConnected())
    return;
  if (!fTcpClient)
    fTcpClient = std::make_unique<QTcpSocket>();
  QString host;
  quint16 port = 0;
  bool ipv6 = false;
  {
    std::lock_guard lock(fSettingsLock);
    host = QString::fromLatin1(fHost);
    port = fPort;
    ipv6 = fIpV6;
  }
  SetStatus(tcsUnknown, ResolvingText(host));
  const std::optional<QHostAddress> address = LookUp(thread, host, ipv6);
  qintptr fd = -1;
  if (address) {
    SetStatus(tcsConnecting, QStringLiteral("Connecting to %1.").arg(address->toString()));
    fd = TcpConnector::Connect(
        *address, port, fConnectTimeoutMs,
        [this](int socket, short events, int ms) { return fEvents.Wait(socket, events, ms); },
        [&] { return Cancelled(thread); });
  }
  if (fd < 0) { // cancelled by a disconnect request or by termination
    SetStatus(tcsDisconnect, QStringLiteral("Disconnected."));
    return;
  }
  if (!fTcpClient->setSocketDescriptor(fd)) {
    ::close(static_cast<int>(fd));
    throw EPtError(fTcpClient->errorString());
  }
  fPeerError = 0;
  fTcpClient->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // Room for what arrives during the 1 ms pause after each announcement.
  fTcpClient->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
  SetStatus(tcsConnect, QStringLiteral("Connected."));
}

void TVexlinConnection_TcpClient::DisconnectClient() {
  if (!ClientConnected())
    return;
  SetStatus(tcsDisconnecting, QStringLiteral("Disconnecting."));
  fTcpClient->disconnectFromHost();
  if (fTcpClient->state() != QAbstractSocket::UnconnectedState)
    fTcpClient->waitForDisconnected(1000);
  fTcpClient->abort();
  SetStatus(tcsDisconnect, QStringLiteral("Disconnected."));
}

void TVexlinConnection_TcpClient::SendQueued() {
  while (std::unique_ptr<TDataRec> record = fSendQueue.Take()) {
    if (!ClientConnected()) {
      SetStatus(tcsError, QueuedSendErrorText(NotConnectedText(record->len)));
      continue;
    }
    if (fTcpClient->write(record->data.get(), record->len) != record->len) {
      SetStatus(tcsError, QueuedSendErrorText(SocketFailureText(*fTcpClient)));
      continue;
    }
    fTcpClient->flush();
  }
}

void TVexlinConnection_TcpClient::PollClient(TProcessThread &thread, bool block) {
  if (fTcpClient && fTcpClient->bytesAvailable() > 0) {
    SetStatus(tcsRxData, kNewDataText);
    // A short pause lets a stream gather into fewer, larger announcements.
    thread.SleepUnlessTerminated(1);
    return;
  }
  // The check for disconnect: the peer closed and nothing received is left.
  if (fTcpClient && fTcpClient->state() != QAbstractSocket::ConnectedState &&
      Status() == tcsConnect)
    throw EPtError(fPeerError != 0 ? SocketFailureText(fPeerError)
                                   : SocketFailureText(*fTcpClient));
  if (!ClientConnected()) {
    fEvents.Wait(-1, 0, block ? -1 : 0);
    return;
  }
  const bool writing = fTcpClient->bytesToWrite() > 0;
  const short events = static_cast<short>(POLLIN | POLLRDHUP | (writing ? POLLOUT : 0));
  const int fd = static_cast<int>(fTcpClient->socketDescriptor());
  if (!fEvents.Wait(fd, events, block ? -1 : 0))
    return;
  // The socket library reports a reset as an ordinary close; the kernel's
  // pending error still tells them apart. Bytes received before the reset
  // are read first, then the close reports this reason.
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0)
    fPeerError = error;
  if (writing)
    fTcpClient->flush();
  // Moves what came (or the news of a close) into the socket object; the
  // next pass announces it or reports the close.
  fTcpClient->waitForReadyRead(0);
}
