// The UDP connection with real datagrams on loopback.
#include "base/pterror.h"
#include "connections/connectiontexts.h"
#include "connections/udpconnection.h"
#include "manualresolver.h"
#include "pipeline/databinary.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/receivepath.h"
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

TEST_F(UdpTest, Ipv6SendersAndRemoteHostsWork) {
  QUdpSocket remote6;
  if (!remote6.bind(QHostAddress::LocalHostIPv6, 0))
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  fController.UdpStartStop(QStringLiteral("::1"), QString::number(remote6.localPort()),
                           QString::number(fListenPort));
  QUdpSocket sender;
  ASSERT_TRUE(sender.bind(QHostAddress::LocalHostIPv6, 0));
  ASSERT_EQ(sender.writeDatagram("six", QHostAddress::LocalHostIPv6, fListenPort), 3);
  ASSERT_TRUE(WaitFor([&] { return fWindow.Received("::1") == "six"; }));
  fController.Connection()->Send("back");
  ASSERT_TRUE(WaitFor([&] { return remote6.hasPendingDatagrams(); }));
  EXPECT_EQ(remote6.receiveDatagram().data(), QByteArray("back"));
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
  EXPECT_EQ(last, (TLogLine{ErrorLinePrefix() + fWindow.ShownErrors().front(), kColorRed}));
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
  EXPECT_TRUE(fWindow.Lines().back().text.startsWith(ErrorLinePrefix()));
  // The connection stays current, as designed, until the button is pressed again.
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStop);
  fController.UdpStartStop({}, {}, {});
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStart);
}

} // namespace

