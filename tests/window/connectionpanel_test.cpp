// The "Connection" tab driving real TCP and UDP peers on loopback.
#include "app/connectionpanel.h"
#include "app/serialgroup.h"
#include "app/statusbar.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/udpconnection.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

namespace {

const QString kTcp = kTcpClientDescription + QStringLiteral(" - ");
const QString kUdp = kUdpDescription + QStringLiteral(" - ");
// A Pelmar 97 frame as the default parser cuts it.
const QByteArray kFrame = QByteArray::fromHex("2A610008010223148107AA0D");

class ConnectionPanelTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    panel = window->ConnectionPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  }
  void TearDown() override {
    delete peer;
    WindowTest::TearDown();
  }

  void SetTcp(const QString &host, int port) {
    panel->edtTcpHost->setText(host);
    panel->iedTcpPort->setText(QString::number(port));
  }
  bool AcceptPeer() {
    if (!WaitFor([&] { return server.hasPendingConnections(); }))
      return false;
    peer = server.nextPendingConnection();
    peer->setParent(nullptr);
    return true;
  }
  // Waits for `count` log rows of `color` that read `text` (or begin with
  // it, for `prefix`).
  bool HasLine(const QString &text, TColor color, bool prefix = false, int count = 1) {
    return WaitFor([&] {
      int found = 0;
      for (const Row &r : Rows(window->vstTerminal()))
        found += r.kind == "TVexlinDataLog" && r.color == color &&
                 (prefix ? r.bytes.startsWith(text.toUtf8()) : r.bytes == text.toUtf8());
      return found >= count;
    });
  }
  void TypeCommand(const char *text) {
    auto *edit = window->findChild<QLineEdit *>("edtCommandLine");
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  // Bytes of every received binary row, in order.
  QByteArray ReceivedBytes() {
    QByteArray all;
    for (const Row &r : Rows(window->vstTerminal()))
      if (r.kind != "TVexlinDataLog" && r.direction == spRx)
        all += r.bytes;
    return all;
  }
  TVexlinConnection_Udp *Udp() {
    return dynamic_cast<TVexlinConnection_Udp *>(window->Connections().Connection());
  }

  TConnectionPanel *panel = nullptr;
  QTcpServer server;
  QTcpSocket *peer = nullptr;
};

TEST_F(ConnectionPanelTest, TcpConnectExchangeAndPeerClose) {
  SetTcp("127.0.0.1", server.serverPort());
  QTest::mouseClick(panel->btnTcpConnectDisconnect, Qt::LeftButton);
  ASSERT_TRUE(AcceptPeer());
  const QString connected =
      kTcp + "connect (127.0.0.1:" + QString::number(server.serverPort()) + ")";
  ASSERT_TRUE(HasLine(connected, kColorGreen));
  EXPECT_EQ(window->LastConnection(), "TCP_CLIENT");
  EXPECT_TRUE(WaitFor([&] { return window->PtStatusBar()->PanelText(1) == connected; }));
  EXPECT_TRUE(
      WaitFor([&] { return panel->btnTcpConnectDisconnect->text() == kCaptionDisconnect; }));
  // While TCP runs only its own fields stay usable.
  EXPECT_TRUE(panel->edtTcpHost->isEnabled());
  EXPECT_FALSE(panel->rbTcpIPv4->isEnabled());
  EXPECT_FALSE(panel->btnUdpConnectDisconnect->isEnabled());
  EXPECT_FALSE(panel->edtUdpRemoteAddress->isEnabled());

  TypeCommand("AT");
  ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 3; }));
  EXPECT_EQ(peer->readAll(), "AT\r"); // "+<CR>" is on by default

  peer->write(kFrame + kFrame.left(5));
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return ReceivedBytes() == kFrame; }));
  EXPECT_TRUE(WaitFor([&] { return Remainder(window->vstRxBuffer()) == kFrame.left(5); }));

  peer->disconnectFromHost();
  ASSERT_TRUE(HasLine(kTcp + "disconnect", kColorMaroon));
  bool redBeforeMaroon = false;
  for (const Row &r : Rows(window->vstTerminal())) {
    if (r.color == kColorRed)
      redBeforeMaroon = true;
    if (r.color == kColorMaroon)
      break;
  }
  EXPECT_TRUE(redBeforeMaroon);
  EXPECT_TRUE(WaitFor([&] { return panel->btnTcpConnectDisconnect->text() == kCaptionConnect; }));
  EXPECT_TRUE(panel->rbTcpIPv4->isEnabled());
  EXPECT_TRUE(panel->btnUdpConnectDisconnect->isEnabled());
}

