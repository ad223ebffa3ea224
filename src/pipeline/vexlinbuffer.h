#pragma once

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <mutex>

// One piece of received bytes, as it arrived.
struct TVexlinBufferRecord {
  int32_t Length = 0;                  // bytes still held, at least 1
  int32_t Start = 0;                   // offset of the first held byte inside Data
  TVexlinBufferRecord *Next = nullptr; // following piece, none for the last
  char *Data = nullptr;                // Start + Length bytes, owned by the record
  int32_t Capacity = 0;                // bytes the allocation can hold
  int64_t Stamp = 0;                   // when the piece arrived (ArrivalNow), 0 unknown
};

// The received bytes of one source that no parser has cut into packets yet:
// a byte queue with prefix access, safe for a transport thread that appends
// and parses while the UI thread clears it.
//
// Cost stays linear in the bytes received: eating part of a record moves a
// start offset instead of copying the rest, and FindString remembers how far
// a pattern is known not to start, so a growing unterminated stream is not
// scanned again from the front on every call.
class TVexlinBuffer {
public:
  explicit TVexlinBuffer(const QByteArray &aSIG);
  ~TVexlinBuffer();
  TVexlinBuffer(const TVexlinBuffer &) = delete;
  TVexlinBuffer &operator=(const TVexlinBuffer &) = delete;

  // Appends a private copy of AData; false (nothing appended) when empty.
  bool Push(const QByteArray &AData);
  bool Push(const char *data, qsizetype size);
  // The same, remembering when the piece arrived (an ArrivalNow stamp).
  bool Push(const char *data, qsizetype size, int64_t stamp);
  // Copies the first ALength bytes without removing them. AData becomes
  // exactly ALength bytes, filled with 0xFE beyond the content; true when the
  // content held them all. A count below 1 gives an empty AData and false.
  bool Pop(QByteArray &AData, int32_t ALength) const;
  // The same into ALength bytes of raw memory.
  bool Pop(char *AData, int32_t ALength) const;
  // Removes the first Length bytes (all of them when Length exceeds the content).
  void Eat(int32_t Length);
  // Offset of the first occurrence of ADataFind in the content, or -1.
  int32_t FindString(const QByteArray &ADataFind) const;
  void Clear();
  // Holds the buffer for a run of calls, so that a parser cutting many
  // packets takes the lock once instead of several times per packet.
  [[nodiscard]] std::unique_lock<std::recursive_mutex> Hold() const {
    return std::unique_lock(csBuffer);
  }

  int32_t UsedSize() const { return fLength.load(std::memory_order_relaxed); }

  // The time a parse runs at, set by the receive path before it parses:
  // the arrival of the newest piece, or the clock when a timer looks for a
  // packet that silence has closed. Parsers that cut by silence never read
  // the clock themselves, so their results depend on the stamps alone.
  int64_t ParseNow() const { return fParseNow; }
  void SetParseNow(int64_t now) { fParseNow = now; }
  // When the newest piece arrived; 0 when the buffer is empty.
  int64_t LastStamp() const;
  // The offset of the first piece border, up to `limit` bytes in, where at
  // least `pause` passed between two pieces' arrivals; the whole content
  // (when it is not beyond `limit`) once `pause` passed from the last
  // arrival to ParseNow; -1 when silence closes nothing yet.
  int32_t PauseOffset(int64_t pause, int32_t limit) const;
  const QByteArray SIG;

  // The number of records in the chain; for diagnostics and tests.
  int RecordCount() const;

  // Brings `snapshot` up to the current content cheaply: when it holds the
  // content as it was at an earlier call (`eatenAt`/`pushedAt` record when),
  // only the bytes eaten since are dropped from its front and the bytes
  // pushed since are appended, so a growing remainder is not copied whole
  // on every refresh. Anything else gives a full copy.
  void UpdateSnapshot(QByteArray &snapshot, int64_t &eatenAt, int64_t &pushedAt) const;

private:
  void Link(TVexlinBufferRecord *record);
  void Release(TVexlinBufferRecord *record);

  mutable std::recursive_mutex csBuffer;
  // The last record eaten, kept for the next piece: a steady stream then
  // allocates nothing per arrival.
  std::atomic<TVexlinBufferRecord *> fSpare{nullptr};
  TVexlinBufferRecord *fFirstBuffer = nullptr;
  TVexlinBufferRecord *fLastBuffer = nullptr;
  std::atomic<int32_t> fLength{0};
  int64_t fTotalPushed = 0; // bytes ever pushed
  int64_t fTotalEaten = 0;  // bytes ever eaten or cleared

  // FindString memo: no occurrence of fFindPattern starts before
  // fFindCleanUpTo (offsets in the current content).
  mutable QByteArray fFindPattern;
  mutable int32_t fFindCleanUpTo = 0;
  // A record at or before fFindCleanUpTo and its offset, so the search need
  // not walk the chain from the front either.
  mutable const TVexlinBufferRecord *fFindRecord = nullptr;
  mutable int32_t fFindRecordBase = 0;

  int64_t fParseNow = 0;
  // PauseOffset memo: no border with fPauseMemo's pause lies before
  // fPauseRecord (at offset fPauseBase); forgotten whenever bytes go.
  mutable const TVexlinBufferRecord *fPauseRecord = nullptr;
  mutable int32_t fPauseBase = 0;
  mutable int64_t fPauseMemo = -1;
};
