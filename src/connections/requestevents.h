#pragma once

#include <array>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

// A small set of request flags one thread waits on together with a socket,
// like a wait list of events. Manual-reset flags stay set until Reset;
// auto-reset flags are cleared by the Take that reports them. A lower index
// wins when several are set. The waiting thread sleeps in poll until a flag
// is set, Wake is called or the socket is ready: no periodic wake-ups.
template <size_t N> class TRequestEvents {
public:
  explicit TRequestEvents(std::array<bool, N> autoReset)
      : fAutoReset(autoReset), fWakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  TRequestEvents(const TRequestEvents &) = delete;
  TRequestEvents &operator=(const TRequestEvents &) = delete;
  ~TRequestEvents() {
    if (fWakeFd >= 0)
      ::close(fWakeFd);
  }

  void Set(size_t index) {
    {
      std::lock_guard lock(fLock);
      fSet[index] = true;
    }
    Wake();
  }
  void Reset(size_t index) {
    std::lock_guard lock(fLock);
    fSet[index] = false;
  }
  bool IsSet(size_t index) const {
    std::lock_guard lock(fLock);
    return fSet[index];
  }
  // The index of a set flag, or -1; never waits.
  int Take() {
    std::lock_guard lock(fLock);
    for (size_t i = 0; i < N; ++i)
      if (fSet[i]) {
        if (fAutoReset[i])
          fSet[i] = false;
        return static_cast<int>(i);
      }
    return -1;
  }
  // Ends the current or the next Wait early. Any thread.
  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fWakeFd, &one, sizeof one);
  }
  // Sleeps until Wake (or Set), `ms` milliseconds (-1: no limit) or, when
  // `fd` is not -1, until `fd` reports one of `events` (or an error). True
  // when `fd` is ready. A Wake made before the call ends it at once, so
  // checking the flags, then waiting, loses nothing.
  bool Wait(int fd, short events, int ms) {
    pollfd polled[2] = {{fWakeFd, POLLIN, 0}, {fd, events, 0}};
    int ready = 0;
    do
      ready = ::poll(polled, fd >= 0 ? 2 : 1, ms);
    while (ready < 0 && errno == EINTR);
    if (polled[0].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(fWakeFd, &count, sizeof count);
    }
    return fd >= 0 && polled[1].revents != 0;
  }

private:
  const std::array<bool, N> fAutoReset;
  std::array<bool, N> fSet{};
  mutable std::mutex fLock;
  const int fWakeFd;
};
