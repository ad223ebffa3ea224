#include "base/pterror.h"
#include "codecs/devovavo.h"
#include "codecs/modbus.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

QString Chars(const QByteArray &bytes) {
  return QString::fromLatin1(bytes);
}
QByteArray Bytes(const QString &chars) {
  return chars.toLatin1();
}

TEST(Modbus, Crc16) {
  EXPECT_EQ(ModbusCRC16("123456789"), 0x4B37); // the CRC-16/MODBUS check value
  EXPECT_EQ(ModbusCRC16({}), 0xFFFF);
  EXPECT_EQ(Bytes(crc16string(QStringLiteral("123456789"))).toHex(), "374b");
  EXPECT_EQ(Bytes(crc16string(Chars(QByteArray::fromHex("010200000008")))).toHex(), "79cc");
  // Characters above 0x7F are byte values, not signed chars.
  const QByteArray high = QByteArray::fromHex("FF80C8E9");
  EXPECT_EQ(ModbusCRC16(high), 0x96A7);
  EXPECT_EQ(Bytes(crc16string(Chars(high))).toHex(), "a796");
  EXPECT_THROW(crc16string(QStringLiteral("ab\u010Dd")), EPtError);
}

TEST(Modbus, ReadDiscreteInputsRequest) {
  struct Case {
    int32_t address;
    int32_t count;
    TModbusType type;
    uint8_t device;
    const char *hex;
  };
  const Case cases[] = {
      {10001, 8, mbtRTU, 1, "01020000000879cc"},
      {10001, 8, mbtTCP, 1, "0200000008"},
      {10000, 8, mbtTCP, 7, "02ffff0008"},
      {10001 + 0x1234, 0x0102, mbtTCP, 0, "0212340102"},
      {std::numeric_limits<int32_t>::min(), -1, mbtTCP, 0, "02d8efffff"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Bytes(MODBUS_EncodeReadDigitalInput(c.address, c.count, c.type, c.device)).toHex(),
              c.hex)
        << c.address;
  }
  // The RTU request ends with the CRC of everything before it.
  const QString rtu = MODBUS_EncodeReadDigitalInput(10101, 2000, mbtRTU, 0xF7);
  ASSERT_EQ(rtu.size(), 8);
  EXPECT_EQ(rtu.right(2), crc16string(rtu.left(6)));
  EXPECT_EQ(rtu.left(6), QChar(0xF7) + MODBUS_EncodeReadDigitalInput(10101, 2000, mbtTCP, 0));

  EXPECT_THROW(MODBUS_EncodeReadDigitalInput(10001, 1, static_cast<TModbusType>(9), 1), EPtError);
}

TEST(Modbus, AsciiFrames) {
  // Read holding registers 0x006B..0x006D of unit 0x11: LRC 0x7E.
  const QByteArray message = QByteArray::fromHex("1103006B0003");
  EXPECT_EQ(ModbusLRC(message), 0x7E);
  EXPECT_EQ(ModbusLRC({}), 0);
  EXPECT_EQ(ModbusAsciiFrame(message), ":1103006B00037E\r\n");

  QByteArray bytes;
  ASSERT_TRUE(ModbusAsciiBytes(":1103006b00037E\r\n", bytes));
  EXPECT_EQ(bytes.toHex(), "1103006b00037e");
  // The sum of the message and its LRC is zero.
  EXPECT_EQ(ModbusLRC(bytes), 0);
  for (const char *bad :
       {"", ":", ":\r\n", ":\r\n\r\n", "1103\r\n", ":110\r\n", ":11G3\r\n", ":1103\n", ":1103\r"}) {
    EXPECT_FALSE(ModbusAsciiBytes(bad, bytes)) << bad;
    EXPECT_TRUE(bytes.isEmpty()) << bad;
  }
}

TEST(DevovAVO, AppendsChecksumAndCarriageReturn) {
  EXPECT_EQ(DevovAVO_EncodePacket(QStringLiteral("@20*160120")), QStringLiteral("@20*160120#F6\r"));
  EXPECT_EQ(DevovAVO_EncodePacket(QString()), QStringLiteral("#00\r"));
  EXPECT_EQ(DevovAVO_EncodePacket(QString(QChar(0x0F))), QString(QChar(0x0F)) + "#0F\r");
}

} // namespace
