#include "base/pterror.h"
#include "codecs/pelmar97.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kExample = QByteArray::fromHex("2A610008010223148107AA0D");

TEST(Pelmar97, EncodesAndDecodesTheReferenceFrame) {
  const QByteArray frame = sEncode_S97(0x01, 0x02, 0x23, QByteArray::fromHex("148107"));
  EXPECT_EQ(frame.toHex(), kExample.toHex());
  EXPECT_EQ(sCheck_S97(frame), 0);

  const TPelmarFormat97 r = sDecode_S97(frame);
  EXPECT_EQ(r.PRE, '*');
  EXPECT_EQ(r.FRM, 0x61);
  EXPECT_EQ(r.NUM, 8);
  EXPECT_EQ(r.ADR, 0x01);
  EXPECT_EQ(r.SIG, 0x02);
  EXPECT_EQ(r.INST_ACK, 0x23);
  EXPECT_EQ(r.DATA.toHex(), "148107");
  EXPECT_EQ(r.SUMA, 0xAA);
  EXPECT_EQ(r.CR, '\r');
}

TEST(Pelmar97, FramesWithoutDataAndWithFrameBytesInData) {
  const QByteArray empty = sEncode_S97(uPelmar97::ADR_Universal, 0x00, 0xFF, {});
  EXPECT_EQ(empty.toHex(), "2a610005fe00ff720d");
  EXPECT_EQ(sCheck_S97(empty), 0);
  EXPECT_TRUE(sDecode_S97(empty).DATA.isEmpty());

  // Bytes that look like frame boundaries are not escaped.
  const QByteArray data = QByteArray::fromHex("2A610D000D2A");
  const QByteArray frame = sEncode_S97(0x10, 0x20, 0x30, data);
  EXPECT_EQ(frame.size(), data.size() + 9);
  EXPECT_EQ(frame.mid(7, data.size()), data);
  EXPECT_EQ(sCheck_S97(frame), 0);
  EXPECT_EQ(sDecode_S97(frame).DATA, data);
}

