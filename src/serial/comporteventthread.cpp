#include "serial/comporteventthread.h"

#include "serial/comerrors.h"

TAfComPortEventThread::TAfComPortEventThread(TAfComPortCore &core)
    : TAfComPortCoreThread(core), FOnPortEvent(core.FOnPortEvent) {
  Start();
}

TAfComPortEventThread::~TAfComPortEventThread() {
  StopThread();
}

void TAfComPortEventThread::StopThread() {
  fCallbackEnabled = false;
  Terminate();
  Device.SetCommMask(0);
  Device.PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
  TAfComPortCoreThread::StopThread();
}

void TAfComPortEventThread::Execute() {
  ComPortCore.OutBuffFreeEvent.Reset();
  TAfSignal *const waitList[] = {&CloseEvent, &ComPortCore.OutBuffFreeEvent};
  ComPortCore.GlobalSignalEvent.Set();
  while (!Terminated()) {
    const TAfDeviceWait wait = Device.WaitCommEvent(waitList, kPollMs);
    if (wait.Signalled & 1) {
      Terminate();
      break;
    }
    if (wait.Events != 0)
      SendEvent(ceLineEvent, wait.Events);
    if (wait.Lost)
      SendEvent(ceDeviceLost, 0);
    if (wait.Signalled & 2)
      SendEvent(ceOutFree, 0);
    if (wait.TimedOut()) {
      const uint32_t queued = ComPortCore.ComStatus().cbInQue;
      if (queued > 0)
        SendEvent(ceNeedReadData, queued);
    }
  }
}

void TAfComPortEventThread::SendEvent(TAfCoreEvent kind, uint32_t data) {
  if (!fCallbackEnabled || !FOnPortEvent)
    return;
  try {
    FOnPortEvent(ComPortCore, {kind, data, {}});
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TAfComPortEventThread::HandleException(const std::exception_ptr &error) {
  if (AfIsSilentAbort(error))
    return;
  if (!fCallbackEnabled || !FOnPortEvent) {
    TAfComPortCoreThread::HandleException(error);
    return;
  }
  try {
    FOnPortEvent(ComPortCore, {ceException, 0, error});
  } catch (...) {
    // The receiver is gone or failing too; nobody is left to tell.
  }
}
