#include "connections/uithreadcalls.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

struct TPendingCall {
  std::function<void()> call;
  bool done = false;
};

struct TCallHub {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<TPendingCall *> pending;
};

TCallHub &Hub() {
  static TCallHub hub;
  return hub;
}

void RunGuarded(const std::function<void()> &call) {
  try {
    call();
  } catch (...) {
    // A UI update that fails must not end the program nor the hand-off.
  }
}

} // namespace

bool TUiThreadCalls::OnUiThread() {
  const QCoreApplication *app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void TUiThreadCalls::Run(const std::function<void()> &call) {
  if (OnUiThread()) {
    RunGuarded(call);
    return;
  }
  TCallHub &hub = Hub();
  TPendingCall pending{call};
  std::unique_lock lock(hub.lock);
  const bool wasEmpty = hub.pending.empty();
  hub.pending.push_back(&pending);
  hub.changed.notify_all();
  if (wasEmpty) {
    lock.unlock();
    QMetaObject::invokeMethod(QCoreApplication::instance(), &TUiThreadCalls::Drain,
                              Qt::QueuedConnection);
    lock.lock();
  }
  hub.changed.wait(lock, [&] { return pending.done; });
}

void TUiThreadCalls::Drain() {
  TCallHub &hub = Hub();
  std::deque<TPendingCall *> calls;
  {
    std::lock_guard lock(hub.lock);
    calls.swap(hub.pending);
  }
  for (TPendingCall *pending : calls) {
    RunGuarded(pending->call);
    std::lock_guard lock(hub.lock);
    pending->done = true;
    hub.changed.notify_all();
  }
}

void TUiThreadCalls::WaitUntil(const std::function<bool()> &done) {
  TCallHub &hub = Hub();
  for (;;) {
    {
      std::unique_lock lock(hub.lock);
      hub.changed.wait(lock, [&] { return done() || !hub.pending.empty(); });
      if (hub.pending.empty())
        return;
    }
    Drain();
  }
}

void TUiThreadCalls::Wake() {
  TCallHub &hub = Hub();
  std::lock_guard lock(hub.lock);
  hub.changed.notify_all();
}
