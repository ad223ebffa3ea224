#include "pipeline/packetpool.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define PT_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PT_POOL_ASAN 1
#endif
#endif

#ifdef PT_POOL_ASAN
#include <sanitizer/asan_interface.h>
// A freed object stays poisoned until it is handed out again, so the
// sanitizer still reports a use after free inside a live slab.
#define POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace PacketPool {
namespace {

// The room an ending thread leaves in its slab or byte block, for the next
// thread that needs some. A thread that lives for one connection (a TCP
// client's process thread, say) makes a few rows that outlive it: without
// the hand-over each such thread pinned a slab and a block of its own, some
// 70 KB resident (and 130 KB of address space) per connect.
template <class T, int N> class THandOver {
public:
  // False when the shelf is full; `item` is then left to the caller.
  bool Put(T &item) {
    std::lock_guard lock(fLock);
    if (fCount == N)
      return false;
    fItems[fCount++] = std::move(item);
    return true;
  }
  bool Take(T &item) {
    std::lock_guard lock(fLock);
    if (fCount == 0)
      return false;
    item = std::move(fItems[--fCount]);
    return true;
  }

private:
  std::mutex fLock;
  T fItems[N];
  int fCount = 0;
};

// A few at a time is enough: threads that end together are rare.
constexpr int kHandedOver = 8;

// Slabs are aligned to their size, so a freed object finds its slab by
// masking its address.
constexpr std::size_t kSlabSize = 64 * 1024;
constexpr std::size_t kGrain = 16;
constexpr std::size_t kMaxObject = 1024;
// Emptied slabs kept for the next ones instead of going back to the system:
// a heap that shrinks and grows again pays a page fault per fresh page.
constexpr int kCachedSlabs = 32;
// The owning thread's hold: more than the objects a slab can ever contain,
// so frees cannot empty the slab while it still hands out objects. The owner
// counts what it handed out privately and settles once, when it moves on.
constexpr int64_t kOwnerHold = kSlabSize;

struct alignas(kGrain) TSlab {
  std::atomic<int64_t> Holds{0};
};
constexpr std::size_t kFirstObject = (sizeof(TSlab) + kGrain - 1) / kGrain * kGrain;

std::size_t Rounded(std::size_t size) {
  return (size + kGrain - 1) / kGrain * kGrain;
}

// Trivially destructible, so frees during the program's exit still find it.
std::mutex gCacheLock;
TSlab *gCache[kCachedSlabs];
int gCached = 0;
std::atomic<int> gLive{0};

TSlab *NewSlab() {
  {
    std::lock_guard lock(gCacheLock);
    if (gCached > 0)
      return gCache[--gCached];
  }
  void *memory = std::aligned_alloc(kSlabSize, kSlabSize);
  if (!memory)
    throw std::bad_alloc();
  Prefault(memory, kSlabSize);
  gLive.fetch_add(1, std::memory_order_relaxed);
  POOL_POISON(static_cast<char *>(memory) + kFirstObject, kSlabSize - kFirstObject);
  return new (memory) TSlab;
}

// The last hold is gone: every object of the slab was freed.
void RetireSlab(TSlab *slab) {
  {
    std::lock_guard lock(gCacheLock);
    if (gCached < kCachedSlabs) {
      gCache[gCached++] = slab;
      return;
    }
  }
  POOL_UNPOISON(reinterpret_cast<char *>(slab) + kFirstObject, kSlabSize - kFirstObject);
  slab->~TSlab();
  gLive.fetch_sub(1, std::memory_order_relaxed);
  std::free(slab);
}

void Drop(TSlab *slab, int64_t holds) {
  if (slab->Holds.fetch_sub(holds, std::memory_order_acq_rel) == holds)
    RetireSlab(slab);
}

// A slab with room left, the owner hold and its count travelling with it.
struct TPartSlab {
  TSlab *Slab = nullptr;
  std::size_t Used = 0;
  int64_t Handed = 0;
};

// Never destroyed: threads may still end while the program exits.
THandOver<TPartSlab, kHandedOver> &PartSlabs() {
  static auto *shelf = new THandOver<TPartSlab, kHandedOver>;
  return *shelf;
}

// The slab a thread currently carves objects from.
struct TSlabCursor : TPartSlab {
  TSlabCursor() = default;
  TSlabCursor(const TSlabCursor &) = delete;
  TSlabCursor &operator=(const TSlabCursor &) = delete;
  // The room left goes on with the next thread.
  ~TSlabCursor() {
    if (Slab && Used + kMaxObject <= kSlabSize && PartSlabs().Put(*this))
      return;
    Release();
  }

  void Release() {
    if (Slab)
      Drop(Slab, kOwnerHold - Handed);
    Slab = nullptr;
  }

