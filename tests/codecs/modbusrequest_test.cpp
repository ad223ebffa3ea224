#include "base/pterror.h"
#include "codecs/modbusdecode.h"
#include "codecs/modbusrequest.h"

#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char *hex) {
  return QByteArray::fromHex(hex);
}

// The message of the error `build` raises; empty when it raises none.
template <typename F> QString ErrorOf(F build) {
  try {
    build();
  } catch (const EPtError &error) {
    return error.Message();
  }
  return {};
}

TEST(ModbusRequest, EveryFunctionsPduReadsBackAsItsRequest) {
  struct Case {
    TModbusRequest request;
    const char *pdu;
  };
  const Case cases[] = {
      {{1, 19, 37, {}}, "0100130025"},
      {{2, 196, 22, {}}, "0200c40016"},
      {{3, 107, 3, {}}, "03006b0003"},
      {{4, 8, 1, {}}, "0400080001"},
      {{5, 172, 0, {1}}, "0500acff00"},
      {{5, 172, 0, {0}}, "0500ac0000"},
      {{6, 1, 0, {3}}, "0600010003"},
      {{15, 19, 0, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}}, "0f0013000a02cd01"},
      {{15, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1}}, "0f0000000801ff"},
      {{16, 1, 0, {10, 258}}, "100001000204000a0102"},
  };
  for (const Case &c : cases) {
    const QByteArray pdu = ModbusRequestPdu(c.request);
    EXPECT_EQ(pdu.toHex(), Hex(c.pdu).toHex()) << c.pdu;
    const TModbusMessage m = ModbusDecode(QByteArray(1, '\x01') + pdu, TModbusDirection::Request);
    EXPECT_EQ(m.Fault, TModbusFault::None) << c.pdu;
    EXPECT_EQ(m.Function, c.request.Function);
    EXPECT_EQ(m.Address, c.request.Address);
    if (c.request.Function >= 15) {
      EXPECT_EQ(m.Count, c.request.Values.size()) << c.pdu;
    }
  }
  EXPECT_THROW(ModbusRequestPdu({0x41, 0, 1, {}}), EPtError);
  EXPECT_THROW(ModbusRequestPdu({6, 0, 0, {}}), EPtError);
  EXPECT_THROW(ModbusRequestPdu({6, 0, 0, {1, 2}}), EPtError);
  EXPECT_THROW(ModbusRequestPdu({16, 0, 0, {}}), EPtError);
  EXPECT_THROW(ModbusRequestPdu({16, 0, 0, QList<uint16_t>(128, 1)}), EPtError);
}

TEST(ModbusRequest, FramesForEachProtocolAndTcpTransactionsCountUp) {
  TModbusFramer framer;
  const QByteArray pdu = Hex("0200000008");
  // Discrete inputs 10001 to 10008 of device 1.
  EXPECT_EQ(framer.Frame(mbtRTU, 1, pdu).toHex(), "01020000000879cc");
  EXPECT_EQ(framer.Frame(mbtASCII, 1, pdu), ":010200000008F5\r\n");
  EXPECT_EQ(framer.NextTransaction(), 1);
  EXPECT_EQ(framer.Frame(mbtTCP, 1, pdu).toHex(), "000100000006010200000008");
  EXPECT_EQ(framer.Frame(mbtTCP, 0xff, Hex("03006b0003")).toHex(), "000200000006ff03006b0003");
  EXPECT_EQ(framer.NextTransaction(), 3);
  EXPECT_THROW(framer.Frame(static_cast<TModbusType>(7), 1, pdu), EPtError);
  EXPECT_EQ(framer.NextTransaction(), 3);

  // The encoder of the panel's first design gives the same bytes.
  for (const TModbusType type : {mbtRTU, mbtASCII}) {
    EXPECT_EQ(MODBUS_EncodeReadDigitalInput(10001, 8, type, 1).toLatin1(),
              TModbusFramer().Frame(type, 1, pdu));
  }
  // The transaction id wraps after 65535.
  TModbusFramer wrapping;
  for (int i = 1; i < 0xFFFF; ++i)
    wrapping.Frame(mbtTCP, 1, pdu);
  EXPECT_EQ(wrapping.Frame(mbtTCP, 1, pdu).left(2).toHex(), "ffff");
  EXPECT_EQ(wrapping.Frame(mbtTCP, 1, pdu).left(2).toHex(), "0000");
  // The MBAP length counts the unit id and the PDU.
  EXPECT_EQ(ModbusTcpFrame(9, QByteArray(254, '\x01')).mid(4, 2).toHex(), "00fe");
}

