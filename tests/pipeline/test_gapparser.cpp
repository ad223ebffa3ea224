#include "parsertestsupport.h"
#include "pipeline/gapparser.h"

namespace {

constexpr int64_t kMs = 1'000'000;

struct Block {
  const char *bytes;
  int64_t stampMs;
};

class GapParser : public ::testing::Test {
protected:
  // Pushes the blocks with their stamps and parses after each, as at their
  // arrival; then once more as at `closeMs` (the timer).
  std::vector<QByteArray> Run(std::initializer_list<Block> blocks, int64_t closeMs) {
    std::vector<QByteArray> out;
    auto take = [&] {
      for (auto &p : CutAll(parser, buffer)) {
        EXPECT_FALSE(p.modbus);
        out.push_back(p.bytes);
      }
    };
    for (const Block &b : blocks) {
      buffer.Push(b.bytes, static_cast<qsizetype>(strlen(b.bytes)), b.stampMs * kMs);
      buffer.SetParseNow(b.stampMs * kMs);
      take();
    }
    buffer.SetParseNow(closeMs * kMs);
    take();
    return out;
  }

  MaxLengthGuard maxLength{1024};
  TVexlinParser_Gap parser;
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(GapParser, APacketEndsWhereTheLineFellSilent) {
  parser.SetPause(5 * kMs);
  struct Case {
    const char *name;
    std::initializer_list<Block> blocks;
    int64_t closeMs;
    std::vector<QByteArray> packets;
    int32_t left;
  };
  const Case cases[] = {
      {"pieces closer than the pause join", {{"ab", 0}, {"cd", 4}, {"ef", 8}}, 12, {}, 6},
      {"the timer closes the last packet", {{"ab", 0}, {"cd", 4}}, 9, {"abcd"}, 0},
      {"a pause splits", {{"ab", 0}, {"cd", 5}, {"ef", 11}}, 16, {"ab", "cd", "ef"}, 0},
      {"just short of the pause", {{"ab", 0}, {"cd", 4}}, 8, {}, 4},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    buffer.Clear();
    EXPECT_EQ(Run(c.blocks, c.closeMs), c.packets);
    EXPECT_EQ(buffer.UsedSize(), c.left);
  }
}

TEST_F(GapParser, APauseOfZeroMakesEveryBlockAPacket) {
  parser.SetPause(0);
  EXPECT_EQ(Run({{"ab", 0}, {"c", 0}, {"de", 1}}, 1), std::vector<QByteArray>({"ab", "c", "de"}));
  parser.SetPause(-5);
  EXPECT_EQ(parser.Pause(), 0);
}

TEST_F(GapParser, AnEndlessPauseIsBoundedByTheMaximumLength) {
  MaxLengthGuard small(4);
  parser.SetPause(int64_t{1'000'000'000} * kMs); // 10^9 ms
  EXPECT_EQ(Run({{"abc", 0}, {"defgh", 1}, {"ij", 1'000'000}}, 2'000'000),
            std::vector<QByteArray>({"abcd", "efgh"}));
  EXPECT_EQ(buffer.UsedSize(), 2);
}

TEST_F(GapParser, ALongStreamWithoutPausesIsNotWalkedAgainAndAgain) {
  MaxLengthGuard off(0);
  parser.SetPause(5 * kMs);
  // 200000 one-byte pieces, 1 ms apart: one packet, found in linear time.
  for (int i = 0; i < 200000; ++i) {
    buffer.Push("x", 1, i * kMs);
    buffer.SetParseNow(i * kMs);
    EXPECT_TRUE(CutAll(parser, buffer).empty());
  }
  buffer.SetParseNow(200005 * kMs);
  const auto packets = CutAll(parser, buffer);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].bytes.size(), 200000);
}

} // namespace
