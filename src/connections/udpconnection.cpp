#include "connections/udpconnection.h"

#include "base/pterror.h"
#include "connections/connectiontexts.h"
#include "connections/settingvalues.h"

#include <QObject>
#include <QTimer>

namespace {

// IPv4 senders on a dual-stack socket arrive as ::ffff:a.b.c.d.
QByteArray SenderSignature(const QHostAddress &sender) {
  bool isV4 = false;
  const quint32 v4 = sender.toIPv4Address(&isV4);
  return (isV4 ? QHostAddress(v4) : sender).toString().toLatin1();
}

} // namespace

TVexlinConnection_Udp::TVexlinConnection_Udp(std::shared_ptr<THostResolver> resolver)
    : fResolver(std::move(resolver)), fContext(std::make_unique<QObject>()),
      fDropTimer(std::make_unique<QTimer>()) {
  fUdpClient.OnDatagram = [this](const QByteArray &data, const QHostAddress &sender) {
    SetStatus(tcsRxData, kNewDataText, SenderSignature(sender), data);
  };
  fUdpClient.OnDropped = [this] {
    if (!fDropTimer->isActive()) {
      ReportDropped();
      fDropTimer->start();
    }
  };
  fDropTimer->setInterval(kDropReportMs);
  QObject::connect(fDropTimer.get(), &QTimer::timeout, fContext.get(), [this] {
    if (fUdpClient.Dropped() == fDropReported)
      fDropTimer->stop(); // the flood is over: no more wake-ups
    else
      ReportDropped();
  });
  StartThread();
}

TVexlinConnection_Udp::~TVexlinConnection_Udp() {
  StopThread();
  if (fLookup)
    fLookup->Abandon();
  fUdpClient.Close();
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
  return fUdpClient.LocalPort();
}

bool TVexlinConnection_Udp::InternalOpen() {
  SetStatus(tcsConnecting);
  fUdpClient.Bind(fPortListen);
  StartLookup();
  try {
    fUdpClient.SendTo(DiscoveryQuery(), fDiscovery.address, fDiscovery.port);
  } catch (const std::exception &error) {
    SetStatus(tcsStatusText, QStringLiteral("status text: ") + ExceptionText(error));
  }
  return true;
}

bool TVexlinConnection_Udp::InternalClose() {
  // A start that failed to bind still left "connecting" behind: it closes too.
  const TVexlinConnectionStatus status = Status();
  if (status == tcsConnecting || status == tcsConnect) {
    SetStatus(tcsDisconnecting);
    fUdpClient.Close();
    fDropTimer->stop();
    SetStatus(tcsDisconnect);
  }
  return false;
}

void TVexlinConnection_Udp::StartLookup() {
  if (fLookup)
    return;
  // The answer may come on any thread; the waiting datagrams go out on this one.
  QObject *context = fContext.get();
  fLookup = TPendingLookup::Start(*fResolver, fHost, [this, context] {
    QMetaObject::invokeMethod(
        context, [this] { SendWaiting(); }, Qt::QueuedConnection);
  });
}

void TVexlinConnection_Udp::Send(const QByteArray &aData) {
  if (fPortRemote < 0 || fPortRemote > 65535)
    throw EPtError(QStringLiteral("Port %1 is out of range 0 to 65535").arg(fPortRemote));
  StartLookup();
  if (fLookup->Done() && fWaitingSends.empty()) {
    SendNow(aData);
    return;
  }
  if (fWaitingSends.size() >= kMaxWaitingSends)
    throw EPtError(
        QStringLiteral("Host %1 is still being looked up; datagram not sent").arg(fHost));
  fWaitingSends.push_back(aData);
}

void TVexlinConnection_Udp::SendNow(const QByteArray &aData) {
  const TLookupResult found = fLookup->Result();
  if (found.addresses.isEmpty())
    throw EPtError(found.error);
  fUdpClient.SendTo(aData, found.addresses.first(), static_cast<quint16>(fPortRemote));
}

void TVexlinConnection_Udp::SendWaiting() {
  std::vector<QByteArray> waiting;
  waiting.swap(fWaitingSends);
  for (const QByteArray &data : waiting) {
    try {
      SendNow(data);
    } catch (const std::exception &error) {
      SetStatus(tcsError, ExceptionText(error));
      return; // the reason is the same for the rest
    }
  }
}

void TVexlinConnection_Udp::ReportDropped() {
  const uint32_t dropped = fUdpClient.Dropped() - fDropReported;
  fDropReported = fUdpClient.Dropped();
  SetStatus(tcsWarning,
            QStringLiteral("%1 datagrams lost: the system's receive buffer was full").arg(dropped));
}

bool TVexlinConnection_Udp::WaitingData() {
  return !fBuffer.isEmpty();
}

bool TVexlinConnection_Udp::Read(QByteArray &aBuffer) {
  aBuffer.append(fBuffer);
  fBuffer.clear();
  return true;
}

void TVexlinConnection_Udp::Process(TProcessThread &thread) {
  // Nothing to do: reception runs on the UI thread.
  thread.WaitUntilTerminated();
}
