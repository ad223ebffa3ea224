#include "serial/circularbuffer.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

// Takes everything out in the pieces a writer would see.
std::string Drain(TAfCircularBuffer &ring) {
  std::string out;
  while (ring.BufUsed() > 0) {
    const int32_t n = ring.BufLinearUsed();
    out.append(ring.StartPtr(), size_t(n));
    EXPECT_TRUE(ring.Remove(n));
  }
  return out;
}

TEST(CircularBuffer, TakesBlocksWholeOrNotAtAll) {
  struct TCase {
    int32_t filled; // bytes already held (after a 5-byte head start was removed)
    int64_t len;
    bool accepted;
  };
  const TCase cases[] = {
      {0, 16, true},  {0, 17, false}, {10, 6, true},  {10, 7, false},
      {16, 1, false}, {3, 0, false},  {3, -1, false},
  };
  for (const TCase &c : cases) {
    TAfCircularBuffer ring(16);
    ASSERT_TRUE(ring.Write(std::string(5, 'h').data(), 5));
    ASSERT_TRUE(ring.Remove(5));
    if (c.filled > 0) {
      ASSERT_TRUE(ring.Write(std::string(size_t(c.filled), 'f').data(), c.filled));
    }
    const std::string block(size_t(std::max<int64_t>(c.len, 0)), 'b');
    EXPECT_EQ(ring.Write(block.data(), c.len), c.accepted) << c.filled << " + " << c.len;
    const int32_t expected = c.filled + (c.accepted ? int32_t(c.len) : 0);
    EXPECT_EQ(ring.BufUsed(), expected);
    EXPECT_EQ(ring.BufFree(), 16 - expected);
  }
}

TEST(CircularBuffer, WrapsAroundTheEndInOrder) {
  TAfCircularBuffer ring(8);
  ASSERT_TRUE(ring.Write("abcdef", 6));
  ASSERT_TRUE(ring.Remove(4));
  ASSERT_TRUE(ring.Write("ghijkl", 6)); // fills the ring across its end
  EXPECT_EQ(ring.BufUsed(), 8);
  EXPECT_EQ(ring.BufFree(), 0);
  EXPECT_EQ(ring.BufLinearUsed(), 4); // "efgh" up to the end, then "ijkl"
  EXPECT_EQ(Drain(ring), "efghijkl");
  EXPECT_EQ(ring.BufFree(), 8);
}

TEST(CircularBuffer, RemoveRefusesMoreThanHeldAndClearEmpties) {
  TAfCircularBuffer ring(8);
  ASSERT_TRUE(ring.Write("abc", 3));
  EXPECT_FALSE(ring.Remove(4));
  EXPECT_FALSE(ring.Remove(-1));
  EXPECT_EQ(ring.BufUsed(), 3);
  ring.Clear();
  EXPECT_EQ(ring.BufUsed(), 0);
  ASSERT_TRUE(ring.Write("12345678", 8));
  EXPECT_EQ(Drain(ring), "12345678");
}

} // namespace
