#pragma once

#include "serial/afsignal.h"
#include "serial/comdcb.h"
#include "serial/comdevice.h"
#include "serial/threadpriority.h"

#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class TAfComPortEventThread;
class TAfComPortWriteThread;

// Kinds of events the core reports from its event thread.
enum TAfCoreEvent {
  ceOutFree,      // the write ring has become empty; data 0
  ceLineEvent,    // line events; data is the EV_* mask
  ceNeedReadData, // bytes wait in the input queue without an event; data is their count
  ceException,    // an error raised while an event was delivered; in Error
  ceDeviceLost,   // the device went away (hang-up); reported after its line error
};

struct TAfPortEvent {
  TAfCoreEvent Kind = ceOutFree;
  uint32_t Data = 0;
  std::exception_ptr Error;
};

// One open serial device with its event thread and write thread. Callers
// write by copying into the write ring and read what the input queue holds;
// neither waits for the line. Events come through one callback on the
// event thread. Operations are called from the owner's thread.
class TAfComPortCore {
public:
  using TAfPortEventProc = std::function<void(TAfComPortCore &core, const TAfPortEvent &event)>;

  explicit TAfComPortCore(std::unique_ptr<TAfComDevice> device = AfCreateComDevice());
  ~TAfComPortCore();
  TAfComPortCore(const TAfComPortCore &) = delete;
  TAfComPortCore &operator=(const TAfComPortCore &) = delete;

  // False when already open; raises EAfComPortCoreError when the device
  // cannot be opened or configured (and leaves the core closed).
  bool OpenComPort(const QString &portName);
  void CloseComPort();
  bool IsOpen() const { return FIsOpen; }
  QString PortName() const { return FPortName; }

  // The whole block goes into the write ring, or nothing (false).
  bool WriteData(const void *Data, int64_t Size);
  // Bytes read from the input queue, at most `Count`; -1 when not open.
  int32_t ReadData(void *Data, int32_t Count);
  TAfComStat ComStatus();
  // The line errors gathered since the last call.
  uint32_t ComError();
  uint32_t ModemStatus();
  bool EscapeComm(TAfEscapeFunc Func);
  int32_t OutBuffFree();
  int32_t OutBuffUsed();
  bool PurgeRX();
  bool PurgeTX();

  // Stored, and applied at once to an open device; a block the device
  // refuses raises, leaving the device's own block in DCB().
  void SetDCB(const TAfDCB &dcb);
  const TAfDCB &DCB() const { return FDCB; }
  void SetInBuffSize(int32_t size) { FInBuffSize = size; }
  void SetOutBuffSize(int32_t size) { FOutBuffSize = size; }
  void SetEventThreadPriority(TAfThreadPriority priority);
  void SetWriteThreadPriority(TAfThreadPriority priority);

  // Set before opening; the event thread copies it when it starts.
  void SetOnPortEvent(TAfPortEventProc proc) { FOnPortEvent = std::move(proc); }

  TAfComDevice &Device() { return *FDevice; }

private:
  friend class TAfComPortEventThread;
  friend class TAfComPortWriteThread;

  [[noreturn]] void RaiseError(const QString &message);
  // The message with the device's reason for its last failure appended.
  QString WithDeviceReason(const QString &message) const;
  [[noreturn]] void RaiseDeviceError(const QString &message);
  // The device refused FDCB: take back what it holds and raise.
  [[noreturn]] void RefuseDCB();
  void Configure();
  void StartThreads();
  void Close();
  // True while the device is open and the threads run; thread calls test
  // it before they take a lock, so close never waits for them.
  bool Ready() const { return FCanPerformCall; }

  std::unique_ptr<TAfComDevice> FDevice;
  std::atomic<bool> FCanPerformCall{false};
  std::atomic<bool> FIsOpen{false};
  bool FDeviceOpen = false;
  QString FPortName;
  TAfDCB FDCB;
  uint32_t FEventMask = kAfEventMask;
  uint32_t FLastError = 0; // under CritSection
  int32_t FInBuffSize = 8192;
  int32_t FOutBuffSize = 4096;
  TAfPortEventProc FOnPortEvent;
  std::mutex CritSection;  // device reads, status queries, input purges
  std::mutex WriteSection; // the write ring
  std::unique_ptr<TAfComPortEventThread> EventThread;
  std::unique_ptr<TAfComPortWriteThread> WriteThread;
  TAfSignal GlobalSignalEvent{TAfSignal::AutoReset};
  TAfSignal OutBuffFreeEvent{TAfSignal::AutoReset};
  TAfThreadPriority FWriteThreadPriority = tpHigher;
  TAfThreadPriority FEventThreadPriority = tpNormal;
};
