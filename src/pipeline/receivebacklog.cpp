#include "pipeline/receivebacklog.h"

#include <algorithm>

void TReceiveBacklog::Received(int64_t bytes) {
  std::lock_guard lock(fLock);
  fTotal += bytes;
  fPeak = std::max(fPeak, fTotal - fSettled);
  fLargest = std::max(fLargest, bytes);
}

void TReceiveBacklog::Settled(int64_t position) {
  bool room = false;
  {
    std::lock_guard lock(fLock);
    // The writer and the caller may report out of turn; the furthest counts.
    if (position <= fSettled)
      return;
    const bool wasOver = OverLocked();
    fSettled = std::min(position, fTotal);
    room = wasOver && !OverLocked();
  }
  if (!room)
    return;
  fRoom.notify_all();
  if (OnRoom)
    OnRoom();
}

int64_t TReceiveBacklog::Total() const {
  std::lock_guard lock(fLock);
  return fTotal;
}

int64_t TReceiveBacklog::Behind() const {
  std::lock_guard lock(fLock);
  return fTotal - fSettled;
}

int64_t TReceiveBacklog::PeakBehind() const {
  std::lock_guard lock(fLock);
  return fPeak;
}

int64_t TReceiveBacklog::LargestReceive() const {
  std::lock_guard lock(fLock);
  return fLargest;
}

bool TReceiveBacklog::Over() const {
  std::lock_guard lock(fLock);
  return !fStopped && OverLocked();
}

bool TReceiveBacklog::WaitForRoom() {
  std::unique_lock lock(fLock);
  fRoom.wait(lock, [&] { return fStopped || !OverLocked(); });
  return !fStopped;
}

void TReceiveBacklog::Stop() {
  {
    std::lock_guard lock(fLock);
    fStopped = true;
  }
  fRoom.notify_all();
}