TEST(ModbusRequest, ValuesAreCheckedWithClearErrors) {
  EXPECT_EQ(ParseModbusValues(" 1, 0x10 ,65535,0XfF", 16), (QList<uint16_t>{1, 16, 65535, 255}));
  EXPECT_EQ(ParseModbusValues("1,0,0xFF00,0x0000", 15), (QList<uint16_t>{1, 0, 1, 0}));
  EXPECT_EQ(ParseModbusValues("0x1234", 6), (QList<uint16_t>{0x1234}));
  EXPECT_EQ(ParseModbusValues("1", 5), (QList<uint16_t>{1}));
  EXPECT_EQ(ParseModbusValues(QStringList(123, "7").join(','), 16).size(), 123);
  EXPECT_EQ(ParseModbusValues(QStringList(1968, "1").join(','), 15).size(), 1968);

  struct Case {
    const char *text;
    uint8_t function;
    const char *error;
  };
  const Case cases[] = {
      {"", 16, "Zadejte hodnoty k zápisu"},
      {"  ", 6, "Zadejte hodnoty k zápisu"},
      {"1,,2", 16, "Prázdná hodnota na 2. místě"},
      {"1,2,", 16, "Prázdná hodnota na 3. místě"},
      {"abc", 16, "\"abc\" není číslo (desítkově, nebo šestnáctkově s 0x)"},
      {"-1", 16, "\"-1\" není číslo"},
      {"+1", 16, "\"+1\" není číslo"},
      {"1.5", 6, "\"1.5\" není číslo"},
      {"0x", 6, "\"0x\" není číslo"},
      {"0xG1", 6, "\"0xG1\" není číslo"},
      {"1 2", 6, "\"1 2\" není číslo"},
      {"\u0661", 6, "není číslo"}, // an Arabic-Indic digit is not one of ours
      {"65536", 6, "Hodnota 65536 je mimo rozsah 0–65535"},
      {"0x10000", 16, "Hodnota 0x10000 je mimo rozsah 0–65535"},
      {"99999999999999999999999", 16, "je mimo rozsah 0–65535"},
      {"2", 5, "Hodnota cívky 2: zadejte 0 nebo 1"},
      {"1,0xFF01", 15, "Hodnota cívky 0xFF01: zadejte 0 nebo 1"},
      {"1,2", 6, "Příliš mnoho hodnot: 2, nejvýše 1"},
      {"1,0", 5, "Příliš mnoho hodnot: 2, nejvýše 1"},
  };
  for (const Case &c : cases) {
    const QString error =
        ErrorOf([&] { ParseModbusValues(QString::fromUtf8(c.text), c.function); });
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.error)))
        << c.text << ": " << error.toStdString();
  }
  EXPECT_EQ(ErrorOf([] { ParseModbusValues(QStringList(124, "7").join(','), 16); }),
            QStringLiteral("Příliš mnoho hodnot: 124, nejvýše 123"));
  EXPECT_EQ(ErrorOf([] { ParseModbusValues(QStringList(1969, "1").join(','), 15); }),
            QStringLiteral("Příliš mnoho hodnot: 1969, nejvýše 1968"));
}

TEST(ModbusRequest, StartNumbersAndCountsStayInTheirRanges) {
  struct Good {
    uint8_t function;
    int32_t number;
    qsizetype count;
    uint16_t address;
  };
  const Good good[] = {
      {2, 10001, 8, 0},    {1, 1, 2000, 0},       {5, 65536, 1, 65535},
      {3, 40108, 3, 107},  {4, 300001, 125, 0},   {16, 465536, 1, 65535},
      {6, 49999, 1, 9998}, {15, 10001, 1, 10000}, {3, 465412, 125, 65411},
  };
  for (const Good &g : good)
    EXPECT_EQ(ModbusStartAddress(g.function, g.number, g.count), g.address) << g.number;

  EXPECT_EQ(ErrorOf([] { ModbusStartAddress(2, 10000, 1); }),
            QStringLiteral("Číslo 10000 neleží v rozsahu této funkce: 10001–19999, 100001–165536"));
  EXPECT_EQ(ErrorOf([] { ModbusStartAddress(3, 30001, 1); }),
            QStringLiteral("Číslo 30001 neleží v rozsahu této funkce: 40001–49999, 400001–465536"));
  EXPECT_EQ(ErrorOf([] { ModbusStartAddress(1, 0, 1); }),
            QStringLiteral("Číslo 0 neleží v rozsahu této funkce: 00001–65536"));
  EXPECT_EQ(ErrorOf([] { ModbusStartAddress(3, 465413, 125); }),
            QStringLiteral("125 hodnot od čísla 465413 přesahuje adresu 65535"));

  EXPECT_EQ(ModbusReadCount(1, 2000), 2000);
  EXPECT_EQ(ModbusReadCount(4, 125), 125);
  EXPECT_EQ(ErrorOf([] { ModbusReadCount(2, 2001); }),
            QStringLiteral("Počet 2001 je mimo rozsah 1–2000"));
  EXPECT_EQ(ErrorOf([] { ModbusReadCount(3, 126); }),
            QStringLiteral("Počet 126 je mimo rozsah 1–125"));
  EXPECT_EQ(ErrorOf([] { ModbusReadCount(3, 0); }), QStringLiteral("Počet 0 je mimo rozsah 1–125"));
}

TEST(ModbusRequest, ACustomPduIsCommandText) {
  EXPECT_EQ(ModbusCustomPdu(QStringLiteral("{0x03,0,0,0,2}")).toHex(), "0300000002");
  EXPECT_EQ(ModbusCustomPdu(QStringLiteral("{$2B}\\r{1,0}")).toHex(), "2b0d0100");
  EXPECT_EQ(ModbusCustomPdu(QStringLiteral("{0x41}") + QString(252, u'A')).size(), 253);
  EXPECT_EQ(ErrorOf([] { ModbusCustomPdu(QString()); }),
            QStringLiteral("Zadejte PDU: kód funkce a data"));
  EXPECT_EQ(ErrorOf([] { ModbusCustomPdu(QString(254, u'A')); }),
            QStringLiteral("PDU má 254 B, nejvýše 253 B"));
  EXPECT_FALSE(ErrorOf([] { ModbusCustomPdu(QStringLiteral("{0x03")); }).isEmpty());
  EXPECT_FALSE(ErrorOf([] { ModbusCustomPdu(QStringLiteral("{0xZZ}")); }).isEmpty());
}

} // namespace
