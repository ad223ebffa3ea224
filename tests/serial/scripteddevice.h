#pragma once

// A device behind the engine's device interface whose line events, modem
// lines and line errors the test scripts: a pty has none of them.
#include "serial/comdevice.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <utility>
#include <vector>

// What the test can see and steer; shared with the device the core owns.
struct TDeviceScript {
  struct TStep {
    uint32_t Events = 0;
    uint32_t Errors = 0;
    QByteArray Data;
    bool Lost = false;
  };

  // Makes the device report these from its next wait.
  void Post(uint32_t events, uint32_t errors = 0, const QByteArray &data = {}, bool lost = false) {
    {
      std::lock_guard lock(Lock);
      Steps.push_back({events, errors, data, lost});
    }
    Ready.Set();
  }
  std::vector<QByteArray> Writes() const {
    std::lock_guard lock(Lock);
    return WriteChunks;
  }

  mutable std::mutex Lock;
  std::deque<TStep> Steps;
  QByteArray Input;
  std::vector<QByteArray> WriteChunks;
  std::vector<TAfEscapeFunc> Escapes;
  uint32_t Errors = 0;
  TAfSignal Ready{TAfSignal::ManualReset};
  std::atomic<uint32_t> ModemLines{0};
  std::atomic<bool> StallWrites{false}; // writes wait until cancelled
  std::atomic<bool> OpenFails{false};
  std::atomic<int> Waits{0};
};

class TScriptedDevice final : public TAfComDevice {
public:
  explicit TScriptedDevice(std::shared_ptr<TDeviceScript> script) : fScript(std::move(script)) {}

  TAfDeviceOpen Open(const QString &) override {
    return fScript->OpenFails ? TAfDeviceOpen::Failed : TAfDeviceOpen::Opened;
  }
  void Close() override {}
  bool SetupComm(uint32_t, uint32_t) override { return true; }
  bool SetCommMask(uint32_t mask) override {
    fMask = mask;
    return true;
  }
  bool SetCommState(const TAfDCB &dcb) override {
    fState = dcb;
    return true;
  }
  bool GetCommState(TAfDCB &dcb) override {
    dcb = fState;
    return true;
  }

  int64_t Read(void *data, int64_t count) override {
    std::lock_guard lock(fScript->Lock);
    const qsizetype n = std::min<qsizetype>(count, fScript->Input.size());
    std::memcpy(data, fScript->Input.constData(), size_t(n));
    fScript->Input.remove(0, n);
    return n;
  }
  TAfDeviceWrite Write(const void *data, int64_t size,
                       std::span<TAfSignal *const> cancel) override {
    if (fScript->StallWrites)
      return {0, AfWaitForSignals(cancel, -1), false};
    std::lock_guard lock(fScript->Lock);
    fScript->WriteChunks.emplace_back(static_cast<const char *>(data), size);
    return {size, 0, false};
  }

  bool ClearCommError(uint32_t &errors, TAfComStat &stat) override {
    std::lock_guard lock(fScript->Lock);
    errors = std::exchange(fScript->Errors, 0);
    stat.cbInQue = uint32_t(fScript->Input.size());
    return true;
  }
  bool GetCommModemStatus(uint32_t &status) override {
    status = fScript->ModemLines;
    return true;
  }
  bool EscapeCommFunction(TAfEscapeFunc func) override {
    std::lock_guard lock(fScript->Lock);
    fScript->Escapes.push_back(func);
    return true;
  }
  bool PurgeComm(uint32_t) override { return true; }

  TAfDeviceWait WaitCommEvent(std::span<TAfSignal *const> waitList, int timeoutMs) override {
    ++fScript->Waits;
    TAfWaitHandle ready{fScript->Ready.Handle(), POLLIN};
    TAfDeviceWait wait;
    wait.Signalled = AfWaitForSignals(waitList, timeoutMs, &ready);
    if (!(ready.REvents & POLLIN) || fMask == 0)
      return wait;
    std::lock_guard lock(fScript->Lock);
    if (fScript->Steps.empty())
      return wait;
    TDeviceScript::TStep step = std::move(fScript->Steps.front());
    fScript->Steps.pop_front();
    if (fScript->Steps.empty())
      fScript->Ready.Reset();
    fScript->Input.append(step.Data);
    fScript->Errors |= step.Errors;
    wait.Events = step.Events & fMask;
    wait.Lost = step.Lost;
    return wait;
  }

private:
  std::shared_ptr<TDeviceScript> fScript;
  std::atomic<uint32_t> fMask{0};
  TAfDCB fState;
};
