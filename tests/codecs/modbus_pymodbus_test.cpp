// Our Modbus requests and decoding against an independent stack: pymodbus
// (python3-pymodbus) frames the same requests in RTU, ASCII and TCP, and
// frames responses for the decoder to read.
#include "codecs/modbusdecode.h"
#include "codecs/modbusrequest.h"
#include "codecs/modbustext.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

const char *const kPython = "/usr/bin/python3";

// Each argument "fc,unit,address,count,v1:v2:..." gives one request; the
// script prints its RTU, ASCII and TCP frames (transaction ids from 1), one
// line each. Arguments starting with "r" print the RTU frame of a response.
const char *const kScript = R"PY(
import sys
from pymodbus.factory import ClientDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer
from pymodbus import bit_read_message as br, bit_write_message as bw
from pymodbus import register_read_message as rr, register_write_message as rw
from pymodbus.pdu import ExceptionResponse

def request(fc, unit, address, count, values):
    if fc == 1: return br.ReadCoilsRequest(address, count, unit=unit)
    if fc == 2: return br.ReadDiscreteInputsRequest(address, count, unit=unit)
    if fc == 3: return rr.ReadHoldingRegistersRequest(address, count, unit=unit)
    if fc == 4: return rr.ReadInputRegistersRequest(address, count, unit=unit)
    if fc == 5: return bw.WriteSingleCoilRequest(address, bool(values[0]), unit=unit)
    if fc == 6: return rw.WriteSingleRegisterRequest(address, values[0], unit=unit)
    if fc == 15: return bw.WriteMultipleCoilsRequest(address, [bool(v) for v in values], unit=unit)
    if fc == 16: return rw.WriteMultipleRegistersRequest(address, values, unit=unit)

def response(fc, unit, address, count, values):
    if fc == 1: return br.ReadCoilsResponse([bool(v) for v in values], unit=unit)
    if fc == 2: return br.ReadDiscreteInputsResponse([bool(v) for v in values], unit=unit)
    if fc == 3: return rr.ReadHoldingRegistersResponse(values, unit=unit)
    if fc == 4: return rr.ReadInputRegistersResponse(values, unit=unit)
    if fc == 5: return bw.WriteSingleCoilResponse(address, bool(values[0]), unit=unit)
    if fc == 6: return rw.WriteSingleRegisterResponse(address, values[0], unit=unit)
    if fc == 15: return bw.WriteMultipleCoilsResponse(address, count, unit=unit)
    if fc == 16: return rw.WriteMultipleRegistersResponse(address, count, unit=unit)
    return ExceptionResponse(fc & 0x7F, values[0], unit=unit)

tid = 0
for arg in sys.argv[1:]:
    fields = arg.lstrip("r").split(",")
    fc, unit, address, count = (int(f) for f in fields[:4])
    values = [int(v) for v in fields[4].split(":") if v]
    if arg.startswith("r"):
        print(ModbusRtuFramer(ClientDecoder()).buildPacket(response(fc, unit, address, count, values)).hex())
        continue
    tid += 1
    m = request(fc, unit, address, count, values)
    print(ModbusRtuFramer(ClientDecoder()).buildPacket(m).hex())
    print(ModbusAsciiFramer(ClientDecoder()).buildPacket(m).hex())
    m.transaction_id = tid
    print(ModbusSocketFramer(ClientDecoder()).buildPacket(m).hex())
)PY";

struct Case {
  uint8_t function;
  uint8_t unit;
  uint16_t address;
  uint16_t count;
  QList<uint16_t> values;
};

QString Argument(const Case &c, bool response) {
  QStringList values;
  for (const uint16_t v : c.values)
    values << QString::number(v);
  return QStringLiteral("%1%2,%3,%4,%5,%6")
      .arg(response ? "r" : "")
      .arg(c.function)
      .arg(c.unit)
      .arg(c.address)
      .arg(c.count)
      .arg(values.join(':'));
}

// The script's lines; skips the test where pymodbus is not installed.
QStringList Pymodbus(const QStringList &arguments) {
  QProcess python;
  python.start(QString::fromLatin1(kPython),
               QStringList{QStringLiteral("-c"), QString::fromLatin1(kScript)} + arguments);
  if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
      python.exitCode() != 0) {
    ADD_FAILURE() << python.readAllStandardError().toStdString();
    return {};
  }
  return QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

