#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <mutex>

// One queued block: a private copy of the bytes and the link to the next.
struct TDataRec {
  std::unique_ptr<TDataRec> next;
  int32_t len = 0;
  std::unique_ptr<char[]> data;
};

// The send queue of a connection: blocks in, oldest first out. Push on any
// thread; Take on the thread that writes.
class TSendQueue {
public:
  TSendQueue() = default;
  TSendQueue(const TSendQueue &) = delete;
  TSendQueue &operator=(const TSendQueue &) = delete;
  ~TSendQueue();

  // Appends a copy of `data`; runs `queued` inside the lock (to set the send
  // event). Raises on failure (a block too large, no memory).
  template <class F> void Push(const QByteArray &data, F &&queued) {
    std::unique_ptr<TDataRec> record = MakeRecord(data);
    std::lock_guard lock(fCsWantSendData);
    TDataRec *raw = record.get();
    if (fWantSendLast)
      fWantSendLast->next = std::move(record);
    else
      fWantSendFirst = std::move(record);
    fWantSendLast = raw;
    queued();
  }
  // The oldest block, or none.
  std::unique_ptr<TDataRec> Take();

private:
  static std::unique_ptr<TDataRec> MakeRecord(const QByteArray &data);

  std::mutex fCsWantSendData;
  std::unique_ptr<TDataRec> fWantSendFirst;
  TDataRec *fWantSendLast = nullptr;
};
