#include "connections/captureoptions.h"
#include "connections/headlesscapture.h"
#include "englishtexts.h"
#include "manualresolver.h"
#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/datamodbus.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"
#include "pipeline/responderstore.h"
#include "waitfor.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The options as the program reads them from its command line.
bool Read(const QStringList &arguments, TCaptureOptions &options, QString *error) {
  QCommandLineParser parser;
  AddCaptureOptions(parser);
  if (!parser.parse(QStringList{QStringLiteral("pelmarterm")} + arguments)) {
    *error = parser.errorText();
    return false;
  }
  return ReadCaptureOptions(parser, options, error);
}

TEST(CaptureOptionsTest, TargetsAndTheirSettings) {
  struct {
    const char *text;
    TCaptureTarget::TKind kind;
    const char *pathOrHost;
    int port;
    uint32_t speed;
    char parity;
    int dataBits;
    const char *stopBits;
  } const cases[] = {
      {"serial:/dev/ttyUSB0", TCaptureTarget::Serial, "/dev/ttyUSB0", 0, 9600, 'N', 8, "1"},
      {"serial:/dev/ttyS1:115200", TCaptureTarget::Serial, "/dev/ttyS1", 0, 115200, 'N', 8, "1"},
      {"serial:/dev/ttyS1:19200,e,7,1.5", TCaptureTarget::Serial, "/dev/ttyS1", 0, 19200, 'E', 7,
       "1.5"},
      // A path with colons of its own keeps them.
      {"serial:/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0:57600,O,8,2",
       TCaptureTarget::Serial, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", 0, 57600,
       'O', 8, "2"},
      {"serial:/dev/serial/by-path/pci-0000:00:14.0-port0", TCaptureTarget::Serial,
       "/dev/serial/by-path/pci-0000:00:14.0-port0", 0, 9600, 'N', 8, "1"},
      {"tcp:127.0.0.1:10001", TCaptureTarget::Tcp, "127.0.0.1", 10001, 9600, 'N', 8, "1"},
      {"TCP:[::1]:80", TCaptureTarget::Tcp, "::1", 80, 9600, 'N', 8, "1"},
      {"udp:10001:127.0.0.1:10002", TCaptureTarget::Udp, "127.0.0.1", 10002, 9600, 'N', 8, "1"},
      {"udp:0", TCaptureTarget::Udp, "", 0, 9600, 'N', 8, "1"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    TCaptureTarget target;
    QString error;
    ASSERT_TRUE(ParseCaptureTarget(QString::fromLatin1(c.text), target, &error))
        << error.toStdString();
    EXPECT_EQ(target.kind, c.kind);
    EXPECT_EQ(c.kind == TCaptureTarget::Serial ? target.path : target.host, c.pathOrHost);
    EXPECT_EQ(target.port, c.port);
    EXPECT_EQ(target.speed, c.speed);
    EXPECT_EQ(target.parity, c.parity);
    EXPECT_EQ(target.dataBits, c.dataBits);
    EXPECT_EQ(target.stopBits, c.stopBits);
  }
  // An existing path whose last part could pass for settings stays whole.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("pci-0000:00:1d.0-usb-0:1.1:1.0"));
  ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
  TCaptureTarget target;
  ASSERT_TRUE(ParseCaptureTarget(QStringLiteral("serial:") + path, target, nullptr));
  EXPECT_EQ(target.path, path);
}

TEST(CaptureOptionsTest, BadArgumentsSayWhatIsWrong) {
  const struct {
    QStringList arguments;
    const char *says;
  } cases[] = {
      {{"--capture", "com1"}, "unknown capture target"},
      {{"--capture", "serial:"}, "names no port"},
      {{"--capture", "serial:/dev/ttyS0:9600,X,8,1"}, "not serial line settings"},
      // A bad speed is named, not taken for a part of the path.
      {{"--capture", "serial:/dev/ttyUSB0:abc"}, "\"abc\" are not serial line settings"},
      {{"--capture", "serial:/dev/ttyUSB0:10"}, "\"10\" are not serial line settings"},
      {{"--capture", "tcp:127.0.0.1"}, "not HOST:PORT"},
      {{"--capture", "tcp:127.0.0.1:70000"}, "not HOST:PORT"},
      {{"--capture", "udp:x"}, "not a port to listen on"},
      {{"--capture", "udp:1:host"}, "not REMOTEHOST:REMOTEPORT"},
      {{"--capture", "tcp:h:1", "--parser", "modbus"}, "unknown parser"},
      {{"--capture", "tcp:h:1", "--parser", "suffix:0D0"}, "not pairs of hexadecimal"},
      {{"--capture", "tcp:h:1", "--parser", "length:0"}, "not a number from 1"},
      {{"--capture", "tcp:h:1", "--parser", "gap:-1"}, "not a number of milliseconds"},
      {{"--capture", "tcp:h:1", "--parser", "gap:1000000001"}, "not a number of milliseconds"},
      {{"--capture", "tcp:h:1", "--parser", "lenfield:size=3"}, "\"size=3\" is not one of"},
      {{"--capture", "tcp:h:1", "--parser", "lenfield:offset"}, "\"offset\" is not one of"},
      {{"--capture", "tcp:h:1", "--parser", "lenfield:start=A"}, "\"start=A\" is not one of"},
      {{"--capture", "tcp:h:1", "--parser", "lenfield:order=be,width=2"}, "\"width=2\""},
      {{"--capture", "tcp:h:1", "--max-length", "-1"}, "--max-length"},
      {{"--capture", "tcp:h:1", "--interval", "soon"}, "--interval"},
      {{"--capture", "tcp:h:1", "--send", "{0x41"}, "End character"},
      {{"--capture", "udp:1", "--send", "A"}, "needs udp:LISTENPORT:REMOTEHOST:REMOTEPORT"},
      {{"--capture", "tcp:h:1", "--capture", "tcp:h:2"}, "exactly one"},
      {{"--capture", "tcp:h:1", "--respond", "/pt-no-such/pt.responder.xml"}, "--respond"},
      {{"--capture", "tcp:h:1", "--respond", "/"}, "--respond"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    TCaptureOptions options;
    QString error;
    EXPECT_FALSE(Read(c.arguments, options, &error));
    EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
  }
}

TEST(CaptureOptionsTest, ParsersSendsAndDefaults) {
  TCaptureOptions options;
  QString error;
  ASSERT_TRUE(Read({"--capture", "tcp:localhost:5", "--parser", "suffix:0d0A", "--send", "AT\\r",
                    "--send", "{0x2A,0x61}", "--interval", "250", "--max-length", "0"},
                   options, &error))
      << error.toStdString();
  EXPECT_EQ(options.parser, TCaptureOptions::Suffix);
  EXPECT_EQ(options.suffix, QByteArray("\r\n"));
  EXPECT_EQ(options.sends, QList<QByteArray>({"AT\r", "*a"}));
  EXPECT_EQ(options.intervalMs, 250);
  EXPECT_EQ(options.maxLength, 0);
  EXPECT_EQ(options.log, "-");

  TCaptureOptions plain;
  ASSERT_TRUE(
      Read({"--capture", "tcp:h:1", "--parser", "length:16", "--log", "x.txt"}, plain, &error));
  EXPECT_EQ(plain.parser, TCaptureOptions::Length);
  EXPECT_EQ(plain.length, 16);
  EXPECT_EQ(plain.maxLength, 1024);
  EXPECT_EQ(plain.log, "x.txt");
}

TEST(CaptureOptionsTest, ModbusSilenceAndLengthFieldParsers) {
  const struct {
    const char *parser;
    TCaptureOptions::TParser kind;
  } modbus[] = {{"modbus-rtu", TCaptureOptions::ModbusRtu},
                {"MODBUS-ASCII", TCaptureOptions::ModbusAscii},
                {"modbus-tcp", TCaptureOptions::ModbusTcp}};
  for (const auto &c : modbus) {
    TCaptureOptions options;
    QString error;
    ASSERT_TRUE(Read({"--capture", "tcp:h:1", "--parser", c.parser}, options, &error));
    EXPECT_EQ(options.parser, c.kind);
  }
  TCaptureOptions gap;
  QString error;
  ASSERT_TRUE(Read({"--capture", "tcp:h:1", "--parser", "gap:0"}, gap, &error));
  EXPECT_EQ(gap.parser, TCaptureOptions::Gap);
  EXPECT_EQ(gap.gapMs, 0);
  ASSERT_TRUE(Read({"--capture", "tcp:h:1", "--parser", "gap:1000000000"}, gap, &error));
  EXPECT_EQ(gap.gapMs, 1000000000);

  TCaptureOptions field;
  ASSERT_TRUE(Read(
      {"--capture", "tcp:h:1", "--parser", "lenfield:offset=2,size=2,order=LE,add=+4,start=aa55"},
      field, &error))
      << error.toStdString();
  EXPECT_EQ(field.parser, TCaptureOptions::LengthField);
  EXPECT_EQ(field.lengthField, (TLengthFieldFormat{QByteArray("\xAA\x55"), 2, 2, false, 4}));
  ASSERT_TRUE(Read({"--capture", "tcp:h:1", "--parser", "lenfield:add=-2"}, field, &error));
  EXPECT_EQ(field.lengthField, (TLengthFieldFormat{{}, 0, 1, true, -2}));
}

// The rows of a log file: received and sent bytes, and log texts.
struct TLoadedRow {
  int direction; // spRx, spTx, or -1 for a log line
  QByteArray bytes;
};

std::vector<TLoadedRow> LoadRows(const QString &name) {
  std::vector<TLoadedRow> rows;
  EXPECT_TRUE(LoadLogFile(name, [&](std::unique_ptr<TVexlinDataObject> o) {
    if (auto *b = dynamic_cast<TVexlinDataBinary *>(o.get()))
      rows.push_back({b->Direction, b->Data});
    else if (auto *l = dynamic_cast<TVexlinDataLog *>(o.get()))
      rows.push_back({-1, l->Text.toUtf8()});
  }));
  return rows;
}

QList<QByteArray> Packets(const std::vector<TLoadedRow> &rows, int direction) {
  QList<QByteArray> packets;
  for (const TLoadedRow &row : rows)
    if (row.direction == direction)
      packets.append(row.bytes);
  return packets;
}

class HeadlessCaptureTest : public ::testing::Test {
protected:
  void SetUp() override {
    VexlinDataObjects_Initialize();
    RegisterVexlinDataObjectClasses();
  }
  // The test environment keeps the UDP connection's module query on loopback.
  void TearDown() override { VexlinDataObjects_Finalize(); }

  TCaptureOptions Options(const QString &target) {
    TCaptureOptions options;
    QString error;
    EXPECT_TRUE(ParseCaptureTarget(target, options.target, &error)) << error.toStdString();
    options.log = dir.filePath(QStringLiteral("capture.vexlin.txt"));
    return options;
  }

  // Runs a capture until it finishes by itself; its exit code and reason.
  struct TEnd {
    int code = -1;
    QString reason;
  };
  // A capture started, its end recorded in `end`.
  static std::unique_ptr<THeadlessCapture>
  Started(const TCaptureOptions &options, TEnd &end,
          std::shared_ptr<THostResolver> resolver = SystemResolver()) {
    auto capture = std::make_unique<THeadlessCapture>(options);
    capture->Resolver = std::move(resolver);
    QObject::connect(capture.get(), &THeadlessCapture::finished,
                     [&end](int code, const QString &why) {
                       end.code = code;
                       end.reason = why;
                     });
    int code = -1;
    QString error;
    EXPECT_TRUE(capture->Start(code, error)) << error.toStdString();
    return capture;
  }
  // The capture's connection as the far end sees it.
  static QTcpSocket *Accepted(QTcpServer &server) {
    EXPECT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    return server.nextPendingConnection();
  }

  QTemporaryDir dir;
};

TEST_F(HeadlessCaptureTest, TcpFramesTheSendsAndTheLastPieceEndInTheLog) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TCaptureOptions options = Options(QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()));
  options.sends = {"AT\r", "*a"};
  options.intervalMs = 10;
  TEnd end;
  const auto capture = Started(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  ASSERT_TRUE(WaitFor([&] {
    peer->waitForReadyRead(5);
    return peer->bytesAvailable() >= 5;
  }));
  EXPECT_EQ(peer->readAll(), "AT\r*a");
  // Two whole frames, then a frame the far end never finishes.
  peer->write(QByteArray("*a\x00\x02"
                         "AB"
                         "*a\x00\x01"
                         "C"
                         "*a\x00\x09"
                         "xy",
                         17));
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == 17; }));
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  EXPECT_EQ(end.code, THeadlessCapture::kExitClean);
  capture->Stop();

  const std::vector<TLoadedRow> rows = LoadRows(options.log);
  EXPECT_EQ(Packets(rows, spRx), QList<QByteArray>({QByteArray("*a\x00\x02"
                                                               "AB",
                                                               6),
                                                    QByteArray("*a\x00\x01"
                                                               "C",
                                                               5),
                                                    QByteArray("*a\x00\x09"
                                                               "xy",
                                                               6)}));
  EXPECT_EQ(Packets(rows, spTx), QList<QByteArray>({"AT\r", "*a"}));
  EXPECT_FALSE(Packets(rows, -1).isEmpty()); // the connection's own lines
  EXPECT_EQ(capture->Rows(), static_cast<int64_t>(rows.size()));
  EXPECT_TRUE(capture->Summary().startsWith(QStringLiteral("%1 rows, 17 bytes").arg(rows.size())));
}

