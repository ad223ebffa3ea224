// The connection framework: statuses, settings, status lines, the current
// connection and the hand-off of UI updates from process threads.
#include "base/pterror.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/tcpclient.h"
#include "connections/udpconnection.h"
#include "connections/uithreadcalls.h"
#include "connections/vexlinconnectionthreaded.h"
#include "testsupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A connection whose statuses the test raises; counts its destruction.
class TFakeConnection : public TVexlinConnection {
public:
  explicit TFakeConnection(std::atomic<int> *destroyed = nullptr) : fDestroyed(destroyed) {}
  ~TFakeConnection() override {
    if (fDestroyed)
      ++*fDestroyed;
  }
  using TVexlinConnection::SetStatus;
  bool WaitingData() override { return !fWaiting.isEmpty(); }
  bool Read(QByteArray &aBuffer) override {
    aBuffer.append(fWaiting);
    fWaiting.clear();
    return true;
  }
  void Send(const QByteArray &) override {}
  QString GetDescription() const override { return QStringLiteral("Fake"); }
  QString GetStrSettings() const override { return QStringLiteral("a:1"); }
  int closes = 0;
  QByteArray fWaiting;

protected:
  bool InternalOpen() override { return true; }
  bool InternalClose() override {
    ++closes;
    return true;
  }

private:
  std::atomic<int> *fDestroyed;
};

// A threaded connection whose process thread reports without pause.
class TChattyConnection : public TVexlinConnectionThreaded {
public:
  TChattyConnection() { StartThread(); }
  ~TChattyConnection() override { StopThread(); }
  bool WaitingData() override { return false; }
  bool Read(QByteArray &) override { return false; }
  void Send(const QByteArray &) override {}
  QString GetDescription() const override { return QStringLiteral("Chatty"); }
  QString GetStrSettings() const override { return {}; }
  std::atomic<int> reports{0};

protected:
  bool InternalOpen() override { return true; }
  bool InternalClose() override { return true; }
  void Process(TProcessThread &thread) override {
    while (!thread.Terminated()) {
      SetStatus(tcsStatusText, QStringLiteral("tick"));
      ++reports;
    }
    SetStatus(tcsDisconnect);
  }
};

TEST(ConnectionStatus, StatesNotifyOnlyOnChangeEventsAlways) {
  TFakeConnection connection;
  std::vector<TVexlinConnectionStatus> seen;
  connection.SetOnStatus([&](TVexlinConnection *, TVexlinConnectionStatus s, const QString &,
                             const QByteArray &, const QByteArray &) { seen.push_back(s); });
  connection.SetStatus(tcsConnect, QStringLiteral("first"));
  connection.SetStatus(tcsConnect, QStringLiteral("second"));
  connection.SetStatus(tcsError, QStringLiteral("oops"));
  connection.SetStatus(tcsError, QStringLiteral("oops"));
  connection.SetStatus(tcsUnknown);
  EXPECT_EQ(seen,
            (std::vector<TVexlinConnectionStatus>{tcsConnect, tcsError, tcsError, tcsUnknown}));
  EXPECT_EQ(connection.Status(), tcsConnect);
  EXPECT_EQ(connection.StatusText(), QStringLiteral("first"));
}

TEST(ConnectionStatus, NumericValuesAreTheContract) {
  EXPECT_EQ(int(tcsUnknown), 0);
  EXPECT_EQ(int(tcsDisconnect), 4);
  EXPECT_EQ(int(tcsStatusText), 8);
}

TEST(ConnectionSettings, TcpKeysIgnoreCaseAndUnknownKeysAreEmpty) {
  TVexlinConnection_TcpClient tcp;
  EXPECT_EQ(tcp.GetStrSettings(), QStringLiteral("192.168.1.254:10001"));
  tcp.SetSettings(QStringLiteral("host"), QStringLiteral("example.test"));
  tcp.SetSettings(QStringLiteral("Port"), QStringLiteral("65535"));
  EXPECT_EQ(tcp.GetSettings(QStringLiteral("HOST")), QStringLiteral("example.test"));
  EXPECT_EQ(tcp.GetSettings(QStringLiteral("port")), QStringLiteral("65535"));
  tcp.SetSettings(QStringLiteral("nothing"), QStringLiteral("x"));
  EXPECT_EQ(tcp.GetSettings(QStringLiteral("nothing")), QString());
  for (const char *ipv : {"6", "4", "v6", ""}) {
    tcp.SetSettings(QStringLiteral("ipv"), QString::fromLatin1(ipv));
    EXPECT_EQ(tcp.GetSettings(QStringLiteral("IPV")),
              QString::fromLatin1(ipv) == QStringLiteral("6") ? QStringLiteral("6")
                                                              : QStringLiteral("4"));
  }
}

