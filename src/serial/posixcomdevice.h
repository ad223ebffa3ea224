#pragma once

#include "serial/comdevice.h"

#include <atomic>
#include <linux/serial.h>
#include <vector>

// A tty device through termios and ioctl: poll() on an edge-triggered
// epoll set for received bytes and hang-ups, the driver's interrupt
// counters (or the modem lines) compared between waits for line events and
// line errors.
class TAfPosixComDevice final : public TAfComDevice {
public:
  ~TAfPosixComDevice() override;

  // `portName` is a name under /dev ("ttyUSB0") or an absolute path.
  TAfDeviceOpen Open(const QString &portName) override;
  void Close() override;

  bool SetupComm(uint32_t inSize, uint32_t outSize) override;
  bool SetCommMask(uint32_t mask) override;
  bool SetCommState(const TAfDCB &dcb) override;
  bool GetCommState(TAfDCB &dcb) override;

  int64_t Read(void *data, int64_t count) override;
  TAfDeviceWrite Write(const void *data, int64_t size, std::span<TAfSignal *const> cancel) override;

  bool ClearCommError(uint32_t &errors, TAfComStat &stat) override;
  bool GetCommModemStatus(uint32_t &status) override;
  bool EscapeCommFunction(TAfEscapeFunc func) override;
  bool PurgeComm(uint32_t flags) override;

  TAfDeviceWait WaitCommEvent(std::span<TAfSignal *const> waitList, int timeoutMs) override;
  QString FailureReason() const override { return fReason; }

  // The device path of a port name; empty for a name that is neither a
  // plain name nor an absolute path.
  static QString DevicePath(const QString &portName);

private:
  // Line events from the driver's counters since the last look.
  uint32_t CollectLineEvents();
  void SetOutputLines(const TAfDCB &dcb);
  // Keeps the epoll set's signals those of `waitList`.
  void WatchSignals(std::span<TAfSignal *const> waitList);
  void DeviceReady(uint32_t ready, TAfDeviceWait &result);

  // Open refused with the reason kept for FailureReason().
  TAfDeviceOpen Refuse(TAfDeviceOpen outcome, int error);
  bool Refuse(const QString &reason);

  int fFd = -1;
  QString fReason; // owner's thread: Open and the settings
  int fEpoll = -1;
  std::atomic<uint32_t> fMask{0};
  std::atomic<uint32_t> fErrors{0}; // gathered until ClearCommError
  bool fLost = false;               // event thread only
  TAfDCB fState;                    // the last block the device took
  // Event thread only, after Open.
  bool fHasCounters = false;
  bool fHasModemLines = false;
  serial_icounter_struct fCounters{};
  int fModemLines = 0;
  std::vector<TAfSignal *> fWatched; // signals in the epoll set, in wait-list order
};
