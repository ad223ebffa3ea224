// The window and the capture against real Modbus stacks: a pymodbus server
// (RTU behind a pty relay, TCP on 127.0.0.1) answers the protocol panel's
// requests, and mbpoll, a real master, polls it while the window listens on a
// copy of the line. PT_SKIP_PEERS=1 skips these where the peers cannot be
// installed; otherwise a missing peer fails with what to install.
#include "app/connectionpanel.h"
#include "app/parserpage.h"
#include "app/serialgroup.h"
#include "codecs/modbusframing.h"
#include "connections/connectioncontroller.h"
#include "pipeline/datamodbus.h"
#include "tools/modbuspanel.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

namespace {

const char *const kPython = "/usr/bin/python3";

// A peer script of tests/peers, running until the test ends.
class TPeer {
public:
  ~TPeer() {
    if (fProcess.state() == QProcess::NotRunning)
      return;
    fProcess.closeWriteChannel(); // the script ends with its input
    if (!fProcess.waitForFinished(3000)) {
      fProcess.kill();
      fProcess.waitForFinished(3000);
    }
  }
  // Starts the script and reads its "NAME value" lines up to "READY".
  bool Start(const QStringList &arguments) {
    fProcess.setProgram(QLatin1String(kPython));
    fProcess.setArguments(QStringList{QStringLiteral(PT_PEERS_DIR "/modbus_peer.py")} + arguments);
    fProcess.start();
    if (!fProcess.waitForStarted(5000))
      return false;
    return WaitFor([&] { return Read(), fValues.contains(QStringLiteral("READY")); }, 20000);
  }
  QString Value(const QString &name) const { return fValues.value(name); }
  // The relay's pieces from the server ("S") or the client ("C"), joined.
  QByteArray Stream(const QString &side) {
    Read();
    return fStreams.value(side);
  }
  QString Errors() { return QString::fromLocal8Bit(fProcess.readAllStandardError()); }

private:
  void Read() {
    while (fProcess.canReadLine()) {
      const QString line = QString::fromLatin1(fProcess.readLine()).trimmed();
      const QString name = line.section(u' ', 0, 0);
      const QString value = line.section(u' ', 1);
      if (name == u"S" || name == u"C")
        fStreams[name] += QByteArray::fromHex(value.toLatin1());
      else
        fValues[name] = value;
    }
  }
  QProcess fProcess;
  QHash<QString, QString> fValues;
  QHash<QString, QByteArray> fStreams;
};

// Empty when `program` runs with `arguments`; else why not.
QString Missing(const QString &program, const QStringList &arguments, const QString &package) {
  QProcess check;
  check.start(program, arguments);
  if (check.waitForFinished(20000) && check.exitStatus() == QProcess::NormalExit &&
      check.exitCode() == 0)
    return {};
  return QStringLiteral("%1 is missing: install %2 (scripts/install-deps), or set "
                        "PT_SKIP_PEERS=1 to skip the tests against real Modbus peers")
      .arg(program, package);
}

// One request of the panel and what the server's datastore answers.
struct TExchange {
  int instruction; // the panel's list: 0 = function 1 … 7 = function 16
  int from;
  int count;
  const char *values;
  QList<uint16_t> registers; // of the answer
  QList<bool> bits;          // of the answer
};

QList<bool> Bits(const char *text) {
  QList<bool> bits;
  for (const char *c = text; *c; ++c)
    bits.append(*c == '1');
  return bits;
}

class ModbusPeers : public WindowTest {
protected:
  void SetUp() override {
    QString missing =
        Missing(QLatin1String(kPython), {"-c", "import pymodbus.server, serial, serial_asyncio"},
                "python3-pymodbus, python3-serial and python3-serial-asyncio");
    if (missing.isEmpty())
      missing = Missing(QStringLiteral("mbpoll"), {"-V"}, "mbpoll");
    if (!missing.isEmpty()) {
      if (qgetenv("PT_SKIP_PEERS") == "1")
        GTEST_SKIP() << missing.toStdString();
      FAIL() << missing.toStdString();
    }
    WindowTest::SetUp();
  }

