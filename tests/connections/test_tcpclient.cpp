// The TCP client against real peers on loopback.
#include "connections/connectiontexts.h"
#include "connections/tcpclient.h"
#include "englishtexts.h"
#include "manualresolver.h"
#include "tcppeer.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sys/socket.h>

namespace {

const QString kPrefix = kTcpClientDescription + QStringLiteral(" - ");

class TcpClientTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fEnglish.Loaded());
    ASSERT_TRUE(fServer.listen(QHostAddress::LocalHost));
  }

  QString Port() const { return QString::number(fServer.serverPort()); }
  void Connect(const QString &host = QStringLiteral("127.0.0.1"), bool ipv6 = false) {
    fController.TcpConnectDisconnect(host, Port(), ipv6);
  }
  // The accepted peer socket, once the client connected.
  QTcpSocket *AcceptPeer() {
    if (!WaitFor([&] { return fServer.hasPendingConnections(); }))
      return nullptr;
    return fServer.nextPendingConnection();
  }
  // Waits for the next green "connect" line: the state is stored before the
  // line is logged, so waiting for the state alone would race.
  bool Connected() {
    const auto greens = [&] {
      const std::vector<TLogLine> lines = fWindow.Lines();
      return std::count_if(lines.begin(), lines.end(),
                           [](const TLogLine &l) { return l.color == kColorGreen; });
    };
    if (!WaitFor([&] { return greens() > fConnects; }))
      return false;
    ++fConnects;
    return fController.Connection()->Status() == tcsConnect;
  }

  TEnglishTexts fEnglish; // the reasons as the English language file words them
  QTcpServer fServer;
  long fConnects = 0;
  TRecordingWindow fWindow;
  TConnectionController fController{fWindow.Window()};
};

TEST_F(TcpClientTest, ConnectExchangeAndPeerClose) {
  Connect();
  QTcpSocket *peer = AcceptPeer();
  ASSERT_NE(peer, nullptr);
  ASSERT_TRUE(Connected());
  EXPECT_EQ(fController.TcpButtonCaption(), kCaptionDisconnect);
  EXPECT_TRUE(fWindow.HasLine({kPrefix + "connect (127.0.0.1:" + Port() + ")", kColorGreen}));

  fController.Connection()->Send("ping");
  ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 4; }));
  EXPECT_EQ(peer->readAll(), QByteArray("ping"));
  peer->write(QByteArray("pong\0!", 6));
  ASSERT_TRUE(WaitFor([&] { return fWindow.Received().size() == 6; }));
  EXPECT_EQ(fWindow.Received(), QByteArray("pong\0!", 6));

  peer->write("last");
  peer->flush();
  peer->close();
  ASSERT_TRUE(WaitFor([&] { return fController.Connection()->Status() == tcsDisconnect; }));
  ASSERT_TRUE(WaitFor([&] { return fController.TcpButtonCaption() == kCaptionConnect; }));
  // The state is stored before its line is logged: wait for the line.
  ASSERT_TRUE(WaitFor([&] { return fWindow.HasLine({kPrefix + "disconnect", kColorMaroon}); }));
  EXPECT_EQ(fWindow.Received(), QByteArray("pong\0!last", 10)); // nothing lost at the close
  const std::vector<TLogLine> lines = fWindow.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].color, kColorRed);
  EXPECT_TRUE(lines[lines.size() - 2].text.startsWith(kPrefix + "error: "));
  EXPECT_EQ(lines.back(), (TLogLine{kPrefix + "disconnect", kColorMaroon}));
}

TEST_F(TcpClientTest, ADisconnectByHandIsNoError) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    Connect();
    ASSERT_NE(AcceptPeer(), nullptr);
    ASSERT_TRUE(Connected());
    Connect(); // the button again: Disconnect
    ASSERT_EQ(fController.Connection(), nullptr);
  }
  ASSERT_TRUE(WaitFor([&] { return fWindow.Lines().back().text == kPrefix + "disconnect"; }));
  for (const TLogLine &line : fWindow.Lines()) {
    EXPECT_NE(line.color, kColorRed) << line.text.toStdString();
    EXPECT_FALSE(line.text.contains(QLatin1String("unknown"))) << line.text.toStdString();
  }
}

