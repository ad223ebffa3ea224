#include "app/ipc.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kWatchIntervalMs = 1000;
constexpr int kRetryPauseMs = 20;
constexpr int kBacklog = 256;
constexpr int kProbeMs = 300;
const char *const kSocketFile = "/pelmarterm.sock";
constexpr char kReceipt = '\x06';

bool IsOperation(char byte) {
  return byte == static_cast<char>(TIpcOperation::Send) ||
         byte == static_cast<char>(TIpcOperation::Receive);
}

bool Fail(QString *error, const QString &text) {
  if (error)
    *error = text;
  return false;
}

} // namespace

bool IsPrivateFolder(const QString &path, uid_t uid, QString *error) {
  struct stat st {};
  // lstat: a link to a folder of ours is as good as anybody's folder.
  if (lstat(QFile::encodeName(path).constData(), &st) != 0)
    return Fail(
        error,
        QStringLiteral("\"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
  if (!S_ISDIR(st.st_mode))
    return Fail(error, QStringLiteral("\"%1\" is not a folder").arg(path));
  if (st.st_uid != uid)
    return Fail(error, QStringLiteral("\"%1\" belongs to another user").arg(path));
  if ((st.st_mode & 077) != 0)
    return Fail(error, QStringLiteral("\"%1\" is open to other users (mode %2)")
                           .arg(path)
                           .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0')));
  return true;
}

QString PrivateRuntimeFolder(uid_t uid, bool create, QString *error) {
  // The session's own folder when there is one; it is not ours to make.
  if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR"); !runtime.isEmpty())
    return IsPrivateFolder(runtime, uid, error) ? runtime : QString();
  const QString folder =
      QDir::tempPath() + QStringLiteral("/pelmarterm-%1").arg(static_cast<qulonglong>(uid));
  // An existing folder is checked, never trusted or changed.
  if (create && mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
    Fail(error,
         QStringLiteral("\"%1\": %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    return {};
  }
  return IsPrivateFolder(folder, uid, error) ? folder : QString();
}

bool PeerRunsAs(qintptr fd, uid_t uid) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  return getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         size == sizeof peer && peer.uid == uid;
}

TPtIpcServer::TPtIpcServer(QObject *parent)
    : QObject(parent), fServer(new QLocalServer(this)), fWatch(new QTimer(this)),
      fExpectedUid(getuid()) {
  fServer->setSocketOptions(QLocalServer::UserAccessOption);
  // A crowd of clients waits in the system's queue rather than spinning on
  // a refused connect; the ones beyond our places are closed at once and
  // retry, so they never hold more than a few of our files.
  fServer->setListenBacklogSize(kBacklog);
  connect(fServer, &QLocalServer::newConnection, this, &TPtIpcServer::TakeConnections);
  // The server closes itself on an accept error (out of files, ...) and
  // says nothing: look now and then, and listen again.
  fWatch->setInterval(kWatchIntervalMs);
  connect(fWatch, &QTimer::timeout, this, &TPtIpcServer::CheckListening);
}

TPtIpcServer::~TPtIpcServer() = default;

QString TPtIpcServer::ServerName(QString *error, bool create) {
  const QString folder = PrivateRuntimeFolder(getuid(), create, error);
  return folder.isEmpty() ? QString() : folder + QLatin1String(kSocketFile);
}

bool TPtIpcServer::IsListening() const {
  return fServer->isListening();
}

void TPtIpcServer::SetWatchInterval(int ms) {
  fWatch->setInterval(ms);
}

bool TPtIpcServer::Listen(QString *error) {
  const QString path = ServerName(error, true);
  if (path.isEmpty())
    return false;
  struct stat st {};
  if (lstat(QFile::encodeName(path).constData(), &st) == 0) {
    // Someone else's file is neither removed nor answered.
    if (st.st_uid != getuid())
      return Fail(error, QStringLiteral("\"%1\" belongs to another user").arg(path));
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kProbeMs))
      return Fail(error, QStringLiteral("another instance is running"));
    // Left by an instance that crashed: it answers nobody.
    QFile::remove(path);
  }
  if (!fServer->listen(path))
    return Fail(error, fServer->errorString());
  fWanted = true;
  fWatch->start();
  return true;
}

void TPtIpcServer::CheckListening() {
  if (!fWanted)
    return;
  QString reason;
  if (fServer->isListening()) {
    // A listening server whose file was removed (a cleaner of the runtime
    // folder) is as dead as a closed one.
    struct stat st {};
    if (lstat(QFile::encodeName(fServer->fullServerName()).constData(), &st) == 0 &&
        S_ISSOCK(st.st_mode) && st.st_uid == getuid())
      return;
    reason = QStringLiteral("its file was removed");
    fServer->close();
  } else {
    reason = fServer->errorString();
  }
  QString error;
  if (Listen(&error)) {
    fFailureReported = false;
    emit problem(QStringLiteral("The injection socket stopped (%1); it listens again").arg(reason));
    return;
  }
  // Said once; the watch keeps trying quietly.
  if (fFailureReported)
    return;
  fFailureReported = true;
  emit problem(QStringLiteral("The injection socket stopped (%1) and cannot listen again: %2")
                   .arg(reason, error));
}

void TPtIpcServer::TakeConnections() {
  while (QLocalSocket *socket = fServer->nextPendingConnection()) {
    // Beyond the limit, and for another user, the connection closes unread:
    // a client of ours gets no receipt and tries again.
    if (fClients.size() >= kMaxClients || !PeerRunsAs(socket->socketDescriptor(), fExpectedUid)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    fClients.insert(socket);
    // One block and its header at most: a partial block never grows past it.
    socket->setReadBufferSize(kHeaderSize + kMaxBlock);
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(fIdleTimeoutMs);
    connect(idle, &QTimer::timeout, this, [this, socket] { Drop(socket); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] {
      idle->start();
      ReadBlocks(socket);
    });
    // A client that writes and hangs up at once leaves its bytes behind.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      ReadBlocks(socket);
      Drop(socket);
    });
    idle->start();
    ReadBlocks(socket);
  }
}

void TPtIpcServer::Drop(QLocalSocket *socket) {
  if (!fClients.remove(socket))
    return;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void TPtIpcServer::ReadBlocks(QLocalSocket *socket) {
  // Take every complete block; a partial one waits for more bytes.
  while (fClients.contains(socket) && socket->bytesAvailable() >= kHeaderSize) {
    char head[kHeaderSize];
    socket->peek(head, kHeaderSize);
    const quint32 size = qFromBigEndian<quint32>(head + 1);
    // An unknown operation (a client of another framing) gets no receipt.
    if (!IsOperation(head[0]) || size > kMaxBlock) {
      Drop(socket);
      return;
    }
    if (socket->bytesAvailable() < kHeaderSize + static_cast<qint64>(size))
      return;
    socket->skip(kHeaderSize);
    const QByteArray bytes = socket->read(size);
    if (!bytes.isEmpty())
      emit blockReceived(static_cast<TIpcOperation>(head[0]), bytes);
    // The receipt: only now may the client say the block was delivered.
    socket->write(&kReceipt, 1);
  }
}

bool TPtIpcServer::SendBlock(TIpcOperation operation, const QByteArray &bytes, QString *error,
                             int timeoutMs) {
  if (static_cast<quint64>(bytes.size()) > kMaxBlock)
    return Fail(error, QStringLiteral("a block holds at most %1 bytes").arg(kMaxBlock));
  QString folderError;
  const QString path = ServerName(&folderError);
  if (path.isEmpty())
    return Fail(error, QStringLiteral("no running Pelmar Terminal found (%1)").arg(folderError));
  const QDeadlineTimer deadline(timeoutMs);
  const auto remaining = [&] {
    return static_cast<int>(qMax<qint64>(1, deadline.remainingTime()));
  };
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(remaining())) {
      // Only a program of our own user gets the bytes.
      if (!PeerRunsAs(socket.socketDescriptor(), getuid()))
        return Fail(error,
                    QStringLiteral("\"%1\" is answered by another user's program").arg(path));
      char head[kHeaderSize];
      head[0] = static_cast<char>(operation);
      qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), head + 1);
      socket.write(head, kHeaderSize);
      socket.write(bytes);
      while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(remaining()))
        ;
      while (socket.bytesAvailable() < 1 && socket.waitForReadyRead(remaining()))
        ;
      char receipt = 0;
      if (socket.read(&receipt, 1) == 1 && receipt == kReceipt) {
        socket.disconnectFromServer();
        return true;
      }
    }
    // No socket file: no instance runs, and waiting will not make one.
    const bool none = !QFile::exists(path);
    if (none || deadline.hasExpired())
      return Fail(
          error,
          none ? QStringLiteral("no running Pelmar Terminal found (no socket \"%1\")").arg(path)
               : QStringLiteral("the running Pelmar Terminal did not take the "
                                "block (%1)")
                     .arg(socket.errorString()));
    // A busy instance: all its places are taken for now. Clients that came
    // together spread out.
    QThread::msleep(kRetryPauseMs / 2 + QRandomGenerator::global()->bounded(kRetryPauseMs));
  }
}