TEST_F(ConnectionPanelTest, TcpButtonErrorsAndClosedPort) {
  // A port the setting refuses: the red line, nothing connects.
  SetTcp("127.0.0.1", 65536);
  ASSERT_EQ(panel->iedTcpPort->GetValue(), 65536);
  panel->btnTcpConnectDisconnect->click();
  EXPECT_TRUE(HasLine(ErrorLinePrefix(), kColorRed, true));
  EXPECT_EQ(window->Connections().Connection(), nullptr);
  EXPECT_EQ(panel->btnTcpConnectDisconnect->text(), kCaptionConnect);

  // A closed port: an error line, then "disconnect", and the button returns.
  const quint16 closed = server.serverPort();
  server.close();
  SetTcp("127.0.0.1", closed);
  panel->btnTcpConnectDisconnect->click();
  ASSERT_TRUE(HasLine(kTcp + "disconnect", kColorMaroon));
  EXPECT_TRUE(WaitFor([&] { return panel->btnTcpConnectDisconnect->text() == kCaptionConnect; }));
}

TEST_F(ConnectionPanelTest, UdpStartExchangeAndStop) {
  QUdpSocket device;
  ASSERT_TRUE(device.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
  panel->edtUdpRemoteAddress->setText(QStringLiteral("127.0.0.2"));
  panel->ieUdpRemotePort->setText(QString::number(device.localPort()));
  panel->ieUdpListenPort->setText(QStringLiteral("0"));
  panel->btnUdpConnectDisconnect->click();
  ASSERT_NE(Udp(), nullptr);
  EXPECT_TRUE(HasLine(kUdp + "connecting (port: 0)", kColorTeal));
  EXPECT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStop);
  EXPECT_EQ(window->LastConnection(), "UDP_CLIENT");
  EXPECT_FALSE(panel->btnTcpConnectDisconnect->isEnabled());

  TypeCommand("hello");
  ASSERT_TRUE(WaitFor([&] { return device.hasPendingDatagrams(); }));
  EXPECT_EQ(device.receiveDatagram().data(), "hello\r");

  device.writeDatagram(kFrame, QHostAddress::LocalHost, Udp()->LocalPort());
  ASSERT_TRUE(WaitFor([&] { return ReceivedBytes() == kFrame; }));

  panel->btnUdpConnectDisconnect->click();
  EXPECT_EQ(window->Connections().Connection(), nullptr);
  EXPECT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStart);
  EXPECT_TRUE(panel->btnTcpConnectDisconnect->isEnabled());
  EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ConnectionPanelTest, UdpPortInUseIsShownAndTheButtonStaysStop) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::Any, 0));
  panel->ieUdpListenPort->setText(QString::number(holder.localPort()));
  panel->edtUdpRemoteAddress->setText(QStringLiteral("127.0.0.1"));
  panel->btnUdpConnectDisconnect->click();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(HasLine(ErrorLinePrefix(), kColorRed, true));
  EXPECT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStop);
  panel->btnUdpConnectDisconnect->click();
  EXPECT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStart);

  // Sending to a host that cannot be resolved is logged, never thrown. The
  // lookup answers without asking a real DNS.
  struct TNoSuchHost : THostResolver {
    void Lookup(const QString &host, std::function<void(TLookupResult)> done) override {
      done({{}, QStringLiteral("Host %1 not found").arg(host)});
    }
  };
  window->Connections().NewUdp = [] {
    return std::make_unique<TVexlinConnection_Udp>(std::make_shared<TNoSuchHost>());
  };
  panel->ieUdpListenPort->setText(QStringLiteral("0"));
  panel->edtUdpRemoteAddress->setText(QStringLiteral("no-such-host.invalid"));
  panel->btnUdpConnectDisconnect->click();
  TypeCommand("x");
  EXPECT_TRUE(HasLine(ErrorLinePrefix() + "Host no-such-host.invalid not found", kColorRed));
}

