#include "pipeline/vexlinbuffer.h"

#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

QByteArray Content(const TVexlinBuffer &b) {
  QByteArray out;
  if (b.UsedSize() > 0)
    b.Pop(out, b.UsedSize());
  return out;
}

// AB then CDE, the buffer most cases start from.
struct BufferAbCde : ::testing::Test {
  void SetUp() override {
    buffer.Push(QByteArray("AB"));
    buffer.Push(QByteArray("CDE"));
  }
  TVexlinBuffer buffer{"Rx"};
};

TEST_F(BufferAbCde, PopCopiesPrefixAndFillsShortfallWithFE) {
  EXPECT_EQ(buffer.UsedSize(), 5);
  QByteArray out;
  EXPECT_TRUE(buffer.Pop(out, 5));
  EXPECT_EQ(out, "ABCDE");
  EXPECT_FALSE(buffer.Pop(out, 6));
  EXPECT_EQ(out, QByteArray("ABCDE\xFE"));
  EXPECT_FALSE(buffer.Pop(out, 0));
  EXPECT_TRUE(out.isEmpty());
  EXPECT_EQ(buffer.UsedSize(), 5) << "Pop must not remove anything";
}

TEST_F(BufferAbCde, EatRemovesPrefixAcrossRecords) {
  struct Case {
    int eat;
    const char *left;
    int records;
  } cases[] = {{0, "ABCDE", 2}, {1, "BCDE", 2}, {2, "CDE", 1},
               {4, "E", 1},     {5, "", 0},     {10, "", 0}};
  for (const Case &c : cases) {
    TVexlinBuffer b("x");
    b.Push(QByteArray("AB"));
    b.Push(QByteArray("CDE"));
    b.Eat(c.eat);
    EXPECT_EQ(Content(b), c.left) << "Eat(" << c.eat << ")";
    EXPECT_EQ(b.UsedSize(), static_cast<int>(strlen(c.left)));
    EXPECT_EQ(b.RecordCount(), c.records) << "Eat(" << c.eat << ")";
  }
}

TEST_F(BufferAbCde, FindStringMatchesAcrossRecordBoundaries) {
  EXPECT_EQ(buffer.FindString("BC"), 1);
  EXPECT_EQ(buffer.FindString("DE"), 3);
  EXPECT_EQ(buffer.FindString("EF"), -1);
  EXPECT_EQ(buffer.FindString(""), -1);
  EXPECT_EQ(buffer.FindString("ABCDE"), 0);
  EXPECT_EQ(buffer.FindString("ABCDEF"), -1);
}

TEST_F(BufferAbCde, PushEmptyAndClear) {
  EXPECT_FALSE(buffer.Push(QByteArray()));
  EXPECT_EQ(buffer.UsedSize(), 5);
  buffer.Clear();
  EXPECT_EQ(buffer.UsedSize(), 0);
  EXPECT_EQ(buffer.SIG, "Rx");
  EXPECT_EQ(buffer.FindString("A"), -1);
  EXPECT_TRUE(buffer.Push(QByteArray("XY")));
  EXPECT_EQ(Content(buffer), "XY");
}

TEST(VexlinBuffer, FindStringReturnsLowestOfSeveralMatches) {
  TVexlinBuffer b("x");
  b.Push(QByteArray("xxab"));
  b.Push(QByteArray("yyab"));
  EXPECT_EQ(b.FindString("ab"), 2);
  b.Eat(3);
  EXPECT_EQ(b.FindString("ab"), 3) << "the remembered scan position must follow Eat";
}

// The search memo must never hide a match: compare with a plain search over a
// random stream of pushes, eats and searches for changing patterns.
TEST(VexlinBuffer, FindStringAndSnapshotsAgreeWithPlainCopiesOnRandomOperations) {
  std::mt19937 rng(7);
  TVexlinBuffer b("x");
  QByteArray mirror;
  QByteArray snapshot;
  int64_t eatenAt = 0, pushedAt = 0;
  const QByteArray patterns[] = {"ab", "a", "bab", "\r\n"};
  for (int step = 0; step < 20000; ++step) {
    if (rng() % 8 == 0) {
      // The incremental snapshot must always equal the content.
      if (rng() % 16 == 0)
        b.Clear(), mirror.clear();
      b.UpdateSnapshot(snapshot, eatenAt, pushedAt);
      ASSERT_EQ(snapshot, mirror) << "step " << step;
    }
    switch (rng() % 4) {
    case 0: {
      QByteArray piece;
      const int n = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < n; ++i)
        piece.append("ab\r\nx"[rng() % 5]);
      b.Push(piece);
      mirror.append(piece);
      break;
    }
    case 1: {
      const int n = static_cast<int>(rng() % 4);
      b.Eat(n);
      mirror.remove(0, n);
      break;
    }
    default: {
      const QByteArray &p = patterns[rng() % 4];
      ASSERT_EQ(b.FindString(p), mirror.indexOf(p)) << "step " << step;
    }
    }
    ASSERT_EQ(b.UsedSize(), mirror.size());
  }
  EXPECT_EQ(Content(b), mirror);
}

TEST(VexlinBuffer, ConcurrentPushAndParseLoseNothing) {
  TVexlinBuffer b("x");
  constexpr int kPieces = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kPieces; ++i)
      b.Push(QByteArray(1, static_cast<char>(i & 0x7F)));
  });
  int taken = 0;
  QByteArray got;
  while (taken < kPieces) {
    if (b.UsedSize() > 0 && b.Pop(got, 1)) {
      ASSERT_EQ(static_cast<uint8_t>(got[0]), taken & 0x7F);
      b.Eat(1);
      ++taken;
    }
  }
  producer.join();
  EXPECT_EQ(b.UsedSize(), 0);
}

} // namespace
