#include "pipeline/databinary.h"
#include "pipeline/datapelmar97.h"
#include "pipeline/vexlinparser.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

QByteArray Hex(const char *hex) {
  return QByteArray::fromHex(hex);
}

struct Packet {
  QByteArray bytes;
  bool frame; // a Pelmar 97 frame object rather than a plain binary one
};

// Runs Parse until it returns false, as the receive path does.
std::vector<Packet> ParseAll(TVexlinParser &parser, TVexlinBuffer &buffer) {
  std::vector<Packet> out;
  std::unique_ptr<TVexlinDataObject> object;
  while (parser.Parse(buffer, object)) {
    auto *binary = dynamic_cast<TVexlinDataBinary *>(object.get());
    EXPECT_NE(binary, nullptr);
    EXPECT_EQ(binary->Direction, spRx);
    EXPECT_EQ(binary->Time, 0.0);
    out.push_back({binary->Data, dynamic_cast<TVexlinDataBinary_Pelmar97 *>(binary) != nullptr});
    object.reset();
  }
  EXPECT_EQ(object, nullptr) << "a false result must not hand out an object";
  return out;
}

class Parsers : public ::testing::Test {
protected:
  void SetUp() override { saved = TVexlinParser::MaxLength.load(); }
  void TearDown() override { TVexlinParser::MaxLength = saved; }
  int32_t saved = 0;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(Parsers, S97CutsFramesAndTheBytesBeforeThem) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_S97 parser;
  buffer.Push(Hex("31322A6100010D2A610004010203"));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].bytes, Hex("3132"));
  EXPECT_FALSE(packets[0].frame);
  EXPECT_EQ(packets[1].bytes, Hex("2A6100010D"));
  EXPECT_TRUE(packets[1].frame);
  // The second frame is incomplete and waits, whole, for its last byte.
  EXPECT_EQ(buffer.UsedSize(), 7);
  buffer.Push(Hex("0D"));
  packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes, Hex("2A6100040102030D"));
  EXPECT_EQ(buffer.UsedSize(), 0);
}

TEST_F(Parsers, S97MaximumLengthCut) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_S97 parser;
  buffer.Push(QByteArray(1500, 'x'));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes.size(), 1024);
  EXPECT_EQ(buffer.UsedSize(), 476);

  // A lone frame start below the maximum waits.
  TVexlinBuffer start("x");
  start.Push(Hex("2A61"));
  EXPECT_TRUE(ParseAll(parser, start).empty());
  EXPECT_EQ(start.UsedSize(), 2);
}

TEST_F(Parsers, S97LongFrameIsNotCutAtTheMaximum) {
  TVexlinParser::MaxLength = 1024;
  TVexlinParser_S97 parser;
  QByteArray frame = Hex("2A61FFFF") + QByteArray(0xFFFF, 'z');
  buffer.Push(frame.left(65538));
  EXPECT_TRUE(ParseAll(parser, buffer).empty());
  buffer.Push(frame.right(1));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes.size(), 65539);
  EXPECT_TRUE(packets[0].frame);
}

TEST_F(Parsers, MaxLengthZeroSwitchesTheCutOff) {
  TVexlinParser::MaxLength = 0;
  TVexlinParser_S97 parser;
  buffer.Push(QByteArray(5000, 'x'));
  EXPECT_TRUE(ParseAll(parser, buffer).empty());
  EXPECT_EQ(buffer.UsedSize(), 5000);
}

TEST_F(Parsers, SuffixParser) {
  TVexlinParser_Sufix parser;
  parser.SetSufix(Hex("0D0A"));
  buffer.Push(Hex("410D"));
  EXPECT_TRUE(ParseAll(parser, buffer).empty());
  buffer.Push(Hex("0A42"));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes, Hex("410D0A"));
  EXPECT_EQ(buffer.UsedSize(), 1);

  parser.SetSufix({});
  buffer.Push(Hex("0D0A0D0A"));
  EXPECT_TRUE(ParseAll(parser, buffer).empty()) << "an empty suffix never ends a packet";
}

TEST_F(Parsers, LengthParser) {
  TVexlinParser_Length parser;
  parser.SetDataLength(3);
  buffer.Push(QByteArray("abcdefg"));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].bytes, "abc");
  EXPECT_EQ(packets[1].bytes, "def");
  EXPECT_EQ(buffer.UsedSize(), 1);

  parser.SetDataLength(0);
  buffer.Push(QByteArray(100, 'q'));
  EXPECT_TRUE(ParseAll(parser, buffer).empty()) << "length 0 switches the parser off";
}

// Neither the suffix nor the length parser may let a buffer grow without
// bound: past the cap the oldest bytes leave as binary packets, and no byte
// is lost. The same holds for the frame parser with its cut switched off.
TEST_F(Parsers, SafetyCapBoundsUnterminatedStreams) {
  TVexlinParser_Sufix sufix;
  sufix.SetSufix(Hex("0D0A"));
  TVexlinParser_Length length;
  length.SetDataLength(0);
  TVexlinParser_S97 s97;
  TVexlinParser::MaxLength = 0;
  TVexlinParser *parsers[] = {&sufix, &length, &s97};
  const QByteArray piece(1 << 20, 'u');
  for (TVexlinParser *parser : parsers) {
    TVexlinBuffer b("x");
    qsizetype delivered = 0;
    for (int i = 0; i < 18; ++i) {
      b.Push(piece);
      for (const Packet &p : ParseAll(*parser, b)) {
        ASSERT_EQ(p.bytes.size(), kParserSafetyCut);
        delivered += p.bytes.size();
      }
      ASSERT_LE(b.UsedSize(), kParserSafetyCap);
    }
    EXPECT_GE(delivered, 2 << 20);
    EXPECT_EQ(delivered + b.UsedSize(), 18 * piece.size());
  }
}

TEST_F(Parsers, SafetyCutKeepsAPartialSuffixAtTheEnd) {
  TVexlinParser_Sufix parser;
  parser.SetSufix(Hex("0D0A"));
  buffer.Push(QByteArray(kParserSafetyCap, 'u'));
  EXPECT_TRUE(ParseAll(parser, buffer).empty()) << "the last byte might start a suffix";
  buffer.Push(Hex("0D"));
  auto packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes, QByteArray(kParserSafetyCut, 'u'));
  buffer.Push(Hex("0A"));
  packets = ParseAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes.size(), kParserSafetyCap - kParserSafetyCut + 2);
  EXPECT_TRUE(packets[0].bytes.endsWith(Hex("0D0A")));
}

} // namespace
