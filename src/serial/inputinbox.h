#pragma once

#include "base/arrivalclock.h"

#include <QByteArray>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// Received bytes on their way from a port's event thread to the UI thread.
// The event thread reads the device into the inbox and announces new bytes
// once until the UI thread takes note; the UI thread takes them in one piece
// however many reads they came in. A full inbox makes the event thread wait
// (the device then holds, and the sender is slowed down by flow control or
// the driver), so memory stays bounded and no byte is dropped.
//
// Other events are ordered with the bytes by fences: an event posted after
// some bytes were read marks the position, and the UI thread takes no byte
// past a fence until that event has been handled.
class TAfInputInbox {
public:
  // Reads into `data` at most `count` bytes; 0 when there are none now.
  using TReader = std::function<int64_t(char *data, int64_t count)>;

  explicit TAfInputInbox(int64_t capacity);

  // --- the event thread ---
  // Reads until the device has no more bytes, waiting for room while the
  // inbox is full; `announce` is called (without the lock) when the UI
  // thread has to be told about new bytes. False when stopped meanwhile.
  bool Fill(const TReader &read, const std::function<void()> &announce);
  // Marks the position of an event posted now.
  void Fence();

  // --- the UI thread ---
  // A data announcement is being handled: the bytes it may take now.
  int64_t TakeAnnouncement();
  // The bytes up to the next fence; with `marks`, also when each read of
  // them arrived (offsets into the result).
  QByteArray Take(std::vector<TArrivalMark> *marks = nullptr);
  // Exactly `size` bytes up to the next fence, else nothing (false).
  bool TakeExactly(void *data, int64_t size);
  // The event of the oldest fence has been handled.
  void PassFence();
  // Drops every byte.
  void Clear();

  // Any thread: releases a waiting Fill for good, until Restart.
  void Stop();
  // Empty and running again (when the port opens).
  void Restart();

private:
  // Gives the empty inbox an array of full capacity, when it can one that
  // was taken earlier and is free again: a flood then neither grows arrays
  // step by step nor writes into fresh pages all the time.
  void RenewLocked();
  int64_t AvailableLocked() const;
  void DropLocked(int64_t count);

  const int64_t fCapacity;
  std::mutex fLock;
  std::condition_variable fRoom;
  QByteArray fBytes;
  int64_t fIn = 0;  // bytes ever put in
  int64_t fOut = 0; // bytes ever taken out
  std::deque<int64_t> fFences;
  // Per device read: the count of bytes ever put in after it, and when.
  std::deque<TArrivalMark> fMarks;
  bool fAnnounced = false;
  bool fStopped = false;
  std::vector<char> fChunk; // the event thread's read buffer
  // Arrays handed out whole by Take: one is being parsed while the next fills.
  static constexpr int kHandedOut = 3;
  std::array<QByteArray, kHandedOut> fHandedOut;
  int fNextHandedOut = 0;
};
