// The built program as a user starts it: a client and a capture from a
// shell without a display, and the window ended by a signal.
#include "app/ipc.h"
#include "base/versioninfo.h"
#include "idleconnections.h"
#include "pipeline/databinary.h"
#include "pipeline/logfile.h"
#include "waitfor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

// The program in a fresh home; the runtime folder is this test process's,
// so the program and the test meet at the same socket.
class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // The data beside the executable, not a window test's copy that is gone.
    env.remove("PT_DATA_DIR");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(home.path());
    program.setProgram(PT_PROGRAM);
  }
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished(5000);
    }
  }
  void SetPlatform(const char *name) {
    QProcessEnvironment env = program.processEnvironment();
    env.insert("QT_QPA_PLATFORM", name);
    program.setProcessEnvironment(env);
  }

  QTemporaryDir home;
  QProcess program;
};

// Runs the program to its end while this thread serves the socket.
void RunToEnd(QProcess &program) {
  program.start();
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
}

TEST_F(ProgramTest, SendAndReceiveNeedNoDisplayAndCarryEveryByte) {
  // xcb without a display aborts any program that makes a GUI application.
  SetPlatform("xcb");
  program.setArguments({"--send", "41"});
  RunToEnd(program);
  EXPECT_EQ(program.exitCode(), 1);
  EXPECT_TRUE(program.readAllStandardError().contains("no running Pelmar Terminal"));

  TPtIpcServer server;
  QList<std::pair<TIpcOperation, QByteArray>> blocks;
  QObject::connect(&server, &TPtIpcServer::blockReceived,
                   [&](TIpcOperation operation, const QByteArray &bytes) {
                     blocks.append({operation, bytes});
                   });
  ASSERT_TRUE(server.Listen());
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  const struct {
    QStringList arguments;
    TIpcOperation operation;
    QByteArray bytes;
  } cases[] = {
      // A first 0x01 is a byte to send, not a marker.
      {{"--send", "014243"}, TIpcOperation::Send, QByteArray::fromHex("014243")},
      {{"--receive", QString::fromLatin1(frame.toHex())}, TIpcOperation::Receive, frame},
      {{"--receive", "01"}, TIpcOperation::Receive, "\x01"},
      // Several arguments are joined in order, never cut to the first.
      {{"--send", "41", "42"}, TIpcOperation::Send, "AB"},
      {{"--send", "41 42", "--send=43", "44"}, TIpcOperation::Send, "ABCD"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    blocks.clear();
    program.setArguments(c.arguments);
    RunToEnd(program);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].first, c.operation);
    EXPECT_EQ(blocks[0].second.toHex(), c.bytes.toHex());
  }
}

