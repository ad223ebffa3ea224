#include "app/ipc.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>
#include <unistd.h>

namespace {

// Larger blocks are refused: nobody injects 64 MiB by hand, and a stray
// client must not make us allocate gigabytes.
constexpr quint32 kMaxBlock = 64u << 20;

} // namespace

TPtIpcServer::TPtIpcServer(QObject *parent) : QObject(parent), fServer(new QLocalServer(this)) {
  fServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(fServer, &QLocalServer::newConnection, this, &TPtIpcServer::OnNewConnection);
}

TPtIpcServer::~TPtIpcServer() = default;

QString TPtIpcServer::ServerName() {
  return QStringLiteral("pelmarterm-%1").arg(static_cast<qulonglong>(getuid()));
}

bool TPtIpcServer::Listen(QString *error) {
  // A socket file left by a crashed instance answers nobody; remove it.
  QLocalSocket probe;
  probe.connectToServer(ServerName());
  if (probe.waitForConnected(300)) {
    if (error)
      *error = QStringLiteral("another instance is running");
    return false;
  }
  QLocalServer::removeServer(ServerName());
  if (!fServer->listen(ServerName())) {
    if (error)
      *error = fServer->errorString();
    return false;
  }
  return true;
}

void TPtIpcServer::OnNewConnection() {
  while (QLocalSocket *socket = fServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadBlocks(socket); });
    // A client that writes and hangs up at once leaves its bytes behind.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      ReadBlocks(socket);
      socket->deleteLater();
    });
    ReadBlocks(socket);
  }
}

void TPtIpcServer::ReadBlocks(QLocalSocket *socket) {
  // Take every complete block; a partial one waits for more bytes.
  while (socket->bytesAvailable() >= 4) {
    char head[4];
    socket->peek(head, 4);
    const quint32 size = qFromBigEndian<quint32>(head);
    if (size > kMaxBlock) {
      socket->abort();
      return;
    }
    if (socket->bytesAvailable() < 4 + static_cast<qint64>(size))
      return;
    socket->skip(4);
    const QByteArray block = socket->read(size);
    if (!block.isEmpty())
      emit blockReceived(block);
  }
}

bool TPtIpcServer::SendBlock(const QByteArray &block, QString *error, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  if (!socket.waitForConnected(timeoutMs)) {
    if (error)
      *error = QStringLiteral("no running Pelmar Terminal found (%1)").arg(socket.errorString());
    return false;
  }
  char head[4];
  qToBigEndian<quint32>(static_cast<quint32>(block.size()), head);
  socket.write(head, 4);
  socket.write(block);
  if (!socket.waitForBytesWritten(timeoutMs)) {
    if (error)
      *error = socket.errorString();
    return false;
  }
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState)
    socket.waitForDisconnected(timeoutMs);
  return true;
}