TEST_F(HeadlessCaptureTest, ModbusFramesFromAPeerBecomeModbusRowsOfTheLog) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  QString error;
  TCaptureOptions options = Options(QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()));
  ASSERT_TRUE(Read({"--capture", "tcp:h:1", "--parser", "modbus-rtu"}, options, &error));
  options.target.port = server.serverPort();
  options.target.host = QStringLiteral("127.0.0.1");
  options.log = dir.filePath(QStringLiteral("capture.vexlin.txt"));
  TEnd end;
  const auto capture = Started(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  // A request and its response with a byte of noise between them, and a
  // frame of a function whose length only the pause after it tells. In one
  // piece: over TCP a pause within the bytes would end an RTU frame early.
  const QByteArray request = QByteArray::fromHex("010300000002C40B");
  const QByteArray response = QByteArray::fromHex("01030400010002") + QByteArray::fromHex("2A32");
  const QByteArray stream = request + "\xFF" + response + QByteArray::fromHex("0141AABB");
  peer->write(stream);
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == stream.size(); }));
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  capture->Stop();

  std::vector<std::pair<QByteArray, bool>> received; // bytes, a Modbus row
  ASSERT_TRUE(LoadLogFile(options.log, [&](std::unique_ptr<TVexlinDataObject> o) {
    if (auto *b = dynamic_cast<TVexlinDataBinary *>(o.get()); b && b->Direction == spRx)
      received.emplace_back(b->Data, dynamic_cast<TVexlinDataBinary_Modbus *>(b) != nullptr);
  }));
  const std::vector<std::pair<QByteArray, bool>> expected = {
      {request, true}, {"\xFF", false}, {response, true}, {QByteArray::fromHex("0141AABB"), true}};
  EXPECT_EQ(received, expected);
}

