// Real Modbus masters polling the window's "Modbus zařízení" over a socat
// pseudo-terminal pair: mbpoll, and pymodbus's client for all eight
// functions (RTU here; ASCII against the capture mode). A pseudo-terminal
// keeps 8 data bits without parity whatever it is told, so the line is
// 19200 8N1 on both ends.
#include "app/parserpage.h"
#include "app/serialgroup.h"
#include "serial/comport.h"
#include "tools/responderpage.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

namespace {

const QString kMaster = QStringLiteral(PT_TEST_DATA_DIR "/modbus_master.py");

class ResponderPeersTest : public WindowTest {
protected:
  void SetUp() override {
    for (const char *tool : {"/usr/bin/socat", "/usr/bin/mbpoll"})
      if (!QFileInfo::exists(QString::fromLatin1(tool)))
        GTEST_SKIP() << tool << " is not installed";
    ASSERT_TRUE(links.isValid());
    ours = links.filePath(QStringLiteral("ours"));
    theirs = links.filePath(QStringLiteral("theirs"));
    socat.start(QStringLiteral("/usr/bin/socat"),
                {QStringLiteral("pty,raw,echo=0,link=") + ours,
                 QStringLiteral("pty,raw,echo=0,link=") + theirs});
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(ours) && QFileInfo::exists(theirs); }));
    WindowTest::SetUp();
    page = window->ResponderPage();
  }
  void TearDown() override {
    if (window)
      WindowTest::TearDown();
    socat.terminate();
    socat.waitForFinished();
  }
  // The user adds the table's entries from address 0 on and types their values.
  void Fill(int table, std::initializer_list<int> values) {
    page->cbbDeviceTable->setCurrentIndex(table);
    for (const int value : values) {
      page->actPointAdd->trigger();
      const int row = page->sgDevice->currentRow();
      ASSERT_GE(row, 0);
      page->sgDevice->item(row, 1)->setText(QString::number(value));
    }
  }
  void StartDevice() {
    Fill(mtHoldingRegisters, {10, 20, 30, 40});
    Fill(mtInputRegisters, {7, 8});
    Fill(mtCoils, {1, 0, 1, 0});
    Fill(mtDiscreteInputs, {0, 1});
    page->seDeviceUnit->setValue(1);
    page->chkDeviceActive->setChecked(true);
    page->chkActive->setChecked(true);
    TParserPage *parser = window->ParserPage();
    parser->rbProtocolModbus->click();
    parser->rbProtocolModbusRTU->click();
    TSerialPortGroup *group = window->SerialGroup();
    const int speed = group->cbbBaudRate->findText(QStringLiteral("19200"));
    ASSERT_GE(speed, 0);
    group->cbbBaudRate->setCurrentIndex(speed);
    emit group->cbbBaudRate->activated(speed);
    group->cbbComPort->setEditText(QFileInfo(ours).canonicalFilePath());
    group->btnOpenClose->click();
    ASSERT_TRUE(window->SerialPort().Active());
    ASSERT_EQ(window->SerialPort().GetNumericBaudrate(), 19200u);
  }
  // Runs a peer to its end with the window's events going; its output.
  QString Run(const QString &program, const QStringList &arguments, int *exitCode = nullptr) {
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.start(program, arguments);
    EXPECT_TRUE(WaitFor([&] { return peer.state() == QProcess::NotRunning; }, 60000));
    if (exitCode)
      *exitCode = peer.exitCode();
    return QString::fromLocal8Bit(peer.readAll());
  }
  QString MbPoll(QStringList arguments) {
    return Run(QStringLiteral("/usr/bin/mbpoll"),
               QStringList{"-m", "rtu", "-a", "1", "-b", "19200", "-P", "none", "-d", "8", "-s",
                           "1", "-1", "-o", "2"} +
                   arguments);
  }
  uint16_t Value(int table, uint16_t address) {
    const auto &points = page->Settings().device.tables[size_t(table)];
    const auto it = points.find(address);
    return it == points.end() ? 0xDEAD : it->second.value;
  }

  QTemporaryDir links;
  QString ours, theirs;
  QProcess socat;
  TResponderPage *page = nullptr;
};

