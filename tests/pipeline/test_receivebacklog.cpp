#include "pipeline/receivebacklog.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(ReceiveBacklogTest, AReaderWaitsUntilTheWriterIsBackWithinTheLimit) {
  TReceiveBacklog backlog(100);
  std::atomic<int> rooms{0};
  backlog.OnRoom = [&] { ++rooms; };
  backlog.Received(60);
  EXPECT_FALSE(backlog.Over());
  backlog.Received(70);
  EXPECT_TRUE(backlog.Over());
  EXPECT_EQ(backlog.PeakBehind(), 130);
  EXPECT_EQ(backlog.LargestReceive(), 70);

  std::atomic<bool> through{false};
  std::thread reader([&] {
    EXPECT_TRUE(backlog.WaitForRoom());
    through = true;
  });
  backlog.Settled(20); // 110 behind: still over, nobody told
  EXPECT_TRUE(backlog.Over());
  EXPECT_EQ(rooms, 0);
  backlog.Settled(10); // the writer reporting out of turn changes nothing
  EXPECT_EQ(backlog.Behind(), 110);
  backlog.Settled(30); // exactly the limit is allowed
  reader.join();
  EXPECT_TRUE(through);
  EXPECT_EQ(rooms, 1);
  EXPECT_EQ(backlog.Behind(), 100);
  // Settling within the limit tells nobody again; nothing is settled that
  // was not received.
  backlog.Settled(1000);
  EXPECT_EQ(rooms, 1);
  EXPECT_EQ(backlog.Behind(), 0);
  backlog.Received(5);
  EXPECT_EQ(backlog.Behind(), 5);
  EXPECT_EQ(backlog.Total(), 135);
  EXPECT_EQ(backlog.PeakBehind(), 130);
}

TEST(ReceiveBacklogTest, StopReleasesAWaitingReaderForGood) {
  TReceiveBacklog backlog(10);
  backlog.Received(50);
  std::atomic<int> released{0};
  std::thread reader([&] {
    if (!backlog.WaitForRoom())
      ++released;
  });
  backlog.Stop();
  reader.join();
  EXPECT_EQ(released, 1);
  // Still far behind, yet nothing pauses any more.
  EXPECT_FALSE(backlog.Over());
  EXPECT_FALSE(backlog.WaitForRoom());
}

} // namespace
