// The safe-sync registry on its own: slots, ordered blocking hand-off to the
// UI thread, and release of waiting threads when a slot goes away.
#include "ptypair.h"
#include "serial/safesync.h"

#include <QThread>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

TEST(SafeSync, HasAtMostSixtyFourSlots) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < AfMaxSyncSlots + 1; ++i)
    if (const uint32_t id = AfNewSyncSlot([](uint32_t, const TAfSyncMessage &) {}))
      ids.push_back(id);
  EXPECT_EQ(ids.size(), size_t(AfMaxSyncSlots));
  for (uint32_t id : ids)
    AfReleaseSyncSlot(id);
  const uint32_t again = AfNewSyncSlot([](uint32_t, const TAfSyncMessage &) {});
  EXPECT_NE(again, 0u);
  AfReleaseSyncSlot(again);
}

TEST(SafeSync, HandsOverInOrderAndWaitsForEach) {
  std::vector<uint32_t> seen;
  bool onUiThread = true;
  const uint32_t id = AfNewSyncSlot([&](uint32_t, const TAfSyncMessage &message) {
    onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
    seen.push_back(message.Data);
  });
  EXPECT_FALSE(AfSyncEvent(id, {0, 1, {}}, 2000)); // disabled: dropped
  AfEnableSyncSlot(id, true);
  std::atomic<bool> handedOver{true};
  std::thread worker([&] {
    for (uint32_t i = 0; i < 50; ++i) {
      handedOver = AfSyncEvent(id, {0, i, {}}, 2000) && handedOver;
      // Each returns only once handled.
      if (seen.size() != i + 1)
        handedOver = false;
    }
  });
  ASSERT_TRUE(WaitFor([&] { return seen.size() == 50; }));
  worker.join();
  EXPECT_TRUE(handedOver);
  for (uint32_t i = 0; i < 50; ++i)
    EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(onUiThread);
  AfReleaseSyncSlot(id);
}

TEST(SafeSync, DisablingReleasesAWaitingThreadAndDropsItsDelivery) {
  int calls = 0;
  const uint32_t id = AfNewSyncSlot([&](uint32_t, const TAfSyncMessage &) { ++calls; });
  AfEnableSyncSlot(id, true);
  auto delivered = std::async(std::launch::async, [&] { return AfSyncEvent(id, {}, 60000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  AfEnableSyncSlot(id, false); // the UI thread has run no event meanwhile
  ASSERT_EQ(delivered.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(delivered.get());
  AfEnableSyncSlot(id, true);
  Settle(200);
  EXPECT_EQ(calls, 0); // made before the slot was enabled again
  AfReleaseSyncSlot(id);
}

TEST(SafeSync, TimeOutAloneIsNoFailureAndTheDeliveryFollows) {
  int calls = 0;
  const uint32_t id = AfNewSyncSlot([&](uint32_t, const TAfSyncMessage &) { ++calls; });
  AfEnableSyncSlot(id, true);
  auto delivered = std::async(std::launch::async, [&] { return AfSyncEvent(id, {}, 50); });
  EXPECT_TRUE(delivered.get());
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
  AfReleaseSyncSlot(id);
}

} // namespace
