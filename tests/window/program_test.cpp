// The built program as a user starts it: a client from a shell without a
// display, and the window ended by a signal.
#include "app/ipc.h"
#include "waitfor.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

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

TEST_F(ProgramTest, SendNeedsNoDisplay) {
  // xcb without a display aborts any program that makes a GUI application.
  SetPlatform("xcb");
  program.setArguments({"--send", "41"});
  program.start();
  ASSERT_TRUE(program.waitForFinished(20000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1);
  EXPECT_TRUE(program.readAllStandardError().contains("no running Pelmar Terminal"));

  TPtIpcServer server;
  QList<QByteArray> blocks;
  QObject::connect(&server, &TPtIpcServer::blockReceived,
                   [&](const QByteArray &block) { blocks.append(block); });
  ASSERT_TRUE(server.Listen());
  program.setArguments({"--receive", "4142"});
  program.start();
  // The client waits for the receipt: serve while it runs.
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  EXPECT_EQ(blocks, QList<QByteArray>{QByteArray::fromHex("014142")});
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

} // namespace
