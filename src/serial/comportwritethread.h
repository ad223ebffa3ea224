#pragma once

#include "serial/circularbuffer.h"
#include "serial/comportcore.h"
#include "serial/comportthread.h"

// Drains the write ring into the device, one contiguous chunk at a time,
// and signals the core when the ring has become empty. Only this thread
// takes bytes out of the ring or empties it, so a chunk being written is
// never overwritten under it.
class TAfComPortWriteThread final : public TAfComPortCoreThread {
public:
  TAfComPortWriteThread(TAfComPortCore &core, int32_t ringSize);
  ~TAfComPortWriteThread() override;

  void StopThread() override;
  // Empties the ring and the driver's output queue once the thread is
  // between chunks; false when it did not confirm within 2000 ms or the
  // device refused the purge.
  bool PurgeTX();

  // Guarded by the core's WriteSection.
  TAfCircularBuffer WriteBuffer;
  TAfSignal WriteEvent{TAfSignal::AutoReset};

protected:
  void Execute() override;

private:
  // Writes chunk after chunk while the ring holds bytes.
  void WriteRing();
  void Flush();

  TAfSignal FlushEvent{TAfSignal::AutoReset};
  TAfSignal FlushDoneEvent{TAfSignal::AutoReset};
  std::atomic<bool> fFlushResult{false};
  std::atomic<bool> fFlushRequested{false};
};
