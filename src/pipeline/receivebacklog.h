#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// How far the log's writer is behind the transport, in received bytes, so
// that reading can stop while the disk is slower than the sender: what is
// not read waits in the kernel or the device, and the sender is slowed down
// instead of this process growing. Any thread.
class TReceiveBacklog {
public:
  explicit TReceiveBacklog(int64_t limit) : fLimit(limit) {}

  // The reader handed on `bytes` more.
  void Received(int64_t bytes);
  // Everything received up to `position` (a Total() read earlier) is
  // written, or will never be; positions only ever move forward.
  void Settled(int64_t position);

  int64_t Total() const;
  // Received and not yet settled.
  int64_t Behind() const;
  // The most that was ever behind, and the largest single hand-on.
  int64_t PeakBehind() const;
  int64_t LargestReceive() const;
  int64_t Limit() const { return fLimit; }
  // More than the limit is behind: the reader should pause.
  bool Over() const;

  // Waits while more than the limit is behind; false once stopped.
  bool WaitForRoom();
  // Releases every waiting reader for good; nothing waits after it.
  void Stop();

  // Called, on the settling thread, when a backlog over the limit comes
  // back within it: a reader that paused without waiting may go on.
  std::function<void()> OnRoom;

private:
  bool OverLocked() const { return fTotal - fSettled > fLimit; }

  const int64_t fLimit;
  mutable std::mutex fLock;
  std::condition_variable fRoom;
  int64_t fTotal = 0;
  int64_t fSettled = 0;
  int64_t fPeak = 0;
  int64_t fLargest = 0;
  bool fStopped = false;
};