TEST_F(HeadlessCaptureTest, RespondAnswersAPeerByTheRulesAndThenTheDevice) {
  const QString file = dir.filePath(QStringLiteral("rig.xml"));
  TResponderSettings rig;
  TResponderRule rule; // a function of the rig's own, answered by a rule
  rule.request = QStringLiteral("{??,??,0,0,0,2,7,0x41}");
  rule.response = QStringLiteral("{REQ[0]}{REQ[1]}{0,0,0,3,7,0xC1,0x5A}");
  rig.rules.push_back(rule);
  rig.device.enabled = true;
  rig.device.unit = 7;
  rig.device.tables[mtHoldingRegisters][5] = {0x1234, QStringLiteral("setpoint")};
  QString error;
  ASSERT_TRUE(SaveResponderFile(file, rig, error)) << error.toStdString();

  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TCaptureOptions options;
  ASSERT_TRUE(Read({"--capture", QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()),
                    "--parser", "modbus-tcp", "--respond", file, "--log",
                    dir.filePath(QStringLiteral("capture.vexlin.txt"))},
                   options, &error))
      << error.toStdString();
  TEnd end;
  const auto capture = Started(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  auto ask = [&](const QByteArray &hex, qsizetype answer, int ms = 5000) {
    peer->write(QByteArray::fromHex(hex));
    peer->flush();
    QByteArray got;
    WaitFor(
        [&] {
          got += peer->readAll();
          return got.size() >= answer;
        },
        ms);
    return got.toHex();
  };
  EXPECT_EQ(ask("0102000000020741", 9), "01020000000307c15a");
  EXPECT_EQ(ask("0a0b000000060703000500 01", 11), "0a0b000000050703021234");
  EXPECT_EQ(ask("0a0c000000060703000600 01", 9), "0a0c00000003078302");
  EXPECT_EQ(ask("0a0d000000060806000500 01", 1, 300), "") << "another unit is not answered";
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  capture->Stop();
  const std::vector<TLoadedRow> rows = LoadRows(options.log);
  EXPECT_EQ(Packets(rows, spTx).size(), 3);
}

