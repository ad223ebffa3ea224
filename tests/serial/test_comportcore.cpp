// The engine core on pseudo-terminals, the device it is written for.
#include "corerecorder.h"
#include "ptypair.h"
#include "scripteddevice.h"
#include "serial/comerrors.h"
#include "serial/comportcore.h"
#include "serial/serialsettings.h"

#include <QFile>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>

namespace {

// The platform's device, with its waits counted.
class TCountingDevice final : public TAfComDevice {
public:
  explicit TCountingDevice(std::atomic<int> &waits) : fWaits(waits) {}
  TAfDeviceOpen Open(const QString &name) override { return fDevice->Open(name); }
  void Close() override { fDevice->Close(); }
  bool SetupComm(uint32_t in, uint32_t out) override { return fDevice->SetupComm(in, out); }
  bool SetCommMask(uint32_t mask) override { return fDevice->SetCommMask(mask); }
  bool SetCommState(const TAfDCB &dcb) override { return fDevice->SetCommState(dcb); }
  bool GetCommState(TAfDCB &dcb) override { return fDevice->GetCommState(dcb); }
  int64_t Read(void *data, int64_t count) override { return fDevice->Read(data, count); }
  TAfDeviceWrite Write(const void *data, int64_t size,
                       std::span<TAfSignal *const> cancel) override {
    return fDevice->Write(data, size, cancel);
  }
  bool ClearCommError(uint32_t &errors, TAfComStat &stat) override {
    return fDevice->ClearCommError(errors, stat);
  }
  bool GetCommModemStatus(uint32_t &status) override { return fDevice->GetCommModemStatus(status); }
  bool EscapeCommFunction(TAfEscapeFunc func) override { return fDevice->EscapeCommFunction(func); }
  bool PurgeComm(uint32_t flags) override { return fDevice->PurgeComm(flags); }
  TAfDeviceWait WaitCommEvent(std::span<TAfSignal *const> waitList, int timeoutMs) override {
    ++fWaits;
    return fDevice->WaitCommEvent(waitList, timeoutMs);
  }

private:
  std::unique_ptr<TAfComDevice> fDevice = AfCreateComDevice();
  std::atomic<int> &fWaits;
};

template <typename F> QString ErrorOf(F action) {
  try {
    action();
  } catch (const EAfComPortCoreError &e) {
    return e.Message();
  }
  return {};
}

QString OpenError(TAfComPortCore &core, const QString &name) {
  return ErrorOf([&] { core.OpenComPort(name); });
}

class CorePty : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Valid());
    core.SetDCB(TAfSerialSettings{}.BuildDCB());
    core.SetOutBuffSize(2048);
    recorder.Attach(core);
  }
  void Open() { ASSERT_TRUE(core.OpenComPort(pty.Path())); }
  // Reads what the core reports as received until `size` bytes came.
  QByteArray Receive(qsizetype size) {
    QByteArray got;
    WaitFor([&] {
      char buffer[4096];
      const int32_t n = core.ReadData(buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, n);
      return got.size() >= size;
    });
    return got;
  }

  TPtyPair pty;
  TCoreRecorder recorder; // outlives the core's event thread
  TAfComPortCore core;
};

TEST_F(CorePty, OpensClosesAndOpensAgain) {
  Open();
  EXPECT_TRUE(core.IsOpen());
  EXPECT_FALSE(core.OpenComPort(pty.Path())); // already open
  core.CloseComPort();
  EXPECT_FALSE(core.IsOpen());
  core.CloseComPort();
  Open(); // the exclusive hold went with the close
  EXPECT_TRUE(core.IsOpen());
}

TEST_F(CorePty, ReportsMissingAndHeldDevicesByNameAndReason) {
  const QString kBusy = QStringLiteral(": port je obsazen, používá ho jiný program");
  TAfComPortCore other;
  other.SetDCB(core.DCB());
  ASSERT_TRUE(other.OpenComPort(pty.Path()));
  const int held = ::open(QFile::encodeName(pty.Path()).constData(), O_RDWR | O_NOCTTY);
  struct TCase {
    QString name, message;
  };
  const TCase cases[] = {
      {QString(), QStringLiteral("Invalid port number ()")},
      {QStringLiteral("ttyPtNoSuchPort7"),
       QStringLiteral("Invalid port number (ttyPtNoSuchPort7): zařízení neexistuje")},
      {QStringLiteral("../tmp/x"),
       QStringLiteral("Invalid port number (../tmp/x): název není názvem zařízení")},
      {QStringLiteral("/dev/null"),
       QStringLiteral("Can't open device /dev/null: zařízení není sériový port")},
      {pty.Path(), QStringLiteral("Can't open device ") + pty.Path() + kBusy}, // held by `other`
  };
  for (const TCase &c : cases) {
    EXPECT_EQ(OpenError(core, c.name), c.message);
    EXPECT_FALSE(core.IsOpen());
  }
  // Held by another program that locked it.
  other.CloseComPort();
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(OpenError(core, pty.Path()), QStringLiteral("Can't open device ") + pty.Path() + kBusy);
  ::close(held);
  Open();
}

