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
  // Also run by Terminate, for a body that sleeps elsewhere than in
  // SleepUnlessTerminated (in poll, say). Set before the thread starts.
  void SetOnTerminate(std::function<void()> wake) { fOnTerminate = std::move(wake); }
  bool Terminated() const { return fTerminated.load(); }
  // Sleeps up to `ms` milliseconds; returns early, true, once termination is
  // requested. Body only.
  bool SleepUnlessTerminated(int ms);
  // Sleeps, without waking, until termination is requested. Body only.
  void WaitUntilTerminated();
  // Waits until the body has ended. On the UI thread it serves the calls the
  // body hands over meanwhile (TUiThreadCalls), so it cannot deadlock.
  void WaitFor();

protected:
  void run() override;

private:
  TPorocessThreadMethod fProcessMethod;
  std::function<void()> fOnTerminate;
  std::atomic<bool> fTerminated{false};
  std::atomic<bool> fFinished{false};
  std::mutex fSleepLock;
  std::condition_variable fSleepWake;
};
