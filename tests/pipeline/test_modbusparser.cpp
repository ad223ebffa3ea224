#include "codecs/modbus.h"
#include "codecs/modbusframing.h"
#include "codecs/modbusrequest.h"
#include "parsertestsupport.h"
#include "pipeline/modbusparser.h"

namespace {

constexpr int64_t kMs = 1'000'000;

// An RTU frame: the hexadecimal bytes and their CRC.
QByteArray Rtu(const char *hex) {
  return ModbusRtuFrame(QByteArray::fromHex(hex));
}

// Requests and responses of every function with a length the bytes tell.
const char *const kRtuFrames[] = {
    "010300000002",                       // read holding registers, request
    "01030400010002",                     // ... response
    "010100130013",                       // read coils
    "010103CD6B05",                       //
    "010200000008",                       // read discrete inputs
    "010201AA",                           //
    "01040008000A",                       // read input registers
    "0104020005",                         //
    "1105 00AC FF00",                     // write single coil (echoed)
    "110600010003",                       // write single register
    "1107",                               // read exception status
    "11076D",                             //
    "01080000A537",                       // diagnostics
    "010B",                               // comm event counter
    "010BFFFF0108",                       //
    "010C",                               // comm event log
    "010C080000010801210000",             //
    "110F0013000A02CD01",                 // write multiple coils
    "110F0013000A",                       //
    "111000010002 04000A0102",            // write multiple registers
    "111000010002",                       //
    "1111",                               // report server id
    "11110511FF010203",                   //
    "01140E0600040001000206000300090002", // read file record
    "01140C05060DFE0020050633CD0040",     //
    "01150D0600040007000306AF04BE100D",   // write file record (echoed)
    "0116000400F20025",                   // mask write register
    "011700030006000E00030600FF00FF00FF", // read/write multiple registers
    "01170C00FE0ACD00010003000D00FF",     //
    "011804DE",                           // read FIFO queue
    "0118000600020 1B81284",              //
    "018302",                             // exception response
    "019001",                             //
};

QByteArray RtuFrame(const char *hex) {
  QByteArray spaced(hex);
  spaced.replace(' ', "");
  return Rtu(spaced.constData());
}

class ModbusRtu : public ::testing::Test {
protected:
  ModbusRtu() { parser.SetModbusType(mbtRTU); }
  MaxLengthGuard maxLength{1024};
  TVexlinParser_Modbus parser;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(ModbusRtu, CutsEveryFunctionInBothDirectionsWithoutPauses) {
  QByteArray stream;
  std::vector<TCutPacket> expected;
  for (const char *hex : kRtuFrames) {
    stream += RtuFrame(hex);
    expected.push_back({RtuFrame(hex), true});
  }
  // All at once, and byte by byte with 100 µs between the bytes (far below
  // the pause): the function codes alone frame them.
  buffer.Push(stream.constData(), stream.size(), 1);
  EXPECT_EQ(CutAll(parser, buffer), expected);
  EXPECT_EQ(buffer.UsedSize(), 0);

  std::vector<TCutPacket> got;
  for (qsizetype i = 0; i < stream.size(); ++i) {
    buffer.Push(stream.constData() + i, 1, i * kMs / 10);
    buffer.SetParseNow(i * kMs / 10);
    for (auto &p : CutAll(parser, buffer))
      got.push_back(p);
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(buffer.UsedSize(), 0);
}

TEST_F(ModbusRtu, GarbageAroundFramesBecomesBinaryRows) {
  const QByteArray a = Rtu("010300000002");
  const QByteArray b = Rtu("01030400010002");
  const QByteArray stream = QByteArray::fromHex("FFFF") + a + QByteArray::fromHex("00") + b;
  buffer.Push(stream.constData(), stream.size(), 1);
  const std::vector<TCutPacket> expected = {{QByteArray::fromHex("FFFF"), false},
                                            {a, true},
                                            {QByteArray::fromHex("00"), false},
                                            {b, true}};
  EXPECT_EQ(CutAll(parser, buffer), expected);
}

TEST_F(ModbusRtu, APauseEndsFramesTheBytesCannotTell) {
  struct Case {
    const char *name;
    QByteArray bytes;
    bool modbus; // cut as a Modbus row (else binary)
  };
  const QByteArray damaged = [] {
    QByteArray f = Rtu("01030400010002");
    f[4] = static_cast<char>(f[4] ^ 0x10);
    return f;
  }();
  const Case cases[] = {
      {"unknown function", Rtu("01410203"), true},
      {"damaged response", damaged, true},
      {"truncated request", QByteArray::fromHex("0103000000"), true},
      {"lone byte", QByteArray::fromHex("01"), false},
      {"no frame's length", QByteArray::fromHex("0106000102"), false},
  };
  parser.SetBaudrate(9600); // 3.5 characters: 4.01 ms
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    buffer.Clear();
    buffer.Push(c.bytes.constData(), c.bytes.size(), 10 * kMs);
    buffer.SetParseNow(14 * kMs);
    EXPECT_TRUE(CutAll(parser, buffer).empty()) << "closed before the pause";
    buffer.SetParseNow(15 * kMs);
    const std::vector<TCutPacket> expected = {{c.bytes, c.modbus}};
    EXPECT_EQ(CutAll(parser, buffer), expected);
    EXPECT_EQ(buffer.UsedSize(), 0);
  }
}

TEST_F(ModbusRtu, APauseBetweenBlocksEndsAFrameOfUnknownLength) {
  const QByteArray first = Rtu("0141AABB");
  const QByteArray second = Rtu("010300000002");
  buffer.Push(first.constData(), first.size(), 0);
  buffer.Push(second.constData(), second.size(), 3 * kMs); // 2 ms minimum at no line speed
  buffer.SetParseNow(3 * kMs);
  const std::vector<TCutPacket> expected = {{first, true}, {second, true}};
  EXPECT_EQ(CutAll(parser, buffer), expected);
}

TEST_F(ModbusRtu, PauseFollowsTheLineSpeed) {
  EXPECT_EQ(TVexlinParser_Modbus::RtuPause(0), 2 * kMs);
  EXPECT_EQ(TVexlinParser_Modbus::RtuPause(115200), 2 * kMs);
  EXPECT_EQ(TVexlinParser_Modbus::RtuPause(1200), 32'083'333);
  parser.SetBaudrate(1200);
  EXPECT_EQ(parser.ClosingPause(), 32'083'333);
  parser.SetModbusType(mbtTCP);
  EXPECT_EQ(parser.ClosingPause(), -1);
}

TEST_F(ModbusRtu, GarbageWithoutPausesIsBoundedByTheMaximumLength) {
  MaxLengthGuard small(300);
  QByteArray garbage(1000, '\x41'); // unit 0x41, function 0x41: no length, no pause
  buffer.Push(garbage.constData(), garbage.size(), 1);
  const auto packets = CutAll(parser, buffer);
  ASSERT_EQ(packets.size(), 3u);
  for (const auto &p : packets)
    EXPECT_EQ(p.bytes.size(), 300);
  EXPECT_EQ(buffer.UsedSize(), 100);
}

class ModbusAscii : public ::testing::Test {
protected:
  ModbusAscii() { parser.SetModbusType(mbtASCII); }
  MaxLengthGuard maxLength{1024};
  TVexlinParser_Modbus parser;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(ModbusAscii, FramesEndAtCrLf) {
  const QByteArray request = ModbusAsciiFrame(QByteArray::fromHex("010300000002"));
  const QByteArray response = ModbusAsciiFrame(QByteArray::fromHex("01030400010002"));
  const QByteArray stream = "xy" + request + response + ":0103" + response + ":01";
  // Split into pieces of 5 bytes: frames straddle the pieces.
  std::vector<TCutPacket> got;
  for (qsizetype at = 0; at < stream.size(); at += 5) {
    buffer.Push(stream.mid(at, 5));
    for (auto &p : CutAll(parser, buffer))
      got.push_back(p);
  }
  const std::vector<TCutPacket> expected = {
      {"xy", false}, {request, true}, {response, true}, {":0103", false}, {response, true}};
  EXPECT_EQ(got, expected);
  EXPECT_EQ(buffer.UsedSize(), 3) << "a frame without CR LF waits";
}

TEST_F(ModbusAscii, AFrameWithoutEndWaitsOnlyAsLongAsTheLongestFrame) {
  const QByteArray endless = ":" + QByteArray(600, 'A');
  buffer.Push(endless);
  const auto packets = CutAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_FALSE(packets[0].modbus);
  EXPECT_EQ(packets[0].bytes.size(), 1 + 2 * 255 + 2);
}

class ModbusTcp : public ::testing::Test {
protected:
  ModbusTcp() { parser.SetModbusType(mbtTCP); }
  MaxLengthGuard maxLength{1024};
  TVexlinParser_Modbus parser;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(ModbusTcp, TheMbapHeaderFramesEachPacket) {
  const QByteArray request = QByteArray::fromHex("000100000006010300000002");
  const QByteArray response = QByteArray::fromHex("00010000000701030400010002");
  const QByteArray zero = QByteArray::fromHex("000200000000");         // length 0
  const QByteArray huge = QByteArray::fromHex("00030000FFFF01030000"); // length 65535
  const QByteArray stream =
      request + zero + response + huge + request + QByteArray::fromHex("0001");
  std::vector<TCutPacket> got;
  for (qsizetype at = 0; at < stream.size(); at += 3) {
    buffer.Push(stream.mid(at, 3));
    for (auto &p : CutAll(parser, buffer))
      got.push_back(p);
  }
  const std::vector<TCutPacket> expected = {
      {request, true}, {zero, false}, {response, true}, {huge, false}, {request, true}};
  EXPECT_EQ(got, expected);
  EXPECT_EQ(buffer.UsedSize(), 2) << "the start of a header waits";
}

} // namespace

namespace {

TEST(ModbusCrc, FourBytesAStepEqualsTheByteWiseCrc) {
  uint32_t state = 7;
  QByteArray data;
  for (int size = 0; size < 300; ++size) {
    SCOPED_TRACE(size);
    EXPECT_EQ(ModbusCrcFast(reinterpret_cast<const uint8_t *>(data.constData()),
                            static_cast<int32_t>(data.size())),
              ModbusCRC16(data));
    state = state * 1103515245u + 12345u;
    data.append(static_cast<char>(state >> 24));
  }
}

} // namespace