TEST_F(TcpClientTest, APeerThatResetsOrClosesIsNamedSo) {
  struct {
    bool reset;
    const char *reason;
  } const cases[] = {{true, "connection reset by the peer"},
                     {false, "connection closed by the peer"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.reason);
    Connect();
    QTcpSocket *peer = AcceptPeer();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(Connected());
    if (c.reset) { // closing with a zero linger sends a reset
      const linger now{1, 0};
      ASSERT_EQ(::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &now, sizeof now),
                0);
    }
    peer->abort();
    EXPECT_TRUE(WaitFor([&] {
      return fWindow.HasLine({kPrefix + "error: " + QLatin1String(c.reason), kColorRed});
    }));
    ASSERT_TRUE(WaitFor([&] { return fController.TcpButtonCaption() == kCaptionConnect; }));
    delete peer;
  }
}

TEST_F(TcpClientTest, ConnectToAClosedPortLogsTheErrorThenDisconnect) {
  const QString port = Port();
  fServer.close();
  fController.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), port, false);
  ASSERT_TRUE(WaitFor([&] { return fController.Connection()->Status() == tcsDisconnect; }));
  WaitFor([&] { return fWindow.StatusBar().size() >= 4; }, 500);
  const std::vector<TLogLine> expected{
      {kPrefix + "looking up 127.0.0.1", kColorTeal},
      {kPrefix + "connecting (127.0.0.1:" + port + ")", kColorTeal},
      {kPrefix + "error: connection refused", kColorRed},
      {kPrefix + "disconnect", kColorMaroon},
  };
  EXPECT_EQ(fWindow.Lines(), expected);
  EXPECT_EQ(fWindow.StatusBar().back(), kPrefix + "disconnect");
  EXPECT_EQ(fController.TcpButtonCaption(), kCaptionConnect);
}

TEST_F(TcpClientTest, ThreeQuickSendsArriveInOrder) {
  Connect();
  QTcpSocket *peer = AcceptPeer();
  ASSERT_NE(peer, nullptr);
  ASSERT_TRUE(Connected());
  for (const char *block : {"one,", "two,", "three"})
    fController.Connection()->Send(block);
  fController.Connection()->Send({}); // queues nothing
  QByteArray got;
  ASSERT_TRUE(WaitFor([&] {
    got += peer->readAll();
    return got.size() >= 13;
  }));
  EXPECT_EQ(got, QByteArray("one,two,three"));
}

TEST_F(TcpClientTest, ABlockThatCannotBeSentIsReported) {
  TVexlinConnection_TcpClient client; // never opened
  std::vector<QString> errors;
  client.SetOnStatus([&](TVexlinConnection *, TVexlinConnectionStatus s, const QString &text,
                         const QByteArray &, const QByteArray &) {
    if (s == tcsError)
      errors.push_back(text);
  });
  client.Send("lost");
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_EQ(errors.front(), QStringLiteral("XXX Not connected, 4 bytes not sent."));
}

TEST_F(TcpClientTest, HostNamesAndIpv6Loopback) {
  QTcpServer server6;
  if (!server6.listen(QHostAddress::LocalHostIPv6))
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  // "localhost" may name only 127.0.0.1 here; it is tried with IPv4 below.
  for (const char *host : {"::1", "::0:1"}) {
    fController.TcpConnectDisconnect(QString::fromLatin1(host),
                                     QString::number(server6.serverPort()), true);
    ASSERT_TRUE(WaitFor([&] { return server6.hasPendingConnections(); })) << host;
    std::unique_ptr<QTcpSocket> peer(server6.nextPendingConnection());
    ASSERT_TRUE(Connected()) << host;
    peer->write("v6");
    ASSERT_TRUE(WaitFor([&] { return fWindow.Received().endsWith("v6"); })) << host;
    fController.TcpConnectDisconnect({}, {}, true); // Disconnect
    EXPECT_EQ(fController.Connection(), nullptr);
  }
  Connect(QStringLiteral("localhost"));
  EXPECT_NE(AcceptPeer(), nullptr);
}

TEST_F(TcpClientTest, RefusedSettingKeepsThePreviousConnection) {
  Connect();
  ASSERT_NE(AcceptPeer(), nullptr);
  ASSERT_TRUE(Connected());
  TVexlinConnection *previous = fController.Connection();
  fController.Connection()->Close();
  ASSERT_TRUE(WaitFor([&] { return previous->Status() == tcsDisconnect; }));
  fController.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QStringLiteral("65536"), false);
  EXPECT_EQ(fController.Connection(), previous);
  const TLogLine last = fWindow.Lines().back();
  EXPECT_EQ(last.color, kColorRed);
  EXPECT_TRUE(last.text.startsWith(ErrorLinePrefix())) << last.text.toStdString();
}

