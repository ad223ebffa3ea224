#pragma once

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class TProcessThread;
using TPorocessThreadMethod = std::function<void(TProcessThread &)>;

// A thread whose body is a callback. It never frees itself; its owner
// destroys it after WaitFor. The body loops until Terminated() is true.
class TProcessThread : public QThread {
public:
  explicit TProcessThread(TPorocessThreadMethod method);
  ~TProcessThread() override;

  // Asks the body to end; any thread.
  void Terminate();
  bool Terminated() const { return fTerminated.load(); }
  // Sleeps up to `ms` milliseconds; returns early, true, once termination is
  // requested. Body only.
  bool SleepUnlessTerminated(int ms);
  // Waits until the body has ended. On the UI thread it serves the calls the
  // body hands over meanwhile (TUiThreadCalls), so it cannot deadlock.
  void WaitFor();

protected:
  void run() override;

private:
  TPorocessThreadMethod fProcessMethod;
  std::atomic<bool> fTerminated{false};
  std::atomic<bool> fFinished{false};
  std::mutex fSleepLock;
  std::condition_variable fSleepWake;
};
