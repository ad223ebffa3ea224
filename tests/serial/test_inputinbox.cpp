#include "serial/inputinbox.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// A device that hands out the given bytes once, in reads of at most `step`.
struct TSource {
  QByteArray bytes;
  int64_t step = 4096;
  int64_t at = 0;
  int64_t Read(char *data, int64_t count) {
    const int64_t n = std::min<int64_t>({count, step, bytes.size() - at});
    std::memcpy(data, bytes.constData() + at, static_cast<size_t>(n));
    at += n;
    return n;
  }
};

QByteArray Pattern(int size, char seed) {
  QByteArray out(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i)
    out[i] = static_cast<char>(seed + i * 7);
  return out;
}

bool Fill(TAfInputInbox &inbox, const QByteArray &bytes) {
  TSource source{bytes};
  return inbox.Fill([&](char *data, int64_t count) { return source.Read(data, count); }, {});
}

// Arrays taken whole are filled again once their taker lets go of them; one
// still held keeps its bytes however many fills follow.
TEST(InputInbox, TakenArraysAreReusedOnlyWhenReleased) {
  TAfInputInbox inbox(64 * 1024);
  ASSERT_TRUE(Fill(inbox, Pattern(20000, 'a')));
  const QByteArray held = inbox.Take();
  ASSERT_EQ(held, Pattern(20000, 'a'));
  for (int round = 0; round < 8; ++round) {
    const QByteArray next = Pattern(30000 + round, static_cast<char>('b' + round));
    ASSERT_TRUE(Fill(inbox, next));
    const QByteArray taken = inbox.Take();
    EXPECT_EQ(taken, next) << "round " << round;
    if (round % 2 == 0) {
      // Kept across the next fill: must not be written into.
      ASSERT_TRUE(Fill(inbox, Pattern(1000, 'z')));
      EXPECT_EQ(taken, next) << "round " << round;
      EXPECT_EQ(inbox.Take(), Pattern(1000, 'z'));
    }
  }
  EXPECT_EQ(held, Pattern(20000, 'a'));
}

// Every device read keeps its arrival stamp through a take that joins
// reads, and a take that stops at a fence leaves the rest of a read stamped.
TEST(InputInbox, ReadsKeepTheirArrivalStampsAcrossTakes) {
  TAfInputInbox inbox(64 * 1024);
  const int64_t before = ArrivalNow();
  ASSERT_TRUE(Fill(inbox, "abc"));
  ASSERT_TRUE(Fill(inbox, "de"));
  inbox.Fence();
  ASSERT_TRUE(Fill(inbox, "fgh"));
  std::vector<TArrivalMark> marks;
  EXPECT_EQ(inbox.Take(&marks), "abcde");
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].End, 3);
  EXPECT_EQ(marks[1].End, 5);
  EXPECT_GE(marks[0].Stamp, before);
  EXPECT_LE(marks[0].Stamp, marks[1].Stamp);
  const int64_t second = marks[1].Stamp;
  inbox.PassFence();
  EXPECT_EQ(inbox.Take(&marks), "fgh");
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].End, 3);
  EXPECT_GE(marks[0].Stamp, second);
  EXPECT_EQ(inbox.Take(&marks), QByteArray());
  EXPECT_TRUE(marks.empty());
}

} // namespace
