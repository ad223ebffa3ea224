#include "app/ipc.h"

#include <QCryptographicHash>
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
// How long a written block waits for its answer past the client's deadline:
// the window answers a whole block at once and drops a silent client within
// seconds, so only a window that hangs runs into it.
constexpr int kAnswerGraceMs = 5000;
// Retries of a taken block come within a client's deadline; the ids are kept
// far longer, but never without bound.
constexpr qint64 kRememberMs = 10 * 60 * 1000;
constexpr qsizetype kMaxRemembered = 1 << 16;

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
  fClock.start();
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
    // Another user's connection closes unread, and takes nobody's place.
    if (!PeerRunsAs(socket->socketDescriptor(), fExpectedUid)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    // A full house makes room: the longest quiet client goes (a client of
    // ours that had not written yet tries again), so idle connections held
    // by somebody cannot lock real senders out.
    if (fClients.size() >= kMaxClients)
      Drop(LongestQuiet());
    TClient &client = fClients[socket];
    client.quiet.start();
    client.timer = new QTimer(socket);
    client.timer->setSingleShot(true);
    connect(client.timer, &QTimer::timeout, this, [this, socket] { Drop(socket); });
    // One block and its header at most: a partial block never grows past it.
    socket->setReadBufferSize(kHeaderSize + kMaxBlock);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (auto it = fClients.find(socket); it != fClients.end())
        it->quiet.start();
      ReadBlocks(socket);
    });
    // A client that hung up cannot hear a receipt: what it left is not
    // taken, as it will say it was not.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Drop(socket); });
    client.timer->start(fHeaderTimeoutMs);
    ReadBlocks(socket);
  }
}

QLocalSocket *TPtIpcServer::LongestQuiet() const {
  QLocalSocket *longest = nullptr;
  qint64 quiet = -1;
  for (auto it = fClients.cbegin(); it != fClients.cend(); ++it)
    if (it->quiet.elapsed() > quiet) {
      quiet = it->quiet.elapsed();
      longest = it.key();
    }
  return longest;
}

void TPtIpcServer::Drop(QLocalSocket *socket) {
  if (!fClients.remove(socket))
    return;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

// Waiting for a header, the client has a second from the moment the wait
// began, however it drips bytes; inside a block, the idle limit counts from
// its last bytes.
void TPtIpcServer::ArmTimer(QLocalSocket *socket) {
  const auto it = fClients.find(socket);
  if (it == fClients.end())
    return;
  const bool awaitingHeader = socket->bytesAvailable() < kHeaderSize;
  if (!awaitingHeader)
    it->timer->start(fIdleTimeoutMs);
  else if (!it->awaitingHeader)
    it->timer->start(fHeaderTimeoutMs);
  it->awaitingHeader = awaitingHeader;
}

bool TPtIpcServer::Remembers(const QByteArray &id) {
  const qint64 now = fClock.elapsed();
  while (!fTakenOrder.empty() &&
         (now - fTakenOrder.front().first > kRememberMs || fTaken.size() > kMaxRemembered)) {
    fTaken.remove(fTakenOrder.front().second);
    fTakenOrder.pop_front();
  }
  return fTaken.contains(id);
}

void TPtIpcServer::Remember(const QByteArray &id) {
  const qint64 now = fClock.elapsed();
  fTaken.insert(id, now);
  fTakenOrder.emplace_back(now, id);
}

void TPtIpcServer::ReadBlocks(QLocalSocket *socket) {
  // Take every complete block; a partial one waits for more bytes.
  while (fClients.contains(socket) && socket->bytesAvailable() >= kHeaderSize) {
    char head[kHeaderSize];
    socket->peek(head, kHeaderSize);
    const quint32 size = qFromBigEndian<quint32>(head + 1 + kIdSize);
    // An unknown operation (a client of another framing) gets no receipt.
    if (!IsOperation(head[0]) || size > kMaxBlock) {
      Drop(socket);
      return;
    }
    if (socket->bytesAvailable() < kHeaderSize + static_cast<qint64>(size))
      break;
    socket->skip(kHeaderSize);
    const QByteArray bytes = socket->read(size);
    const QByteArray id(head + 1, kIdSize);
    const bool seen = Remembers(id);
    // The receipt goes out first: a client that is gone (its deadline
    // passed) fails to take it and its block is not taken either, so the
    // client's word and the window's agree.
    socket->write(&kReceipt, 1);
    socket->flush();
    if (!fClients.contains(socket) || socket->state() != QLocalSocket::ConnectedState)
      return;
    fClients[socket].awaitingHeader = false;
    if (seen)
      continue;
    Remember(id);
    if (!bytes.isEmpty())
      emit blockReceived(static_cast<TIpcOperation>(head[0]), bytes);
  }
  ArmTimer(socket);
}

QByteArray TPtIpcServer::NewBlockId() {
  QByteArray id(kIdSize, Qt::Uninitialized);
  QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(id.data()),
                                        kIdSize / sizeof(quint32));
  return id;
}

QByteArray TPtIpcServer::BlockIdOf(const QString &text) {
  return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).left(kIdSize);
}

bool TPtIpcServer::SendBlock(TIpcOperation operation, const QByteArray &bytes, QString *error,
                             int timeoutMs, const QByteArray &id) {
  if (static_cast<quint64>(bytes.size()) > kMaxBlock)
    return Fail(error, QStringLiteral("a block holds at most %1 bytes").arg(kMaxBlock));
  QString folderError;
  const QString path = ServerName(&folderError);
  if (path.isEmpty())
    return Fail(error, QStringLiteral("no running Pelmar Terminal found (%1)").arg(folderError));
  QByteArray head(kHeaderSize, Qt::Uninitialized);
  head[0] = static_cast<char>(operation);
  head.replace(1, kIdSize, id.size() == kIdSize ? id : NewBlockId());
  qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), head.data() + 1 + kIdSize);
  const QDeadlineTimer deadline(timeoutMs);
  const auto left = [](const QDeadlineTimer &until) {
    return static_cast<int>(qMax<qint64>(1, until.remainingTime()));
  };
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(left(deadline))) {
      // Only a program of our own user gets the bytes.
      if (!PeerRunsAs(socket.socketDescriptor(), getuid()))
        return Fail(error,
                    QStringLiteral("\"%1\" is answered by another user's program").arg(path));
      socket.write(head);
      socket.write(bytes);
      // From here the window may take the block at any moment: its answer
      // (a receipt, or the connection closed unread) is waited for even a
      // little past the deadline, so a block it took is never called lost.
      const QDeadlineTimer answer(qMax<qint64>(deadline.remainingTime(), 0) + kAnswerGraceMs);
      while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(left(answer)))
        ;
      while (socket.bytesAvailable() < 1 && socket.waitForReadyRead(left(answer)))
        ;
      char receipt = 0;
      if (socket.read(&receipt, 1) == 1 && receipt == kReceipt) {
        socket.disconnectFromServer();
        return true;
      }
      if (answer.hasExpired())
        return Fail(error, QStringLiteral("the running Pelmar Terminal did not answer in time"));
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