namespace {

// With a resolver that answers only when told: nothing waits for the name.
class UdpLookupTest : public UdpTest {
protected:
  void SetUp() override {
    UdpTest::SetUp();
    fController.NewUdp = [this] { return std::make_unique<TVexlinConnection_Udp>(fResolver); };
    fController.UdpStartStop(QStringLiteral("remote.invalid"), QString::number(fRemote.localPort()),
                             QString::number(fListenPort));
    ASSERT_NE(fController.Connection(), nullptr);
  }
  std::shared_ptr<TManualResolver> fResolver = std::make_shared<TManualResolver>();
};

TEST_F(UdpLookupTest, HostIsLookedUpOnceAtStartAndSendsWaitForIt) {
  EXPECT_EQ(fResolver->Hosts(), std::vector<QString>{QStringLiteral("remote.invalid")});
  fController.Connection()->Send("one"); // returns: the answer has not come
  fController.Connection()->Send("two");
  Settle(50);
  EXPECT_FALSE(fRemote.hasPendingDatagrams());

  fResolver->Answer({{QHostAddress(QHostAddress::LocalHost)}, {}});
  for (const char *expected : {"one", "two"}) {
    ASSERT_TRUE(WaitFor([&] { return fRemote.hasPendingDatagrams(); }));
    EXPECT_EQ(fRemote.receiveDatagram().data(), QByteArray(expected));
  }
  fController.Connection()->Send("three");
  ASSERT_TRUE(WaitFor([&] { return fRemote.hasPendingDatagrams(); }));
  EXPECT_EQ(fRemote.receiveDatagram().data(), QByteArray("three"));
  EXPECT_EQ(fResolver->Hosts().size(), 1u);
}

TEST_F(UdpLookupTest, AFailedLookupIsReportedAndLaterSendsRaise) {
  fController.Connection()->Send("lost");
  fResolver->Answer({{}, QStringLiteral("Host remote.invalid not found")});
  EXPECT_TRUE(WaitFor([&] {
    return fWindow.HasLine({kPrefix + "error: Host remote.invalid not found", kColorRed});
  }));
  EXPECT_THROW(fController.Connection()->Send("again"), EPtError);
  EXPECT_EQ(fController.UdpButtonCaption(), kCaptionStop); // the socket still listens
}

TEST_F(UdpLookupTest, StoppingBeforeTheAnswerDropsIt) {
  fController.Connection()->Send("never");
  fController.UdpStartStop({}, {}, {});
  ASSERT_EQ(fController.Connection(), nullptr);
  fResolver->Answer({{QHostAddress(QHostAddress::LocalHost)}, {}}); // must touch nothing freed
  Settle(50);
  EXPECT_FALSE(fRemote.hasPendingDatagrams());
}

TEST_F(UdpTest, AFloodIsReadInBoundedBatchesPerEventLoopTurn) {
  Start();
  constexpr int kCount = 3 * TUdpSocket::kBatchDatagrams;
  QUdpSocket sender;
  for (int i = 0; i < kCount; ++i)
    ASSERT_EQ(sender.writeDatagram("x", QHostAddress::LocalHost, fListenPort), 1);
  QCoreApplication::processEvents();
  EXPECT_GT(fWindow.ReceiveCalls(), 0);
  EXPECT_LE(fWindow.ReceiveCalls(), TUdpSocket::kBatchDatagrams);
  EXPECT_TRUE(WaitFor([&] { return fWindow.ReceiveCalls() == kCount; }));
  EXPECT_EQ(fWindow.Received("127.0.0.1"), QByteArray(kCount, 'x'));
}

TEST_F(UdpTest, DatagramsTheKernelDroppedAreCountedInAMaroonLine) {
  Start();
  // Far more than the socket's receive buffer holds, with no reading between.
  const QByteArray big(60000, 'y');
  QUdpSocket sender;
  for (int i = 0; i < 200; ++i)
    sender.writeDatagram(big, QHostAddress::LocalHost, fListenPort);
  // The kernel hands the count over with the next datagram it queues.
  ASSERT_TRUE(WaitFor([&] { return !fWindow.Received("127.0.0.1").isEmpty(); }));
  sender.writeDatagram("z", QHostAddress::LocalHost, fListenPort);
  const auto dropLine = [&] {
    for (const TLogLine &line : fWindow.Lines())
      if (line.color == kColorMaroon && line.text.startsWith(kPrefix) &&
          line.text.contains(QStringLiteral("datagrams lost")))
        return true;
    return false;
  };
  ASSERT_TRUE(WaitFor(dropLine));
  ASSERT_TRUE(WaitFor([&] { return fWindow.Received("127.0.0.1").endsWith('z'); }));
  const qsizetype kept = fWindow.Received("127.0.0.1").size() / big.size();
  EXPECT_TRUE(
      fWindow.HasLine({kPrefix + QString::number(200 - kept) +
                           QStringLiteral(" datagrams lost: the system's receive buffer was full"),
                       kColorMaroon}));
  // The status bar keeps the connection's state.
  for (const QString &status : fWindow.StatusBar())
    EXPECT_FALSE(status.contains(QStringLiteral("datagrams lost")));
}

TEST_F(UdpTest, PerSenderBuffersAreCappedAndNothingIsLost) {
  VexlinDataObjects_Initialize();
  TVexlinReceiver receiver;
  receiver.fVexlinParser_Length.SetDataLength(4);
  receiver.SetParser(&receiver.fVexlinParser_Length);
  TVexlinConnection_Udp udp;
  udp.SetOnStatus([&](TVexlinConnection *, TVexlinConnectionStatus status, const QString &,
                      const QByteArray &sig, const QByteArray &data) {
    if (status == tcsRxData)
      receiver.Receive(data, sig);
  });
  udp.SetSettings(QStringLiteral("PORT_LISTEN"), QString::number(fListenPort));
  udp.Open();
  // Each sender leaves 3 unparsed bytes of a 4-byte packet.
  constexpr int kSenders = TVexlinReceiver::kMaxSourceBuffers + 50;
  for (int i = 0; i < kSenders; ++i) {
    const QByteArray address =
        "127.0." + QByteArray::number(1 + i / 250) + "." + QByteArray::number(1 + i % 250);
    SendFrom(address.constData(), "abc", fListenPort);
    if (i % 200 == 0) { // keep within the socket's receive buffer
      ASSERT_TRUE(WaitFor([&] { return receiver.BufferCount() >= 2 + std::min(i + 1, 1024); }));
    }
  }
  int64_t flushed = 0;
  ASSERT_TRUE(WaitFor([&] {
    TVexlinDataObject *chain = nullptr;
    if (VexlinDataObject_POP(chain))
      for (TVexlinDataObject *o = chain; o; o = o->NextDataObj) {
        EXPECT_EQ(static_cast<TVexlinDataBinary *>(o)->Data, QByteArray("abc"));
        ++flushed;
      }
    FreeDataObjectChain(chain);
    return flushed == kSenders - TVexlinReceiver::kMaxSourceBuffers;
  }));
  EXPECT_EQ(receiver.BufferCount(), 2 + TVexlinReceiver::kMaxSourceBuffers);
  int64_t held = 0;
  for (int i = 2; i < receiver.BufferCount(); ++i)
    held += receiver.Buffer(i).UsedSize();
  EXPECT_EQ(held, 3 * TVexlinReceiver::kMaxSourceBuffers); // every byte a row or still held
  udp.Close();
  VexlinDataObjects_Finalize();
}

} // namespace
