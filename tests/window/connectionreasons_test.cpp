// The window's log of the TCP client: a disconnect by hand is no error, and
// a connection that fails says why, in the window's language.
#include "app/connectionpanel.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/manualresolver.h"
#include "connections/tcpclient.h"
#include "view/terminalview.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <sys/socket.h>

namespace {

const QString kPrefix = kTcpClientDescription + QStringLiteral(" - ");

class ConnectionReasons : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->LoadLanguage(QStringLiteral(PT_DATA_FILES_DIR "/pt.lng.cs.xml"));
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    panel = window->ConnectionPanel();
    SetTarget(QStringLiteral("127.0.0.1"), server.serverPort());
  }
  void SetTarget(const QString &host, quint16 port) {
    panel->edtTcpHost->setText(host);
    panel->iedTcpPort->setText(QString::number(port));
  }
  QStringList Lines(TColor color) { return LogLines(window->vstTerminal(), color); }
  bool HasLine(TColor color, const QString &text) {
    return WaitFor([&] { return Lines(color).contains(text); });
  }
  // Connected by the button; the far end's socket.
  QTcpSocket *ConnectByButton() {
    panel->btnTcpConnectDisconnect->click();
    if (!WaitFor([&] { return window->Connections().TcpConnected(); }) ||
        !WaitFor([&] { return server.hasPendingConnections(); }))
      return nullptr;
    return server.nextPendingConnection();
  }

  QTcpServer server;
  TConnectionPanel *panel = nullptr;
};

TEST_F(ConnectionReasons, ADisconnectByHandLogsNoError) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_NE(ConnectByButton(), nullptr);
    panel->btnTcpConnectDisconnect->click();
    ASSERT_FALSE(window->Connections().TcpRunning());
  }
  ASSERT_TRUE(WaitFor([&] { return Lines(kColorMaroon).size() == 3; }));
  Settle(100);
  EXPECT_EQ(Lines(kColorRed), QStringList());
  for (const QString &line : Lines(kColorTeal))
    EXPECT_FALSE(line.endsWith(QLatin1String("unknown"))) << line.toStdString();
  EXPECT_TRUE(Lines(kColorTeal).contains(kPrefix + "hledám adresu 127.0.0.1"));
}

TEST_F(ConnectionReasons, ARefusedPortAndAResetPeerSayWhy) {
  QTcpSocket *peer = ConnectByButton();
  ASSERT_NE(peer, nullptr);
  const linger now{1, 0}; // closing with a zero linger sends a reset
  ASSERT_EQ(::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                         sizeof now),
            0);
  peer->abort();
  EXPECT_TRUE(HasLine(kColorRed, kPrefix + "error: spojení zrušeno protistranou (reset)"));
  ASSERT_TRUE(WaitFor([&] { return !window->Connections().TcpRunning(); }));

  const quint16 port = server.serverPort();
  server.close();
  SetTarget(QStringLiteral("127.0.0.1"), port);
  panel->btnTcpConnectDisconnect->click();
  EXPECT_TRUE(HasLine(kColorRed, kPrefix + "error: spojení odmítnuto"));
}

TEST_F(ConnectionReasons, AHostWithoutAnAddressIsNamed) {
  // Never the real DNS: a resolver that finds nothing when told.
  const auto resolver = std::make_shared<TManualResolver>();
  window->Connections().NewTcpClient = [resolver] {
    return std::make_unique<TVexlinConnection_TcpClient>(
        TVexlinConnection_TcpClient::kDefaultConnectTimeoutMs, resolver);
  };
  SetTarget(QStringLiteral("device.invalid"), server.serverPort());
  panel->btnTcpConnectDisconnect->click();
  ASSERT_TRUE(WaitFor([&] { return resolver->Hosts().size() == 1; }));
  resolver->Answer({});
  EXPECT_TRUE(HasLine(kColorRed, kPrefix + "error: neznámý počítač device.invalid"));
}

} // namespace
