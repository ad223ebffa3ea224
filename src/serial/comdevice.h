#pragma once

#include "serial/afsignal.h"
#include "serial/comdcb.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

enum class TAfDeviceOpen { Opened, NotFound, Failed };

// What one wait of the event thread saw.
struct TAfDeviceWait {
  uint32_t Signalled = 0; // bit i: the i-th signal of the wait was set
  uint32_t Events = 0;    // line events (EV_*) within the event mask
  bool Lost = false;      // the device went away (far end hung up, unplugged)

  bool TimedOut() const { return Signalled == 0 && Events == 0 && !Lost; }
};

// The outcome of writing one chunk.
struct TAfDeviceWrite {
  int64_t Written = 0;    // bytes the device took, also when cut short
  uint32_t Signalled = 0; // bit i: the i-th cancel signal ended the write
  bool Failed = false;    // the device refused the rest
};

// The serial device as the engine core needs it: the operations of the
// Windows communications API that the core uses, on one open device. The
// core calls Open/Close and the settings on the owner's thread, the waits
// on the event thread and Write on the write thread; Read, ClearCommError,
// Purge and EscapeCommFunction may come from any of them. Implementations
// make that safe.
class TAfComDevice {
public:
  virtual ~TAfComDevice() = default;

  // Opens the port for exclusive use; NotFound when no such device exists.
  virtual TAfDeviceOpen Open(const QString &portName) = 0;
  virtual void Close() = 0;

  // Requested sizes of the driver's queues.
  virtual bool SetupComm(uint32_t inSize, uint32_t outSize) = 0;
  // Events that WaitCommEvent reports; 0 reports none.
  virtual bool SetCommMask(uint32_t mask) = 0;
  // Applies a block; false when the device cannot take it exactly.
  virtual bool SetCommState(const TAfDCB &dcb) = 0;
  // The block the device holds now.
  virtual bool GetCommState(TAfDCB &dcb) = 0;

  // Up to `count` queued bytes, never waiting for more; -1 on failure.
  virtual int64_t Read(void *data, int64_t count) = 0;
  // Writes all of `size` bytes unless a signal of `cancel` is set first.
  virtual TAfDeviceWrite Write(const void *data, int64_t size,
                               std::span<TAfSignal *const> cancel) = 0;

  // Returns and clears the gathered line-error bits; fills the status.
  virtual bool ClearCommError(uint32_t &errors, TAfComStat &stat) = 0;
  virtual bool GetCommModemStatus(uint32_t &status) = 0;
  virtual bool EscapeCommFunction(TAfEscapeFunc func) = 0;
  virtual bool PurgeComm(uint32_t flags) = 0;

  // Waits up to `timeoutMs` for line events or one of `waitList`. Events are
  // reported once per occurrence: bytes that stay queued unread are not
  // reported again.
  virtual TAfDeviceWait WaitCommEvent(std::span<TAfSignal *const> waitList, int timeoutMs) = 0;

  // Why the last Open or SetCommState failed, in words for the user (the
  // system's reason, or the setting and value refused); empty when unknown.
  virtual QString FailureReason() const { return {}; }
};

// The platform's device.
std::unique_ptr<TAfComDevice> AfCreateComDevice();
