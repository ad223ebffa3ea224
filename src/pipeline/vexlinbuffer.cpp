#include "pipeline/vexlinbuffer.h"

#include "pipeline/packetpool.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace {

// The largest record kept for reuse; a rare huge piece is not held on to.
constexpr int32_t kSpareCapacityLimit = 1 << 20;

void DeleteRecord(TVexlinBufferRecord *record) {
  if (!record)
    return;
  record->~TVexlinBufferRecord();
  delete[] reinterpret_cast<char *>(record);
}

// `spare` when it can hold `size` bytes, else a new record (record and bytes
// share one allocation); filled with `data`.
TVexlinBufferRecord *NewRecord(TVexlinBufferRecord *spare, const char *data, qsizetype size) {
  TVexlinBufferRecord *record = spare;
  if (!record || record->Capacity < size) {
    DeleteRecord(spare);
    // Pieces of a stream vary in size: rounded up, the spare fits most of the
    // next ones, and a big piece is not copied into freshly faulted-in pages
    // every time.
    const qsizetype capacity =
        size <= kSpareCapacityLimit
            ? static_cast<qsizetype>(std::bit_ceil(static_cast<size_t>(size)))
            : size;
    const size_t bytes = sizeof(TVexlinBufferRecord) + static_cast<size_t>(capacity);
    char *memory = new char[bytes];
    PacketPool::Prefault(memory, bytes);
    record = new (memory) TVexlinBufferRecord;
    record->Data = memory + sizeof(TVexlinBufferRecord);
    record->Capacity = static_cast<int32_t>(capacity);
  }
  record->Length = static_cast<int32_t>(size);
  record->Start = 0;
  record->Next = nullptr;
  std::memcpy(record->Data, data, static_cast<size_t>(size));
  return record;
}

// True when the content from `record`/`index` on starts with `pattern`.
bool MatchesAt(const TVexlinBufferRecord *record, int32_t index, const char *pattern,
               int32_t size) {
  while (size > 0 && record) {
    const int32_t available = record->Length - index;
    const int32_t n = std::min(available, size);
    if (std::memcmp(record->Data + record->Start + index, pattern, static_cast<size_t>(n)) != 0)
      return false;
    pattern += n;
    size -= n;
    record = record->Next;
    index = 0;
  }
  return size == 0;
}

} // namespace

TVexlinBuffer::TVexlinBuffer(const QByteArray &aSIG) : SIG(aSIG) {}

TVexlinBuffer::~TVexlinBuffer() {
  Clear();
  DeleteRecord(fSpare.exchange(nullptr));
}

void TVexlinBuffer::Release(TVexlinBufferRecord *record) {
  TVexlinBufferRecord *none = nullptr;
  if (record->Capacity > kSpareCapacityLimit || !fSpare.compare_exchange_strong(none, record))
    DeleteRecord(record);
}

bool TVexlinBuffer::Push(const QByteArray &AData) {
  return Push(AData.constData(), AData.size());
}

bool TVexlinBuffer::Push(const char *data, qsizetype size) {
  return Push(data, size, 0);
}

bool TVexlinBuffer::Push(const char *data, qsizetype size, int64_t stamp) {
  if (size <= 0)
    return false;
  // The count is 32-bit; the parsers cut long before this, so only a source
  // without any parser could get here.
  if (size > std::numeric_limits<int32_t>::max() - UsedSize())
    return false;
  // Allocate and copy before taking the lock, so a reader is never held up by it.
  TVexlinBufferRecord *record = NewRecord(fSpare.exchange(nullptr), data, size);
  record->Stamp = stamp;
  std::lock_guard lock(csBuffer);
  Link(record);
  return true;
}

void TVexlinBuffer::Link(TVexlinBufferRecord *record) {
  if (fLastBuffer)
    fLastBuffer->Next = record;
  else
    fFirstBuffer = record;
  fLastBuffer = record;
  fLength.store(fLength.load(std::memory_order_relaxed) + record->Length,
                std::memory_order_relaxed);
  fTotalPushed += record->Length;
}

bool TVexlinBuffer::Pop(QByteArray &AData, int32_t ALength) const {
  if (ALength < 1) {
    AData.clear();
    return false;
  }
  AData.resize(ALength);
  return Pop(AData.data(), ALength);
}

bool TVexlinBuffer::Pop(char *AData, int32_t ALength) const {
  if (ALength < 1)
    return false;
  int32_t copied = 0;
  {
    std::lock_guard lock(csBuffer);
    for (const TVexlinBufferRecord *r = fFirstBuffer; r && copied < ALength; r = r->Next) {
      const int32_t n = std::min(r->Length, ALength - copied);
      std::memcpy(AData + copied, r->Data + r->Start, static_cast<size_t>(n));
      copied += n;
    }
  }
  if (copied < ALength)
    std::memset(AData + copied, 0xFE, static_cast<size_t>(ALength - copied));
  return copied == ALength;
}

void TVexlinBuffer::Eat(int32_t Length) {
  if (Length <= 0)
    return;
  std::lock_guard lock(csBuffer);
  int32_t remaining = Length;
  int32_t length = fLength.load(std::memory_order_relaxed);
  const int32_t eaten = std::min(Length, length);
  while (fFirstBuffer && fFirstBuffer->Length <= remaining) {
    TVexlinBufferRecord *record = fFirstBuffer;
    fFirstBuffer = record->Next;
    if (!fFirstBuffer)
      fLastBuffer = nullptr;
    if (record == fFindRecord)
      fFindRecord = nullptr;
    remaining -= record->Length;
    length -= record->Length;
    Release(record);
  }
  if (remaining > 0 && fFirstBuffer) {
    fFirstBuffer->Start += remaining;
    fFirstBuffer->Length -= remaining;
    length -= remaining;
  }
  fLength.store(length, std::memory_order_relaxed);
  fTotalEaten += eaten;
  fPauseRecord = nullptr;
  fFindCleanUpTo = std::max(0, fFindCleanUpTo - eaten);
  // Everything eaten lay before the remembered record, unless it is now first.
  if (fFindRecord)
    fFindRecordBase = fFindRecord == fFirstBuffer ? 0 : fFindRecordBase - eaten;
}