  void *Take(std::size_t size) {
    if (!Slab)
      PartSlabs().Take(*this);
    if (!Slab || Used + size > kSlabSize) {
      Release();
      Slab = NewSlab();
      Slab->Holds.store(kOwnerHold, std::memory_order_relaxed);
      Used = kFirstObject;
      Handed = 0;
    }
    char *object = reinterpret_cast<char *>(Slab) + Used;
    Used += size;
    ++Handed;
    POOL_UNPOISON(object, size);
    return object;
  }
};

thread_local TSlabCursor tSlab;

// Small packets' bytes are cut from one block per thread; the block's own
// reference count frees it with its last packet, on whichever thread.
constexpr qsizetype kBlockSize = 64 * 1024 - 64;
constexpr qsizetype kMaxSharedBytes = 2048;

// Full blocks are remembered for a while: one whose packets are all gone is
// filled again instead of allocating (and faulting in) a new one.
constexpr int kRetiredBlocks = 16;

// A block with room left and where that room begins.
struct TPartBlock {
  QByteArray Block;
  qsizetype Used = 0;
};

THandOver<TPartBlock, kHandedOver> &PartBlocks() {
  static auto *shelf = new THandOver<TPartBlock, kHandedOver>;
  return *shelf;
}

struct TByteCursor : TPartBlock {
  std::array<QByteArray, kRetiredBlocks> Retired;
  int NextRetired = 0;

  TByteCursor() = default;
  TByteCursor(const TByteCursor &) = delete;
  TByteCursor &operator=(const TByteCursor &) = delete;
  // The room left goes on with the next thread.
  ~TByteCursor() {
    if (!Block.isNull() && Used + kMaxSharedBytes < Block.size())
      PartBlocks().Put(*this);
  }

  void Renew() {
    QByteArray full = std::move(Block);
    Used = 0;
    for (QByteArray &old : Retired) {
      if (!old.isNull() && old.isDetached()) {
        // Pairs with the release in the last packet's dereference on the
        // thread that freed it, before its bytes are written again.
        std::atomic_thread_fence(std::memory_order_acquire);
        Block = std::move(old);
        old = std::move(full);
        return;
      }
    }
    Retired[NextRetired] = std::move(full);
    NextRetired = (NextRetired + 1) % kRetiredBlocks;
    Block = QByteArray(kBlockSize, Qt::Uninitialized);
    Prefault(Block.data(), Block.size());
  }
};

thread_local TByteCursor tBytes;

} // namespace

void Prefault(void *memory, std::size_t size) noexcept {
#ifdef MADV_POPULATE_WRITE
  // Below this, a few faults cost less than the call, which is paid even
  // when the heap hands back pages already mapped.
  constexpr std::size_t kWorthIt = 32 * 1024;
  if (size < kWorthIt)
    return;
  static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(memory) + page - 1) & ~(page - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(memory) + size) & ~(page - 1);
  // Only whole pages inside the range; an older kernel refuses, and the
  // pages then come one fault at a time as before.
  if (to > from)
    ::madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)memory;
  (void)size;
#endif
}

void *Allocate(std::size_t size) {
  const std::size_t rounded = Rounded(size);
  if (rounded > kMaxObject)
    return ::operator new(size);
  return tSlab.Take(rounded);
}

void Free(void *object, std::size_t size) noexcept {
  if (!object)
    return;
  const std::size_t rounded = Rounded(size);
  if (rounded > kMaxObject) {
    ::operator delete(object);
    return;
  }
  POOL_POISON(object, rounded);
  Drop(reinterpret_cast<TSlab *>(reinterpret_cast<std::uintptr_t>(object) & ~(kSlabSize - 1)), 1);
}

QByteArray Bytes(qsizetype size, char *&write) {
  if (size <= 0) {
    write = nullptr;
    return {};
  }
  if (size > kMaxSharedBytes) {
    QByteArray own(size, Qt::Uninitialized);
    write = own.data();
    Prefault(write, static_cast<std::size_t>(size));
    return own;
  }
  TByteCursor &cursor = tBytes;
  if (cursor.Block.isNull()) // goes on with a block an ended thread left
    PartBlocks().Take(cursor);
  if (cursor.Block.isNull() || cursor.Used + size + 1 > cursor.Block.size())
    cursor.Renew();
  // The packet is a view into the block that holds a reference to it, as a
  // slice of any array; data_ptr() reaches the bytes without detaching.
  QByteArray::DataPointer &block = cursor.Block.data_ptr();
  char *at = block.data() + cursor.Used;
  at[size] = '\0';
  cursor.Used += size + 1;
  block.ref();
  write = at;
  return QByteArray(QByteArray::DataPointer(block.d_ptr(), at, size));
}

TSlabCounts SlabCounts() {
  std::lock_guard lock(gCacheLock);
  return {gLive.load(std::memory_order_relaxed), gCached};
}

} // namespace PacketPool