  void SelectModbus(QRadioButton *type) {
    window->ParserPage()->rbProtocolModbus->click();
    type->click();
  }
  void OpenSerial(const QString &path) {
    TSerialPortGroup *group = window->SerialGroup();
    group->cbbComPort->setEditText(path);
    group->btnOpenClose->click();
    ASSERT_TRUE(WaitFor([&] { return group->btnOpenClose->text() == "Close"; }));
  }
  // The Modbus rows of the list, the log lines left out.
  std::vector<TVexlinDataBinary_Modbus *> ModbusRows() {
    std::vector<TVexlinDataBinary_Modbus *> rows;
    TVexlinTree *list = window->vstTerminal();
    for (size_t i = 0; i < list->RowCount(); ++i)
      if (auto *row = dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(i)->Data))
        rows.push_back(row);
    return rows;
  }
  // Waits for the request and the answer of an exchange after `before` rows.
  bool TakeExchange(size_t before, TVexlinDataBinary_Modbus *&request,
                    TVexlinDataBinary_Modbus *&answer) {
    std::vector<TVexlinDataBinary_Modbus *> rows;
    if (!WaitFor([&] { return (rows = ModbusRows()).size() >= before + 2; }))
      return false;
    request = rows[before];
    answer = rows[before + 1];
    return rows.size() == before + 2;
  }

  // Sends each exchange from the panel, one answer at a time, and checks
  // that the answer decodes to the datastore's values and passes its check.
  void Exchange(const TExchange &e, TModbusType type) {
    TfModBusPanel *panel = window->ModBusPanel();
    const size_t before = ModbusRows().size();
    panel->ieDeviceAddress->SetValue(1);
    panel->cbbInstruction->setCurrentIndex(e.instruction);
    panel->ieFrom->SetValue(e.from);
    panel->ieCount->SetValue(e.count);
    panel->edtValues->setText(QLatin1String(e.values));
    panel->btn1->click();
    TVexlinDataBinary_Modbus *request = nullptr, *answer = nullptr;
    ASSERT_TRUE(TakeExchange(before, request, answer)) << ModbusRows().size() - before;
    EXPECT_EQ(request->Direction, spTx);
    EXPECT_EQ(answer->Direction, spRx);
    EXPECT_EQ(answer->ModbusType, type);
    EXPECT_EQ(ModbusFrameFault(answer->Data, type).Kind, TModbusFrameFault::None)
        << answer->FaultText().toStdString();
    EXPECT_TRUE(answer->Paired());
    const TModbusMessage m = answer->Decoded();
    EXPECT_EQ(m.Fault, TModbusFault::None) << answer->GetTextInfo().toStdString();
    EXPECT_FALSE(m.Exception) << answer->GetTextInfo().toStdString();
    EXPECT_EQ(m.Direction, TModbusDirection::Response);
    EXPECT_EQ(m.Registers, e.registers);
    EXPECT_EQ(m.Bits, e.bits);
  }

  // The eight functions, then the reads again after the writes.
  void EveryFunction(TModbusType type) {
    const TExchange exchanges[] = {
        {0, 1, 10, "", {}, Bits("1011001011")},
        {1, 10001, 8, "", {}, Bits("01101001")},
        {2, 40001, 4, "", {100, 200, 300, 0x1234}, {}},
        {3, 30002, 3, "", {22, 33, 44}, {}},
        {4, 2, 1, "1", {0xFF00}, Bits("1")},
        {5, 40006, 1, "4242", {4242}, {}},
        {6, 11, 3, "1,1,1", {}, {}},
        {7, 40008, 2, "500,0x0102", {}, {}},
        // What the writes changed.
        {0, 1, 16, "", {}, Bits("1111001011111001")},
        {2, 40005, 5, "", {0xFFFF, 4242, 7, 500, 0x0102}, {}},
    };
    for (const TExchange &e : exchanges) {
      SCOPED_TRACE(testing::Message() << "instruction " << e.instruction << " from " << e.from);
      Exchange(e, type);
      if (HasFatalFailure())
        return;
    }
  }
};

TEST_F(ModbusPeers, RtuServerAnswersEveryFunctionOfThePanel) {
  TPeer server;
  ASSERT_TRUE(server.Start({"rtu"})) << server.Errors().toStdString();
  SelectModbus(window->ParserPage()->rbProtocolModbusRTU);
  OpenSerial(server.Value("CLIENT"));
  EveryFunction(mbtRTU);
}

