#include "serial/comportwritethread.h"

TAfComPortWriteThread::TAfComPortWriteThread(TAfComPortCore &core, int32_t ringSize)
    : TAfComPortCoreThread(core), WriteBuffer(ringSize) {
  Start();
}

TAfComPortWriteThread::~TAfComPortWriteThread() {
  TAfComPortCoreThread::StopThread();
}

void TAfComPortWriteThread::StopThread() {
  PurgeTX();
  TAfComPortCoreThread::StopThread();
}

bool TAfComPortWriteThread::PurgeTX() {
  fFlushRequested = true;
  FlushDoneEvent.Reset();
  FlushEvent.Set();
  return FlushDoneEvent.Wait(2000) && fFlushResult;
}

void TAfComPortWriteThread::Execute() {
  TAfSignal *const waitList[] = {&CloseEvent, &FlushEvent, &WriteEvent};
  ComPortCore.GlobalSignalEvent.Set();
  while (!Terminated()) {
    const uint32_t set = AfWaitForSignals(waitList, -1);
    if (set & 1) {
      Terminate();
      break;
    }
    if (set & 2)
      Flush();
    if (set & 4)
      WriteRing();
  }
}

void TAfComPortWriteThread::Flush() {
  fFlushRequested = false;
  {
    std::lock_guard lock(ComPortCore.WriteSection);
    WriteEvent.Reset();
    WriteBuffer.Clear();
  }
  fFlushResult = Device.PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
  FlushDoneEvent.Set();
}

void TAfComPortWriteThread::WriteRing() {
  TAfSignal *const cancel[] = {&CloseEvent, &FlushEvent};
  for (;;) {
    const char *chunk = nullptr;
    int32_t size = 0;
    {
      std::lock_guard lock(ComPortCore.WriteSection);
      size = WriteBuffer.BufLinearUsed();
      chunk = WriteBuffer.StartPtr();
    }
    if (size == 0)
      return;
    // A full driver queue makes this wait; closing or purging ends the wait.
    const TAfDeviceWrite written = Device.Write(chunk, size, cancel);
    bool empty = false, more = false;
    if (written.Written > 0) {
      std::lock_guard lock(ComPortCore.WriteSection);
      // What went out leaves the ring, also from a cut-short write: writing
      // it again would send it twice.
      WriteBuffer.Remove(static_cast<int32_t>(written.Written));
      empty = WriteBuffer.BufUsed() == 0;
      more = !empty && written.Written == size; // the part after the wrap, or newer bytes
    }
    if (empty)
      ComPortCore.OutBuffFreeEvent.Set();
    if (written.Signalled & 1) {
      Terminate();
      return;
    }
    if (written.Signalled & 2) {
      Flush();
      return;
    }
    // A failed write leaves its bytes for the next WriteData; stop and
    // purge requests are served by the main wait.
    if (!more || Terminated() || fFlushRequested)
      return;
  }
}
