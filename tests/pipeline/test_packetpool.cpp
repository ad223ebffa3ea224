#include "pipeline/databinary.h"
#include "pipeline/packetpool.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

using PacketPool::SlabCounts;

// Slabs that hold live objects or belong to a thread's cursor.
int HeldSlabs() {
  const PacketPool::TSlabCounts counts = SlabCounts();
  return counts.Live - counts.Cached;
}

std::vector<TVexlinDataObject *> MakeOnOtherThread(int count) {
  std::vector<TVexlinDataObject *> made;
  made.reserve(static_cast<size_t>(count));
  std::thread([&] {
    for (int i = 0; i < count; ++i)
      made.push_back(new TVexlinDataBinary(QByteArray(1, char(i)), spRx));
  }).join();
  return made;
}

// Rows are made on a transport thread and freed on the UI thread after that
// thread may be gone: every slab comes back (but the ended thread's last one,
// whose room waits for the next thread), and repeated bursts reuse them
// instead of growing.
TEST(PacketPool, SlabsComeBackAcrossThreadsAndAreReused) {
  const int heldBefore = HeldSlabs();
  const int liveBefore = SlabCounts().Live;
  int liveAfterFirst = 0;
  for (int round = 0; round < 4; ++round) {
    std::vector<TVexlinDataObject *> made = MakeOnOtherThread(50000);
    EXPECT_GT(HeldSlabs(), heldBefore + 30) << "50000 rows need dozens of slabs";
    for (TVexlinDataObject *o : made)
      delete o;
    EXPECT_LE(HeldSlabs(), heldBefore + 1) << "round " << round;
    if (round == 0)
      liveAfterFirst = SlabCounts().Live;
    EXPECT_LE(SlabCounts().Live, liveAfterFirst + 1) << "round " << round;
  }
  // Only a small cache of empty slabs stays, with the room the last thread
  // left; the rest went to the system.
  EXPECT_LE(liveAfterFirst, liveBefore + 32 + 1);
}

// An object whose neighbours in its slab are gone stays intact, and its
// slab returns only with it.
TEST(PacketPool, SurvivorKeepsItsSlab) {
  std::vector<TVexlinDataObject *> made = MakeOnOtherThread(5000);
  for (TVexlinDataObject *o : made)
    delete o;
  // What is held now: the cache, and the room the thread left.
  const int heldBefore = HeldSlabs();
  made = MakeOnOtherThread(5000);
  auto *survivor = static_cast<TVexlinDataBinary *>(made[2500]);
  made[2500] = nullptr;
  for (TVexlinDataObject *o : made)
    delete o;
  EXPECT_LE(HeldSlabs(), heldBefore + 1);
  EXPECT_GE(HeldSlabs(), heldBefore);
  EXPECT_EQ(survivor->Data, QByteArray(1, char(2500 & 0xFF)));
  delete survivor;
  EXPECT_LE(HeldSlabs(), heldBefore);
}

// Bytes cut on a thread that then ends: each packet keeps exactly its own
// bytes, NUL-terminated, whatever happened to its neighbours, and writing
// into one changes no other.
TEST(PacketPool, PacketBytesAreIndependentArrays) {
  const std::vector<qsizetype> sizes = {1, 2, 12, 255, 2048, 2049, 5000};
  std::vector<QByteArray> packets;
  std::thread([&] {
    for (int i = 0; i < 7000; ++i) {
      const qsizetype size = sizes[static_cast<size_t>(i) % sizes.size()];
      char *write = nullptr;
      QByteArray packet = PacketPool::Bytes(size, write);
      ASSERT_NE(write, nullptr);
      std::memset(write, 'a' + i % 26, static_cast<size_t>(size));
      packets.push_back(std::move(packet));
    }
  }).join();
  // Keep every 97th, so most blocks lose all but a few of their packets.
  std::vector<std::pair<int, QByteArray>> kept;
  for (int i = 0; i < static_cast<int>(packets.size()); i += 97)
    kept.emplace_back(i, packets[static_cast<size_t>(i)]);
  packets.clear();
  for (auto &[i, packet] : kept) {
    const qsizetype size = sizes[static_cast<size_t>(i) % sizes.size()];
    ASSERT_EQ(packet, QByteArray(size, char('a' + i % 26))) << i;
    EXPECT_EQ(packet.constData()[size], '\0') << i;
  }
  kept[0].second.append("tail");
  kept[0].second[0] = 'Z';
  for (size_t k = 1; k < kept.size(); ++k) {
    const auto &[i, packet] = kept[k];
    EXPECT_EQ(packet, QByteArray(sizes[static_cast<size_t>(i) % sizes.size()], char('a' + i % 26)));
  }
  char *write = nullptr;
  EXPECT_TRUE(PacketPool::Bytes(0, write).isEmpty());
}

// A steady stream whose packets are mostly freed at once: the blocks they
// emptied are filled again, never one that still holds a live packet.
TEST(PacketPool, RefilledBlocksSpareLivePackets) {
  std::vector<std::pair<int, QByteArray>> kept;
  std::thread([&] {
    for (int i = 0; i < 300000; ++i) {
      char *write = nullptr;
      QByteArray packet = PacketPool::Bytes(12, write);
      std::memset(write, 'a' + i % 26, 12);
      if (i % 20000 == 0)
        kept.emplace_back(i, std::move(packet));
    }
  }).join();
  for (const auto &[i, packet] : kept)
    EXPECT_EQ(packet, QByteArray(12, char('a' + i % 26))) << i;
}

// Threads that each live for one connection and leave a row or two behind
// (its status lines, a packet) share the slabs and byte blocks those rows
// keep: a hundred of them pin one or two, not one each.
TEST(PacketPool, ShortLivedThreadsShareWhatTheirRowsKeep) {
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  std::vector<std::unique_ptr<TVexlinDataBinary>> kept;
  const auto oneConnection = [&] {
    std::thread([&] {
      for (int i = 0; i < 2; ++i) {
        char *write = nullptr;
        QByteArray bytes = PacketPool::Bytes(frame.size(), write);
        std::memcpy(write, frame.constData(), static_cast<size_t>(frame.size()));
        kept.push_back(std::make_unique<TVexlinDataBinary>(std::move(bytes), spRx));
      }
    }).join();
  };
  oneConnection(); // whatever an earlier test left is taken up here
  const int heldBefore = HeldSlabs();
  for (int i = 0; i < 100; ++i)
    oneConnection();
  EXPECT_LE(HeldSlabs(), heldBefore + 1);
  std::set<const void *> blocks;
  for (const auto &row : kept) {
    EXPECT_EQ(row->Data, frame);
    blocks.insert(row->Data.data_ptr().d_ptr());
  }
  EXPECT_LE(blocks.size(), 2u);
}

#if defined(__SANITIZE_ADDRESS__)
// The pool keeps freed objects poisoned, so a use after free is still caught.
TEST(PacketPoolDeathTest, UseAfterFreeIsReported) {
  auto *packet = new TVexlinDataBinary(QByteArray("A"), spRx);
  TVexlinDataBinary *dangling = packet;
  delete packet;
  EXPECT_DEATH(
      {
        volatile TspDirection direction = dangling->Direction;
        (void)direction;
      },
      "use-after-poison");
}
#endif

} // namespace
