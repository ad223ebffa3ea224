#pragma once

// The safe-sync registry: hands events from worker threads to the UI
// thread, one at a time per caller, in order, waiting a limited time for
// each. A component takes a slot, enables it while it wants events and
// disables it to drop whatever is still on its way; a thread waiting for a
// delivery to a slot that gets disabled is released at once.

#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

constexpr int AfMaxSyncSlots = 64;

// What one delivery carries to the UI thread.
struct TAfSyncMessage {
  int Kind = 0;
  uint32_t Data = 0;
  std::exception_ptr Error;
  uint32_t Extra = 0;
};

using TAfSyncEventProc = std::function<void(uint32_t id, const TAfSyncMessage &message)>;

// A new disabled slot for `event`; 0 when all slots are taken. The first
// call makes the UI-thread target, on the application's main thread.
uint32_t AfNewSyncSlot(TAfSyncEventProc event);
void AfEnableSyncSlot(uint32_t id, bool enable);
void AfReleaseSyncSlot(uint32_t id);

// Runs the slot's callback with `message` on the UI thread and waits up to
// `timeoutMs` for it. True when the slot still exists and is enabled
// afterwards: a time-out alone is no failure, the delivery still follows.
// Deliveries of a slot that is disabled or released before they run, or
// that were made before a later enable, are dropped.
bool AfSyncEvent(uint32_t id, TAfSyncMessage message, int timeoutMs);

// The same without waiting: the delivery is queued behind the slot's
// earlier ones and runs when the UI thread gets to it (at once on the UI
// thread). True when the slot exists and is enabled.
bool AfPostSyncEvent(uint32_t id, TAfSyncMessage message);

// Where errors raised by callbacks go; by default a warning in the log.
// Set it on the UI thread. Called on the UI thread.
void AfSetSyncErrorDisplay(std::function<void(const QString &message)> display);
// Shows `message` through the error display on the UI thread, without
// waiting. Any thread.
void AfShowSyncError(const QString &message);
