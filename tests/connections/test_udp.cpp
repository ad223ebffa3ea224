// The UDP connection with real datagrams on loopback.
#include "connections/connectiontexts.h"
#include "connections/udpconnection.h"
#include "testsupport.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

const QString kPrefix = kUdpDescription + QStringLiteral(" - ");

class UdpTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fRemote.bind(QHostAddress::LocalHost, 0));
    // Find a free local port for the connection under test.
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::Any, 0));
    fListenPort = probe.localPort();
  }
  void Start() {
    fController.UdpStartStop(QStringLiteral("127.0.0.1"), QString::number(fRemote.localPort()),
                             QString::number(fListenPort));
  }
  // A sender bound to its own loopback address.
  static void SendFrom(const char *address, const QByteArray &data, quint16 port) {
    QUdpSocket sender;
    ASSERT_TRUE(sender.bind(QHostAddress(QString::fromLatin1(address)), 0)) << address;
    ASSERT_EQ(sender.writeDatagram(data, QHostAddress::LocalHost, port), data.size());
  }

  QUdpSocket fRemote;
  quint16 fListenPort = 0;
  TRecordingWindow fWindow;
  TConnectionController fController{fWindow.Window()};
};

TEST_F(UdpTest, StartSendStop) {
  Start();
  ASSERT_NE(fController.Connection(), nullptr);
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStop);
  EXPECT_TRUE(fWindow.HasLine(
      {kPrefix + "connecting (port: " + QString::number(fListenPort) + ")", kColorTeal}));

  fController.Connection()->Send("one");
  fController.Connection()->Send("two");
  ASSERT_TRUE(WaitFor([&] { return fRemote.hasPendingDatagrams(); }));
  QNetworkDatagram first = fRemote.receiveDatagram();
  EXPECT_EQ(first.data(), QByteArray("one"));
  EXPECT_EQ(first.senderPort(), fListenPort);
  ASSERT_TRUE(WaitFor([&] { return fRemote.hasPendingDatagrams(); }));
  EXPECT_EQ(fRemote.receiveDatagram().data(), QByteArray("two"));

  fController.UdpStartStop({}, {}, {});
  EXPECT_EQ(fController.Connection(), nullptr);
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStart);
  const std::vector<TLogLine> lines = fWindow.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], (TLogLine{kPrefix + "disconnecting", kColorTeal}));
  EXPECT_EQ(lines.back(), (TLogLine{kPrefix + "disconnect", kColorMaroon}));
}

TEST_F(UdpTest, TwoSendersKeepTheirOwnSignatures) {
  Start();
  SendFrom("127.0.0.2", "from two", fListenPort);
  SendFrom("127.0.0.3", "from three", fListenPort);
  SendFrom("127.0.0.2", "!", fListenPort);
  ASSERT_TRUE(WaitFor([&] {
    return fWindow.Received("127.0.0.2").size() == 9 && fWindow.Received("127.0.0.3").size() == 10;
  }));
  EXPECT_EQ(fWindow.Received("127.0.0.2"), QByteArray("from two!"));
  EXPECT_EQ(fWindow.Received("127.0.0.3"), QByteArray("from three"));
}

TEST_F(UdpTest, ZeroByteDatagramLogsAnEmptyTealLine) {
  Start();
  SendFrom("127.0.0.2", QByteArray(), fListenPort);
  ASSERT_TRUE(WaitFor([&] { return fWindow.HasLine({kPrefix, kColorTeal}); }));
  EXPECT_TRUE(fWindow.Received("127.0.0.2").isEmpty());
}

TEST_F(UdpTest, StartSendsTheModuleQueryToTheDiscoveryTarget) {
  QUdpSocket module;
  ASSERT_TRUE(module.bind(QHostAddress::LocalHost, 0));
  TVexlinConnection_Udp udp;
  udp.SetDiscoveryTarget({QHostAddress::LocalHost, module.localPort()});
  udp.SetSettings(QStringLiteral("PORT_LISTEN"), QString::number(fListenPort));
  udp.Open();
  ASSERT_TRUE(WaitFor([&] { return module.hasPendingDatagrams(); }));
  const QNetworkDatagram query = module.receiveDatagram();
  EXPECT_EQ(query.data(), QByteArray::fromHex("000000F6"));
  EXPECT_EQ(query.senderPort(), fListenPort);
  EXPECT_FALSE(udp.Close()); // as designed, Close answers false
}

TEST_F(UdpTest, DiscoveryTargetComesFromTheEnvironment) {
  const TDiscoveryTarget target = TDiscoveryTarget::FromEnvironment();
  EXPECT_EQ(target.address, QHostAddress(QHostAddress::LocalHost)); // set by the test environment
  EXPECT_EQ(target.port, kDiscoveryPort);
}

TEST_F(UdpTest, StartOnABoundPortIsReportedAndStopEndsIt) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::Any, fListenPort));
  Start(); // must not throw
  ASSERT_EQ(fWindow.ShownErrors().size(), 1u);
  const TLogLine last = fWindow.Lines().back();
  EXPECT_EQ(last, (TLogLine{kErrorLinePrefix + fWindow.ShownErrors().front(), kColorRed}));
  ASSERT_NE(fController.Connection(), nullptr);
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStop);
  fController.UdpStartStop({}, {}, {});
  EXPECT_EQ(fController.Connection(), nullptr);
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStart);
  // The status bar shows the closed state, not the "connecting" of the failed start.
  ASSERT_FALSE(fWindow.StatusBar().empty());
  EXPECT_EQ(fWindow.StatusBar().back(), kPrefix + "disconnect");
  EXPECT_EQ(fWindow.Lines().back(), (TLogLine{kPrefix + "disconnect", kColorMaroon}));
}

TEST_F(UdpTest, RefusedListenPortIsReportedNotThrown) {
  fController.UdpStartStop(QStringLiteral("127.0.0.1"), QStringLiteral("1"),
                           QStringLiteral("65536"));
  EXPECT_EQ(fWindow.ShownErrors().size(), 1u);
  EXPECT_TRUE(fWindow.Lines().back().text.startsWith(kErrorLinePrefix));
  // The connection stays current, as designed, until the button is pressed again.
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStop);
  fController.UdpStartStop({}, {}, {});
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStart);
}

} // namespace
