#include "connections/processthread.h"

#include "connections/uithreadcalls.h"

#include <chrono>

TProcessThread::TProcessThread(TPorocessThreadMethod method) : fProcessMethod(std::move(method)) {}

TProcessThread::~TProcessThread() {
  Terminate();
  if (isRunning())
    WaitFor();
}

void TProcessThread::Terminate() {
  {
    std::lock_guard lock(fSleepLock);
    fTerminated.store(true);
    fSleepWake.notify_all();
  }
  if (fOnTerminate)
    fOnTerminate();
}

bool TProcessThread::SleepUnlessTerminated(int ms) {
  std::unique_lock lock(fSleepLock);
  return fSleepWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Terminated(); });
}

void TProcessThread::WaitUntilTerminated() {
  std::unique_lock lock(fSleepLock);
  fSleepWake.wait(lock, [this] { return Terminated(); });
}

void TProcessThread::WaitFor() {
  if (QThread::currentThread() == this || !isRunning())
    return;
  TUiThreadCalls::WaitUntil([this] { return fFinished.load(); });
  wait();
}

void TProcessThread::run() {
  try {
    if (fProcessMethod)
      fProcessMethod(*this);
  } catch (...) {
    // The body reports its own errors; nothing may escape the thread.
  }
  fFinished.store(true);
  TUiThreadCalls::Wake();
}
