#pragma once

#include "serial/afsignal.h"
#include "serial/threadpriority.h"

#include <atomic>
#include <exception>
#include <thread>

class TAfComDevice;
class TAfComPortCore;

// The base of the core's two worker threads. A concrete thread starts the
// system thread at the end of its constructor, once its own resources
// exist; it must be stopped with StopThread before it is destroyed.
class TAfComPortCoreThread {
public:
  explicit TAfComPortCoreThread(TAfComPortCore &core);
  virtual ~TAfComPortCoreThread();
  TAfComPortCoreThread(const TAfComPortCoreThread &) = delete;
  TAfComPortCoreThread &operator=(const TAfComPortCoreThread &) = delete;

  // Makes the thread leave its loop and waits until it has ended.
  virtual void StopThread();
  // Best effort; applied now or as soon as the thread runs.
  void SetPriority(TAfThreadPriority priority);

protected:
  virtual void Execute() = 0;
  // An error that left a delivery or Execute. The base reports it through
  // the error display unless it is a silent abort.
  virtual void HandleException(const std::exception_ptr &error);
  void Start();
  bool Terminated() const { return fTerminated; }
  void Terminate() { fTerminated = true; }

  TAfSignal CloseEvent{TAfSignal::ManualReset};
  TAfComPortCore &ComPortCore;
  TAfComDevice &Device;

private:
  void Run();

  std::thread fThread;
  std::atomic<bool> fTerminated{false};
  std::atomic<int> fThreadId{0};
  std::atomic<TAfThreadPriority> fPriority{tpNormal};
};
