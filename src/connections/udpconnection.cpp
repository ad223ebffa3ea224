#include "connections/udpconnection.h"

#include "base/pterror.h"
#include "connections/connectiontexts.h"
#include "connections/settingvalues.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

// IPv4 senders on a dual-stack socket arrive as ::ffff:a.b.c.d.
QByteArray SenderSignature(const QHostAddress &sender) {
  bool isV4 = false;
  const quint32 v4 = sender.toIPv4Address(&isV4);
  return (isV4 ? QHostAddress(v4) : sender).toString().toLatin1();
}

QHostAddress RemoteAddress(const QString &host) {
  QHostAddress address;
  if (address.setAddress(host))
    return address;
  const QHostInfo info = QHostInfo::fromName(host);
  if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
    throw EPtError(info.errorString());
  return info.addresses().first();
}

} // namespace

TVexlinConnection_Udp::TVexlinConnection_Udp() : fUdpClient(std::make_unique<QUdpSocket>()) {
  QObject::connect(fUdpClient.get(), &QUdpSocket::readyRead, fUdpClient.get(),
                   [this] { ReadDatagrams(); });
  StartThread();
}

TVexlinConnection_Udp::~TVexlinConnection_Udp() {
  StopThread();
  fUdpClient->close();
}

void TVexlinConnection_Udp::SetSettings(const QString &name, const QString &value) {
  const QString key = SettingKey(name);
  if (key == QLatin1String("HOST"))
    fHost = value;
  else if (key == QLatin1String("PORT_LISTEN"))
    fPortListen = PortSetting(value);
  else if (key == QLatin1String("PORT_REMOTE"))
    fPortRemote = DecimalSetting(value);
  else if (key == QLatin1String("PORT_SOURCE"))
    fPortSource = DecimalSetting(value);
}

QString TVexlinConnection_Udp::GetDescription() const {
  return kUdpDescription;
}

QString TVexlinConnection_Udp::GetStrSettings() const {
  return QStringLiteral("port: ") + QString::number(fPortListen);
}

quint16 TVexlinConnection_Udp::LocalPort() const {
  return fUdpClient->localPort();
}

bool TVexlinConnection_Udp::InternalOpen() {
  SetStatus(tcsConnecting);
  if (!fUdpClient->bind(QHostAddress::Any, fPortListen))
    throw EPtError(fUdpClient->errorString());
  if (fUdpClient->writeDatagram(DiscoveryQuery(), fDiscovery.address, fDiscovery.port) < 0)
    SetStatus(tcsStatusText, QStringLiteral("status text: ") + fUdpClient->errorString());
  return true;
}

bool TVexlinConnection_Udp::InternalClose() {
  // A start that failed to bind still left "connecting" behind: it closes too.
  const TVexlinConnectionStatus status = Status();
  if (status == tcsConnecting || status == tcsConnect) {
    SetStatus(tcsDisconnecting);
    fUdpClient->close();
    SetStatus(tcsDisconnect);
  }
  return false;
}

void TVexlinConnection_Udp::Send(const QByteArray &aData) {
  if (fPortRemote < 0 || fPortRemote > 65535)
    throw EPtError(QStringLiteral("Port %1 is out of range 0 to 65535").arg(fPortRemote));
  const QHostAddress address = RemoteAddress(fHost);
  if (fUdpClient->writeDatagram(aData, address, static_cast<quint16>(fPortRemote)) < 0)
    throw EPtError(fUdpClient->errorString());
}

bool TVexlinConnection_Udp::WaitingData() {
  return !fBuffer.isEmpty();
}

bool TVexlinConnection_Udp::Read(QByteArray &aBuffer) {
  aBuffer.append(fBuffer);
  fBuffer.clear();
  return true;
}

void TVexlinConnection_Udp::ReadDatagrams() {
  while (fUdpClient->hasPendingDatagrams()) {
    const QNetworkDatagram datagram = fUdpClient->receiveDatagram();
    if (!datagram.isValid())
      break;
    SetStatus(tcsRxData, kNewDataText, SenderSignature(datagram.senderAddress()), datagram.data());
  }
}

void TVexlinConnection_Udp::Process(TProcessThread &thread) {
  // Nothing to do: reception runs on the UI thread.
  while (!thread.SleepUnlessTerminated(100)) {
  }
}