TEST_F(HeadlessCaptureTest, SilenceEndsPacketsFromAPeer) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TCaptureOptions options = Options(QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()));
  options.parser = TCaptureOptions::Gap;
  options.gapMs = 30;
  TEnd end;
  const auto capture = Started(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  peer->write("first");
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == 5; }));
  Settle(300); // far longer than the pause: the timer closes the packet
  peer->write("sec");
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == 8; }));
  peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  capture->Stop();
  EXPECT_EQ(Packets(LoadRows(options.log), spRx), QList<QByteArray>({"first", "sec"}));
}

TEST_F(HeadlessCaptureTest, AMissingPortAndAnUnwritableLogSayWhy) {
  QTcpServer probe; // a port that was free a moment ago
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 port = probe.serverPort();
  probe.close();
  {
    TCaptureOptions options = Options(QStringLiteral("serial:/dev/pt-no-such-port"));
    THeadlessCapture capture(options);
    int code = -1;
    QString error;
    EXPECT_FALSE(capture.Start(code, error));
    EXPECT_EQ(code, THeadlessCapture::kExitNotOpened);
    EXPECT_TRUE(error.contains(QLatin1String("pt-no-such-port"))) << error.toStdString();
  }
  {
    TCaptureOptions options = Options(QStringLiteral("tcp:127.0.0.1:%1").arg(port));
    options.log = dir.filePath(QStringLiteral("gone/capture.vexlin.txt"));
    THeadlessCapture capture(options);
    int code = -1;
    QString error;
    EXPECT_FALSE(capture.Start(code, error));
    EXPECT_EQ(code, THeadlessCapture::kExitLogFailed);
    EXPECT_TRUE(error.contains(QLatin1String("gone/capture.vexlin.txt"))) << error.toStdString();
  }
}

