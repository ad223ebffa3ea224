#pragma once

// Serial-to-Ethernet modules played on loopback: they answer the discovery
// query (each from an address of its own, when asked to) and serve their
// setup port with the banner a test wants. Header-only, so the benchmark of
// the search uses the same modules.
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <functional>

class TFakeModules : public QObject {
public:
  enum class TBanner {
    Markers,     // option requests, then a banner with the identification between markers
    NoMarkers,   // a banner of 40 bytes without markers
    Short,       // 4 bytes, no markers, then hangs up
    Silent,      // accepts and says nothing
    Split,       // the identification in two reads, 50 ms apart
    Flood,       // sends without end and never the markers
    OptionStorm, // telnet option requests without end, never a data byte
    RandomFlood, // random bytes without end (telnet commands among them)
  };

  // Modules at 127.0.1.1, 127.0.1.2, … (or all at 127.0.0.1 when `count`
  // is 1 and `ownAddresses` is false).
  TFakeModules(int count, TBanner banner, int answerDelayMs = 0, bool ownAddresses = true)
      : fCount(count), fBanner(banner), fAnswerDelayMs(answerDelayMs), fOwnAddresses(ownAddresses) {
    fQuery.bind(QHostAddress::AnyIPv4, 0);
    QObject::connect(&fQuery, &QUdpSocket::readyRead, this, [this] { OnQuery(); });
    fTelnet.listen(QHostAddress::AnyIPv4, 0);
    QObject::connect(&fTelnet, &QTcpServer::newConnection, this, [this] { OnConnection(); });
  }

  quint16 QueryPort() const { return fQuery.localPort(); }
  quint16 TelnetPort() const { return fTelnet.serverPort(); }
  QHostAddress Address(int i) const {
    return fOwnAddresses ? QHostAddress((127u << 24) | (1u << 8) | static_cast<quint32>(i + 1))
                         : QHostAddress(QHostAddress::LocalHost);
  }
  static QString Mac(int i) {
    return QStringLiteral("00:20:4A:%1:%2:00")
        .arg(i >> 8, 2, 16, QLatin1Char('0'))
        .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
  }
  static QString Identification(int i) { return QStringLiteral("XPort-%1").arg(i); }
  int Connections() const { return fConnections; }
  // What the modules received on their setup port, all connections together.
  QByteArray Received() const { return fReceived; }
  // Extra datagrams (foreign, short, oversize) sent before the answers.
  std::function<void(QUdpSocket &, const QHostAddress &, quint16)> BeforeAnswers;

private:
  void OnQuery() {
    while (fQuery.hasPendingDatagrams()) {
      const QNetworkDatagram query = fQuery.receiveDatagram();
      if (query.data() != QByteArray("\x00\x00\x00\xF6", 4))
        continue;
      const QHostAddress to = query.senderAddress();
      const quint16 port = static_cast<quint16>(query.senderPort());
      if (BeforeAnswers)
        BeforeAnswers(fQuery, to, port);
      // Fifty answers a millisecond: a crowd, but not more than a socket's
      // receive buffer holds.
      for (int first = 0; first < fCount; first += 50)
        QTimer::singleShot(fAnswerDelayMs + first / 50, this, [this, first, to, port] {
          for (int i = first; i < std::min(fCount, first + 50); ++i)
            Answer(i, to, port);
        });
    }
  }

  void Answer(int i, const QHostAddress &to, quint16 port) {
    QByteArray answer(30, '\0');
    answer[3] = char(0xF7);
    const QByteArray mac = QByteArray::fromHex(Mac(i).remove(u':').toLatin1());
    answer.replace(24, 6, mac);
    // Sent from the module's own address, as the search learns it from there.
    QUdpSocket from;
    if (from.bind(Address(i), 0))
      from.writeDatagram(answer, to, port);
  }

  int ModuleOf(const QHostAddress &local) const {
    return fOwnAddresses ? static_cast<int>((local.toIPv4Address() & 0xFFFF) - (1u << 8) - 1) : 0;
  }

  void OnConnection() {
    while (QTcpSocket *socket = fTelnet.nextPendingConnection()) {
      ++fConnections;
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QTcpSocket::readyRead, socket,
                       [this, socket] { fReceived += socket->readAll(); });
      // The module takes as long to greet as to answer the query.
      QTimer::singleShot(fAnswerDelayMs, socket, [this, socket] { Greet(socket); });
    }
  }

  void Greet(QTcpSocket *socket) {
    const QString id = Identification(ModuleOf(socket->localAddress()));
    const QByteArray banner = "MAC address 00204A000000\r\nSoftware version V6.6\r\n**** " +
                              id.toLatin1() + " ****\r\nPress Enter for Setup Mode\r\n";
    switch (fBanner) {
    case TBanner::Markers:
      // Asks for echo and terminal type: both must be refused.
      socket->write(QByteArray("\xFF\xFD\x01\xFF\xFB\x18", 6) + banner);
      break;
    case TBanner::NoMarkers:
      socket->write("*** Lantronix Device Server ***\r\n  V6.6\r\n");
      break;
    case TBanner::Short:
      socket->write("0123");
      socket->disconnectFromHost();
      break;
    case TBanner::Silent:
      break;
    case TBanner::Split: {
      const qsizetype half = banner.indexOf("****") + 8;
      socket->write(banner.left(half));
      socket->flush();
      QTimer::singleShot(50, socket, [socket, rest = banner.mid(half)] { socket->write(rest); });
      break;
    }
    case TBanner::Flood:
      Flood(socket, QByteArray(65536, 'x'));
      break;
    case TBanner::OptionStorm: {
      // DO and WILL for every option in turn: each is refused once, after
      // that the requests are only noise to wade through.
      QByteArray storm;
      for (int i = 0; storm.size() < 65536; ++i)
        storm.append(char(0xFF)).append(char(i % 2 ? 0xFB : 0xFD)).append(char((i / 2) & 0xFF));
      Flood(socket, storm);
      break;
    }
    case TBanner::RandomFlood: {
      QByteArray noise(65536, '\0');
      QRandomGenerator generator(22);
      generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
      Flood(socket, noise);
      break;
    }
    }
  }

  // Keeps sending `chunk` for as long as the peer reads.
  static void Flood(QTcpSocket *socket, const QByteArray &chunk) {
    auto *timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, chunk] {
      if (socket->bytesToWrite() < (1 << 20))
        socket->write(chunk);
    });
    timer->start(1);
  }

  const int fCount;
  const TBanner fBanner;
  const int fAnswerDelayMs;
  const bool fOwnAddresses;
  QUdpSocket fQuery;
  QTcpServer fTelnet;
  int fConnections = 0;
  QByteArray fReceived;
};
