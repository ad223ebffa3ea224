// The port component over pseudo-terminals: opening, bytes, write errors,
// settings the device refuses and a far end that hangs up.
#include "portrecorder.h"
#include "ptypair.h"
#include "serial/comerrors.h"
#include "serial/comport.h"

#include <gtest/gtest.h>

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
            "Invalid port number (ttyPtNoSuchPort7): the device does not exist");
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
  EXPECT_EQ(recorder.Events,
            QStringList({"PortOpen", QStringLiteral("LineError %1").arg(CE_IOE), "PortClose"}));
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
