// The port component over pseudo-terminals: opening, bytes, write errors,
// settings the device refuses and a far end that hangs up.
#include "portrecorder.h"
#include "ptypair.h"
#include "serial/comerrors.h"
#include "serial/comport.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

template <class F> QString ErrorOf(F &&action) {
  try {
    action();
  } catch (const EPtError &e) {
    return e.Message();
  }
  return {};
}

class PortPty : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Valid());
    port.setObjectName(QStringLiteral("AfComPort1"));
    port.SetPortName(pty.Path());
  }

  TPtyPair pty;
  TAfComPort port;
  TPortRecorder recorder{port};
};

TEST_F(PortPty, OpensCarriesBytesOnTheUiThreadAndCloses) {
  port.Open();
  ASSERT_TRUE(port.Active());
  port.WriteString("ping");
  EXPECT_EQ(pty.Read(4), "ping");
  const QByteArray in = Pattern(10000, 9);
  ASSERT_TRUE(pty.Write(in));
  ASSERT_TRUE(WaitFor([&] { return recorder.Received.size() >= in.size(); }));
  EXPECT_EQ(recorder.Received, in);
  port.Close();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(recorder.Events.first(), "PortOpen");
  EXPECT_EQ(recorder.Events.last(), "PortClose");
  EXPECT_GE(recorder.CountStarting("Data "), 1);
  EXPECT_TRUE(recorder.AllOnUiThread);
}

TEST_F(PortPty, FailedOpenRaisesTheCoresErrorAndNoOpenEvent) {
  port.SetPortName(QStringLiteral("ttyPtNoSuchPort7"));
  EXPECT_EQ(ErrorOf([&] { port.Open(); }),
            "Invalid port number (ttyPtNoSuchPort7): zařízení neexistuje");
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(recorder.Count("PortOpen"), 0);
}

TEST_F(PortPty, WriteErrorsNameTheSizeTheFreeSpaceAndThePort) {
  EXPECT_EQ(ErrorOf([&] { port.WriteString("x"); }),
            "Write data error [requested: 1, free: 0] - AfComPort1 "); // closed
  port.Open();
  const QByteArray block = Pattern(3000);
  EXPECT_EQ(ErrorOf([&] { port.WriteString(block); }),
            "Write data error [requested: 3000, free: 2048] - AfComPort1 ");
  EXPECT_EQ(ErrorOf([&] { port.WriteString(block.left(2049)); }),
            "Write data error [requested: 2049, free: 2048] - AfComPort1 ");
  EXPECT_EQ(ErrorOf([&] { port.WriteString(block.left(2048)); }), QString());
  EXPECT_EQ(pty.Read(2048), block.left(2048));
  EXPECT_EQ(ErrorOf([&] { port.SetOutBufSize(4096); }), "Port is not closed - AfComPort1 ");
}

TEST_F(PortPty, EmptiedRingIsAnnouncedExactlyOnce) {
  port.Open();
  port.WriteString(Pattern(2000));
  EXPECT_EQ(pty.Read(2000).size(), 2000);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count("OutBufFree") == 1; }));
  Settle(500);
  EXPECT_EQ(recorder.Count("OutBufFree"), 1);
}

TEST_F(PortPty, SettingRefusedByTheDeviceKeepsThePortOnTheDevicesValue) {
  port.Open();
  port.SetBaudRate(br9600);
  EXPECT_EQ(port.SettingsStr(), pty.Path() + ": 9600,N,8,1");
  // A pty always runs 8 data bits: the change is refused, the port stays open.
  EXPECT_EQ(ErrorOf([&] { port.SetDatabits(db7); }),
            "Error setting parameters from DCB: the device refused data bits 7 (the device keeps "
            "8)");
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(port.Databits(), db8);
  EXPECT_EQ(port.DCB().ByteSize, 8);
  EXPECT_EQ(port.SettingsStr(), pty.Path() + ": 9600,N,8,1");
  port.SetUserBaudRate(250000); // any rate through termios2
  EXPECT_EQ(port.SettingsStr(), pty.Path() + ": 250000,N,8,1");
}