TEST_F(HeadlessCaptureTest, AConnectionThatDoesNotComeUpNamesItsReason) {
  const TEnglishTexts english;
  ASSERT_TRUE(english.Loaded());
  QTcpServer probe; // a port that was free a moment ago
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 port = probe.serverPort();
  probe.close();
  const bool ipv6 = QTcpServer().listen(QHostAddress::LocalHostIPv6);
  struct {
    QString target;
    QString reason;
  } const cases[] = {
      {QStringLiteral("tcp:127.0.0.1:%1").arg(port), QStringLiteral("connection refused")},
      {QStringLiteral("tcp:[::1]:%1").arg(port), QStringLiteral("connection refused")},
      {QStringLiteral("tcp:device.invalid:%1").arg(port),
       QStringLiteral("no such host device.invalid")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.target.toStdString());
    if (c.target.contains(u'[') && !ipv6)
      continue; // no IPv6 loopback here
    // Never the real DNS: the name's lookup finds nothing.
    const auto resolver = std::make_shared<TManualResolver>();
    TEnd end;
    const auto capture = Started(Options(c.target), end, resolver);
    if (c.target.contains(QLatin1String("invalid"))) {
      ASSERT_TRUE(WaitFor([&] { return resolver->Hosts().size() == 1; }));
      resolver->Answer({});
    }
    ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
    EXPECT_EQ(end.code, THeadlessCapture::kExitNotOpened);
    EXPECT_TRUE(end.reason.endsWith(QStringLiteral("error: ") + c.reason))
        << end.reason.toStdString();
  }
}

TEST_F(HeadlessCaptureTest, AFullDiskEndsTheCaptureWithTheReason) {
  if (!QFile::exists(QStringLiteral("/dev/full")))
    GTEST_SKIP() << "no /dev/full here";
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TCaptureOptions options = Options(QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()));
  options.log = QStringLiteral("/dev/full");
  TEnd end;
  const auto capture = Started(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  peer->write("*a\x00\x01Z");
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  EXPECT_EQ(end.code, THeadlessCapture::kExitLogFailed);
  EXPECT_TRUE(end.reason.contains(QLatin1String("/dev/full"))) << end.reason.toStdString();
}

