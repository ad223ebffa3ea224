// Connecting and disconnecting by the buttons again and again must cost the
// process no memory beyond the rows it logs, and leave no thread or open
// file behind.
#include "app/connectionpanel.h"
#include "app/serialgroup.h"
#include "connections/connectioncontroller.h"
#include "serial/ptypair.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <fstream>
#include <string>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define PT_CYCLES_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PT_CYCLES_ASAN 1
#endif
#endif

namespace {

#ifdef PT_CYCLES_ASAN
// The sanitizer's quarantine holds freed memory back on purpose, so the
// resident size says nothing there; the cycles still run for its checks.
constexpr bool kBoundResidentMemory = false;
#else
constexpr bool kBoundResidentMemory = true;
#endif

constexpr int kWarmUp = 50; // first-use caches, pools, fonts
constexpr int kCycles = 1000;
constexpr long kAllowedGrowth = 5L * 1024 * 1024;

struct TProcessUse {
  long resident = 0; // bytes
  int threads = 0;
  int files = 0;
};

TProcessUse ProcessUse() {
  TProcessUse use;
  long pages = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages >> pages; // the size, then the resident part
  use.resident = pages * ::sysconf(_SC_PAGESIZE);
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0)
      use.threads = std::stoi(line.substr(8));
  use.files = static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
  return use;
}

class ConnectionCycles : public WindowTest {
protected:
  TProcessUse SettledUse() {
    Settle(200); // rows still on their way land first
    return ProcessUse();
  }
  // The rows each cycle logs stay in the list, as they do for the user: they
  // are what would keep anything a connection left alive. Their own cost
  // (some 6,000 rows, about 1.5 MB) is inside the bound.
  template <class F> void Cycle(F &&oneCycle) {
    for (int i = 0; i < kWarmUp && !HasFatalFailure(); ++i)
      oneCycle();
    const TProcessUse before = SettledUse();
    for (int i = 0; i < kCycles && !HasFatalFailure(); ++i)
      oneCycle();
    ASSERT_FALSE(HasFatalFailure());
    const TProcessUse after = SettledUse();
    RecordProperty("resident_growth_kb", std::to_string((after.resident - before.resident) / 1024));
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.files, before.files);
    if (kBoundResidentMemory) {
      EXPECT_LT(after.resident - before.resident, kAllowedGrowth)
          << "resident memory grew by " << (after.resident - before.resident) / kCycles
          << " bytes a cycle";
    }
  }
  bool LastRowIsPacket() {
    TVexlinTree *list = window->vstTerminal();
    const size_t rows = list->RowCount();
    return rows > 0 && dynamic_cast<TVexlinDataBinary *>(list->NodeAt(rows - 1)->Data);
  }
};

// Each connection also brings a frame, as a device greeting its client does:
// the packet and its bytes are made on the connection's own thread.
TEST_F(ConnectionCycles, TcpButtonCyclesKeepTheResidentMemory) {
  const QByteArray greeting = QByteArray::fromHex("2A610008010223148107AA0D");
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
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    peer->write(greeting);
    peer->flush();
    ASSERT_TRUE(WaitFor([&] { return LastRowIsPacket(); }));
    peer.reset();
    panel->btnTcpConnectDisconnect->click();
    ASSERT_FALSE(connections.TcpRunning());
  });
}

TEST_F(ConnectionCycles, SerialButtonCyclesKeepTheResidentMemory) {
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