TEST_F(CorePty, RefusedBlockLeavesTheCoreClosedHoldingTheDevicesBlock) {
  TAfSerialSettings settings;
  settings.Databits = db7; // a pty keeps 8 data bits whatever it is told
  core.SetDCB(settings.BuildDCB());
  EXPECT_EQ(OpenError(core, pty.Path()),
            QStringLiteral("Error setting parameters from DCB: the device refused data bits 7 "
                           "(the device keeps 8)"));
  EXPECT_FALSE(core.IsOpen());
  EXPECT_EQ(core.DCB().ByteSize, 8);
  Open(); // the device's own block is taken as it is

  // A setting no termios device can take is named with its value.
  settings.Databits = db8;
  settings.FlowControl = fwDtrDsr;
  EXPECT_EQ(ErrorOf([&] { core.SetDCB(settings.BuildDCB()); }),
            QStringLiteral("Error setting parameters from DCB: flow control DTR/DSR is not "
                           "supported"));
  EXPECT_TRUE(core.IsOpen());
}

TEST_F(CorePty, CarriesBytesBothWays) {
  Open();
  const QByteArray out = Pattern(1000, 1);
  ASSERT_TRUE(core.WriteData(out.constData(), out.size()));
  EXPECT_EQ(pty.Read(out.size()), out);
  const QByteArray in = Pattern(3000, 2);
  ASSERT_TRUE(pty.Write(in));
  EXPECT_TRUE(WaitFor([&] { return recorder.Count(ceLineEvent, EV_RXCHAR) >= 1; }));
  EXPECT_EQ(Receive(in.size()), in);
}

TEST_F(CorePty, ReadsWhatIsQueuedWithoutWaitingForMore) {
  Open();
  ASSERT_TRUE(pty.Write("0123456789"));
  ASSERT_TRUE(WaitFor([&] { return core.ComStatus().cbInQue == 10; }));
  char buffer[4096];
  EXPECT_EQ(core.ReadData(buffer, sizeof buffer), 10);
  EXPECT_EQ(QByteArray(buffer, 10), "0123456789");
  EXPECT_EQ(core.ReadData(buffer, sizeof buffer), 0);
}

TEST_F(CorePty, UnreadBytesAreReportedOnceAndThenByThePoll) {
  Open();
  ASSERT_TRUE(pty.Write("abc"));
  ASSERT_TRUE(WaitFor([&] { return recorder.Count(ceNeedReadData) >= 2; }));
  // Nobody reads: the arrival is reported (the kernel may wake the reader
  // twice for one write), then only the 200 ms poll reminds; no storm.
  const int arrivals = recorder.Count(ceLineEvent, EV_RXCHAR);
  EXPECT_GE(arrivals, 1);
  EXPECT_LE(arrivals, 2);
  Settle(450);
  EXPECT_EQ(recorder.Count(ceLineEvent, EV_RXCHAR), arrivals);
  EXPECT_LE(recorder.Count(ceNeedReadData), 6);
  for (const auto &seen : recorder.Seen()) {
    if (seen.Kind == ceNeedReadData) {
      EXPECT_EQ(seen.Data, 3u);
    }
  }
}

TEST_F(CorePty, TakesABlockAsLargeAsTheFreeSpaceAndRefusesOneMore) {
  Open();
  ASSERT_EQ(core.OutBuffFree(), 2048);
  const QByteArray block = Pattern(2049);
  EXPECT_FALSE(core.WriteData(block.constData(), 2049));
  EXPECT_EQ(core.OutBuffUsed(), 0); // nothing of it went in
  EXPECT_TRUE(core.WriteData(block.constData(), 2048));
  EXPECT_EQ(pty.Read(2048), block.left(2048));
}

TEST_F(CorePty, WriteAcrossTheRingEndArrivesInOrderAndFreesTheRingOnce) {
  Open();
  const QByteArray first = Pattern(1500, 3), second = Pattern(1500, 4);
  ASSERT_TRUE(core.WriteData(first.constData(), first.size()));
  EXPECT_EQ(pty.Read(first.size()), first);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count(ceOutFree) == 1; }));
  ASSERT_TRUE(core.WriteData(second.constData(), second.size())); // wraps at 2048
  EXPECT_EQ(pty.Read(second.size()), second);
  ASSERT_TRUE(WaitFor([&] { return recorder.Count(ceOutFree) == 2; }));
  Settle(500);
  EXPECT_EQ(recorder.Count(ceOutFree), 2);
}

