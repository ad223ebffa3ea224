#include "serial/comportthread.h"

#include "serial/comerrors.h"
#include "serial/comportcore.h"
#include "serial/safesync.h"

TAfComPortCoreThread::TAfComPortCoreThread(TAfComPortCore &core)
    : ComPortCore(core), Device(core.Device()) {}

TAfComPortCoreThread::~TAfComPortCoreThread() {
  if (fThread.joinable()) {
    Terminate();
    CloseEvent.Set();
    fThread.join();
  }
}

void TAfComPortCoreThread::Start() {
  fThread = std::thread(&TAfComPortCoreThread::Run, this);
}

void TAfComPortCoreThread::Run() {
  fThreadId = AfCurrentThreadId();
  AfSetThreadPriority(fThreadId, fPriority);
  try {
    Execute();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TAfComPortCoreThread::StopThread() {
  Terminate();
  CloseEvent.Set();
  if (fThread.joinable())
    fThread.join();
}

void TAfComPortCoreThread::SetPriority(TAfThreadPriority priority) {
  fPriority = priority;
  AfSetThreadPriority(fThreadId, priority);
}

void TAfComPortCoreThread::HandleException(const std::exception_ptr &error) {
  if (!AfIsSilentAbort(error))
    AfShowSyncError(AfErrorText(error));
}