TEST_F(TcpClientTest, ConnectTimesOutAgainstAFullBacklog) {
  TFullBacklogListener listener;
  if (listener.Port() == 0)
    GTEST_SKIP() << "could not fill a listen backlog on loopback";
  fController.NewTcpClient = [] { return std::make_unique<TVexlinConnection_TcpClient>(200); };
  QElapsedTimer timer;
  timer.start();
  fController.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QString::number(listener.Port()),
                                   false);
  ASSERT_TRUE(WaitFor([&] { return fController.Connection()->Status() == tcsDisconnect; }));
  EXPECT_GE(timer.elapsed(), 150);
  EXPECT_TRUE(WaitFor([&] {
    return fWindow.HasLine({kPrefix + "error: connection timed out", kColorRed});
  }));
}

TEST_F(TcpClientTest, ClickingConnectWhileConnectingClosesTheAttempt) {
  TFullBacklogListener listener;
  if (listener.Port() == 0)
    GTEST_SKIP() << "could not fill a listen backlog on loopback";
  fController.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QString::number(listener.Port()),
                                   false);
  ASSERT_TRUE(WaitFor([&] { return fController.Connection()->Status() == tcsConnecting; }));
  QElapsedTimer timer;
  timer.start();
  fController.TcpConnectDisconnect(QStringLiteral("127.0.0.1"), QString::number(listener.Port()),
                                   false);
  EXPECT_LT(timer.elapsed(), 1000); // not the 5000 ms time-out
  EXPECT_EQ(fController.Connection(), nullptr);
  EXPECT_EQ(fController.TcpButtonCaption(), kCaptionConnect);
  EXPECT_EQ(fWindow.Lines().back(), (TLogLine{kPrefix + "disconnect", kColorMaroon}));
}

} // namespace

namespace {

// With a resolver that answers only when told: a DNS that hangs.
class TcpLookupTest : public TcpClientTest {
protected:
  void SetUp() override {
    TcpClientTest::SetUp();
    fController.NewTcpClient = [this] {
      return std::make_unique<TVexlinConnection_TcpClient>(
          TVexlinConnection_TcpClient::kDefaultConnectTimeoutMs, fResolver);
    };
    Connect(QStringLiteral("device.invalid"));
    ASSERT_TRUE(WaitFor([&] { return fResolver->Hosts().size() == 1; }));
  }
  std::shared_ptr<TManualResolver> fResolver = std::make_shared<TManualResolver>();
};

TEST_F(TcpLookupTest, TheAnswerIsConnectedTo) {
  EXPECT_EQ(fController.TcpButtonCaption(), kCaptionDisconnect);
  fResolver->Answer({{QHostAddress(QHostAddress::LocalHost)}, {}});
  ASSERT_NE(AcceptPeer(), nullptr);
  EXPECT_TRUE(Connected());
}

TEST_F(TcpLookupTest, ClickingDuringALookupThatNeverAnswersCancels) {
  // The click returns (the window is not held by the lookup) and starts no
  // second attempt.
  Connect(QStringLiteral("device.invalid"));
  EXPECT_EQ(fController.Connection(), nullptr);
  EXPECT_EQ(fController.TcpButtonCaption(), kCaptionConnect);
  EXPECT_EQ(fResolver->Hosts().size(), 1u);
  EXPECT_EQ(fWindow.Lines().back(), (TLogLine{kPrefix + "disconnect", kColorMaroon}));
  fResolver->Answer({{QHostAddress(QHostAddress::LocalHost)}, {}}); // touches nothing freed
  Settle(50);
  EXPECT_FALSE(fServer.hasPendingConnections());
}

TEST_F(TcpLookupTest, AFailedLookupEndsInTheErrorThenDisconnect) {
  fResolver->Answer({}); // no address, no words of the resolver's own
  ASSERT_TRUE(WaitFor([&] { return fController.TcpButtonCaption() == kCaptionConnect; }));
  EXPECT_TRUE(WaitFor([&] {
    return fWindow.HasLine({kPrefix + "error: no such host device.invalid", kColorRed});
  }));
}

} // namespace
