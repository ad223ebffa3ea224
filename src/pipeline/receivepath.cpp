#include "pipeline/receivepath.h"

#include "base/datetime.h"
#include "pipeline/dataobject.h"
#include "pipeline/dataobjectqueue.h"

TVexlinReceiver::TVexlinReceiver() : fVexlinParser(&fVexlinParser_Pelmar) {
  fBuffers.push_back(std::make_unique<TVexlinBuffer>("Rx"));
  fBuffers.push_back(std::make_unique<TVexlinBuffer>("Tx"));
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
  for (const auto &buffer : fBuffers)
    if (buffer->SIG == aSIG)
      return *buffer;
  fBuffers.push_back(std::make_unique<TVexlinBuffer>(aSIG));
  return *fBuffers.back();
}

void TVexlinReceiver::Receive(const QByteArray &aData, const QByteArray &aSIG) {
  TVexlinBuffer &buffer = BufferFor(aSIG);
  buffer.Push(aData);
  if (TVexlinParser *parser = Parser()) {
    // Packets cut from one arrival arrived together: one time stamp, and
    // one step into the queue for all of them.
    std::unique_ptr<TVexlinDataObject> packet;
    TVexlinDataObject *first = nullptr;
    TVexlinDataObject *last = nullptr;
    TDateTime now = 0;
    const auto hold = buffer.Hold();
    try {
      while (parser->Parse(buffer, packet)) {
        TVexlinDataObject *o = packet.release();
        o->Direction = spRx;
        if (o->Time == 0)
          o->Time = now != 0 ? now : (now = NowDateTime());
        o->PrevDataObj = last;
        (last ? last->NextDataObj : first) = o;
        last = o;
      }
    } catch (...) {
      VexlinDataObject_PUSHChain(first, last); // what was cut is kept
      throw;
    }
    VexlinDataObject_PUSHChain(first, last);
  }
  fLastReceived.store(&buffer);
  if (!fRemainderPending.exchange(true) && OnRemainderChanged)
    OnRemainderChanged();
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