TEST_F(ProgramTest, TheClientRefusesWhatItCannotTakeWhole) {
  SetPlatform("xcb");
  TPtIpcServer server;
  int blocks = 0;
  QObject::connect(&server, &TPtIpcServer::blockReceived, [&] { ++blocks; });
  ASSERT_TRUE(server.Listen());
  const struct {
    QStringList arguments;
    const char *says;
  } cases[] = {
      {{"--send", "41", "--receive", "42"}, "cannot be given together"},
      {{"--send", "41", "4"}, "\"4\" is not a sequence of hexadecimal digit pairs"},
      {{"--receive"}, "--receive needs hexadecimal bytes"},
      {{"--send", "41", "--interval", "5"}, "unknown option \"--interval\""},
      {{"42", "--send", "41"}, "unexpected argument \"42\""},
      {{"--send", "41", "--id"}, "--id needs a text"},
      {{"--send", "41", "--id=a", "--id", "b"}, "--id can be given once"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    program.setArguments(c.arguments);
    RunToEnd(program);
    EXPECT_EQ(program.exitCode(), 2);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
  }
  EXPECT_EQ(blocks, 0);
}

// The exit status is the truth under a crowd: every client that says the
// window took its block is right, and no block shows twice, also when a
// script sends again under the same id, or holds the socket's places.
TEST_F(ProgramTest, ACrowdOfSendersAllGetThroughOnce) {
  TPtIpcServer server;
  QList<QByteArray> blocks;
  QObject::connect(&server, &TPtIpcServer::blockReceived,
                   [&](TIpcOperation, const QByteArray &bytes) { blocks.append(bytes); });
  ASSERT_TRUE(server.Listen());
  const QProcessEnvironment env = program.processEnvironment();
  const auto client = [&](const QStringList &arguments) {
    auto *process = new QProcess;
    process->setProcessEnvironment(env);
    process->setProgram(PT_PROGRAM);
    process->setArguments(arguments);
    process->start();
    return std::unique_ptr<QProcess>(process);
  };
  const auto allEnded = [](const std::vector<std::unique_ptr<QProcess>> &processes) {
    return WaitFor(
        [&] {
          return std::all_of(processes.begin(), processes.end(),
                             [](const auto &p) { return p->state() == QProcess::NotRunning; });
        },
        120000);
  };
  const auto expectTaken = [](const std::vector<std::unique_ptr<QProcess>> &processes) {
    for (const auto &p : processes) {
      EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
  };

  constexpr int kSenders = 120;
  std::vector<std::unique_ptr<QProcess>> crowd;
  for (int i = 0; i < kSenders; ++i)
    crowd.push_back(client({"--send", QString::fromLatin1(QByteArray::number(i).toHex())}));
  ASSERT_TRUE(allEnded(crowd));
  expectTaken(crowd);
  Settle(50);
  QList<QByteArray> expected;
  for (int i = 0; i < kSenders; ++i)
    expected.append(QByteArray::number(i));
  std::sort(blocks.begin(), blocks.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(blocks, expected);

  // A script sending again under the same id gets its 0 each time.
  blocks.clear();
  std::vector<std::unique_ptr<QProcess>> retries;
  for (const char *id : {"job-7", "job-7", "job-8"})
    retries.push_back(client({"--send", "4142", "--id", id}));
  ASSERT_TRUE(allEnded(retries));
  expectTaken(retries);
  EXPECT_EQ(blocks, QList<QByteArray>({"AB", "AB"}));

  // Places held by a runaway script.
  blocks.clear();
  TIdleConnections script(QFile::encodeName(TPtIpcServer::ServerName()), 1100);
  ASSERT_TRUE(WaitFor([&] { return script.Opened() >= 1100; }, 20000));
  std::vector<std::unique_ptr<QProcess>> late;
  late.push_back(client({"--send", "4c617465"}));
  ASSERT_TRUE(allEnded(late));
  expectTaken(late);
  EXPECT_EQ(blocks, QList<QByteArray>({"Late"}));
}

TEST_F(ProgramTest, SignalsToEndSaveAsANormalClose) {
  SetPlatform("offscreen");
  const QString config = home.filePath("config.xml");
  const QString connection = home.filePath("config/Korvane/Vexlin.conf");
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    QFile::remove(config);
    QFile::remove(connection);
    program.setArguments({});
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));
    // Up and running once it listens for other programs.
    ASSERT_TRUE(WaitFor([] { return QFile::exists(TPtIpcServer::ServerName()); }, 30000))
        << program.readAllStandardError().toStdString();
    ASSERT_EQ(kill(static_cast<pid_t>(program.processId()), number), 0);
    ASSERT_TRUE(program.waitForFinished(30000)) << number;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << number;
    EXPECT_EQ(program.exitCode(), 0) << number;
    EXPECT_TRUE(QFile::exists(config)) << number;
    EXPECT_TRUE(QFile::exists(connection)) << number;
    QFile saved(config);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("LastCommand")) << number;
    EXPECT_FALSE(QFile::exists(TPtIpcServer::ServerName())) << "the socket goes with it";
  }
}

TEST_F(ProgramTest, VersionNeedsNoDisplayAndIsTheAboutBoxs) {
  SetPlatform("xcb");
  program.setArguments({"--version"});
  RunToEnd(program);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_EQ(program.readAllStandardOutput(), "pelmarterm " + GetFileVersion().toUtf8() + "\n");
}

// Every file under `folder`, relative to it.
QStringList FilesUnder(const QString &folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext())
    files << QDir(folder).relativeFilePath(it.next());
  files.sort();
  return files;
}

