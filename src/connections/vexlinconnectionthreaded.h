#pragma once

#include "connections/processthread.h"
#include "connections/vexlinconnection.h"

#include <memory>

// A connection with a private worker, the process thread, running Process.
// A concrete class calls StartThread at the end of its constructor (so that
// Process may rely on all its fields) and StopThread first thing in its
// destructor (so that Process never sees a half-destroyed object).
class TVexlinConnectionThreaded : public TVexlinConnection {
public:
  ~TVexlinConnectionThreaded() override;

  // Requests termination, waits for the thread (serving its UI hand-offs)
  // and destroys it. Does nothing when there is no thread.
  void StopThread();

protected:
  TVexlinConnectionThreaded();
  void StartThread();
  virtual void Process(TProcessThread &thread) = 0;

  std::unique_ptr<TProcessThread> fProcessThread;
};
