// The responder's Modbus device answering the eight functions from its
// tables, in RTU, ASCII and TCP, and refusing what a real device refuses.
#include "codecs/modbusrequest.h"
#include "pipeline/modbusdevice.h"

#include <gtest/gtest.h>

namespace {

class ModbusDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    device.unit = 7;
    for (uint16_t a = 100; a < 110; ++a) {
      device.tables[mtHoldingRegisters][a] = {uint16_t(a * 10), {}};
      device.tables[mtInputRegisters][a] = {uint16_t(a + 1), {}};
      device.tables[mtCoils][a] = {uint16_t(a % 3 == 0), {}};
      device.tables[mtDiscreteInputs][a] = {uint16_t(a % 2), {}};
    }
  }
  // The answer's PDU to a request's PDU, or "-" when none.
  QByteArray Ask(const QByteArray &pdu, uint8_t unit = 7) {
    QByteArray answer;
    bool wrote = false;
    if (!device.AnswerMessage(char(unit) + pdu, answer, wrote))
      return "-";
    EXPECT_EQ(uint8_t(answer[0]), unit);
    return answer.mid(1).toHex();
  }
  static QByteArray Pdu(uint8_t function, uint16_t address, uint16_t count,
                        QList<uint16_t> values = {}) {
    return ModbusRequestPdu({function, address, count, values});
  }
  TModbusDevice device;
};

TEST_F(ModbusDeviceTest, TheEightFunctionsReadAndWriteTheTables) {
  struct Case {
    QByteArray request;
    const char *answer;
  } cases[] = {
      {Pdu(3, 100, 2), "0304"
                       "03e8"
                       "03f2"},
      {Pdu(4, 108, 2), "0404"
                       "006d"
                       "006e"},
      {Pdu(1, 102, 4), "0101"
                       "09"}, // 102 and 105 are on
      {Pdu(1, 101, 9), "0102"
                       "9200"},
      {Pdu(2, 100, 10), "0202"
                        "aa02"},
      {Pdu(5, 101, 0, {1}), "05"
                            "0065ff00"},
      {Pdu(6, 109, 0, {0xBEEF}), "06"
                                 "006dbeef"},
      {Pdu(15, 104, 3, {1, 1, 0}), "0f"
                                   "00680003"},
      {Pdu(16, 106, 2, {1, 2}), "10"
                                "006a0002"},
      {Pdu(3, 110, 1), "8302"},                    // outside the table
      {Pdu(3, 108, 3), "8302"},                    // runs out of it
      {QByteArray::fromHex("0300640000"), "8303"}, // no count
      {QByteArray::fromHex("2b0e0100"), "ab01"},   // unknown function
      {QByteArray::fromHex("0500650001"), "8503"}, // a coil is FF00 or 0
      {QByteArray::fromHex("03006400"), "8303"},   // short
  };
  for (const Case &c : cases)
    EXPECT_EQ(Ask(c.request), c.answer) << c.request.toHex().constData();
  EXPECT_EQ(device.tables[mtCoils][101].value, 1);
  EXPECT_EQ(device.tables[mtHoldingRegisters][109].value, 0xBEEF);
  EXPECT_EQ(device.tables[mtCoils][104].value, 1);
  EXPECT_EQ(device.tables[mtCoils][105].value, 1);
  EXPECT_EQ(device.tables[mtCoils][106].value, 0);
  EXPECT_EQ(device.tables[mtHoldingRegisters][107].value, 2);
  // Another unit is not us; a broadcast writes but is not answered.
  EXPECT_EQ(Ask(Pdu(3, 100, 1), 8), "-");
  EXPECT_EQ(Ask(Pdu(6, 100, 0, {5}), 0), "-");
  EXPECT_EQ(device.tables[mtHoldingRegisters][100].value, 5);
}

TEST_F(ModbusDeviceTest, FramesAreAnsweredInTheirOwnFramingAndBadChecksGetNothing) {
  const QByteArray message = char(7) + Pdu(3, 100, 1);
  const QByteArray reply = QByteArray::fromHex("07030203e8");
  QByteArray answer;
  bool wrote = false;
  ASSERT_TRUE(device.AnswerFrame(ModbusRtuFrame(message), mbtRTU, answer, wrote));
  EXPECT_EQ(answer, ModbusRtuFrame(reply));
  ASSERT_TRUE(device.AnswerFrame(ModbusAsciiFrame(message), mbtASCII, answer, wrote));
  EXPECT_EQ(answer, ModbusAsciiFrame(reply));
  ASSERT_TRUE(device.AnswerFrame(ModbusTcpFrame(0x1234, message), mbtTCP, answer, wrote));
  EXPECT_EQ(answer, ModbusTcpFrame(0x1234, reply));

  QByteArray badCrc = ModbusRtuFrame(message);
  badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 1);
  EXPECT_FALSE(device.AnswerFrame(badCrc, mbtRTU, answer, wrote));
  QByteArray badLrc = ModbusAsciiFrame(message);
  badLrc[badLrc.size() - 3] = badLrc[badLrc.size() - 3] == '0' ? '1' : '0';
  EXPECT_FALSE(device.AnswerFrame(badLrc, mbtASCII, answer, wrote));
  QByteArray badLength = ModbusTcpFrame(1, message);
  badLength[5] = char(badLength[5] + 1);
  EXPECT_FALSE(device.AnswerFrame(badLength, mbtTCP, answer, wrote));
}

} // namespace