// The program laid out as installed (bin/pelmarterm beside
// share/pelmarterm/pt.files): a run keeps everything it writes in the
// user's XDG folders, none in the shipped data or the working folder.
TEST_F(ProgramTest, InstalledItWritesOnlyIntoTheUsersFolders) {
  QTemporaryDir prefix;
  ASSERT_TRUE(prefix.isValid());
  const QString shipped = prefix.filePath("share/pelmarterm/pt.files");
  ASSERT_TRUE(QDir().mkpath(prefix.filePath("bin")) && QDir().mkpath(shipped));
  ASSERT_TRUE(QFile::copy(PT_PROGRAM, prefix.filePath("bin/pelmarterm")));
  for (const QFileInfo &f : QDir(QStringLiteral(PT_DATA_FILES_DIR)).entryInfoList(QDir::Files))
    ASSERT_TRUE(QFile::copy(f.filePath(), shipped + u'/' + f.fileName()));
  const QStringList shippedFiles = FilesUnder(prefix.path());
  QTemporaryDir work;
  ASSERT_TRUE(work.isValid());
  QProcessEnvironment env = program.processEnvironment();
  env.remove("XDG_CONFIG_HOME"); // the defaults under the home folder
  env.remove("XDG_DATA_HOME");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(work.path());
  program.setProgram(prefix.filePath("bin/pelmarterm"));
  program.start();
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(WaitFor([] { return QFile::exists(TPtIpcServer::ServerName()); }, 30000))
      << program.readAllStandardError().toStdString();
  ASSERT_EQ(kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitCode(), 0);

  EXPECT_TRUE(QFile::exists(home.filePath(".config/pelmarterm/config.xml")));
  EXPECT_TRUE(QFileInfo(home.filePath(".local/share/pelmarterm/pt.files")).isDir());
  EXPECT_EQ(FilesUnder(prefix.path()), shippedFiles);
  EXPECT_EQ(FilesUnder(work.path()), QStringList());
}

// No one is there to click a box when a signal ends the program: a
// config.xml that cannot be written must not keep it running.
TEST_F(ProgramTest, ASignalEndsTheProgramEvenWhenConfigCannotBeSaved) {
  SetPlatform("offscreen");
  const QString config = home.filePath("config.xml");
  // Unwritable even for root: it leads into a folder that is not there.
  ASSERT_TRUE(QFile::link(home.filePath("gone/config.xml"), config));
  program.start();
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(WaitFor([] { return QFile::exists(TPtIpcServer::ServerName()); }, 30000))
      << program.readAllStandardError().toStdString();
  ASSERT_EQ(kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
  ASSERT_TRUE(program.waitForFinished(30000)) << "still running: a box waits for a click";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  const QString err = QString::fromLocal8Bit(program.readAllStandardError());
  EXPECT_TRUE(err.contains("config.xml")) << err.toStdString();
  // Kept for the next start's log.
  QSettings kept(home.filePath("config/Korvane/Vexlin.conf"), QSettings::IniFormat);
  const QStringList failures = kept.value("CloseFailures/Lines").toStringList();
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains("config.xml")) << failures[0].toStdString();
}

// The received bytes of a log file in order; false when it does not load.
bool LoggedBytes(const QString &name, QByteArray &bytes) {
  bytes.clear();
  return LoadLogFile(name, [&](std::unique_ptr<TVexlinDataObject> row) {
    if (auto *binary = dynamic_cast<TVexlinDataBinary *>(row.get());
        binary && binary->Direction == spRx)
      bytes += binary->Data;
  });
}