TEST_F(ResponderPeersTest, MbpollReadsAndWritesTheTable) {
  StartDevice();
  QString out = MbPoll({"-t", "4", "-r", "1", "-c", "4", theirs});
  for (const char *line : {"[1]: \t10", "[2]: \t20", "[3]: \t30", "[4]: \t40"})
    EXPECT_TRUE(out.contains(QLatin1String(line))) << line << "\n" << out.toStdString();
  out = MbPoll({"-t", "3", "-r", "1", "-c", "2", theirs});
  EXPECT_TRUE(out.contains("[1]: \t7") && out.contains("[2]: \t8")) << out.toStdString();
  out = MbPoll({"-t", "0", "-r", "1", "-c", "4", theirs});
  EXPECT_TRUE(out.contains("[1]: \t1") && out.contains("[2]: \t0") && out.contains("[3]: \t1"))
      << out.toStdString();

  out = MbPoll({"-t", "4", "-r", "2", theirs, "4321"});
  EXPECT_TRUE(out.contains("Written 1 references")) << out.toStdString();
  out = MbPoll({"-t", "0", "-r", "4", theirs, "1"});
  EXPECT_TRUE(out.contains("Written 1 references")) << out.toStdString();
  // The window's table holds what was written, on the page at once.
  ASSERT_TRUE(WaitFor([&] { return Value(mtHoldingRegisters, 1) == 4321; }));
  ASSERT_TRUE(WaitFor([&] { return Value(mtCoils, 3) == 1; }));
  page->cbbDeviceTable->setCurrentIndex(mtHoldingRegisters);
  EXPECT_EQ(page->sgDevice->item(1, 1)->text(), "4321");

  out = MbPoll({"-t", "4", "-r", "101", "-c", "1", theirs});
  EXPECT_TRUE(out.contains("Illegal data address")) << out.toStdString();
}

TEST_F(ResponderPeersTest, PymodbusRunsTheEightFunctionsInRtu) {
  StartDevice();
  int code = -1;
  const QString out =
      Run(QStringLiteral("/usr/bin/python3"), {kMaster, theirs, "rtu", "19200"}, &code);
  EXPECT_EQ(code, 0) << out.toStdString();
  EXPECT_EQ(Value(mtHoldingRegisters, 3), 77);
  EXPECT_EQ(Value(mtCoils, 3), 1);
  // Every answer was a transmitted row, every request a Modbus row.
  EXPECT_GE(Rows(window->vstTerminal()).size(), 22u);
}

TEST_F(ResponderPeersTest, PymodbusPollsTheCaptureModeInAscii) {
  TResponderSettings rig;
  rig.device.enabled = true;
  rig.device.unit = 1;
  for (uint16_t a = 0; a < 4; ++a) {
    rig.device.tables[mtHoldingRegisters][a] = {uint16_t(10 * (a + 1)), {}};
    rig.device.tables[mtCoils][a] = {uint16_t(a % 2 == 0), {}};
  }
  rig.device.tables[mtInputRegisters] = {{0, {7, {}}}, {1, {8, {}}}};
  rig.device.tables[mtDiscreteInputs] = {{0, {0, {}}}, {1, {1, {}}}};
  const QString file = dir.filePath(QStringLiteral("rig.xml"));
  QString error;
  ASSERT_TRUE(SaveResponderFile(file, rig, error)) << error.toStdString();
  QProcess capture;
  capture.start(QStringLiteral(PT_PROGRAM),
                {"--capture", "serial:" + QFileInfo(ours).canonicalFilePath() + ":19200",
                 "--parser", "modbus-ascii", "--respond", file, "--log",
                 dir.filePath(QStringLiteral("rig.vexlin.txt"))});
  ASSERT_TRUE(capture.waitForStarted());
  int code = -1;
  const QString out =
      Run(QStringLiteral("/usr/bin/python3"), {kMaster, theirs, "ascii", "19200"}, &code);
  EXPECT_EQ(code, 0) << out.toStdString() << capture.readAllStandardError().toStdString();
  capture.terminate();
  ASSERT_TRUE(capture.waitForFinished());
  EXPECT_EQ(capture.exitCode(), 0) << capture.readAllStandardError().toStdString();
}

} // namespace
