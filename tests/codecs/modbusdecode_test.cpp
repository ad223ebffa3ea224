#include "base/languagetext.h"
#include "codecs/modbus.h"
#include "codecs/modbusdecode.h"
#include "codecs/modbusreference.h"
#include "codecs/modbustext.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using enum TModbusDirection;

QByteArray Hex(const char *hex) {
  return QByteArray::fromHex(hex);
}

const char *FaultName(TModbusFault fault) {
  switch (fault) {
  case TModbusFault::None:
    return "none";
  case TModbusFault::NoFunction:
    return "nofunction";
  case TModbusFault::Short:
    return "short";
  case TModbusFault::Long:
    return "long";
  case TModbusFault::ByteCount:
    return "bytecount";
  case TModbusFault::ByteCountOfCount:
    return "bytecountofcount";
  case TModbusFault::CountRange:
    return "countrange";
  case TModbusFault::CoilValue:
    return "coilvalue";
  case TModbusFault::OddByteCount:
    return "oddbytecount";
  }
  return "?";
}

// Every decoded field in one line, so a table states a whole message.
std::string Fields(const TModbusMessage &m) {
  QStringList parts;
  parts << QStringLiteral("u%1 f%2").arg(m.Unit).arg(m.Function);
  parts << (m.Direction == Request ? "req" : m.Direction == Response ? "resp" : "?");
  if (m.Exception)
    parts << QStringLiteral("exc%1").arg(m.ExceptionCode);
  if (m.Address)
    parts << QStringLiteral("a%1").arg(*m.Address);
  if (m.Count)
    parts << QStringLiteral("c%1").arg(*m.Count);
  if (m.ByteCount)
    parts << QStringLiteral("bc%1").arg(*m.ByteCount);
  if (!m.Registers.isEmpty()) {
    QStringList values;
    for (const uint16_t v : m.Registers)
      values << QString::number(v);
    parts << "r" + values.join(',');
  }
  if (!m.Bits.isEmpty()) {
    QString bits;
    for (const bool b : m.Bits)
      bits += b ? '1' : '0';
    parts << "b" + bits;
  }
  if (m.Fault != TModbusFault::None)
    parts << QStringLiteral("%1 %2/%3").arg(FaultName(m.Fault)).arg(m.Actual).arg(m.Expected);
  return parts.join(' ').toStdString();
}