TEST_F(HeadlessCaptureTest, UdpDatagramsFromTheRemoteAndTheSends) {
  QUdpSocket remote;
  ASSERT_TRUE(remote.bind(QHostAddress::LocalHost, 0));
  QUdpSocket probe;
  ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
  const quint16 listen = probe.localPort();
  probe.close();
  TCaptureOptions options =
      Options(QStringLiteral("udp:%1:127.0.0.1:%2").arg(listen).arg(remote.localPort()));
  options.parser = TCaptureOptions::Suffix;
  options.suffix = "\n";
  options.sends = {"ping\n"};
  THeadlessCapture capture(options);
  int code = -1;
  QString error;
  ASSERT_TRUE(capture.Start(code, error)) << error.toStdString();
  ASSERT_TRUE(WaitFor([&] { return remote.hasPendingDatagrams(); }));
  QByteArray got(int(remote.pendingDatagramSize()), '\0');
  remote.readDatagram(got.data(), got.size());
  EXPECT_EQ(got, "ping\n");
  remote.writeDatagram("one\ntw", QHostAddress::LocalHost, listen);
  remote.writeDatagram("o\n", QHostAddress::LocalHost, listen);
  ASSERT_TRUE(WaitFor([&] { return capture.BytesReceived() == 8; }));
  capture.Stop();
  EXPECT_EQ(Packets(LoadRows(options.log), spRx), QList<QByteArray>({"one\n", "two\n"}));

  // The same port taken by another socket: nothing to listen on.
  QUdpSocket taker;
  ASSERT_TRUE(taker.bind(QHostAddress::AnyIPv4, 0));
  THeadlessCapture busy(Options(QStringLiteral("udp:%1").arg(taker.localPort())));
  EXPECT_FALSE(busy.Start(code, error));
  EXPECT_EQ(code, THeadlessCapture::kExitNotOpened);
  EXPECT_FALSE(error.isEmpty());
}

// A pty whose master plays the device.
struct TPty {
  TPty() {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) == 0)
      path = QString::fromLocal8Bit(name);
  }
  ~TPty() {
    CloseMaster();
    if (slave >= 0)
      ::close(slave);
  }
  void CloseMaster() {
    if (master >= 0)
      ::close(master);
    master = -1;
  }
  int master = -1;
  int slave = -1;
  QString path;
};

TEST_F(HeadlessCaptureTest, SerialPortWithItsSettingsUntilTheDeviceGoes) {
  TPty pty;
  ASSERT_FALSE(pty.path.isEmpty());
  // The slave stays open only while the capture has it.
  ::close(pty.slave);
  pty.slave = -1;
  TCaptureOptions options = Options(QStringLiteral("serial:%1:57600,N,8,2").arg(pty.path));
  options.parser = TCaptureOptions::Length;
  options.length = 4;
  options.sends = {QByteArray("\x01\x02", 2)};
  TEnd end;
  const auto capture = Started(options, end);
  termios settings{};
  ASSERT_EQ(::tcgetattr(pty.master, &settings), 0);
  EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), tcflag_t(CS8 | CSTOPB));
  char sent[2] = {};
  ASSERT_TRUE(WaitFor([&] { return ::read(pty.master, sent, 2) == 2; }));
  EXPECT_EQ(QByteArray(sent, 2), QByteArray("\x01\x02", 2));
  ASSERT_EQ(::write(pty.master, "ABCDEFGHIJ", 10), 10);
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == 10; }));
  pty.CloseMaster(); // unplugged
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }));
  EXPECT_EQ(end.code, THeadlessCapture::kExitClean);
  capture->Stop();
  const std::vector<TLoadedRow> rows = LoadRows(options.log);
  EXPECT_EQ(Packets(rows, spRx), QList<QByteArray>({"ABCD", "EFGH", "IJ"}));
  EXPECT_EQ(Packets(rows, spTx), QList<QByteArray>({QByteArray("\x01\x02", 2)}));
  const QList<QByteArray> lines = Packets(rows, -1);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(lines.first().startsWith("Serial port open (")) << lines.first().toStdString();
  EXPECT_TRUE(lines.first().contains("57600")) << lines.first().toStdString();
  EXPECT_EQ(lines.last(), "Serial port close");
}

// Writes `bytes` into `fd` from a thread of its own as fast as the other end
// takes them; a socket is written without SIGPIPE. With a window, at most
// that many bytes are ahead of what `taken` says the reader has, so no
// single read of the reader's can be larger. Ends early when destroyed.
class TFlood {
public:
  TFlood(int fd, QByteArray bytes, bool socket, std::function<int64_t()> taken = {},
         qsizetype window = 0)
      : fBytes(std::move(bytes)), fTaken(std::move(taken)), fWindow(window),
        fThread([this, fd, socket] { Run(fd, socket); }) {}
  ~TFlood() {
    fStop = true;
    fThread.join();
  }
  bool Done() const { return fDone; }

private:
  void Run(int fd, bool socket) {
    qsizetype at = 0;
    while (at < fBytes.size() && !fStop) {
      qsizetype size = fBytes.size() - at;
      if (fTaken) {
        size = std::min(size, fWindow - (at - static_cast<qsizetype>(fTaken())));
        if (size <= 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          continue;
        }
      }
      pollfd room{fd, POLLOUT, 0};
      if (::poll(&room, 1, 50) <= 0)
        continue;
      const char *data = fBytes.constData() + at;
      const ssize_t n = socket ? ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL)
                               : ::write(fd, data, static_cast<size_t>(size));
      if (n > 0)
        at += n;
      else if (errno != EAGAIN && errno != EINTR)
        return;
    }
    fDone = at == fBytes.size();
  }

  const QByteArray fBytes;
  const std::function<int64_t()> fTaken;
  const qsizetype fWindow;
  std::atomic<bool> fStop{false};
  std::atomic<bool> fDone{false};
  std::thread fThread; // last: starts once the rest is ready
};