int32_t TVexlinBuffer::FindString(const QByteArray &ADataFind) const {
  const int32_t m = static_cast<int32_t>(ADataFind.size());
  if (m == 0)
    return -1;
  std::lock_guard lock(csBuffer);
  const int32_t length = fLength.load(std::memory_order_relaxed);
  if (length < m)
    return -1;
  if (fFindPattern != ADataFind) {
    fFindPattern = ADataFind;
    fFindCleanUpTo = 0;
    fFindRecord = nullptr;
  }
  const int32_t lastStart = length - m; // the last offset where a match fits
  const char *pattern = ADataFind.constData();
  const char first = pattern[0];

  const TVexlinBufferRecord *r = fFirstBuffer;
  int32_t base = 0; // offset of r's first byte
  if (fFindRecord && fFindRecordBase <= fFindCleanUpTo) {
    r = fFindRecord;
    base = fFindRecordBase;
  }
  int32_t found = -1;
  const TVexlinBufferRecord *stop = r;
  int32_t stopBase = base;
  for (; r && found < 0; base += r->Length, r = r->Next) {
    if (base > lastStart)
      break;
    stop = r;
    stopBase = base;
    if (base + r->Length <= fFindCleanUpTo)
      continue;
    const char *bytes = r->Data + r->Start;
    // Candidates in this record: from the clean mark up to the last start.
    int32_t index = std::max(0, fFindCleanUpTo - base);
    const int32_t endIndex = std::min(r->Length, lastStart - base + 1);
    while (index < endIndex) {
      const void *hit = std::memchr(bytes + index, first, static_cast<size_t>(endIndex - index));
      if (!hit)
        break;
      index = static_cast<int32_t>(static_cast<const char *>(hit) - bytes);
      if (MatchesAt(r, index + 1, pattern + 1, m - 1)) {
        found = base + index;
        break;
      }
      ++index;
    }
  }
  fFindCleanUpTo = found >= 0 ? found : std::max(fFindCleanUpTo, lastStart + 1);
  if (stop && stopBase <= fFindCleanUpTo) {
    fFindRecord = stop;
    fFindRecordBase = stopBase;
  }
  return found;
}

void TVexlinBuffer::Clear() {
  std::lock_guard lock(csBuffer);
  while (fFirstBuffer) {
    TVexlinBufferRecord *record = fFirstBuffer;
    fFirstBuffer = record->Next;
    Release(record);
  }
  fLastBuffer = nullptr;
  fTotalEaten += fLength.load(std::memory_order_relaxed);
  fLength.store(0, std::memory_order_relaxed);
  fFindCleanUpTo = 0;
  fFindRecord = nullptr;
  fPauseRecord = nullptr;
}

int64_t TVexlinBuffer::LastStamp() const {
  std::lock_guard lock(csBuffer);
  return fLastBuffer ? fLastBuffer->Stamp : 0;
}

int32_t TVexlinBuffer::PauseOffset(int64_t pause, int32_t limit) const {
  std::lock_guard lock(csBuffer);
  const TVexlinBufferRecord *r = fFirstBuffer;
  if (!r)
    return -1;
  int32_t base = 0; // offset of r's first byte
  // A stream without pauses is not walked from the front on every arrival.
  if (fPauseRecord && fPauseMemo == pause) {
    r = fPauseRecord;
    base = fPauseBase;
  }
  for (; r->Next && base + r->Length <= limit; base += r->Length, r = r->Next) {
    if (r->Next->Stamp - r->Stamp >= pause)
      return base + r->Length;
  }
  fPauseRecord = r;
  fPauseBase = base;
  fPauseMemo = pause;
  const int32_t length = fLength.load(std::memory_order_relaxed);
  if (length <= limit && fParseNow - r->Stamp >= pause && !r->Next)
    return length;
  return -1;
}

int TVexlinBuffer::RecordCount() const {
  std::lock_guard lock(csBuffer);
  int count = 0;
  for (const TVexlinBufferRecord *r = fFirstBuffer; r; r = r->Next)
    ++count;
  return count;
}

void TVexlinBuffer::UpdateSnapshot(QByteArray &snapshot, int64_t &eatenAt,
                                   int64_t &pushedAt) const {
  std::lock_guard lock(csBuffer);
  const bool continues = eatenAt <= fTotalEaten && pushedAt <= fTotalPushed &&
                         pushedAt - eatenAt == snapshot.size() &&
                         fTotalEaten - eatenAt <= snapshot.size();
  qsizetype from = 0; // content offset of the first byte to append
  if (continues) {
    // Dropping the front moves Qt's begin pointer; no bytes are copied.
    snapshot.remove(0, static_cast<qsizetype>(fTotalEaten - eatenAt));
    from = static_cast<qsizetype>(pushedAt - fTotalEaten);
  } else {
    snapshot.clear();
  }
  qsizetype offset = 0;
  for (const TVexlinBufferRecord *r = fFirstBuffer; r; offset += r->Length, r = r->Next) {
    if (offset + r->Length <= from)
      continue;
    const qsizetype skip = std::max<qsizetype>(0, from - offset);
    snapshot.append(r->Data + r->Start + skip, r->Length - skip);
  }
  eatenAt = fTotalEaten;
  pushedAt = fTotalPushed;
}