TEST(ModbusDecode, EveryFunctionBothWaysExceptionsAndMalformedMessages) {
  struct Case {
    const char *hex;
    TModbusDirection direction;
    const char *fields;
  };
  const Case cases[] = {
      // The eight functions, the direction told from the bytes.
      {"110100130025", Unknown, "u17 f1 req a19 c37"},
      {"110102cd6b", Unknown, "u17 f1 resp bc2 b1011001111010110"},
      // Four data bytes read either way: a request unless said otherwise.
      {"110103cd6b05", Unknown, "u17 f1 req a973 c27397 countrange 27397/2000"},
      {"110103cd6b05", Response, "u17 f1 resp bc3 b101100111101011010100000"},
      {"110200c40016", Unknown, "u17 f2 req a196 c22"},
      {"11020201ff", Unknown, "u17 f2 resp bc2 b1000000011111111"},
      {"1103006b0003", Unknown, "u17 f3 req a107 c3"},
      {"110306022b00000064", Unknown, "u17 f3 resp bc6 r555,0,100"},
      {"110400080001", Unknown, "u17 f4 req a8 c1"},
      {"11040200ff", Unknown, "u17 f4 resp bc2 r255"},
      {"110500acff00", Unknown, "u17 f5 ? a172 r65280 b1"},
      {"110500ac0000", Response, "u17 f5 resp a172 r0 b0"},
      {"110600010003", Unknown, "u17 f6 ? a1 r3"},
      {"110f0013000a02cd01", Unknown, "u17 f15 req a19 c10 bc2 b1011001110"},
      {"110f0013000a", Unknown, "u17 f15 resp a19 c10"},
      {"11100001000204000a0102", Unknown, "u17 f16 req a1 c2 bc4 r10,258"},
      {"111000010002", Unknown, "u17 f16 resp a1 c2"},
      {"010303000100", Unknown, "u1 f3 req a768 c256 countrange 256/125"},
      {"010303000100", Response, "u1 f3 resp bc3 r1 oddbytecount 3/0"},
      {"010102ff01", Request, "u1 f1 req a767 short 3/4"},
      // Exceptions, whatever direction was assumed.
      {"118302", Request, "u17 f3 resp exc2"},
      {"118f04", Unknown, "u17 f15 resp exc4"},
      {"1183", Unknown, "u17 f3 resp exc0 short 0/1"},
      {"11830203", Unknown, "u17 f3 resp exc2 long 1/0"},
      // Short, long and self-contradicting messages.
      {"", Unknown, "u0 f0 ? nofunction 0/2"},
      {"11", Response, "u17 f0 resp nofunction 1/2"},
      {"11030000", Request, "u17 f3 req a0 short 2/4"},
      {"110300000001ff", Request, "u17 f3 req a0 c1 long 1/0"},
      {"110300000000", Request, "u17 f3 req a0 c0 countrange 0/125"},
      {"110107d0", Request, "u17 f1 req a2000 short 2/4"},
      {"1101", Response, "u17 f1 resp short 0/1"},
      {"1103060001", Response, "u17 f3 resp bc6 r1 bytecount 2/6"},
      {"1103020001ffff", Response, "u17 f3 resp bc2 r1 long 2/0"},
      {"110500ac1234", Unknown, "u17 f5 ? a172 r4660 b0 coilvalue 4660/0"},
      {"110600", Unknown, "u17 f6 ? short 1/4"},
      {"110f00", Request, "u17 f15 req short 1/5"},
      {"110f0013000a01cd", Unknown, "u17 f15 req a19 c10 bc1 b10110011 bytecountofcount 1/2"},
      {"11100001000204000a", Unknown, "u17 f16 req a1 c2 bc4 r10 bytecount 2/4"},
      {"11100001008000", Unknown, "u17 f16 req a1 c128 bc0 bytecountofcount 0/256"},
      {"11100000000000", Unknown, "u17 f16 req a0 c0 bc0 countrange 0/123"},
      // A function without a field layout keeps its bytes as they are.
      {"114101020304", Unknown, "u17 f65 ?"},
  };
  for (const Case &c : cases) {
    const TModbusMessage m = ModbusDecode(Hex(c.hex), c.direction);
    EXPECT_EQ(Fields(m), c.fields) << c.hex;
    EXPECT_EQ(m.Data, Hex(c.hex).mid(2)) << c.hex;
    EXPECT_EQ(ModbusFaultText(m).isEmpty(), m.Fault == TModbusFault::None) << c.hex;
  }
}

TEST(ModbusDecode, APairedRequestNumbersTheValuesAndChecksTheirCount) {
  TModbusPairedRequest request{MODBUS_INST_Read_Coils, 19, 19, 12.5};
  // 19 coils take three bytes; the padding of the last is dropped.
  TModbusMessage m = ModbusDecode(Hex("110103cd6b05"), Unknown, &request);
  EXPECT_EQ(Fields(m), "u17 f1 resp bc3 b1011001111010110101");
  ASSERT_TRUE(m.Request);
  const QString detail = ModbusDetailText(m);
  EXPECT_TRUE(detail.contains(QStringLiteral("00020: 1 0 1 1 0 0 1 1\r"))) << detail.toStdString();
  EXPECT_TRUE(detail.contains(QStringLiteral("00036: 1 0 1\r"))) << detail.toStdString();
  EXPECT_TRUE(detail.contains(QStringLiteral("Odpověď za 12.5 ms"))) << detail.toStdString();

  request = {MODBUS_INST_Read_Holding_Registers, 107, 3, 3.4};
  m = ModbusDecode(Hex("110306022b00000064"), Unknown, &request);
  EXPECT_EQ(m.Fault, TModbusFault::None);
  EXPECT_EQ(ModbusDetailText(m), QStringLiteral("Jednotka: 17\r"
                                                "Funkce: 03 (0x03) Read Holding Registers, "
                                                "odpověď\r"
                                                "Adresa v dotazu: 107 (0x006B), 40108\r"
                                                "Počet v dotazu: 3\r"
                                                "Počet bajtů: 6\r"
                                                "Hodnoty:\r"
                                                "40108: 555 (0x022B)\r"
                                                "40109: 0 (0x0000)\r"
                                                "40110: 100 (0x0064)\r"
                                                "Odpověď za 3.4 ms"));
  // An answer with fewer registers than asked for.
  request.Count = 4;
  m = ModbusDecode(Hex("110306022b00000064"), Response, &request);
  EXPECT_EQ(Fields(m), "u17 f3 resp bc6 r555,0,100 bytecountofcount 6/8");
  EXPECT_TRUE(ModbusDetailText(m).endsWith(
      QStringLiteral("Chyba zprávy:\rPočet bajtů je 6, počtu odpovídá 8")))
      << ModbusDetailText(m).toStdString();
  // A request given as a request keeps its own fields.
  m = ModbusDecode(Hex("1103006b0003"), Request, &request);
  EXPECT_EQ(Fields(m), "u17 f3 req a107 c3");
  EXPECT_FALSE(m.Request);
}

