#include "connections/vexlinconnectionthreaded.h"

TVexlinConnectionThreaded::TVexlinConnectionThreaded()
    : fProcessThread(
          std::make_unique<TProcessThread>([this](TProcessThread &thread) { Process(thread); })) {}

TVexlinConnectionThreaded::~TVexlinConnectionThreaded() {
  StopThread();
}

void TVexlinConnectionThreaded::StartThread() {
  if (fProcessThread && !fProcessThread->isRunning())
    fProcessThread->start();
}

void TVexlinConnectionThreaded::StopThread() {
  if (!fProcessThread)
    return;
  fProcessThread->Terminate();
  fProcessThread->WaitFor();
  fProcessThread.reset();
}