// Numbered lines, so a byte lost, doubled or moved shows in the log.
QByteArray NumberedLines(qsizetype bytes) {
  QByteArray out;
  out.reserve(bytes + 8);
  for (int i = 0; out.size() < bytes; ++i)
    out.append(QByteArray::number(i).rightJustified(7, '0')).append('\n');
  return out;
}

QByteArray Joined(const QList<QByteArray> &packets) {
  QByteArray all;
  for (const QByteArray &p : packets)
    all.append(p);
  return all;
}

class SlowDiskCaptureTest : public HeadlessCaptureTest {
protected:
  static constexpr int64_t kLimit = 256 * 1024;
  static constexpr int kGenerousMs = 60000; // sanitizer builds write slowly

  TCaptureOptions SlowOptions(const QString &target) {
    TCaptureOptions options = Options(target);
    options.parser = TCaptureOptions::Length;
    options.length = 4096;
    options.backlogBytes = kLimit;
    return options;
  }
  // A capture whose log goes to a disk slower than any sender here.
  std::unique_ptr<THeadlessCapture> StartedSlow(const TCaptureOptions &options, TEnd &end) {
    auto capture = std::make_unique<THeadlessCapture>(options);
    capture->Recorder().BeforeWrite = [](qsizetype) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    QObject::connect(capture.get(), &THeadlessCapture::finished,
                     [&end](int code, const QString &why) {
                       end.code = code;
                       end.reason = why;
                     });
    int code = -1;
    QString error;
    EXPECT_TRUE(capture->Start(code, error)) << error.toStdString();
    return capture;
  }
  // Reading paused while the writer was behind, and no further than one
  // read past the limit; every byte is in the log once, in order.
  void ExpectBoundedAndWhole(THeadlessCapture &capture, const TCaptureOptions &options,
                             const QByteArray &sent) {
    const TReceiveBacklog &backlog = capture.Backlog();
    EXPECT_GT(backlog.PeakBehind(), kLimit) << "the writer was never behind";
    EXPECT_LE(backlog.PeakBehind(), kLimit + backlog.LargestReceive());
    EXPECT_EQ(capture.BytesReceived(), sent.size());
    const QByteArray logged = Joined(Packets(LoadRows(options.log), spRx));
    EXPECT_EQ(logged.size(), sent.size());
    EXPECT_TRUE(logged == sent) << "the log differs from what was sent";
  }
};

TEST_F(SlowDiskCaptureTest, TcpReadingPausesWhileTheLogIsBehindAndLosesNoByte) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  const TCaptureOptions options =
      SlowOptions(QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort()));
  TEnd end;
  const auto capture = StartedSlow(options, end);
  QTcpSocket *peer = Accepted(server);
  ASSERT_TRUE(peer);
  const int fd = static_cast<int>(peer->socketDescriptor());
  // The kernel would let one read take megabytes; a window keeps every
  // read small, so only the pause can keep the capture near its limit.
  const QByteArray sent = NumberedLines(2 * 1024 * 1024);
  {
    TFlood flood(
        fd, sent, true, [&capture] { return capture->BytesReceived(); }, 64 * 1024);
    ASSERT_TRUE(WaitFor([&] { return flood.Done(); }, kGenerousMs));
  }
  ::shutdown(fd, SHUT_WR); // the far end closes once everything is sent
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }, kGenerousMs));
  EXPECT_EQ(end.code, THeadlessCapture::kExitClean) << end.reason.toStdString();
  capture->Stop();
  ExpectBoundedAndWhole(*capture, options, sent);
}

