#include "codecs/modbus.h"
#include "codecs/modbusframing.h"
#include "codecs/modbuspairing.h"
#include "codecs/modbusrequest.h"
#include "pipeline/datalog.h"
#include "pipeline/datamodbus.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"
#include "pipeline/receivepath.h"

#include <gtest/gtest.h>

namespace {

QByteArray Rtu(const char *hex) {
  return ModbusRtuFrame(QByteArray::fromHex(hex));
}

TEST(ModbusRow, TheFrameCheckNamesTheExpectedValue) {
  QByteArray damaged = Rtu("01030400010002");
  damaged[4] = static_cast<char>(damaged[4] ^ 0x10);
  const uint16_t expectedCrc = ModbusCRC16(QByteArrayView(damaged).first(7));
  QByteArray badLrc = ModbusAsciiFrame(QByteArray::fromHex("010300000002"));
  badLrc[13] = 'A'; // the LRC's first digit (F of FA)
  struct Case {
    const char *name;
    QByteArray bytes;
    TModbusType type;
    QString summary; // in the detail text, after the notations
  };
  const Case cases[] = {
      {"valid RTU", Rtu("010300000002"), mbtRTU,
       "Modbus RTU, jednotka 1, funkce 3 (0x03)\rCRC v pořádku"},
      {"damaged RTU", damaged, mbtRTU,
       QStringLiteral("Modbus RTU, jednotka 1, funkce 3 (0x03)\rChyba rámce: CRC %1, očekáváno %2")
           .arg(QString::number(uint8_t(damaged[7]) | uint8_t(damaged[8]) << 8, 16)
                    .toUpper()
                    .rightJustified(4, u'0'),
                QString::number(expectedCrc, 16).toUpper().rightJustified(4, u'0'))},
      {"exception", Rtu("018302"), mbtRTU,
       "Modbus RTU, jednotka 1, funkce 131 (0x83)\rCRC v pořádku"},
      {"valid ASCII", ModbusAsciiFrame(QByteArray::fromHex("110600010003")), mbtASCII,
       "Modbus ASCII, jednotka 17, funkce 6 (0x06)\rLRC v pořádku"},
      {"damaged ASCII", badLrc, mbtASCII,
       "Modbus ASCII, jednotka 1, funkce 3 (0x03)\rChyba rámce: LRC AA, očekáváno FA"},
      {"ASCII without CR LF", ":0103", mbtASCII,
       "Modbus ASCII, jednotka 1, funkce 3 (0x03)\rChyba rámce: Rámec není \":\", šestnáctkové "
       "páry a CR LF"},
      {"TCP", QByteArray::fromHex("000100000006010300000002"), mbtTCP,
       "Modbus TCP, jednotka 1, funkce 3 (0x03)\rMBAP v pořádku"},
      {"TCP length disagrees", QByteArray::fromHex("00010000000901030000"), mbtTCP,
       "Modbus TCP, jednotka 1, funkce 3 (0x03)\rChyba rámce: Length 0009, očekáváno 0004"},
      {"short RTU", QByteArray::fromHex("01"), mbtRTU,
       "Modbus RTU\rChyba rámce: Krátký rámec: 1 B, nejméně 4 B"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TVexlinDataBinary_Modbus row(c.bytes, spRx, c.type);
    EXPECT_EQ(row.FrameSummary(), c.summary);
    EXPECT_TRUE(row.GetTextInfo().contains(QStringLiteral("\r\r") + c.summary));
  }
  const TModbusFrameFault fault = ModbusFrameFault(damaged, mbtRTU);
  EXPECT_EQ(fault.Position, 7);
  EXPECT_EQ(fault.Count, 2);
}

TEST(ModbusRow, AResponseShowsItsRequestsRegisterNumbersAndTheTimeToIt) {
  constexpr TDateTime kSent = 46000.5;
  constexpr TDateTime kMs = 1.0 / 86400000.0;
  struct Case {
    const char *name;
    TModbusType type;
    QByteArray request, otherRequest, response;
    const char *values; // lines of the response's detail
  };
  const Case cases[] = {
      {"RTU holding registers from 40002", mbtRTU,
       ModbusRtuFrame(QByteArray::fromHex("110300010002")),
       ModbusRtuFrame(QByteArray::fromHex("120300000001")),
       ModbusRtuFrame(QByteArray::fromHex("11030401020304")),
       "Adresa v dotazu: 1 (0x0001), 40002\rPočet v dotazu: 2\rPočet bajtů: 4\rHodnoty:\r"
       "40002: 258 (0x0102)\r40003: 772 (0x0304)\rOdpověď za 25.0 ms"},
      {"ASCII coils from 9", mbtASCII, ModbusAsciiFrame(QByteArray::fromHex("010100080003")),
       ModbusAsciiFrame(QByteArray::fromHex("010200080003")),
       ModbusAsciiFrame(QByteArray::fromHex("01010105")),
       "Hodnoty:\r00009: 1 0 1\rOdpověď za 25.0 ms"},
      // The other request has the same unit and function: only the
      // transaction id tells which one is answered.
      {"TCP input registers by transaction", mbtTCP,
       ModbusTcpFrame(7, QByteArray::fromHex("010400100001")),
       ModbusTcpFrame(8, QByteArray::fromHex("010400200001")),
       ModbusTcpFrame(7, QByteArray::fromHex("01040200FF")),
       "Hodnoty:\r30017: 255 (0x00FF)\rOdpověď za 25.0 ms"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TModbusPairing pairing;
    TVexlinDataBinary_Modbus request(c.request, spTx, c.type);
    TVexlinDataBinary_Modbus other(c.otherRequest, spTx, c.type);
    TVexlinDataBinary_Modbus response(c.response, spRx, c.type);
    request.Time = kSent;
    other.Time = kSent + 10 * kMs;
    response.Time = kSent + 25 * kMs;
    for (TVexlinDataBinary_Modbus *row : {&request, &other, &response})
      row->Pair(pairing);
    EXPECT_TRUE(response.Paired());
    EXPECT_FALSE(request.Paired());
    const QString info = response.GetTextInfo();
    EXPECT_TRUE(info.contains(QString::fromUtf8(c.values))) << info.toStdString();
    EXPECT_TRUE(request.GetTextInfo().contains(QStringLiteral(", dotaz\r")));
  }
}

TEST(ModbusRow, WithoutItsRequestAResponseNumbersItsValuesByPlace) {
  TVexlinDataBinary_Modbus response(ModbusRtuFrame(QByteArray::fromHex("11030401020304")), spRx,
                                    mbtRTU);
  const TModbusMessage decoded = response.Decoded();
  EXPECT_EQ(decoded.Registers, (QList<uint16_t>{0x0102, 0x0304}));
  EXPECT_TRUE(response.GetTextInfo().contains(QStringLiteral("[1]: 772 (0x0304)")));
  // An exception names its code.
  TVexlinDataBinary_Modbus exception(ModbusRtuFrame(QByteArray::fromHex("118302")), spRx, mbtRTU);
  EXPECT_TRUE(exception.GetTextInfo().contains(QStringLiteral("02 (0x02) Illegal Data Address")))
      << exception.GetTextInfo().toStdString();
}

TEST(ModbusRow, ASentBlockIsAModbusRowWhenItIsAWholeFrame) {
  const QByteArray rtu = ModbusRtuFrame(QByteArray::fromHex("010300000002"));
  QByteArray damaged = rtu;
  damaged[2] = 1;
  struct Case {
    QByteArray bytes;
    std::optional<TModbusType> type;
    bool modbus;
  };
  const Case cases[] = {
      {rtu, mbtRTU, true},
      {rtu, std::nullopt, false},
      {damaged, mbtRTU, false},
      {"AT\r", mbtRTU, false},
      {ModbusAsciiFrame(QByteArray::fromHex("010300000002")), mbtASCII, true},
      {ModbusTcpFrame(1, QByteArray::fromHex("010300000002")), mbtTCP, true},
      {ModbusAsciiFrame(QByteArray::fromHex("010300000002")), mbtRTU, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    std::unique_ptr<TVexlinDataBinary> row(NewSentRow(c.bytes, c.type));
    EXPECT_EQ(row->Direction, spTx);
    EXPECT_EQ(row->Data, c.bytes);
    auto *modbus = dynamic_cast<TVexlinDataBinary_Modbus *>(row.get());
    ASSERT_EQ(modbus != nullptr, c.modbus);
    if (modbus) {
      EXPECT_EQ(modbus->ModbusType, *c.type);
    }
  }
}

class ModbusLog : public ::testing::Test {
protected:
  void SetUp() override { RegisterVexlinDataObjectClasses(); }
  void TearDown() override { ClearDataObjectClasses(); }
};

TEST_F(ModbusLog, SavedRowsLoadBackAsModbusRowsOfTheirType) {
  const TVexlinDataBinary_Modbus rows[] = {
      {Rtu("010300000002"), spTx, mbtRTU},
      {ModbusAsciiFrame(QByteArray::fromHex("01030400010002")), spRx, mbtASCII},
      {QByteArray::fromHex("000100000006010300000002"), spRx, mbtTCP},
  };
  QByteArray saved;
  for (const auto &row : rows) {
    const_cast<TVexlinDataBinary_Modbus &>(row).Time = 41415.5;
    ASSERT_TRUE(AppendLogLine(saved, &row));
  }
  EXPECT_TRUE(saved.startsWith("2013-05-21 12:00:00\tmbs\ttx rtu hex:01 03 00 00 00 02 C4 0B\t"))
      << saved.toStdString();

  std::vector<std::unique_ptr<TVexlinDataObject>> loaded;
  TLogFileReader reader(
      [&](std::unique_ptr<TVexlinDataObject> o) { loaded.push_back(std::move(o)); });
  reader.Feed(saved.constData(), saved.size());
  reader.Finish();
  ASSERT_GE(loaded.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    auto *row = dynamic_cast<TVexlinDataBinary_Modbus *>(loaded[i].get());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Data, rows[i].Data);
    EXPECT_EQ(row->Direction, rows[i].Direction);
    EXPECT_EQ(row->ModbusType, rows[i].ModbusType);
  }
}

TEST_F(ModbusLog, AReaderWithoutTheKindKeepsTheLineAsText) {
  // As a reader from before the kind: the token names nothing it knows.
  ClearDataObjectClasses();
  AddDataObjectClass(ClassOf<TVexlinDataLog>(), "log");
  std::vector<std::unique_ptr<TVexlinDataObject>> loaded;
  TLogFileReader reader(
      [&](std::unique_ptr<TVexlinDataObject> o) { loaded.push_back(std::move(o)); });
  const QByteArray line = "2013-05-21 12:00:00\tmbs\trx rtu hex:01 83 02 C0 F1\tascii:{$01}\n\r";
  reader.Feed(line.constData(), line.size());
  reader.Finish();
  ASSERT_FALSE(loaded.empty());
  auto *log = dynamic_cast<TVexlinDataLog *>(loaded[0].get());
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->Text.startsWith("rx rtu hex:01 83 02"));
}

// The receive path carries each block's arrival stamp to the parser, and a
// timer's Expire closes what silence ended.
TEST(ReceiveStamps, SilenceClosesAPacketOnlyOnceItHasPassed) {
  VexlinDataObjects_Initialize();
  const int32_t savedMax = TVexlinParser::MaxLength.load();
  TVexlinParser::MaxLength = 1024;
  TVexlinReceiver receiver;
  receiver.fVexlinParser_Gap.SetPause(5'000'000);
  receiver.SetParser(&receiver.fVexlinParser_Gap);
  auto queued = [] {
    std::vector<QByteArray> out;
    TVexlinDataObject *chain = nullptr;
    if (VexlinDataObject_POP(chain))
      for (TVexlinDataObject *o = chain; o; o = o->NextDataObj)
        out.push_back(static_cast<TVexlinDataBinary *>(o)->Data);
    FreeDataObjectChain(chain);
    return out;
  };
  // Two reads delivered together keep their own stamps: 6 ms apart, a pause.
  const TArrivalMark marks[] = {{2, 1'000'000}, {4, 7'000'000}};
  receiver.Receive("abcd", {}, marks);
  EXPECT_EQ(queued(), std::vector<QByteArray>({"ab"}));
  receiver.Receive("ef", {}, 9'000'000);
  EXPECT_FALSE(receiver.Expire(13'000'000));
  EXPECT_TRUE(queued().empty());
  EXPECT_TRUE(receiver.Expire(14'000'000));
  EXPECT_EQ(queued(), std::vector<QByteArray>({"cdef"}));
  EXPECT_EQ(receiver.Buffer(0).UsedSize(), 0);
  TVexlinParser::MaxLength = savedMax;
  VexlinDataObjects_Finalize();
}

} // namespace
