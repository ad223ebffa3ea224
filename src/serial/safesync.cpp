#include "serial/safesync.h"

#include "serial/comerrors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QtDebug>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct TSyncSlot {
  bool Enabled = false;
  TAfSyncEventProc Event;
  uint32_t UniqueID = 0; // 0: free
  uint64_t Epoch = 0;    // changes with every enable and disable
};

struct TDelivery {
  uint32_t ID = 0;
  uint64_t Epoch = 0;
  TAfSyncMessage Message;
  bool Done = false;
};

class TSyncQEvent : public QEvent {
public:
  explicit TSyncQEvent(std::shared_ptr<TDelivery> delivery)
      : QEvent(Type()), Delivery(std::move(delivery)) {}
  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  std::shared_ptr<TDelivery> Delivery;
};

// The UI thread's end: runs deliveries from its event loop.
class TSyncTarget : public QObject {
protected:
  bool event(QEvent *e) override;
};

void ShowError(const QString &message);

class TSafeSync {
public:
  std::mutex Lock;
  std::condition_variable Handled;
  std::array<TSyncSlot, AfMaxSyncSlots> Slots;
  uint32_t NextID = 1;
  std::unique_ptr<TSyncTarget> Target;
  std::function<void(const QString &)> ErrorDisplay;

  TSyncSlot *Find(uint32_t id) {
    if (id == 0)
      return nullptr;
    for (TSyncSlot &slot : Slots)
      if (slot.UniqueID == id)
        return &slot;
    return nullptr;
  }
  // Whether a delivery made at `epoch` may still run. Under Lock.
  bool Live(uint32_t id, uint64_t epoch) {
    const TSyncSlot *slot = Find(id);
    return slot && slot->Enabled && slot->Epoch == epoch && slot->Event;
  }
  void MakeTarget() {
    if (Target)
      return;
    Target = std::make_unique<TSyncTarget>();
    if (const QCoreApplication *app = QCoreApplication::instance())
      Target->moveToThread(app->thread());
  }
  bool OnTargetThread() const {
    return !Target || !QCoreApplication::instance() || QThread::currentThread() == Target->thread();
  }
};

TSafeSync &Registry() {
  static TSafeSync registry;
  return registry;
}

void RunGuarded(const TAfSyncEventProc &event, uint32_t id, const TAfSyncMessage &message) {
  try {
    event(id, message);
  } catch (...) {
    if (!AfIsSilentAbort(std::current_exception()))
      ShowError(AfErrorText(std::current_exception()));
  }
}

void ShowError(const QString &message) {
  TSafeSync &r = Registry();
  std::function<void(const QString &)> display;
  {
    std::lock_guard lock(r.Lock);
    display = r.ErrorDisplay;
  }
  if (display)
    display(message);
  else
    qWarning().noquote() << "Serial port error:" << message;
}

bool TSyncTarget::event(QEvent *e) {
  if (e->type() != TSyncQEvent::Type())
    return QObject::event(e);
  TSafeSync &r = Registry();
  const std::shared_ptr<TDelivery> delivery = static_cast<TSyncQEvent *>(e)->Delivery;
  TAfSyncEventProc event;
  {
    std::lock_guard lock(r.Lock);
    if (r.Live(delivery->ID, delivery->Epoch))
      event = r.Find(delivery->ID)->Event;
  }
  if (event)
    RunGuarded(event, delivery->ID, delivery->Message);
  {
    std::lock_guard lock(r.Lock);
    delivery->Done = true;
  }
  r.Handled.notify_all();
  return true;
}

} // namespace

uint32_t AfNewSyncSlot(TAfSyncEventProc event) {
  TSafeSync &r = Registry();
  std::lock_guard lock(r.Lock);
  r.MakeTarget();
  for (TSyncSlot &slot : r.Slots) {
    if (slot.UniqueID != 0)
      continue;
    slot.UniqueID = r.NextID++;
    if (r.NextID == 0)
      r.NextID = 1;
    slot.Event = std::move(event);
    slot.Enabled = false;
    ++slot.Epoch;
    return slot.UniqueID;
  }
  return 0;
}

void AfEnableSyncSlot(uint32_t id, bool enable) {
  TSafeSync &r = Registry();
  {
    std::lock_guard lock(r.Lock);
    TSyncSlot *slot = r.Find(id);
    if (!slot || slot->Enabled == enable)
      return;
    slot->Enabled = enable;
    ++slot->Epoch;
  }
  r.Handled.notify_all();
}

void AfReleaseSyncSlot(uint32_t id) {
  TSafeSync &r = Registry();
  TAfSyncEventProc released; // destroyed outside the lock
  {
    std::lock_guard lock(r.Lock);
    TSyncSlot *slot = r.Find(id);
    if (!slot)
      return;
    released = std::move(slot->Event);
    *slot = TSyncSlot{false, {}, 0, slot->Epoch + 1};
  }
  r.Handled.notify_all();
}

namespace {

// Hands `message` to the slot's callback: runs it at once on the UI thread,
// else queues it and waits up to `timeoutMs` (not at all when negative).
bool Deliver(uint32_t id, TAfSyncMessage message, int timeoutMs) {
  TSafeSync &r = Registry();
  std::unique_lock lock(r.Lock);
  const TSyncSlot *slot = r.Find(id);
  if (!slot || !slot->Enabled || !slot->Event)
    return false;
  const uint64_t epoch = slot->Epoch;
  if (r.OnTargetThread()) {
    const TAfSyncEventProc event = slot->Event;
    lock.unlock();
    RunGuarded(event, id, message);
    lock.lock();
    return r.Live(id, epoch);
  }
  auto delivery = std::make_shared<TDelivery>(TDelivery{id, epoch, std::move(message), false});
  QCoreApplication::postEvent(r.Target.get(), new TSyncQEvent(delivery));
  if (timeoutMs >= 0)
    r.Handled.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return delivery->Done || !r.Live(id, epoch); });
  return r.Live(id, epoch);
}

} // namespace

bool AfSyncEvent(uint32_t id, TAfSyncMessage message, int timeoutMs) {
  return Deliver(id, std::move(message), std::max(timeoutMs, 0));
}

bool AfPostSyncEvent(uint32_t id, TAfSyncMessage message) {
  return Deliver(id, std::move(message), -1);
}

void AfSetSyncErrorDisplay(std::function<void(const QString &message)> display) {
  TSafeSync &r = Registry();
  std::lock_guard lock(r.Lock);
  r.ErrorDisplay = std::move(display);
}

void AfShowSyncError(const QString &message) {
  if (QCoreApplication *app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app, [message] { ShowError(message); }, Qt::QueuedConnection);
  else
    ShowError(message);
}