TEST_F(CorePty, ClosesWithoutWaitingForALineThatTakesNothing) {
  Open();
  // The far end reads nothing: fill the driver and then the ring.
  const QByteArray block = Pattern(2048);
  int stalled = 0;
  while (stalled < 20) {
    if (core.OutBuffFree() > 0)
      core.WriteData(block.constData(), core.OutBuffFree());
    stalled = core.OutBuffFree() == 0 ? stalled + 1 : 0;
    Settle(10);
  }
  auto closed = std::async(std::launch::async, [&] { core.CloseComPort(); });
  EXPECT_EQ(closed.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  closed.wait();
  EXPECT_FALSE(core.IsOpen());
}

TEST_F(CorePty, PurgeTXEmptiesTheRing) {
  Open();
  const QByteArray block = Pattern(2048);
  while (core.OutBuffUsed() == 0 || core.OutBuffFree() > 0) {
    if (core.OutBuffFree() > 0)
      core.WriteData(block.constData(), core.OutBuffFree());
    Settle(5);
  }
  EXPECT_TRUE(core.PurgeTX());
  EXPECT_EQ(core.OutBuffUsed(), 0);
  EXPECT_TRUE(core.PurgeRX());
}

TEST(CoreHangUp, FarEndHangUpIsReportedOnceWithoutBusyLoop) {
  TPtyPair pty;
  ASSERT_TRUE(pty.Valid());
  std::atomic<int> waits{0};
  TCoreRecorder recorder;
  TAfComPortCore core(std::make_unique<TCountingDevice>(waits));
  recorder.Attach(core);
  core.SetDCB(TAfSerialSettings{}.BuildDCB());
  ASSERT_TRUE(core.OpenComPort(pty.Path()));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return recorder.Count(ceDeviceLost) == 1; }));
  core.ComStatus(); // gathers the device's line errors
  EXPECT_EQ(core.ComError() & CE_IOE, CE_IOE);
  const int waitsAtHangUp = waits;
  Settle(1000);
  EXPECT_EQ(recorder.Count(ceLineEvent, EV_ERR), 1);
  EXPECT_EQ(recorder.Count(ceDeviceLost), 1);
  EXPECT_LE(waits - waitsAtHangUp, 10); // the 200 ms poll, no spinning
  core.CloseComPort();
}

TEST(CoreClosed, OperationsGiveNeutralResultsWithoutTouchingTheDevice) {
  auto script = std::make_shared<TDeviceScript>();
  TAfComPortCore core(std::make_unique<TScriptedDevice>(script));
  char byte = 'x';
  EXPECT_FALSE(core.WriteData(&byte, 1));
  EXPECT_EQ(core.ReadData(&byte, 1), -1);
  EXPECT_EQ(core.ComStatus().cbInQue, 0u);
  EXPECT_EQ(core.ComError(), 0u);
  EXPECT_EQ(core.ModemStatus(), 0u);
  EXPECT_FALSE(core.EscapeComm(efSetDTR));
  EXPECT_EQ(core.OutBuffFree(), 0);
  EXPECT_EQ(core.OutBuffUsed(), 0);
  EXPECT_FALSE(core.PurgeRX());
  EXPECT_FALSE(core.PurgeTX());
  EXPECT_TRUE(script->Escapes.empty());
}

TEST(CoreScripted, ChunkAcrossTheRingEndIsWrittenInTwoPieces) {
  auto script = std::make_shared<TDeviceScript>();
  TAfComPortCore core(std::make_unique<TScriptedDevice>(script));
  core.SetOutBuffSize(2048);
  ASSERT_TRUE(core.OpenComPort(QStringLiteral("scripted")));
  const QByteArray first = Pattern(1500, 5), second = Pattern(1500, 6);
  ASSERT_TRUE(core.WriteData(first.constData(), first.size()));
  ASSERT_TRUE(WaitFor([&] { return core.OutBuffUsed() == 0; }));
  ASSERT_TRUE(core.WriteData(second.constData(), second.size()));
  ASSERT_TRUE(WaitFor([&] { return script->Writes().size() == 3; }));
  const std::vector<QByteArray> writes = script->Writes();
  EXPECT_EQ(writes[0], first);
  EXPECT_EQ(writes[1], second.left(548));
  EXPECT_EQ(writes[2], second.mid(548));
  core.CloseComPort();
}

TEST(CoreScripted, RefusesAnEmptyRingAndADeviceThatWillNotOpen) {
  auto script = std::make_shared<TDeviceScript>();
  TAfComPortCore core(std::make_unique<TScriptedDevice>(script));
  core.SetOutBuffSize(0);
  EXPECT_EQ(OpenError(core, QStringLiteral("scripted")),
            QStringLiteral("Error initializing buffers"));
  EXPECT_FALSE(core.IsOpen());
  script->OpenFails = true;
  core.SetOutBuffSize(16);
  EXPECT_EQ(OpenError(core, QStringLiteral("scripted")),
            QStringLiteral("Can't open device scripted"));
}

} // namespace
