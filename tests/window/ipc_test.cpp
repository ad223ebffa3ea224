// The injection socket: where it lives, who may use it, and how it holds up
// under a crowd of clients; real local sockets in a private temporary folder.
#include "app/ipc.h"
#include "idleconnections.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Sets an environment variable for one test and puts the old value back.
class TEnvironmentValue {
public:
  TEnvironmentValue(const char *name, const QByteArray &value)
      : fName(name), fHad(qEnvironmentVariableIsSet(name)), fOld(qgetenv(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
  ~TEnvironmentValue() {
    if (fHad)
      qputenv(fName, fOld);
    else
      qunsetenv(fName);
  }

private:
  const char *fName;
  bool fHad;
  QByteArray fOld;
};

QByteArray Path(const QString &path) {
  return QFile::encodeName(path);
}

TEST(RuntimeFolder, OnlyAPrivateFolderOfOurOwnHoldsTheSocket) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString open = root.filePath("open"), link = root.filePath("link"),
                file = root.filePath("file");
  ASSERT_EQ(mkdir(Path(open).constData(), 0755), 0);
  ASSERT_EQ(chmod(Path(open).constData(), 0755), 0); // whatever the umask
  ASSERT_EQ(symlink(Path(root.path()).constData(), Path(link).constData()), 0);
  QFile(file).open(QIODevice::WriteOnly);
  const struct {
    QString path;
    uid_t uid;
    bool accepted;
  } cases[] = {
      {root.path(), getuid(), true}, {root.path(), getuid() + 1, false},
      {open, getuid(), false},       {link, getuid(), false},
      {file, getuid(), false},       {root.filePath("missing"), getuid(), false},
  };
  for (const auto &c : cases) {
    QString error;
    EXPECT_EQ(IsPrivateFolder(c.path, c.uid, &error), c.accepted) << c.path.toStdString();
    EXPECT_EQ(error.isEmpty(), c.accepted) << error.toStdString();
  }

  // The session's folder is used as it is, never made or changed.
  {
    TEnvironmentValue runtime("XDG_RUNTIME_DIR", Path(open));
    QString error;
    EXPECT_TRUE(PrivateRuntimeFolder(getuid(), true, &error).isEmpty());
    EXPECT_TRUE(error.contains("open to other users")) << error.toStdString();
    EXPECT_TRUE(TPtIpcServer::ServerName().isEmpty());
  }
  // Without one, a folder of our own under the temporary folder, made 0700
  // by the server; a client never makes it.
  TEnvironmentValue runtime("XDG_RUNTIME_DIR", QByteArray());
  TEnvironmentValue temp("TMPDIR", Path(root.path()));
  const QString fallback = root.filePath(QStringLiteral("pelmarterm-%1").arg(getuid()));
  EXPECT_TRUE(PrivateRuntimeFolder(getuid(), false).isEmpty());
  EXPECT_EQ(PrivateRuntimeFolder(getuid(), true), fallback);
  struct stat st {};
  ASSERT_EQ(lstat(Path(fallback).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(TPtIpcServer::ServerName(), fallback + "/pelmarterm.sock");
  // One that somebody opened up is refused, and left as it is.
  ASSERT_EQ(chmod(Path(fallback).constData(), 0777), 0);
  EXPECT_TRUE(PrivateRuntimeFolder(getuid(), true).isEmpty());
  ASSERT_EQ(lstat(Path(fallback).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0777u);
}

TEST(RuntimeFolder, PeerCredentialsComeFromTheKernel) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_TRUE(PeerRunsAs(pair[0], getuid()));
  EXPECT_TRUE(PeerRunsAs(pair[1], getuid()));
  EXPECT_FALSE(PeerRunsAs(pair[0], getuid() + 1));
  close(pair[0]);
  close(pair[1]);
  EXPECT_FALSE(PeerRunsAs(pair[0], getuid())) << "a closed descriptor is nobody";
}

class IpcServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    QObject::connect(&server, &TPtIpcServer::blockReceived,
                     [this](TIpcOperation operation, const QByteArray &bytes) {
                       operations.append(operation);
                       blocks.append(bytes);
                     });
    QObject::connect(&server, &TPtIpcServer::problem,
                     [this](const QString &text) { problems.append(text); });
    QString error;
    ASSERT_TRUE(server.Listen(&error)) << error.toStdString();
  }
  // A whole block as a client writes it.
  static QByteArray Framed(const QByteArray &bytes, const QByteArray &id) {
    QByteArray block(TPtIpcServer::kHeaderSize, Qt::Uninitialized);
    block[0] = static_cast<char>(TIpcOperation::Send);
    block.replace(1, TPtIpcServer::kIdSize, id);
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()),
                          block.data() + 1 + TPtIpcServer::kIdSize);
    return block + bytes;
  }
  // A raw client: connected, then only what the test writes.
  QLocalSocket *RawClient() {
    auto *socket = new QLocalSocket;
    sockets.emplace_back(socket);
    socket->connectToServer(TPtIpcServer::ServerName());
    EXPECT_TRUE(socket->waitForConnected(2000));
    return socket;
  }
  // Sends from a thread of its own, as another process would, while this
  // thread serves.
  bool SendFromThread(const QByteArray &block, int timeoutMs = 2000,
                      TIpcOperation operation = TIpcOperation::Send, const QByteArray &id = {}) {
    std::atomic<int> result{-1};
    std::thread client([&] {
      result = TPtIpcServer::SendBlock(operation, block, nullptr, timeoutMs, id) ? 1 : 0;
    });
    const bool finished = WaitFor([&] { return result >= 0; }, 10000);
    client.join();
    return finished && result == 1;
  }

  TPtIpcServer server;
  QList<TIpcOperation> operations;
  QList<QByteArray> blocks;
  QStringList problems;
  std::vector<std::unique_ptr<QLocalSocket>> sockets;
};

