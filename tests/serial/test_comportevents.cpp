// Line events, modem lines and line errors, which a pty does not have,
// through a scripted device; and closing while events are on their way.
#include "portrecorder.h"
#include "ptypair.h"
#include "scripteddevice.h"
#include "serial/comerrors.h"
#include "serial/safesync.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

class PortScripted : public ::testing::Test {
protected:
  void SetUp() override {
    port.setObjectName(QStringLiteral("AfComPort1"));
    port.SetPortName(QStringLiteral("scripted"));
    port.Open();
  }

  std::shared_ptr<TDeviceScript> script = std::make_shared<TDeviceScript>();
  TAfComPort port{nullptr, std::make_unique<TScriptedDevice>(script)};
  TPortRecorder recorder{port};
};

TEST_F(PortScripted, LineEventsArriveInOrderOnTheUiThread) {
  script->Post(EV_CTS);
  script->Post(EV_DSR | EV_RING);
  script->Post(EV_ERR, CE_FRAME | CE_OVERRUN);
  script->Post(EV_RLSD | EV_CTS | EV_RXCHAR | EV_ERR, CE_BREAK, "xyz");
  const QStringList expected = {"PortOpen",
                                "CTS",
                                "DSR",
                                "RING",
                                QStringLiteral("LineError %1").arg(CE_FRAME | CE_OVERRUN),
                                "Data 3",
                                QStringLiteral("LineError %1").arg(CE_BREAK),
                                "CTS",
                                "RLSD"};
  ASSERT_TRUE(WaitFor([&] { return recorder.Events.size() >= expected.size(); }));
  EXPECT_EQ(recorder.Events, expected);
  EXPECT_EQ(recorder.Received, "xyz");
  EXPECT_TRUE(recorder.AllOnUiThread);
}

TEST_F(PortScripted, ModemLinesAndOutputLines) {
  script->ModemLines = MS_CTS_ON | MS_RLSD_ON;
  EXPECT_TRUE(port.CTS());
  EXPECT_FALSE(port.DSR());
  EXPECT_FALSE(port.RING());
  EXPECT_TRUE(port.RLSD());
  EXPECT_EQ(port.ModemStatus(), MS_CTS_ON | MS_RLSD_ON);

  // DTR switches at once; the block follows with the next parameter change.
  ASSERT_TRUE(port.DCB().Flags & kAfDcbDtrEnable);
  port.SetDTR(false);
  port.SetDTR(false);
  port.SetRTS(false);
  EXPECT_EQ(script->Escapes, std::vector<TAfEscapeFunc>({efClrDTR, efClrRTS}));
  EXPECT_TRUE(port.DCB().Flags & kAfDcbDtrEnable);
  port.SetParity(paOdd);
  EXPECT_FALSE(port.DCB().Flags & kAfDcbDtrEnable);
  EXPECT_FALSE(port.DCB().Flags & kAfDcbRtsEnable);
}

TEST_F(PortScripted, ClosingWhileTheUiThreadIsBusyDropsPendingEvents) {
  // The UI thread runs no events while the event thread hands over.
  for (int i = 0; i < 20; ++i)
    script->Post(EV_CTS);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  port.Close(); // must not wait for the blocked hand-off
  EXPECT_FALSE(port.Active());
  Settle(500);
  EXPECT_EQ(recorder.Events, QStringList({"PortOpen", "PortClose"}));
}

TEST_F(PortScripted, NoHandlerRunsAfterAClosingHandler) {
  QObject::connect(&port, &TAfComPort::OnDSRChanged, [&] { port.Close(); });
  script->Post(EV_CTS | EV_DSR | EV_RING | EV_RLSD);
  script->Post(EV_CTS);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count("PortClose") == 1; }));
  Settle(500);
  EXPECT_EQ(recorder.Events, QStringList({"PortOpen", "CTS", "DSR", "PortClose"}));
}

TEST_F(PortScripted, ReopenedPortGetsNoEventsOfTheEarlierSession) {
  // One delivery waits in the UI thread's queue when the port closes.
  script->Post(EV_RING);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  port.Close();
  port.Open(); // before the UI thread ran the queued deliveries
  Settle(500);
  EXPECT_EQ(recorder.Count("RING"), 0);
  script->Post(EV_CTS);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count("CTS") == 1; }));
}

TEST_F(PortScripted, ErrorOfAHandlerGoesToTheErrorDisplay) {
  QStringList shown;
  AfSetSyncErrorDisplay([&](const QString &message) { shown << message; });
  QObject::connect(&port, &TAfComPort::OnCTSChanged, [] { throw EPtError("handler failed"); });
  script->Post(EV_CTS);
  script->Post(EV_DSR);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count("DSR") == 1; }));
  AfSetSyncErrorDisplay(nullptr);
  EXPECT_EQ(shown, QStringList({"handler failed"}));
}

TEST_F(PortScripted, DestroyingAnOpenPortRaisesNoCloseEvent) {
  auto other = std::make_unique<TAfComPort>(
      nullptr, std::make_unique<TScriptedDevice>(std::make_shared<TDeviceScript>()));
  TPortRecorder otherRecorder(*other);
  other->SetPortName(QStringLiteral("scripted"));
  other->Open();
  other.reset();
  EXPECT_EQ(otherRecorder.Events, QStringList({"PortOpen"}));
}

} // namespace