TEST_F(ModbusPeers, TcpServerAnswersEveryFunctionOfThePanel) {
  TPeer server;
  ASSERT_TRUE(server.Start({"tcp"})) << server.Errors().toStdString();
  SelectModbus(window->ParserPage()->rbProtocolModbusTCP);
  EXPECT_EQ(window->ModBusPanel()->ModbusType(), mbtTCP);
  TConnectionPanel *panel = window->ConnectionPanel();
  panel->edtTcpHost->setText(QStringLiteral("127.0.0.1"));
  panel->iedTcpPort->setText(server.Value("PORT"));
  panel->btnTcpConnectDisconnect->click();
  ASSERT_TRUE(WaitFor([&] { return window->Connections().TcpConnected(); }));
  EveryFunction(mbtTCP);
}

TEST_F(ModbusPeers, AnAnswerDamagedOnTheLineCarriesTheCrcMark) {
  TPeer server;
  ASSERT_TRUE(server.Start({"rtu", "--flip"})) << server.Errors().toStdString();
  SelectModbus(window->ParserPage()->rbProtocolModbusRTU);
  OpenSerial(server.Value("CLIENT"));
  TfModBusPanel *panel = window->ModBusPanel();
  panel->ieDeviceAddress->SetValue(1);
  panel->cbbInstruction->setCurrentIndex(2);
  panel->ieFrom->SetValue(40001);
  panel->ieCount->SetValue(2);
  panel->btn1->click();
  TVexlinDataBinary_Modbus *request = nullptr, *answer = nullptr;
  ASSERT_TRUE(TakeExchange(0, request, answer)) << ModbusRows().size();
  const TModbusFrameFault fault = ModbusFrameFault(answer->Data, mbtRTU);
  EXPECT_EQ(fault.Kind, TModbusFrameFault::Crc);
  EXPECT_EQ(fault.Position, 7);
  EXPECT_TRUE(answer->GetTextInfo().contains(QStringLiteral("Chyba rámce: CRC")));
  // The flipped byte arrives as the relay passed it on: 0x00 became 0x01.
  EXPECT_EQ(answer->Data.left(4).toHex(), "01030401");
}

