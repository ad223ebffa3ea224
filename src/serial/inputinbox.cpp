#include "serial/inputinbox.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// One device read: big enough that a fast line costs few calls.
constexpr int64_t kReadChunk = 64 * 1024;

} // namespace

TAfInputInbox::TAfInputInbox(int64_t capacity) : fCapacity(std::max<int64_t>(1, capacity)) {}

bool TAfInputInbox::Fill(const TReader &read, const std::function<void()> &announce) {
  fChunk.resize(static_cast<size_t>(kReadChunk));
  for (;;) {
    int64_t room = 0;
    {
      std::unique_lock lock(fLock);
      fRoom.wait(lock, [&] { return fStopped || fBytes.size() < fCapacity; });
      if (fStopped)
        return false;
      room = std::min<int64_t>(kReadChunk, fCapacity - fBytes.size());
    }
    // Read outside the lock: the UI thread takes bytes meanwhile.
    const int64_t n = read(fChunk.data(), room);
    if (n <= 0)
      return true;
    const int64_t stamp = ArrivalNow();
    bool tell = false;
    {
      std::lock_guard lock(fLock);
      if (fStopped)
        return false;
      if (fBytes.capacity() == 0)
        RenewLocked();
      fBytes.append(fChunk.data(), static_cast<qsizetype>(n));
      fIn += n;
      fMarks.push_back({fIn, stamp});
      tell = !fAnnounced;
      fAnnounced = true;
    }
    if (tell && announce)
      announce();
  }
}

void TAfInputInbox::RenewLocked() {
  for (QByteArray &old : fHandedOut) {
    if (!old.isNull() && old.isDetached()) {
      // Pairs with the release of the taker's last reference: its reads of
      // the bytes are done before they are written again.
      std::atomic_thread_fence(std::memory_order_acquire);
      fBytes = std::move(old);
      fBytes.resize(0); // keeps the allocation
      return;
    }
  }
  fBytes.reserve(fCapacity);
}

void TAfInputInbox::Fence() {
  std::lock_guard lock(fLock);
  fFences.push_back(fIn);
  // Bytes after the fence need an announcement of their own, behind the event.
  fAnnounced = false;
}

int64_t TAfInputInbox::AvailableLocked() const {
  const int64_t limit = fFences.empty() ? fIn : fFences.front();
  return std::max<int64_t>(0, limit - fOut);
}

void TAfInputInbox::DropLocked(int64_t count) {
  if (count >= fBytes.size())
    fBytes = QByteArray();
  else
    fBytes.remove(0, count);
  fOut += count;
  while (!fMarks.empty() && fMarks.front().End <= fOut)
    fMarks.pop_front();
  fRoom.notify_all();
}

int64_t TAfInputInbox::TakeAnnouncement() {
  std::lock_guard lock(fLock);
  fAnnounced = false;
  return AvailableLocked();
}

QByteArray TAfInputInbox::Take(std::vector<TArrivalMark> *marks) {
  std::lock_guard lock(fLock);
  const int64_t n = AvailableLocked();
  if (marks)
    marks->clear();
  if (n == 0)
    return {};
  if (marks) {
    for (const TArrivalMark &mark : fMarks) {
      marks->push_back({std::min(mark.End, fOut + n) - fOut, mark.Stamp});
      if (mark.End >= fOut + n)
        break;
    }
  }
  QByteArray out;
  if (n == fBytes.size()) {
    out.swap(fBytes);
    // Remembered, so that once the taker is done with it, it is filled again.
    fHandedOut[fNextHandedOut] = out;
    fNextHandedOut = (fNextHandedOut + 1) % kHandedOut;
  } else {
    out = fBytes.left(n);
  }
  DropLocked(n);
  return out;
}

bool TAfInputInbox::TakeExactly(void *data, int64_t size) {
  std::lock_guard lock(fLock);
  if (size < 0 || AvailableLocked() < size)
    return false;
  std::memcpy(data, fBytes.constData(), static_cast<size_t>(size));
  DropLocked(size);
  return true;
}

void TAfInputInbox::PassFence() {
  std::lock_guard lock(fLock);
  if (!fFences.empty())
    fFences.pop_front();
}

void TAfInputInbox::Clear() {
  std::lock_guard lock(fLock);
  DropLocked(fBytes.size());
}

void TAfInputInbox::Stop() {
  {
    std::lock_guard lock(fLock);
    fStopped = true;
    fHandedOut = {}; // a closed port keeps no arrays for later
  }
  fRoom.notify_all();
}

void TAfInputInbox::Restart() {
  std::lock_guard lock(fLock);
  fBytes = QByteArray();
  fIn = fOut = 0;
  fFences.clear();
  fMarks.clear();
  fAnnounced = false;
  fStopped = false;
}