TEST_F(PortPty, RenamingAnOpenPortReopensIt) {
  TPtyPair other;
  ASSERT_TRUE(other.Valid());
  port.Open();
  port.SetPortName(other.Path());
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(recorder.Events, QStringList({"PortOpen", "PortClose", "PortOpen"}));
  port.WriteString("moved");
  EXPECT_EQ(other.Read(5), "moved");
}

TEST_F(PortPty, FarEndHangUpGivesOneLineErrorAndClosesThePort) {
  port.Open();
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return recorder.Count("PortClose") == 1; }));
  EXPECT_FALSE(port.Active());
  Settle(500);
  // The lost device is told apart from a close the program asks for.
  EXPECT_EQ(recorder.Events, QStringList({"PortOpen", QStringLiteral("LineError %1").arg(CE_IOE),
                                          "DeviceLost", "PortClose"}));
}

TEST(Port, PropertiesRebuildTheBlock) {
  TAfComPort port;
  port.setObjectName(QStringLiteral("AfComPort1"));
  EXPECT_EQ(port.SettingsStr(), ": 115200,N,8,1");
  port.SetUserBaudRate(230400);
  EXPECT_EQ(port.BaudRate(), brUser);
  EXPECT_EQ(port.DCB().BaudRate, 230400u);
  port.SetBaudRate(br9600);
  EXPECT_EQ(port.UserBaudRate(), 0u);
  EXPECT_EQ(port.DCB().BaudRate, 9600u);

  port.SetFlowControl(fwXOnXOff);
  EXPECT_EQ(port.DCB().XonLim, 1024);
  EXPECT_EQ(port.DCB().XoffLim, 3072);
  port.SetInBufSize(8192);
  EXPECT_EQ(port.DCB().XonLim, 2048);

  TAfDCB dcb = port.DCB();
  dcb.BaudRate = 128000;
  dcb.Flags = 0x2015;
  dcb.Parity = 2;
  port.SetDCB(dcb);
  EXPECT_EQ(port.BaudRate(), br128000);
  EXPECT_EQ(port.FlowControl(), fwRtsCts);
  EXPECT_EQ(port.Parity(), paEven);
  EXPECT_EQ(port.DCB().Flags, 0x2015u);
  dcb.DCBlength = 27;
  EXPECT_EQ(ErrorOf([&] { port.SetDCB(dcb); }), "Error setting parameters from DCB - AfComPort1 ");
  EXPECT_FALSE(port.ExecuteConfigDialog());
}

} // namespace

namespace {

// The event thread reads on while the UI thread is busy, up to the inbox's
// capacity and no further; once the UI thread runs again every byte arrives,
// in order, most of them in one hand-off.
TEST_F(PortPty, ReadingGoesOnWhileTheUiThreadIsBusyUpToTheCapacity) {
  port.Open();
  ASSERT_TRUE(port.Active());
  constexpr qsizetype kChunk = 64 * 1024;
  const qsizetype total = TAfComPort::kInputCapacity + 16 * kChunk;
  QByteArray in(total, Qt::Uninitialized);
  uint32_t state = 12345;
  for (qsizetype i = 0; i < total; ++i) {
    state = state * 1103515245u + 12345u;
    in[i] = static_cast<char>(state >> 24);
  }
  std::atomic<qsizetype> written{0};
  std::thread writer([&] {
    for (qsizetype at = 0; at < total; at += kChunk) {
      if (!pty.Write(in.mid(at, kChunk)))
        return;
      written += std::min(kChunk, total - at);
    }
  });
  // The UI thread runs no events here: whatever the writer gets rid of
  // beyond the device's own buffer, the event thread has taken.
  qsizetype last = -1;
  for (int quiet = 0, spins = 0; quiet < 5 && spins < 400; ++spins) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const qsizetype now = written.load();
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
  EXPECT_GE(written.load(), TAfComPort::kInputCapacity / 2) << "the engine waited for the UI";
  EXPECT_LT(written.load(), total) << "the engine read past its capacity";

  ASSERT_TRUE(WaitFor([&] { return recorder.Received.size() >= total; }, 30000));
  writer.join();
  EXPECT_TRUE(recorder.Received == in);
  const QString first = recorder.Events.value(1);
  ASSERT_TRUE(first.startsWith("Data ")) << first.toStdString();
  EXPECT_GE(first.mid(5).toLongLong(), TAfComPort::kInputCapacity / 2);
}

} // namespace
