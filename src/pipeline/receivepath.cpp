#include "pipeline/receivepath.h"

#include "base/datetime.h"
#include "pipeline/databinary.h"
#include "pipeline/dataobject.h"
#include "pipeline/dataobjectqueue.h"

#include <algorithm>

namespace {
constexpr size_t kFixedBuffers = 2; // "Rx" and "Tx"
} // namespace

TVexlinReceiver::TVexlinReceiver() : fVexlinParser(&fVexlinParser_Pelmar) {
  AddBuffer("Rx");
  AddBuffer("Tx");
}

// Under fBuffersLock (or before any other thread can see the receiver).
TVexlinBuffer &TVexlinReceiver::AddBuffer(const QByteArray &aSIG) {
  fIndexBySig.insert(aSIG, fBuffers.size());
  fBuffers.push_back(std::make_unique<TVexlinBuffer>(aSIG));
  fLastUse.push_back(++fUseClock);
  return *fBuffers.back();
}

int TVexlinReceiver::BufferCount() const {
  std::lock_guard lock(fBuffersLock);
  return static_cast<int>(fBuffers.size());
}

TVexlinBuffer &TVexlinReceiver::Buffer(int index) const {
  std::lock_guard lock(fBuffersLock);
  return *fBuffers.at(static_cast<size_t>(index));
}

TVexlinBuffer &TVexlinReceiver::BufferFor(const QByteArray &aSIG) {
  std::lock_guard lock(fBuffersLock);
  if (aSIG.isEmpty())
    return *fBuffers[0];
  // Every datagram looks its sender up, and there may be a thousand senders.
  if (const auto found = fIndexBySig.constFind(aSIG); found != fIndexBySig.cend()) {
    fLastUse[*found] = ++fUseClock;
    return *fBuffers[*found];
  }
  if (fBuffers.size() >= kFixedBuffers + kMaxSourceBuffers)
    return ReuseBuffer(aSIG);
  return AddBuffer(aSIG);
}

// Under fBuffersLock. Senders other than the default one come from UDP,
// which receives on the UI thread, so the replaced buffer is not in use
// elsewhere (and, being the least recently used, is not the last received).
TVexlinBuffer &TVexlinReceiver::ReuseBuffer(const QByteArray &aSIG) {
  size_t oldest = kFixedBuffers;
  size_t oldestEmpty = 0;
  for (size_t i = kFixedBuffers; i < fBuffers.size(); ++i) {
    if (fLastUse[i] < fLastUse[oldest])
      oldest = i;
    if (fBuffers[i]->UsedSize() == 0 && (oldestEmpty == 0 || fLastUse[i] < fLastUse[oldestEmpty]))
      oldestEmpty = i;
  }
  const size_t reused = oldestEmpty != 0 ? oldestEmpty : oldest;
  TVexlinBuffer &old = *fBuffers[reused];
  PushRemainder(old);
  if (fSnapshotBuffer == &old)
    fSnapshotBuffer = nullptr;
  fIndexBySig.remove(old.SIG);
  fIndexBySig.insert(aSIG, reused);
  fBuffers[reused] = std::make_unique<TVexlinBuffer>(aSIG);
  fLastUse[reused] = ++fUseClock;
  return *fBuffers[reused];
}

void TVexlinReceiver::PushRemainder(TVexlinBuffer &buffer) {
  const auto hold = buffer.Hold();
  if (const int32_t held = buffer.UsedSize(); held > 0) {
    QByteArray bytes;
    buffer.Pop(bytes, held);
    buffer.Eat(held);
    auto *row = new TVexlinDataBinary(bytes, spRx);
    row->Time = NowDateTime();
    row->Push();
  }
}

void TVexlinReceiver::FlushRemainders() {
  std::lock_guard lock(fBuffersLock);
  for (const auto &buffer : fBuffers)
    PushRemainder(*buffer);
}

void TVexlinReceiver::Receive(const QByteArray &aData, const QByteArray &aSIG) {
  Receive(aData, aSIG, ArrivalNow());
}