TEST(ModbusDecode, TextsNameFunctionsExceptionsAndValues) {
  const TModbusMessage exception = ModbusDecode(Hex("118302"));
  EXPECT_EQ(ModbusSummaryText(exception),
            QStringLiteral("Jednotka: 17, 03 (0x03) Read Holding Registers (odpověď), "
                           "Výjimka: 02 (0x02) Illegal Data Address"));
  EXPECT_TRUE(ModbusDetailText(exception).contains("Výjimka: 02 (0x02) Illegal Data Address"));
  // A code without a name is still given by its number.
  EXPECT_TRUE(
      ModbusDetailText(ModbusDecode(Hex("11830C"))).endsWith(QStringLiteral("Výjimka: 12 (0x0C)")));

  EXPECT_EQ(ModbusSummaryText(ModbusDecode(Hex("110f0013000a02cd01"))),
            QStringLiteral("Jednotka: 17, 15 (0x0F) Write Multiple Coils (dotaz), Adresa: 19, "
                           "Počet: 10, Hodnoty: 1 0 1 1 0 0 1 1 1 0"));
  EXPECT_EQ(ModbusSummaryText(ModbusDecode(Hex("110500acff00"))),
            QStringLiteral("Jednotka: 17, 05 (0x05) Write Single Coil, Adresa: 172, "
                           "Hodnota: zapnuto"));
  const QString single = ModbusDetailText(ModbusDecode(Hex("110600010003")));
  EXPECT_TRUE(single.contains(QStringLiteral("Adresa: 1 (0x0001), 40002\rHodnota: 3 (0x0003)")))
      << single.toStdString();
  // Long lists stop in the summary but not in the detail.
  QByteArray many = Hex("1103c8");
  many += QByteArray(200, '\x01');
  EXPECT_TRUE(ModbusSummaryText(ModbusDecode(many)).endsWith(QStringLiteral("257, …")));
  EXPECT_EQ(ModbusDetailText(ModbusDecode(many)).count(QStringLiteral("(0x0101)")), 100);
  // Values of an unpaired response are numbered by their place.
  EXPECT_TRUE(ModbusDetailText(ModbusDecode(Hex("11040200ff")))
                  .contains(QStringLiteral("[0]: 255 (0x00FF)")));

  const QString other = ModbusDetailText(ModbusDecode(Hex("112b0e0100")));
  EXPECT_TRUE(other.contains(QStringLiteral("43 (0x2B) Encapsulated Interface Transport")));
  EXPECT_TRUE(other.endsWith(QStringLiteral("Data: 0E 01 00"))) << other.toStdString();
  EXPECT_TRUE(ModbusDetailText(ModbusDecode(Hex("1141"))).endsWith(QStringLiteral("65 (0x41)")));
  EXPECT_EQ(ModbusSummaryText(ModbusDecode(Hex("11"))),
            QStringLiteral("Jednotka: 17, Zpráva bez kódu funkce: 1 B"));

  // The language's words; the names stay as engineers know them.
  InstallLanguageTexts(std::make_shared<TLanguageTexts>(
      TLanguageTexts{{"ModbusUnit", "Unit"}, {"ModbusResponse", "response"}}));
  EXPECT_TRUE(ModbusSummaryText(exception).startsWith(
      QStringLiteral("Unit: 17, 03 (0x03) Read Holding Registers (response)")));
  InstallLanguageTexts(nullptr);
}

