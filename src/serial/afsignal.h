#pragma once

#include <cstdint>
#include <span>

// An event object the engine's threads wait on: set by one thread, seen by
// a waiting one. Auto-reset signals are consumed by the wait that sees them;
// manual-reset ones stay set until Reset. The handle can be waited on
// together with a device (an eventfd here).
class TAfSignal {
public:
  enum TAfReset { AutoReset, ManualReset };

  explicit TAfSignal(TAfReset reset);
  ~TAfSignal();
  TAfSignal(const TAfSignal &) = delete;
  TAfSignal &operator=(const TAfSignal &) = delete;

  void Set();
  void Reset();
  // True when the signal was set within `timeoutMs` (-1: no limit).
  bool Wait(int timeoutMs);

  int Handle() const { return fFd; }
  bool IsAutoReset() const { return fReset == AutoReset; }
  // After a wait saw the handle ready: whether the signal counts as set,
  // consuming it when auto-reset.
  bool Take();

private:
  int fFd;
  TAfReset fReset;
};

// A further handle a wait watches besides the signals, poll() style.
struct TAfWaitHandle {
  int Fd = -1;
  short Events = 0;
  short REvents = 0;
};

// Waits up to `timeoutMs` (-1: no limit) until a signal is set or `extra`
// (when given) is ready. Returns a bit per set signal, bit i for
// waitList[i]; auto-reset signals that are reported are consumed. 0 when
// the wait timed out or only `extra` became ready.
uint32_t AfWaitForSignals(std::span<TAfSignal *const> waitList, int timeoutMs,
                          TAfWaitHandle *extra = nullptr);