TEST_F(IpcServerTest, OneInstanceAndOnlyOurOwnUser) {
  TPtIpcServer second;
  QString error;
  EXPECT_FALSE(second.Listen(&error));
  EXPECT_EQ(error, "another instance is running");

  // A client of another user is cut off before its bytes are read: every
  // attempt goes without a receipt and nothing arrives.
  server.SetExpectedUid(getuid() + 1);
  EXPECT_FALSE(SendFromThread("stranger", 300));
  EXPECT_EQ(server.ClientCount(), 0);
  EXPECT_TRUE(blocks.isEmpty());
}

TEST(IpcServer, ASocketFileOfAnotherUserIsNeitherRemovedNorTrusted) {
  if (geteuid() != 0)
    GTEST_SKIP() << "giving a file to another user needs root";
  const QString path = TPtIpcServer::ServerName(nullptr, true);
  ASSERT_FALSE(path.isEmpty());
  QFile(path).open(QIODevice::WriteOnly);
  ASSERT_EQ(chown(Path(path).constData(), getuid() + 1, getgid()), 0);
  TPtIpcServer server;
  QString error;
  EXPECT_FALSE(server.Listen(&error));
  EXPECT_TRUE(error.contains("belongs to another user")) << error.toStdString();
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_FALSE(TPtIpcServer::SendBlock(TIpcOperation::Send, "x", &error, 200));
  QFile::remove(path);
}

TEST_F(IpcServerTest, SilentClientsMakeRoomAndOversizedOnesAreDropped) {
  server.SetHeaderTimeout(500);
  // More silent clients than there are places: the newest take the places
  // of the longest quiet ones, never more than the limit.
  for (int i = 0; i < TPtIpcServer::kMaxClients + 8; ++i)
    RawClient();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == TPtIpcServer::kMaxClients; }));
  Settle(50);
  EXPECT_EQ(server.ClientCount(), TPtIpcServer::kMaxClients) << "never more than the limit";
  // A real client does not wait for them to go.
  EXPECT_TRUE(SendFromThread("late", 250));
  EXPECT_TRUE(blocks.contains("late"));
  // Without a whole header in time, the rest go.
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 0; }));

  // The header deadline counts from the start of the wait, however the
  // client drips its bytes; a header once whole leaves it the idle limit.
  server.SetIdleTimeout(5000);
  QLocalSocket *dripping = RawClient();
  QLocalSocket *writing = RawClient();
  const QByteArray block = Framed("body", TPtIpcServer::NewBlockId());
  writing->write(block.left(TPtIpcServer::kHeaderSize + 1));
  for (int i = 0; i < 8 && dripping->state() == QLocalSocket::ConnectedState; ++i) {
    dripping->write(block.mid(i, 1));
    dripping->flush();
    Settle(100);
  }
  EXPECT_EQ(dripping->state(), QLocalSocket::UnconnectedState);
  ASSERT_EQ(writing->state(), QLocalSocket::ConnectedState) << "a block on its way is waited for";
  writing->write(block.mid(TPtIpcServer::kHeaderSize + 1));
  ASSERT_TRUE(WaitFor([&] { return writing->bytesAvailable() > 0; }));
  EXPECT_TRUE(blocks.contains("body"));

  // A length beyond one block is not waited for.
  QLocalSocket *big = RawClient();
  QByteArray head = Framed({}, TPtIpcServer::NewBlockId());
  qToBigEndian<quint32>(TPtIpcServer::kMaxBlock + 1, head.data() + 1 + TPtIpcServer::kIdSize);
  big->write(head);
  big->flush();
  EXPECT_TRUE(WaitFor([&] { return big->state() == QLocalSocket::UnconnectedState; }, 2000));
  EXPECT_FALSE(
      TPtIpcServer::SendBlock(TIpcOperation::Send, QByteArray(TPtIpcServer::kMaxBlock + 1, 'x')));
}

