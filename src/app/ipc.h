#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <deque>
#include <sys/types.h>

class QLocalServer;
class QLocalSocket;
class QTimer;

// The folder that holds the socket: $XDG_RUNTIME_DIR, or where that is
// missing a folder of our own under the temporary folder. Either must be a
// real folder (no link) owned by `uid` that nobody else may enter; `create`
// makes the fallback when it does not exist. "" with `error` set otherwise.
QString PrivateRuntimeFolder(uid_t uid, bool create, QString *error = nullptr);
// Whether `path` is such a folder.
bool IsPrivateFolder(const QString &path, uid_t uid, QString *error = nullptr);
// Whether the process at the other end of the connected local socket `fd`
// runs as `uid` (the kernel's word, not the peer's).
bool PeerRunsAs(qintptr fd, uid_t uid);

// What another process asks the window to do with its bytes.
enum class TIpcOperation : char {
  Send = 'S',    // send them as typed
  Receive = 'R', // show them as received, through the parser
};

// The one way for another process to inject data: a local socket in the
// user's private runtime folder. Both ends check that the other runs as the
// same user. A client writes blocks, each an operation byte, a 16-byte id, a
// 4-byte big-endian length and that many bytes: the operation never rides in
// the bytes, so any bytes (a first 0x01 included) arrive exactly as given.
// The window answers a receipt for each block it took and remembers the id
// for a while, so a client that tries again after a lost receipt is answered
// without the block being shown twice.
class TPtIpcServer : public QObject {
  Q_OBJECT
public:
  explicit TPtIpcServer(QObject *parent = nullptr);
  ~TPtIpcServer() override;

  // Full path of the socket of the current user's instance; "" with `error`
  // set when no private folder can hold it (`create` makes the fallback).
  static QString ServerName(QString *error = nullptr, bool create = false);
  // Starts listening; false with `error` set when another instance holds
  // the name or the socket cannot be made.
  bool Listen(QString *error = nullptr);
  bool IsListening() const;

  // Hands one block to the running instance, trying again while it is busy
  // for up to `timeoutMs`; true exactly when the instance took it. A block
  // already written waits for its answer a little past `timeoutMs`. Every
  // try carries `id` (a new one when empty): an instance that took the block
  // once answers again without taking it twice. False with `error` set when
  // none runs or the block was not taken.
  static bool SendBlock(TIpcOperation operation, const QByteArray &bytes, QString *error = nullptr,
                        int timeoutMs = kSendTimeoutMs, const QByteArray &id = {});
  // A block id never used before, and the id a caller's own text names.
  static QByteArray NewBlockId();
  static QByteArray BlockIdOf(const QString &text);

  // Tests shorten the waits and pose as another user.
  void SetIdleTimeout(int ms) { fIdleTimeoutMs = ms; }
  void SetHeaderTimeout(int ms) { fHeaderTimeoutMs = ms; }
  void SetWatchInterval(int ms);
  void SetExpectedUid(uid_t uid) { fExpectedUid = uid; }
  int ClientCount() const { return static_cast<int>(fClients.size()); }

  static constexpr int kMaxClients = 32;
  static constexpr quint32 kMaxBlock = 1u << 20;
  static constexpr int kIdSize = 16;
  static constexpr int kHeaderSize = 1 + kIdSize + 4; // the operation, the id, the length
  static constexpr int kSendTimeoutMs = 10000;

signals:
  void blockReceived(TIpcOperation operation, const QByteArray &bytes);
  // Something the user should read in the log (the server stopped, ...).
  void problem(const QString &text);

private:
  struct TClient {
    QTimer *timer;       // the header deadline, or the idle limit inside a block
    QElapsedTimer quiet; // since its last bytes: the longest quiet makes room
    bool awaitingHeader = true;
  };

  void TakeConnections();
  void ReadBlocks(QLocalSocket *socket);
  void ArmTimer(QLocalSocket *socket);
  QLocalSocket *LongestQuiet() const;
  void Drop(QLocalSocket *socket);
  void CheckListening();
  bool Remembers(const QByteArray &id);
  void Remember(const QByteArray &id);

  QLocalServer *fServer;
  QTimer *fWatch;
  QHash<QLocalSocket *, TClient> fClients;
  // Ids of blocks taken lately, oldest first.
  QHash<QByteArray, qint64> fTaken;
  std::deque<std::pair<qint64, QByteArray>> fTakenOrder;
  QElapsedTimer fClock;
  int fIdleTimeoutMs = 5000;
  int fHeaderTimeoutMs = 1000;
  uid_t fExpectedUid;
  bool fWanted = false; // listening was asked for and once succeeded
  bool fFailureReported = false;
};