TEST(ConnectionSettings, RefusedValuesRaiseAndKeepTheOldValue) {
  TVexlinConnection_TcpClient tcp;
  for (const char *bad : {"65536", "-1", "abc", "", "12x"})
    EXPECT_THROW(tcp.SetSettings(QStringLiteral("PORT"), QString::fromLatin1(bad)), EPtError)
        << bad;
  EXPECT_EQ(tcp.GetSettings(QStringLiteral("PORT")), QStringLiteral("10001"));

  TVexlinConnection_Udp udp;
  EXPECT_THROW(udp.SetSettings(QStringLiteral("port_listen"), QStringLiteral("70000")), EPtError);
  EXPECT_THROW(udp.SetSettings(QStringLiteral("PORT_REMOTE"), QStringLiteral("x")), EPtError);
  EXPECT_THROW(udp.SetSettings(QStringLiteral("PORT_SOURCE"), QStringLiteral("1.5")), EPtError);
  udp.SetSettings(QStringLiteral("PORT_REMOTE"), QStringLiteral("70000")); // checked on sending
  udp.SetSettings(QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(udp.GetSettings(QStringLiteral("HOST")), QString());
  EXPECT_THROW(udp.Send("x"), EPtError);
}

TEST(ConnectionStatusLine, TextsAndColoursPerStatus) {
  TFakeConnection c;
  const struct {
    TVexlinConnectionStatus status;
    const char *line;
    TColor color;
  } cases[] = {
      {tcsUnknown, "Fake - msg", kColorTeal}, // a step of the transport's own
      {tcsConnecting, "Fake - connecting (a:1)", kColorTeal},
      {tcsConnect, "Fake - connect (a:1)", kColorGreen},
      {tcsDisconnecting, "Fake - disconnecting", kColorTeal},
      {tcsDisconnect, "Fake - disconnect", kColorMaroon},
      {tcsError, "Fake - error: msg", kColorRed},
      {tcsPropertyChange, "Fake - ", kColorTeal},
      {tcsStatusText, "Fake - msg", kColorFuchsia},
  };
  for (const auto &k : cases) {
    const TConnectionStatusLine line = ConnectionStatusLine(c, k.status, QStringLiteral("msg"));
    EXPECT_EQ(line.line, QString::fromLatin1(k.line));
    EXPECT_EQ(line.color, k.color) << k.line;
  }
  EXPECT_EQ(ConnectionStatusLine(c, tcsUnknown, QString()).line, QStringLiteral("Fake - unknown"));
  EXPECT_EQ(kColorMaroon, 128u);
}

TEST(ConnectionController, RxDataGoesToReceiveOrLogsAnEmptyTealLine) {
  TRecordingWindow window;
  TConnectionController controller(window.Window());
  auto owned = std::make_unique<TFakeConnection>();
  TFakeConnection *c = owned.get();
  controller.SetConnection(std::move(owned));
  c->SetStatus(tcsRxData, kNewDataText, "sig", "abc");
  c->fWaiting = "def";
  c->SetStatus(tcsRxData, kNewDataText);
  c->SetStatus(tcsRxData, kNewDataText);
  EXPECT_EQ(window.Received("sig"), QByteArray("abc"));
  EXPECT_EQ(window.Received(), QByteArray("def"));
  EXPECT_EQ(window.Lines(), (std::vector<TLogLine>{{QStringLiteral("Fake - "), kColorTeal}}));
  EXPECT_EQ(window.StatusBar(), std::vector<QString>{QStringLiteral("Fake - ")});
}

TEST(ConnectionController, SetConnectionClosesAndDestroysThePreviousOne) {
  TRecordingWindow window;
  TConnectionController controller(window.Window());
  std::atomic<int> destroyed{0};
  auto first = std::make_unique<TFakeConnection>(&destroyed);
  TFakeConnection *raw = first.get();
  controller.SetConnection(std::move(first));
  controller.SetConnection(std::unique_ptr<TVexlinConnection>(raw)); // the same: nothing
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(raw->closes, 0);
  controller.SetConnection(std::make_unique<TFakeConnection>(&destroyed));
  EXPECT_EQ(destroyed, 1);
  controller.SetConnection(nullptr);
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(controller.Connection(), nullptr);
}

TEST(UiThreadCalls, CallsFromAThreadRunOnTheUiThreadInOrder) {
  std::vector<int> order;
  std::atomic<bool> wrongThread{false};
  TProcessThread thread([&](TProcessThread &) {
    for (int i = 0; i < 200; ++i)
      TUiThreadCalls::Run([&, i] {
        wrongThread = wrongThread || !TUiThreadCalls::OnUiThread();
        order.push_back(i);
      });
  });
  thread.start();
  ASSERT_TRUE(WaitFor([&] { return thread.isFinished(); }));
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i)
    EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_FALSE(wrongThread);
}

TEST(UiThreadCalls, WaitingForAThreadServesItsCalls) {
  int served = 0;
  TProcessThread thread([&](TProcessThread &self) {
    while (!self.Terminated())
      TUiThreadCalls::Run([&] { ++served; });
  });
  thread.start();
  ASSERT_TRUE(WaitFor([&] { return served > 10; }));
  thread.Terminate();
  thread.WaitFor(); // without serving, this would deadlock
  EXPECT_TRUE(thread.isFinished());
}

TEST(ConnectionController, DestroyingAConnectionWhileItsThreadReportsEnds) {
  TRecordingWindow window;
  TConnectionController controller(window.Window());
  auto owned = std::make_unique<TChattyConnection>();
  TChattyConnection *chatty = owned.get();
  controller.SetConnection(std::move(owned));
  ASSERT_TRUE(WaitFor([&] { return chatty->reports > 50; }));
  controller.SetConnection(nullptr);
  const std::vector<TLogLine> lines = window.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), (TLogLine{QStringLiteral("Chatty - disconnect"), kColorMaroon}));
  EXPECT_EQ(window.StatusBar().size(), lines.size());
}

} // namespace
