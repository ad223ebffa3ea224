#pragma once

#include "base/arrivalclock.h"
#include "pipeline/gapparser.h"
#include "pipeline/lengthfieldparser.h"
#include "pipeline/modbusparser.h"
#include "pipeline/vexlinbuffer.h"
#include "pipeline/vexlinparser.h"

#include <QByteArray>
#include <QHash>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

// The one way in for received bytes: one receive buffer per source
// signature, the current frame parser cutting packets off its front, every
// packet queued for the view as a received row. Receive may run on a
// transport thread; the unparsed remainder is not copied there but announced
// once per burst, and the UI thread takes its snapshot when it gets round to it.
class TVexlinReceiver {
public:
  // Per-sender buffers beyond "Rx" and "Tx". Senders can be forged on a LAN,
  // so their number is capped: a new sender reuses the least recently used
  // buffer, preferring an empty one; unparsed bytes in it become a row first.
  static constexpr int kMaxSourceBuffers = 1024;

  TVexlinReceiver();

  // The bytes arrived now.
  void Receive(const QByteArray &aData, const QByteArray &aSIG);
  // The bytes arrived at `aStamp` (ArrivalNow), when the transport read them.
  void Receive(const QByteArray &aData, const QByteArray &aSIG, int64_t aStamp);
  // Several reads delivered at once, each block with its own stamp.
  void Receive(const QByteArray &aData, const QByteArray &aSIG,
               std::span<const TArrivalMark> aMarks);
  // Silence has passed: packets that it closes are cut as at `aNow` (an
  // ArrivalNow time) from every buffer. True when anything was cut. The
  // caller's timer runs it once the current parser's ClosingPause passed
  // after the last arrival without further bytes.
  bool Expire(int64_t aNow);

  // Called (on the receiving thread) when the remainder to show changed and
  // no earlier announcement is still pending. The main window posts a
  // queued call that runs TakeRemainder on the UI thread.
  std::function<void()> OnRemainderChanged;
  // Called on the receiving thread with every packet as it is cut (and the
  // moment it was cut), before it is queued for the view, so an answer to it
  // never waits for a paint. Set before bytes arrive.
  std::function<void(QByteArrayView packet, int64_t stamp)> OnPacket;
  // The remainder of the buffer that received last; false when nothing
  // changed since the last call. Clears the pending announcement. UI thread
  // only. The result shares its bytes with a snapshot kept here: release
  // every copy of the previous result first, and refreshing a growing
  // remainder costs only its new bytes.
  bool TakeRemainder(QByteArray &remainder);
  bool RemainderPending() const { return fRemainderPending.load(); }

  // Empties every buffer, keeping the buffers and their signatures.
  void ClearBuffers();
  // Every buffer's unparsed bytes become received rows: at the end of a
  // capture nothing waits for the rest of a packet. Call once the transport
  // is closed.
  void FlushRemainders();

  void SetParser(TVexlinParser *parser) { fVexlinParser.store(parser); }
  TVexlinParser *Parser() const { return fVexlinParser.load(); }

  TVexlinParser_S97 fVexlinParser_Pelmar;
  TVexlinParser_Length fVexlinParser_Length;
  TVexlinParser_Sufix fVexlinParser_Sufix;
  TVexlinParser_Modbus fVexlinParser_Modbus;
  TVexlinParser_Gap fVexlinParser_Gap;
  TVexlinParser_LengthField fVexlinParser_LengthField;

  int BufferCount() const;
  TVexlinBuffer &Buffer(int index) const;

private:
  TVexlinBuffer &BufferFor(const QByteArray &aSIG);
  TVexlinBuffer &AddBuffer(const QByteArray &aSIG);
  TVexlinBuffer &ReuseBuffer(const QByteArray &aSIG);
  static void PushRemainder(TVexlinBuffer &buffer);
  // Cuts what the current parser can from `buffer` as at `now` and queues it.
  bool ParseBuffer(TVexlinBuffer &buffer, int64_t now);
  void Announce(TVexlinBuffer &buffer);

  std::atomic<TVexlinParser *> fVexlinParser;
  mutable std::mutex fBuffersLock; // the list grows while a transport thread looks up "Rx"
  std::vector<std::unique_ptr<TVexlinBuffer>> fBuffers;
  QHash<QByteArray, size_t> fIndexBySig; // where each signature's buffer stands in fBuffers
  std::vector<uint64_t> fLastUse;        // per buffer, a tick of fUseClock
  uint64_t fUseClock = 0;
  std::atomic<TVexlinBuffer *> fLastReceived{nullptr};
  std::atomic<bool> fRemainderPending{false};
  // The UI thread's copy of the last remainder shown, and where it stood.
  const TVexlinBuffer *fSnapshotBuffer = nullptr;
  QByteArray fSnapshot;
  int64_t fSnapshotEaten = 0;
  int64_t fSnapshotPushed = 0;
};