void TVexlinReceiver::Receive(const QByteArray &aData, const QByteArray &aSIG, int64_t aStamp) {
  TVexlinBuffer &buffer = BufferFor(aSIG);
  buffer.Push(aData.constData(), aData.size(), aStamp);
  ParseBuffer(buffer, aStamp);
  Announce(buffer);
}

void TVexlinReceiver::Receive(const QByteArray &aData, const QByteArray &aSIG,
                              std::span<const TArrivalMark> aMarks) {
  if (aMarks.empty())
    return Receive(aData, aSIG);
  TVexlinBuffer &buffer = BufferFor(aSIG);
  int64_t from = 0;
  // Each read stays a piece of its own, so the pauses between them survive.
  for (const TArrivalMark &mark : aMarks) {
    const int64_t end = std::min<int64_t>(mark.End, aData.size());
    if (end > from)
      buffer.Push(aData.constData() + from, end - from, mark.Stamp);
    from = std::max(from, end);
  }
  if (from < aData.size())
    buffer.Push(aData.constData() + from, aData.size() - from, aMarks.back().Stamp);
  ParseBuffer(buffer, aMarks.back().Stamp);
  Announce(buffer);
}

bool TVexlinReceiver::ParseBuffer(TVexlinBuffer &buffer, int64_t now) {
  TVexlinParser *parser = Parser();
  if (!parser)
    return false;
  // Packets cut from one arrival arrived together: one time stamp, and
  // one step into the queue for all of them.
  std::unique_ptr<TVexlinDataObject> packet;
  TVexlinDataObject *first = nullptr;
  TVexlinDataObject *last = nullptr;
  TDateTime time = 0;
  const auto hold = buffer.Hold();
  buffer.SetParseNow(now);
  try {
    while (parser->Parse(buffer, packet)) {
      TVexlinDataObject *o = packet.release();
      o->Direction = spRx;
      if (OnPacket) {
        QByteArray scratch;
        OnPacket(o->SearchBytes(scratch), now);
      }
      if (o->Time == 0)
        o->Time = time != 0 ? time : (time = NowDateTime());
      o->PrevDataObj = last;
      (last ? last->NextDataObj : first) = o;
      last = o;
    }
  } catch (...) {
    VexlinDataObject_PUSHChain(first, last); // what was cut is kept
    throw;
  }
  VexlinDataObject_PUSHChain(first, last);
  return first != nullptr;
}

void TVexlinReceiver::Announce(TVexlinBuffer &buffer) {
  fLastReceived.store(&buffer);
  if (!fRemainderPending.exchange(true) && OnRemainderChanged)
    OnRemainderChanged();
}

bool TVexlinReceiver::Expire(int64_t aNow) {
  std::vector<TVexlinBuffer *> waiting;
  {
    std::lock_guard lock(fBuffersLock);
    for (const auto &buffer : fBuffers)
      if (buffer->UsedSize() > 0)
        waiting.push_back(buffer.get());
  }
  bool cut = false;
  for (TVexlinBuffer *buffer : waiting)
    cut = ParseBuffer(*buffer, aNow) || cut;
  // The remainder view follows the buffer that received last.
  if (cut) {
    if (TVexlinBuffer *shown = fLastReceived.load())
      Announce(*shown);
  }
  return cut;
}

bool TVexlinReceiver::TakeRemainder(QByteArray &remainder) {
  if (!fRemainderPending.exchange(false))
    return false;
  remainder.clear();
  const TVexlinBuffer *buffer = fLastReceived.load();
  if (buffer != fSnapshotBuffer) {
    fSnapshotBuffer = buffer;
    fSnapshot.clear();
    fSnapshotEaten = fSnapshotPushed = 0;
  }
  if (buffer)
    buffer->UpdateSnapshot(fSnapshot, fSnapshotEaten, fSnapshotPushed);
  remainder = fSnapshot;
  return true;
}

void TVexlinReceiver::ClearBuffers() {
  std::lock_guard lock(fBuffersLock);
  for (const auto &buffer : fBuffers)
    buffer->Clear();
}