// The capture reads the same RTU exchange and logs every answer exactly as
// the server sent it, each a Modbus row whose CRC holds.
TEST_F(ModbusPeers, CaptureLogsEveryFrameTheServerSent) {
  TPeer server;
  ASSERT_TRUE(server.Start({"rtu"})) << server.Errors().toStdString();
  const QStringList requests = {
      "{1,1,0,0,0,10}",  "{1,2,0,0,0,8}",     "{1,3,0,0,0,4}",       "{1,4,0,1,0,3}",
      "{1,5,0,1,$FF,0}", "{1,6,0,5,$10,$92}", "{1,15,0,10,0,3,1,7}", "{1,16,0,7,0,2,4,1,$F4,1,2}"};
  QStringList arguments = {
      "--capture",  QStringLiteral("serial:%1:19200").arg(server.Value("CLIENT")),
      "--parser",   "modbus-rtu",
      "--log",      dir.filePath("capture.vexlin.txt"),
      "--interval", "150"};
  for (const QString &request : requests) {
    // The panel's RTU framing, here as command text with the CRC spelt out.
    const QByteArray message = [&] {
      QByteArray bytes;
      for (const QString &n : request.mid(1, request.size() - 2).split(u','))
        bytes.append(
            static_cast<char>(n.startsWith(u'$') ? n.mid(1).toInt(nullptr, 16) : n.toInt()));
      return bytes;
    }();
    const uint16_t crc = ModbusCRC16(message);
    arguments << "--send"
              << request.chopped(1) +
                     QStringLiteral(",$%1,$%2}").arg(crc & 0xFF, 0, 16).arg(crc >> 8, 0, 16);
  }
  QProcess capture;
  capture.start(QStringLiteral(PT_PROGRAM), arguments);
  ASSERT_TRUE(capture.waitForStarted(5000));
  // Six requests of 8 bytes, then 10 and 13; the answers' sizes follow
  // from the datastore.
  ASSERT_TRUE(WaitFor(
      [&] { return server.Stream("C").size() == 71 && server.Stream("S").size() == 69; }, 20000))
      << server.Stream("C").toHex().toStdString() << " / "
      << server.Stream("S").toHex().toStdString();
  WaitFor([] { return false; }, 1200); // the log is written at least once a second
  capture.terminate();
  ASSERT_TRUE(capture.waitForFinished(10000));
  EXPECT_EQ(capture.exitCode(), 0) << capture.readAllStandardError().toStdString();

  QFile log(dir.filePath("capture.vexlin.txt"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(log.readAll());
  static const QRegularExpression kFrame(QStringLiteral("(rx|tx) rtu hex:([0-9A-Fa-f ]+)"));
  QByteArray received, sent;
  int frames = 0;
  for (auto match = kFrame.globalMatch(text); match.hasNext();) {
    const auto m = match.next();
    const QByteArray frame = QByteArray::fromHex(m.captured(2).toLatin1());
    EXPECT_EQ(ModbusFrameFault(frame, mbtRTU).Kind, TModbusFrameFault::None)
        << frame.toHex().toStdString();
    (m.captured(1) == u"rx" ? received : sent) += frame;
    ++frames;
  }
  EXPECT_EQ(frames, 16) << text.toStdString();
  EXPECT_EQ(received, server.Stream("S"));
  EXPECT_EQ(sent, server.Stream("C"));
}

// mbpoll polls the server through the relay; the window has the relay's copy
// of the line open, as a monitor clipped onto the bus.
TEST_F(ModbusPeers, ListeningToMbpollPollingTheServer) {
  TPeer server;
  ASSERT_TRUE(server.Start({"rtu", "--tap"})) << server.Errors().toStdString();
  SelectModbus(window->ParserPage()->rbProtocolModbusRTU);
  OpenSerial(server.Value("TAP"));
  const QString line = server.Value("CLIENT");
  const QStringList common = {"-m", "rtu", "-a", "1", "-b", "19200", "-P", "none", "-1"};
  struct Poll {
    QStringList arguments;
    uint8_t function;
    QList<uint16_t> registers;
    QList<bool> bits;
  };
  const Poll polls[] = {
      {{"-t", "4", "-r", "1", "-c", "4", line}, 3, {100, 200, 300, 0x1234}, {}},
      {{"-t", "3", "-r", "2", "-c", "2", line}, 4, {22, 33}, {}},
      {{"-t", "0", "-r", "1", "-c", "8", line}, 1, {}, Bits("10110010")},
      {{"-t", "1", "-r", "1", "-c", "4", line}, 2, {}, Bits("0110")},
      {{"-t", "4", "-r", "9", line, "9000", "9001"}, 16, {}, {}},
      {{"-t", "4", "-r", "9", "-c", "2", line}, 3, {9000, 9001}, {}},
  };
  for (const Poll &poll : polls) {
    SCOPED_TRACE(poll.arguments.join(u' ').toStdString());
    const size_t before = ModbusRows().size();
    QProcess mbpoll;
    mbpoll.start(QStringLiteral("mbpoll"), common + poll.arguments);
    ASSERT_TRUE(mbpoll.waitForFinished(10000));
    ASSERT_EQ(mbpoll.exitCode(), 0) << mbpoll.readAll().toStdString();
    TVexlinDataBinary_Modbus *request = nullptr, *answer = nullptr;
    ASSERT_TRUE(TakeExchange(before, request, answer)) << ModbusRows().size() - before;
    const TModbusMessage asked = request->Decoded();
    EXPECT_EQ(asked.Function, poll.function);
    EXPECT_EQ(asked.Direction, TModbusDirection::Request);
    EXPECT_TRUE(answer->Paired()) << answer->GetTextInfo().toStdString();
    const TModbusMessage m = answer->Decoded();
    EXPECT_EQ(m.Direction, TModbusDirection::Response);
    EXPECT_EQ(m.Fault, TModbusFault::None);
    EXPECT_EQ(m.Function, poll.function);
    EXPECT_EQ(m.Registers, poll.registers);
    EXPECT_EQ(m.Bits, poll.bits);
    EXPECT_TRUE(answer->GetTextInfo().contains(QStringLiteral("Odpověď za ")));
  }
  EXPECT_EQ(ModbusRows().size(), 2 * std::size(polls));
}

} // namespace