TEST_F(SlowDiskCaptureTest, SerialReadingPausesWhileTheLogIsBehindAndLosesNoByte) {
  TPty pty;
  ASSERT_FALSE(pty.path.isEmpty());
  ::close(pty.slave);
  pty.slave = -1;
  const TCaptureOptions options = SlowOptions(QStringLiteral("serial:%1:115200").arg(pty.path));
  TEnd end;
  const auto capture = StartedSlow(options, end);
  ASSERT_EQ(::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK), 0);
  const QByteArray sent = NumberedLines(2 * 1024 * 1024);
  {
    TFlood flood(pty.master, sent, false);
    ASSERT_TRUE(WaitFor([&] { return flood.Done(); }, kGenerousMs));
  }
  // All of it read before the device goes, so the end reads nothing more.
  ASSERT_TRUE(WaitFor([&] { return capture->BytesReceived() == sent.size(); }, kGenerousMs));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return end.code >= 0; }, kGenerousMs));
  capture->Stop();
  ExpectBoundedAndWhole(*capture, options, sent);
}

TEST_F(HeadlessCaptureTest, UdpDatagramsTheSystemDroppedAreCountedInTheSummary) {
  QUdpSocket remote;
  ASSERT_TRUE(remote.bind(QHostAddress::LocalHost, 0));
  QUdpSocket probe;
  ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
  const quint16 listen = probe.localPort();
  probe.close();
  TCaptureOptions options =
      Options(QStringLiteral("udp:%1:127.0.0.1:%2").arg(listen).arg(remote.localPort()));
  options.parser = TCaptureOptions::Length;
  options.length = 1000;
  QStringList lines; // outlives the capture, which reports to the end
  THeadlessCapture capture(options);
  capture.OnLine = [&lines](const QString &line) { lines.append(line); };
  int code = -1;
  QString error;
  ASSERT_TRUE(capture.Start(code, error)) << error.toStdString();
  // Sent while the capture cannot read (it runs on this thread): far more
  // than the system's buffer holds.
  int64_t sent = 0;
  auto send = [&](char fill) {
    if (remote.writeDatagram(QByteArray(1000, fill), QHostAddress::LocalHost, listen) == 1000)
      ++sent;
  };
  for (int i = 0; i < 2000; ++i)
    send(char('a' + i % 26));
  // The system tells its count with the next datagram it queues, which
  // finds room once the capture has read.
  ASSERT_TRUE(WaitFor([&] { return capture.BytesReceived() > 0; }));
  send('z');
  ASSERT_TRUE(WaitFor([&] {
    return capture.BytesReceived() / 1000 + capture.DatagramsLost() == sent;
  })) << capture.BytesReceived()
      << " bytes, " << capture.DatagramsLost() << " lost of " << sent;
  const uint32_t lost = capture.DatagramsLost();
  EXPECT_GT(lost, 0u);
  EXPECT_TRUE(std::any_of(lines.cbegin(), lines.cend(), [](const QString &l) {
    return l.contains(QLatin1String("datagrams lost"));
  })) << lines.join(u'\n').toStdString();
  capture.Stop();
  EXPECT_EQ(Packets(LoadRows(options.log), spRx).size(), sent - lost);
  EXPECT_TRUE(capture.Summary().endsWith(QStringLiteral(" s, %1 datagrams lost").arg(lost)))
      << capture.Summary().toStdString();
}

TEST_F(HeadlessCaptureTest, ALogOnAPipeNobodyReadsIsRefusedAtOnce) {
  const TEnglishTexts english;
  ASSERT_TRUE(english.Loaded());
  const QString fifo = dir.filePath(QStringLiteral("log.fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  TCaptureOptions options = Options(QStringLiteral("serial:/dev/pt-no-such-port"));
  options.log = fifo;
  int code = -1;
  QString error;
  // On a thread of its own: an open that waits for a reader is released by
  // opening one, and fails the test instead of hanging it.
  auto start = std::async(std::launch::async, [&] {
    THeadlessCapture capture(options);
    const bool started = capture.Start(code, error);
    capture.Stop();
    return started;
  });
  if (start.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int release = ::open(QFile::encodeName(fifo).constData(), O_RDONLY);
    start.wait();
    ::close(release);
    FAIL() << "a log on a pipe nobody reads hung the start";
  }
  EXPECT_FALSE(start.get());
  EXPECT_EQ(code, THeadlessCapture::kExitLogFailed);
  EXPECT_EQ(
      error,
      QStringLiteral("the log \"%1\" cannot be written: no program reads the pipe").arg(fifo));
}

} // namespace
