// Connecting and disconnecting by the buttons again and again must leave
// nothing behind in the window but the log rows.
#include "app/connectionpanel.h"
#include "app/serialgroup.h"
#include "connections/connectioncontroller.h"
#include "serial/ptypair.h"
#include "view/terminalview.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <malloc.h>

namespace {

constexpr int kCycles = 1000;
constexpr size_t kAllowedGrowth = 1024 * 1024;

class ConnectionCycles : public WindowTest {
protected:
  // Heap bytes in use (main arena, where the window allocates), after the
  // log rows are dropped: they are the log and grow by design, so the list is
  // cleared before each measurement and every 100 cycles.
  size_t HeapInUse() {
    Settle(200); // rows still on their way land first
    window->vstTerminal()->Clear();
    return mallinfo2().uordblks;
  }
  template <class F> void Cycle(F &&oneCycle) {
    for (int i = 0; i < 20; ++i) // warm up: first-use caches, pools, fonts
      oneCycle();
    const size_t before = HeapInUse();
    for (int i = 0; i < kCycles; ++i) {
      oneCycle();
      if (i % 100 == 99)
        window->vstTerminal()->Clear();
    }
    const size_t after = HeapInUse();
    EXPECT_LT(after, before + kAllowedGrowth)
        << "grew by " << (after - before) / kCycles << " bytes a cycle";
  }
};

TEST_F(ConnectionCycles, TcpButtonCyclesLeaveTheHeapAsItWas) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TConnectionPanel *panel = window->ConnectionPanel();
  panel->edtTcpHost->setText(QStringLiteral("127.0.0.1"));
  panel->iedTcpPort->setText(QString::number(server.serverPort()));
  TConnectionController &connections = window->Connections();
  Cycle([&] {
    panel->btnTcpConnectDisconnect->click();
    ASSERT_TRUE(WaitFor([&] { return connections.TcpConnected(); }));
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    delete server.nextPendingConnection();
    panel->btnTcpConnectDisconnect->click();
    ASSERT_FALSE(connections.TcpRunning());
  });
}

TEST_F(ConnectionCycles, SerialButtonCyclesLeaveTheHeapAsItWas) {
  TPtyPair pty;
  ASSERT_TRUE(pty.Valid());
  TSerialPortGroup *group = window->SerialGroup();
  group->cbbComPort->setEditText(pty.Path());
  Cycle([&] {
    group->btnOpenClose->click();
    ASSERT_TRUE(WaitFor([&] { return group->btnOpenClose->text() == QStringLiteral("Close"); }));
    group->btnOpenClose->click();
    ASSERT_TRUE(WaitFor([&] { return group->btnOpenClose->text() == QStringLiteral("Open"); }));
  });
}

} // namespace