TEST(ModbusDecode, AnyBytesDecodeWithinTheirBounds) {
  std::mt19937 random(23);
  for (int round = 0; round < 20000; ++round) {
    QByteArray bytes(qsizetype(random() % 24), '\0');
    for (char &b : bytes)
      b = char(random());
    // Function codes that have a layout, and byte counts near the truth.
    if (bytes.size() > 1 && round % 2)
      bytes[1] = char("\x01\x02\x03\x04\x05\x06\x0f\x10\x83"[random() % 9]);
    if (bytes.size() > 2 && round % 3 == 0)
      bytes[2] = char(bytes.size() - 3 + int(random() % 3) - 1);
    if (bytes.size() > 6 && round % 5 == 0)
      bytes[6] = char(bytes.size() - 7 + int(random() % 3) - 1);
    const auto direction = TModbusDirection(random() % 3);
    const TModbusPairedRequest request{uint8_t(bytes.size() > 1 ? bytes[1] : 0), uint16_t(random()),
                                       uint16_t(random()), 1.0};
    const TModbusMessage m = ModbusDecode(bytes, direction, round % 4 ? nullptr : &request);
    ASSERT_LE(m.Bits.size(), 8 * bytes.size()) << bytes.toHex().constData();
    ASSERT_LE(m.Registers.size(), bytes.size() / 2) << bytes.toHex().constData();
    if (bytes.size() < 2) {
      ASSERT_EQ(m.Fault, TModbusFault::NoFunction);
    }
    ASSERT_FALSE(ModbusSummaryText(m).isEmpty());
    ASSERT_FALSE(ModbusDetailText(m).isEmpty());
  }
}

TEST(ModbusReference, NumbersOfEveryKindAndTheirRanges) {
  struct Case {
    uint8_t function;
    int32_t address;
    int32_t number;
  };
  const Case cases[] = {
      {1, 0, 1},        {5, 65535, 65536}, {15, 19, 20},       {2, 0, 10001},
      {2, 9998, 19999}, {2, 9999, 110000}, {2, 65535, 165536}, {4, 0, 30001},
      {4, 9998, 39999}, {3, 107, 40108},   {6, 10000, 410001}, {16, 65535, 465536},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ModbusReferenceNumber(c.function, c.address), c.number) << c.number;
    EXPECT_EQ(ModbusAddressOfReference(c.function, c.number), c.address) << c.number;
  }
  // The five-digit form also reaches into the six-digit addresses' range.
  EXPECT_EQ(ModbusAddressOfReference(3, 49999), 9998);
  for (const auto &[function, number] :
       std::initializer_list<std::pair<uint8_t, int32_t>>{{1, 0},
                                                          {1, 65537},
                                                          {2, 10000},
                                                          {2, 20000},
                                                          {2, 165537},
                                                          {3, 30001},
                                                          {4, 40001},
                                                          {3, 399999},
                                                          {0x41, 1}}) {
    EXPECT_FALSE(ModbusAddressOfReference(function, number)) << int(function) << " " << number;
  }
  EXPECT_FALSE(ModbusReferenceNumber(0x41, 0));
  EXPECT_EQ(ModbusReferenceText(1, 20), "00020");
  EXPECT_EQ(ModbusReferenceText(3, 40108), "40108");
  EXPECT_EQ(ModbusReferenceRanges(2), QStringLiteral("10001–19999, 100001–165536"));
  EXPECT_EQ(ModbusReferenceRanges(5), QStringLiteral("00001–65536"));
}

} // namespace