TEST_F(ConnectionPanelTest, StatusBarDoubleClickTogglesTheLastConnection) {
  // Nothing used yet: the double click brings up the "Connection" tab.
  auto *tools = window->findChild<QTabWidget *>("pgcLeftTools");
  tools->setCurrentIndex(1);
  TPtStatusBar *bar = window->PtStatusBar();
  const QPoint onConnectionPanel(TPtStatusBar::kPanelWidths[0] + 20, bar->height() / 2);
  ASSERT_EQ(bar->WhatPanelClick(onConnectionPanel), 1);
  QTest::mouseDClick(bar, Qt::LeftButton, {}, onConnectionPanel);
  EXPECT_EQ(tools->currentWidget()->objectName(), "tsConnection");

  SetTcp("127.0.0.1", server.serverPort());
  panel->btnTcpConnectDisconnect->click();
  ASSERT_TRUE(AcceptPeer());
  ASSERT_TRUE(WaitFor([&] { return window->Connections().TcpConnected(); }));
  QTest::mouseDClick(bar, Qt::LeftButton, {}, onConnectionPanel);
  EXPECT_EQ(window->Connections().Connection(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));

  QTest::mouseDClick(bar, Qt::LeftButton, {}, onConnectionPanel);
  EXPECT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));

  // Once UDP was started, the double click stops and starts it.
  panel->btnTcpConnectDisconnect->click();
  panel->ieUdpListenPort->setText(QStringLiteral("0"));
  panel->btnUdpConnectDisconnect->click();
  ASSERT_EQ(window->LastConnection(), "UDP_CLIENT");
  QTest::mouseDClick(bar, Qt::LeftButton, {}, onConnectionPanel);
  EXPECT_EQ(window->Connections().Connection(), nullptr);
  QTest::mouseDClick(bar, Qt::LeftButton, {}, onConnectionPanel);
  EXPECT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStop);
}

TEST_F(ConnectionPanelTest, ClosingTheWindowEndsTheConnection) {
  SetTcp("localhost", server.serverPort());
  panel->btnTcpConnectDisconnect->click();
  ASSERT_TRUE(AcceptPeer());
  ASSERT_TRUE(WaitFor([&] { return window->Connections().TcpConnected(); }));
  Close();
  EXPECT_TRUE(WaitFor([&] {
    peer->waitForReadyRead(0);
    return peer->state() == QAbstractSocket::UnconnectedState;
  }));
}

TEST_F(WindowTest, ConnectionGroupsAndButtonsNeverOverlap) {
  TConnectionPanel *panel = window->ConnectionPanel();
  TSerialPortGroup *serial = window->SerialGroup();
  auto *scroll = window->findChild<QScrollArea *>("sbConnection");
  ASSERT_TRUE(panel && serial && scroll);
  const QList<QWidget *> parts = {serial, panel->gbTcpSocket, panel->gbUdp,
                                  window->findChild<QPushButton *>("btnDeviceManager")};
  ASSERT_TRUE(parts.last());
  const QSize sizes[] = {window->size(), QSize(800, 560), window->minimumSizeHint()};
  for (const QSize size : sizes)
    for (bool logShown : {false, true}) {
      window->resize(size);
      if (serial->grpSerialLogSettings->isHidden() == logShown)
        serial->btnComPortSystemSettings->click();
      Process();
      const std::string where = std::to_string(window->width()) + "x" +
                                std::to_string(window->height()) + (logShown ? " log" : "");
      for (int i = 0; i < parts.size(); ++i) {
        // Whole, inside the panel, which the tab scrolls to.
        EXPECT_TRUE(panel->rect().contains(parts[i]->geometry())) << where << " " << i;
        for (int j = i + 1; j < parts.size(); ++j)
          EXPECT_FALSE(parts[i]->geometry().intersects(parts[j]->geometry()))
              << where << ": " << parts[i]->objectName().toStdString() << " and "
              << parts[j]->objectName().toStdString();
      }
      if (panel->height() > scroll->viewport()->height()) {
        EXPECT_TRUE(scroll->verticalScrollBar()->isVisible()) << where;
      }
    }
}

} // namespace