bool PymodbusInstalled() {
  QProcess python;
  python.start(QString::fromLatin1(kPython),
               {QStringLiteral("-c"), QStringLiteral("import pymodbus.framer.rtu_framer")});
  return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
         python.exitCode() == 0;
}

const Case kRequests[] = {
    {1, 17, 19, 37, {}},
    {2, 1, 0, 8, {}},
    {3, 247, 107, 125, {}},
    {4, 0, 65535, 1, {}},
    {5, 17, 172, 0, {1}},
    {5, 17, 173, 0, {0}},
    {6, 3, 1, 0, {0xBEEF}},
    {15, 9, 19, 0, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}},
    {16, 9, 1, 0, {10, 258, 65535}},
};

TEST(ModbusPymodbus, RequestsAreFramedAsPymodbusFramesThem) {
  if (!PymodbusInstalled())
    GTEST_SKIP() << "python3-pymodbus is not installed (scripts/install-deps installs it)";
  QStringList arguments;
  for (const Case &c : kRequests)
    arguments << Argument(c, false);
  const QStringList frames = Pymodbus(arguments);
  ASSERT_EQ(frames.size(), 3 * qsizetype(std::size(kRequests)));
  TModbusFramer rtu, ascii, tcp;
  for (qsizetype i = 0; i < qsizetype(std::size(kRequests)); ++i) {
    const Case &c = kRequests[i];
    const QByteArray pdu = ModbusRequestPdu({c.function, c.address, c.count, c.values});
    EXPECT_EQ(rtu.Frame(mbtRTU, c.unit, pdu).toHex(), frames[3 * i].toLatin1()) << i;
    EXPECT_EQ(ascii.Frame(mbtASCII, c.unit, pdu).toHex(), frames[3 * i + 1].toLatin1()) << i;
    EXPECT_EQ(tcp.Frame(mbtTCP, c.unit, pdu).toHex(), frames[3 * i + 2].toLatin1()) << i;
  }
}

TEST(ModbusPymodbus, ItsResponsesDecodeToTheirValues) {
  if (!PymodbusInstalled())
    GTEST_SKIP() << "python3-pymodbus is not installed (scripts/install-deps installs it)";
  const Case responses[] = {
      {1, 17, 0, 0, {1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1}},
      {2, 1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}},
      {3, 247, 0, 0, {555, 0, 100, 65535}},
      {4, 2, 0, 0, {7}},
      {5, 17, 172, 0, {1}},
      {6, 3, 1, 0, {0xBEEF}},
      {15, 9, 19, 10, {}},
      {16, 9, 1, 3, {}},
      {0x83, 4, 0, 0, {2}},
  };
  QStringList arguments;
  for (const Case &c : responses)
    arguments << Argument(c, true);
  const QStringList frames = Pymodbus(arguments);
  ASSERT_EQ(frames.size(), qsizetype(std::size(responses)));
  for (qsizetype i = 0; i < frames.size(); ++i) {
    const Case &c = responses[i];
    const QByteArray frame = QByteArray::fromHex(frames[i].toLatin1());
    ASSERT_GE(frame.size(), 4) << i;
    const QByteArray message = frame.chopped(2);
    EXPECT_EQ(ModbusRtuFrame(message), frame) << i;
    const TModbusMessage m = ModbusDecode(message, TModbusDirection::Response);
    EXPECT_EQ(m.Fault, TModbusFault::None) << i << ": " << ModbusFaultText(m).toStdString();
    EXPECT_EQ(m.Unit, c.unit) << i;
    EXPECT_EQ(m.Function, c.function & 0x7F) << i;
    if (c.function & 0x80) {
      EXPECT_TRUE(m.Exception);
      EXPECT_EQ(m.ExceptionCode, c.values.front());
    } else if (c.function <= 2) {
      // Whole bytes of bits; the padding is zero.
      QList<uint16_t> bits;
      for (const bool b : m.Bits)
        bits << b;
      EXPECT_EQ(bits.first(c.values.size()), c.values) << i;
      EXPECT_FALSE(bits.sliced(c.values.size()).contains(1)) << i;
    } else if (c.function <= 6) {
      EXPECT_EQ(m.Registers.size(), c.values.size()) << i;
      if (c.function != 5) {
        EXPECT_EQ(m.Registers, c.values) << i;
      } else {
        EXPECT_EQ(m.Bits, QList<bool>{true}) << i;
      }
    } else {
      EXPECT_EQ(m.Address, c.address) << i;
      EXPECT_EQ(m.Count, c.count) << i;
    }
  }
}

} // namespace
