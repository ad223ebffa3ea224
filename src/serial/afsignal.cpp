#include "serial/afsignal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

TAfSignal::TAfSignal(TAfReset reset)
    : fFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), fReset(reset) {}

TAfSignal::~TAfSignal() {
  if (fFd >= 0)
    ::close(fFd);
}

void TAfSignal::Set() {
  const uint64_t one = 1;
  // A full counter (never reached) or a signal already set both leave it set.
  [[maybe_unused]] const ssize_t n = ::write(fFd, &one, sizeof one);
}

void TAfSignal::Reset() {
  uint64_t value = 0;
  [[maybe_unused]] const ssize_t n = ::read(fFd, &value, sizeof value);
}

bool TAfSignal::Take() {
  if (fReset == ManualReset)
    return true;
  uint64_t value = 0;
  return ::read(fFd, &value, sizeof value) == sizeof value;
}

bool TAfSignal::Wait(int timeoutMs) {
  TAfSignal *self = this;
  return AfWaitForSignals(std::span(&self, 1), timeoutMs) != 0;
}

uint32_t AfWaitForSignals(std::span<TAfSignal *const> waitList, int timeoutMs,
                          TAfWaitHandle *extra) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<pollfd> fds;
  fds.reserve(waitList.size() + 1);
  for (const TAfSignal *signal : waitList)
    fds.push_back({signal->Handle(), POLLIN, 0});
  if (extra)
    fds.push_back({extra->Fd, extra->Events, 0});
  for (;;) {
    int wait = timeoutMs;
    if (timeoutMs > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<int64_t>(left, 0));
    }
    const int ready = ::poll(fds.data(), fds.size(), wait);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return 0;
    uint32_t set = 0;
    for (size_t i = 0; i < waitList.size(); ++i)
      if ((fds[i].revents & POLLIN) && waitList[i]->Take())
        set |= 1u << i;
    if (extra)
      extra->REvents = fds.back().revents;
    // Another waiter may have consumed an auto-reset signal first.
    if (set != 0 || (extra && extra->REvents != 0))
      return set;
  }
}