TEST(Pelmar97, LengthLimitOfTheDataField) {
  QByteArray data(uPelmar97::MaxDataLength, '\xFF');
  const QByteArray frame = sEncode_S97(1, 2, 3, data);
  EXPECT_EQ(frame.size(), 65539);
  EXPECT_EQ(static_cast<uint8_t>(frame[2]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(frame[3]), 0xFF);
  EXPECT_EQ(sCheck_S97(frame), 0);
  EXPECT_EQ(sDecode_S97(frame).DATA.size(), uPelmar97::MaxDataLength);

  data.append('\0');
  try {
    sEncode_S97(1, 2, 3, data);
    FAIL() << "65531 data bytes were accepted";
  } catch (const EPtError &e) {
    EXPECT_TRUE(e.Message().contains(QLatin1String("65531"))) << e.what();
  }
}

TEST(Pelmar97, CountCRCMatchesAPlainByteSum) {
  EXPECT_EQ(sCountCRC({}), 0xFF);
  EXPECT_EQ(sCountCRC(kExample.first(10)), 0xAA);
  // Long enough to exercise the word-wise summing and its lane folding.
  for (const qsizetype size : {7, 8, 9, 1023, 1024, 1025, 4099, 20000}) {
    QByteArray bytes(size, Qt::Uninitialized);
    unsigned sum = 0;
    for (qsizetype i = 0; i < size; ++i) {
      bytes[i] = static_cast<char>(i % 7 == 0 ? 0xFF : (i * 37) & 0xFF);
      sum += static_cast<uint8_t>(bytes[i]);
    }
    EXPECT_EQ(sCountCRC(bytes), static_cast<uint8_t>(255 - sum % 256)) << size;
  }
}

TEST(Pelmar97, CheckReportsTheFirstFailedTest) {
  struct Case {
    const char *name;
    QByteArray frame;
    uint16_t code;
  };
  QByteArray badSum = kExample;
  badSum[10] = char(0xAB);
  QByteArray badEnd = kExample;
  badEnd[11] = 0x0A;
  QByteArray badBoth = badSum;
  badBoth[11] = 0x0A;
  QByteArray dropped = kExample;
  dropped.remove(8, 1);
  QByteArray badPre = QByteArray::fromHex("2B6100040102FC0D");
  QByteArray badFrm = kExample;
  badFrm[1] = 'b';
  // Eight bytes with LEN 4 pass although there is no room for INST.
  QByteArray eight = QByteArray::fromHex("2A6100040102");
  eight.append(char(sCountCRC(eight))).append('\r');
  const Case cases[] = {
      {"valid", kExample, 0},
      {"empty", {}, 1},
      {"seven bytes", kExample.first(7), 1},
      {"wrong PRE", badPre, 2},
      {"wrong FRM", badFrm, 3},
      {"data byte dropped", dropped, 4},
      {"trailing byte", kExample + '\r', 4},
      {"wrong SUM", badSum, 5},
      {"wrong CR", badEnd, 6},
      {"wrong SUM and CR", badBoth, 5},
      {"eight bytes", eight, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(sCheck_S97(c.frame), c.code) << c.name;
  }
}

TEST(Pelmar97, DecodeRefusesShortOrTruncatedPackets) {
  QByteArray longLen = kExample;
  longLen[3] = 0x0A; // SUM and CR would lie beyond the end
  QByteArray eight = QByteArray::fromHex("2A6100040102");
  eight.append(char(sCountCRC(eight))).append('\r');
  const QByteArray cases[] = {QByteArray(), kExample.first(8), eight, longLen,
                              QByteArray::fromHex("2A61FFFF01022300AA0D")};
  for (const QByteArray &packet : cases) {
    try {
      sDecode_S97(packet);
      ADD_FAILURE() << "decoded " << packet.toHex().constData();
    } catch (const EPtError &e) {
      EXPECT_STREQ(e.what(), "Incorrect PACKET (Pelmar format 97)!");
    }
  }
}

TEST(Pelmar97, DecodeTakesFieldsAsTheyAre) {
  // Nothing but the length is checked; a LEN below 5 points SUM and CR into
  // the header and leaves DATA empty; bytes after CR are ignored.
  const TPelmarFormat97 r = sDecode_S97(QByteArray::fromHex("00000001AABBCCDDEE"));
  EXPECT_EQ(r.PRE, 0);
  EXPECT_EQ(r.NUM, 1);
  EXPECT_TRUE(r.DATA.isEmpty());
  EXPECT_EQ(r.SUMA, 0x01);
  EXPECT_EQ(static_cast<uint8_t>(r.CR), 0xAA);

  const TPelmarFormat97 tail = sDecode_S97(kExample + "xyz");
  EXPECT_EQ(tail.DATA.toHex(), "148107");
  EXPECT_EQ(tail.CR, '\r');
}

TEST(Pelmar97, FaultNamesTheBytesAndTheValueExpected) {
  struct Case {
    const char *name;
    QByteArray frame;
    qsizetype position, count;
    QString text;
  };
  QByteArray badSum = kExample;
  badSum[10] = char(0x2D);
  QByteArray badBoth = badSum;
  badBoth[11] = 0x0A;
  QByteArray badEnd = kExample;
  badEnd[11] = 0x0A;
  QByteArray dropped = kExample;
  dropped.remove(8, 1);
  QByteArray badFrm = kExample;
  badFrm[1] = 'b';
  QByteArray badPre = kExample;
  badPre[0] = 0x2B;
  const Case cases[] = {
      {"valid", kExample, 0, 0, ""},
      {"wrong SUM", badSum, 10, 1, "SUM 2D, očekáváno AA"},
      {"wrong SUM and CR", badBoth, 10, 1, "SUM 2D, očekáváno AA"},
      {"wrong CR", badEnd, 11, 1, "CR 0A, očekáváno 0D"},
      {"data byte dropped", dropped, 2, 2, "LEN 0008, očekáváno 0007"},
      {"wrong FRM", badFrm, 1, 1, "FRM 62, očekáváno 61"},
      {"wrong PRE", badPre, 0, 1, "PRE 2B, očekáváno 2A"},
      {"five bytes", kExample.first(5), 0, 0, "Krátký rámec: 5 B, nejméně 8 B"},
  };
  for (const Case &c : cases) {
    const TS97Fault fault = S97Fault(c.frame);
    EXPECT_EQ(fault.Code, sCheck_S97(c.frame)) << c.name;
    EXPECT_EQ(fault.Position, c.position) << c.name;
    EXPECT_EQ(fault.Count, c.count) << c.name;
    EXPECT_EQ(S97FaultText(fault), c.text) << c.name;
  }
}

} // namespace
