#include "parsertestsupport.h"
#include "pipeline/lengthfieldparser.h"

namespace {

QByteArray Hex(const char *hex) {
  return QByteArray::fromHex(hex);
}

class LengthField : public ::testing::Test {
protected:
  std::vector<TCutPacket> Feed(const QByteArray &stream, qsizetype piece) {
    std::vector<TCutPacket> out;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
      buffer.Push(stream.mid(at, piece));
      for (auto &p : CutAll(parser, buffer))
        out.push_back(p);
    }
    return out;
  }

  MaxLengthGuard maxLength{1024};
  TVexlinParser_LengthField parser;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(LengthField, FormatsOfTheField) {
  struct Case {
    const char *name;
    TLengthFieldFormat format;
    QByteArray packet;
  };
  const Case cases[] = {
      {"1 byte, whole length", {{}, 0, 1, true, 0}, Hex("03AABB")},
      {"2 bytes big endian, header added", {Hex("AA55"), 2, 2, true, 4}, Hex("AA55000201 02")},
      {"2 bytes little endian", {{}, 1, 2, false, 3}, Hex("0102000A0B")},
      {"4 bytes big endian", {Hex("7E"), 1, 4, true, 0}, Hex("7E00000007AABB")},
      {"4 bytes little endian", {{}, 0, 4, false, 0}, Hex("05000000EE")},
      {"negative addition", {{}, 0, 1, true, -2}, Hex("06AABBCC")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    parser.SetFormat(c.format);
    buffer.Clear();
    // Twice in a row, split into pieces of 2 bytes.
    const std::vector<TCutPacket> expected = {{c.packet, false}, {c.packet, false}};
    EXPECT_EQ(Feed(c.packet + c.packet, 2), expected);
    EXPECT_EQ(buffer.UsedSize(), 0);
  }
}

TEST_F(LengthField, ImpossibleLengthsResynchronise) {
  const QByteArray packet = Hex("AA5500060102");
  parser.SetFormat({Hex("AA55"), 2, 2, true, 0});
  struct Case {
    const char *name;
    QByteArray garbage;
  };
  const Case cases[] = {
      {"bytes before the start", Hex("0102")},
      {"a length beyond the maximum", Hex("AA55FFFF")},
      {"a length shorter than the header", Hex("AA550001")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    buffer.Clear();
    const std::vector<TCutPacket> expected = {{c.garbage, false}, {packet, false}};
    EXPECT_EQ(Feed(c.garbage + packet, 3), expected);
  }
}

TEST_F(LengthField, FourGigabytesAnnouncedNeverMakeItWait) {
  parser.SetFormat({{}, 0, 4, true, 0});
  const QByteArray huge = Hex("FFFFFFFF") + QByteArray(20, 'x');
  const auto packets = Feed(huge + Hex("00000005EE"), 64);
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets.back(), (TCutPacket{Hex("00000005EE"), false}));
  qsizetype total = 0;
  for (const auto &p : packets)
    total += p.bytes.size();
  EXPECT_EQ(total, huge.size() + 5);
}

TEST_F(LengthField, RandomBytesNeverPileUpBeyondTheMaximumLength) {
  MaxLengthGuard small(200);
  parser.SetFormat({{}, 3, 2, true, 0});
  uint32_t state = 12345;
  QByteArray random(100000, Qt::Uninitialized);
  for (char &c : random) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  qsizetype total = 0;
  for (const auto &p : Feed(random, 1000)) {
    EXPECT_LE(p.bytes.size(), 200);
    total += p.bytes.size();
  }
  EXPECT_EQ(total + buffer.UsedSize(), random.size());
  EXPECT_LT(buffer.UsedSize(), 200 + 5);
}

} // namespace
