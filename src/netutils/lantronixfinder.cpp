#include "netutils/lantronixfinder.h"

#include "netutils/lantronixprotocol.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QVariant>

TLantronixFinder::TLantronixFinder(const TDiscoveryTarget &target, const TIdentifyOptions &options,
                                   QObject *parent)
    : QObject(parent), fTarget(target), fIdentifier([&] {
        TIdentifyOptions withPort = options;
        withPort.port = target.telnetPort;
        return withPort;
      }()) {
  connect(&fIdentifier, &TModuleIdentifier::infoChanged, this, &TLantronixFinder::OnInfo);
  connect(&fIdentifier, &TModuleIdentifier::finished, this, &TLantronixFinder::OnFinished);
}

TLantronixFinder::~TLantronixFinder() {
  // Rows may outlive the finder; their queries end with it.
  for (auto &[id, item] : fItems) {
    item->fCancelQuery = nullptr;
    item->TR = 0;
  }
}

bool TLantronixFinder::Start(QString *error) {
  Close();
  fAnswers = 0;
  fUdpShutDown = QDeadlineTimer(fListenMs);
  auto *socket = new QUdpSocket(this);
  // Not shared: a port another program holds is reported, not half used.
  const bool opened = socket->bind(QHostAddress::AnyIPv4, fTarget.listenPort);
  // Port 0 takes whichever is free: the one it got is the one to name.
  fListenPort = opened ? socket->localPort() : fTarget.listenPort;
  if (!opened || socket->writeDatagram(DiscoveryQuery(), fTarget.address, fTarget.port) != 4) {
    if (error)
      *error = socket->errorString();
    delete socket;
    return false;
  }
  // Hundreds of modules answer at the same moment.
  socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(1 << 20));
  udpServerLantronix = socket;
  connect(socket, &QUdpSocket::readyRead, this, &TLantronixFinder::udpServerLantronixUDPRead);
  return true;
}

bool TLantronixFinder::CloseWhenDue() {
  if (!Active() || !fUdpShutDown.hasExpired())
    return false;
  Close();
  return true;
}

void TLantronixFinder::Close() {
  delete udpServerLantronix;
  udpServerLantronix = nullptr;
}

void TLantronixFinder::udpServerLantronixUDPRead() {
  while (udpServerLantronix && udpServerLantronix->hasPendingDatagrams()) {
    // Read one byte more than an answer may have, to know it was larger.
    const QNetworkDatagram datagram =
        udpServerLantronix->receiveDatagram(kDiscoveryAnswerMaxSize + 1);
    const std::optional<QString> mac = DiscoveryAnswerMac(datagram.data());
    if (!mac || fAnswers >= kMaxAnswersPerSearch)
      continue;
    ++fAnswers;
    QHostAddress sender = datagram.senderAddress();
    bool isV4 = false;
    const quint32 v4 = sender.toIPv4Address(&isV4);
    const QString ip = isV4 ? QHostAddress(v4).toString() : sender.toString();
    auto *item = new TVexlinDataLantronixScanItem(ip, *mac, Links);
    const quint64 id = fIdentifier.Enqueue(QHostAddress(ip));
    item->TR = id;
    fItems.emplace(id, item);
    item->fCancelQuery = [this, id] {
      fItems.erase(id);
      fIdentifier.Cancel(id);
    };
    emit moduleFound(item);
  }
}

void TLantronixFinder::OnInfo(quint64 id, const QString &info, quint32 telnetRcv) {
  auto it = fItems.find(id);
  if (it == fItems.end())
    return;
  it->second->Info = info;
  it->second->TelnetRcv = telnetRcv;
  it->second->Invalidate();
}

void TLantronixFinder::OnFinished(quint64 id) {
  auto it = fItems.find(id);
  if (it == fItems.end())
    return;
  it->second->TR = 0;
  it->second->fCancelQuery = nullptr;
  fItems.erase(it);
}