// A byte stream whose every prefix is recognisable.
QByteArray Pattern(int size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST_F(ProgramTest, CaptureNeedsNoDisplayAndSaysWhatIsWrong) {
  SetPlatform("xcb");
  QTcpServer probe; // a port that was free a moment ago
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const QString refused = QStringLiteral("tcp:127.0.0.1:%1").arg(probe.serverPort());
  probe.close();
  const QString fifo = home.filePath("log.fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const struct {
    QStringList arguments;
    int exitCode;
    const char *says;
  } cases[] = {
      {{"--capture", "com1"}, 2, "unknown capture target"},
      {{"--capture", "tcp:127.0.0.1:1", "--parser", "x"}, 2, "Usage:"},
      {{"--capture", "tcp:127.0.0.1:1", "stray"}, 2, "unexpected argument"},
      {{"--capture", "serial:/dev/pt-no-such-port"}, 3, "pt-no-such-port"},
      // A last part that only looks like line settings is named, not
      // taken into the path.
      {{"--capture", "serial:/dev/pt-no-such-port:abc"}, 2, "\"abc\" are not serial line"},
      {{"--capture", refused}, 3, "refused"},
      // The log is opened first: the transport is never tried.
      {{"--capture", refused, "--log", "gone/log.vexlin.txt"}, 1, "cannot be written"},
      // A pipe nobody reads: refused at once, never waited for (the time
      // limit below fails the test should it hang).
      {{"--capture", refused, "--log", fifo}, 1, "no program reads the pipe"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    program.setArguments(c.arguments);
    program.start();
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.exitCode);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
  }
}

TEST_F(ProgramTest, CaptureToStandardOutputUntilTheFarEndCloses) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  program.setArguments({"--capture", QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()),
                        "--parser", "suffix:0A", "--send", "hello\\n"});
  program.start();
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }, 20000));
  QTcpSocket *peer = server.nextPendingConnection();
  ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 6; }, 20000));
  EXPECT_EQ(peer->readAll(), "hello\n");
  peer->write("one\ntwo\nthr");
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(program.exitCode(), 0);
  const QByteArray err = program.readAllStandardError();
  EXPECT_TRUE(err.contains("rows, 11 bytes received"));
  EXPECT_FALSE(err.contains("QIODevice")) << err.toStdString();
  const QString out = home.filePath("out.vexlin.txt");
  QFile file(out);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(program.readAllStandardOutput());
  file.close();
  QByteArray logged;
  ASSERT_TRUE(LoggedBytes(out, logged));
  EXPECT_EQ(logged, "one\ntwo\nthr");
}

// Devices and pipes take the log without Qt's complaint about seeking.
TEST_F(ProgramTest, ALogOnADeviceIsWrittenWithoutWarnings) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  program.setArguments({"--capture", QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()),
                        "--log", "/dev/null"});
  program.start();
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }, 20000));
  QTcpSocket *peer = server.nextPendingConnection();
  peer->write("*a\x00\x01Z", 5);
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(program.exitCode(), 0);
  const QByteArray err = program.readAllStandardError();
  EXPECT_TRUE(err.contains("5 bytes received")) << err.toStdString();
  EXPECT_FALSE(err.contains("QIODevice")) << err.toStdString();
}

// A flood into a capture ended by a signal: SIGTERM ends it cleanly with
// every byte it read in the log; SIGKILL leaves a log that still loads.
TEST_F(ProgramTest, ACaptureEndedBySignalLeavesALogThatLoads) {
  const QByteArray stream = Pattern(16 << 20);
  for (int number : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(number);
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString log = home.filePath(QStringLiteral("cut%1.vexlin.txt").arg(number));
    program.setArguments({"--capture", QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()),
                          "--parser", "length:100", "--log", log});
    program.start();
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }, 20000));
    QTcpSocket *peer = server.nextPendingConnection();
    qsizetype sent = 0;
    // Fed piece by piece until the log has grown past a few flushes.
    ASSERT_TRUE(WaitFor(
        [&] {
          if (peer->bytesToWrite() < (1 << 20) && sent < stream.size())
            sent += peer->write(stream.mid(sent, 256 << 10));
          return QFileInfo(log).size() > (3 << 20);
        },
        30000));
    ASSERT_EQ(kill(static_cast<pid_t>(program.processId()), number), 0);
    ASSERT_TRUE(program.waitForFinished(20000));
    QByteArray logged;
    ASSERT_TRUE(LoggedBytes(log, logged));
    EXPECT_GT(logged.size(), 0);
    EXPECT_EQ(logged, stream.left(logged.size())) << "rows out of order or damaged";
    if (number == SIGTERM) {
      EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(program.exitCode(), 0);
      EXPECT_TRUE(program.readAllStandardError().contains("rows,"));
    } else {
      EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    }
    delete peer;
  }
}

} // namespace