// A runaway script holding more idle connections than the server has files
// for, opening a new one for each it loses, does not lock a sender out.
TEST_F(IpcServerTest, HeldIdleConnectionsDoNotStopARealSender) {
  TIdleConnections script(QFile::encodeName(TPtIpcServer::ServerName()), 1100);
  ASSERT_TRUE(WaitFor([&] { return script.Opened() >= 1100; }, 20000));
  for (const QByteArray bytes : {"first", "second", "third"})
    EXPECT_TRUE(SendFromThread(bytes)) << bytes.constData();
  EXPECT_EQ(blocks, QList<QByteArray>({"first", "second", "third"}));
  EXPECT_LE(server.ClientCount(), TPtIpcServer::kMaxClients);
}

TEST_F(IpcServerTest, FiveHundredSimultaneousClientsAllGetThroughOnce) {
  constexpr int kClients = 500;
  std::atomic<int> delivered{0}, done{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] {
      // A generous deadline: the test is about every block arriving once,
      // also on a loaded machine or under the sanitizers.
      const bool taken =
          TPtIpcServer::SendBlock(TIpcOperation::Send, QByteArray::number(i), nullptr, 45000);
      delivered += taken ? 1 : 0;
      ++done;
    });
  const bool finished = WaitFor([&] { return done == kClients; }, 60000);
  for (std::thread &t : clients)
    t.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(delivered, kClients);
  Settle(50);
  ASSERT_EQ(blocks.size(), kClients);
  std::sort(blocks.begin(), blocks.end(),
            [](const QByteArray &a, const QByteArray &b) { return a.toInt() < b.toInt(); });
  for (int i = 0; i < kClients; ++i)
    EXPECT_EQ(blocks[i], QByteArray::number(i));
}

// The receipt is the truth: a block whose client is gone before it could
// hear one is not taken, and a retry under the same id is taken once.
TEST_F(IpcServerTest, ABlockIsTakenOnceAndOnlyWhenItsClientHearsSo) {
  const QByteArray id = TPtIpcServer::NewBlockId();
  {
    // Written whole while the server was busy, then given up.
    QLocalSocket *gone = RawClient();
    gone->write(Framed("abandoned", id));
    ASSERT_TRUE(gone->waitForBytesWritten(2000));
    gone->abort();
    Settle(200);
    EXPECT_TRUE(blocks.isEmpty()) << "its client says it was not taken";
  }
  ASSERT_TRUE(SendFromThread("abandoned", 2000, TIpcOperation::Send, id));
  EXPECT_TRUE(SendFromThread("abandoned", 2000, TIpcOperation::Send, id)) << "a retry is answered";
  // A retry whose first receipt was lost, or was never read.
  QLocalSocket *deaf = RawClient();
  deaf->write(Framed("abandoned", id));
  deaf->flush();
  ASSERT_TRUE(WaitFor([&] { return deaf->bytesAvailable() > 0; }));
  EXPECT_EQ(deaf->read(1), "\x06");
  EXPECT_EQ(blocks, QList<QByteArray>({"abandoned"}));
  // Another id is another block, the same bytes or not.
  ASSERT_TRUE(SendFromThread("abandoned"));
  EXPECT_EQ(blocks.size(), 2);
}

// The operation travels beside the bytes: a first 0x01 is a byte like any
// other, whichever way they go.
TEST_F(IpcServerTest, TheOperationTravelsApartFromTheBytes) {
  const QByteArray bytes = QByteArray::fromHex("014243");
  ASSERT_TRUE(SendFromThread(bytes, 2000, TIpcOperation::Send));
  ASSERT_TRUE(SendFromThread(bytes, 2000, TIpcOperation::Receive));
  ASSERT_TRUE(WaitFor([&] { return blocks.size() == 2; }));
  EXPECT_EQ(operations, QList<TIpcOperation>({TIpcOperation::Send, TIpcOperation::Receive}));
  EXPECT_EQ(blocks, QList<QByteArray>({bytes, bytes}));

  // A block without a known operation (the old length-first framing among
  // them) is not guessed at: the client is cut off without a receipt.
  for (const QByteArray &raw :
       {QByteArray::fromHex("00000003014243").leftJustified(TPtIpcServer::kHeaderSize + 3, 'A'),
        Framed("A", TPtIpcServer::NewBlockId()).replace(0, 1, "X")}) {
    SCOPED_TRACE(raw.toHex().toStdString());
    QLocalSocket *client = RawClient();
    client->write(raw);
    client->flush();
    EXPECT_TRUE(WaitFor([&] { return client->state() == QLocalSocket::UnconnectedState; }, 2000));
    EXPECT_EQ(client->bytesAvailable(), 0);
  }
  EXPECT_EQ(blocks.size(), 2);
}

TEST_F(IpcServerTest, ASocketThatWentAwayIsMadeAgainWithALogLine) {
  server.SetWatchInterval(50);
  ASSERT_TRUE(QFile::remove(TPtIpcServer::ServerName()));
  ASSERT_TRUE(WaitFor([&] { return !problems.isEmpty(); }));
  EXPECT_TRUE(problems[0].contains("listens again")) << problems[0].toStdString();
  EXPECT_TRUE(server.IsListening());
  EXPECT_TRUE(SendFromThread("back"));
  EXPECT_TRUE(WaitFor([&] { return blocks.contains("back"); }));
}

} // namespace
