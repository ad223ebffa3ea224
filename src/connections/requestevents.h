#pragma once

#include <array>
#include <condition_variable>
#include <mutex>

// A small set of request flags one thread waits on together, like a wait
// list of events. Manual-reset flags stay set until Reset; auto-reset flags
// are cleared by the wait that reports them. A lower index wins when several
// are set.
template <size_t N> class TRequestEvents {
public:
  explicit TRequestEvents(std::array<bool, N> autoReset) : fAutoReset(autoReset) {}

  void Set(size_t index) {
    std::lock_guard lock(fLock);
    fSet[index] = true;
    fChanged.notify_all();
  }
  void Reset(size_t index) {
    std::lock_guard lock(fLock);
    fSet[index] = false;
  }
  bool IsSet(size_t index) const {
    std::lock_guard lock(fLock);
    return fSet[index];
  }
  // The index of a set flag, or -1 when none was set within `ms`.
  int WaitAny(int ms) {
    std::unique_lock lock(fLock);
    int found = -1;
    fChanged.wait_for(lock, std::chrono::milliseconds(ms), [&] {
      for (size_t i = 0; i < N; ++i)
        if (fSet[i]) {
          found = static_cast<int>(i);
          return true;
        }
      return false;
    });
    if (found >= 0 && fAutoReset[static_cast<size_t>(found)])
      fSet[static_cast<size_t>(found)] = false;
    return found;
  }

private:
  const std::array<bool, N> fAutoReset;
  std::array<bool, N> fSet{};
  mutable std::mutex fLock;
  std::condition_variable fChanged;
};
