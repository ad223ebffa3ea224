#pragma once

#include "serial/comportcore.h"
#include "serial/comportthread.h"

// Waits for line events, received bytes and the emptied write ring, and
// reports them through the core's callback. Bytes that arrive without an
// event are found by the poll every 200 ms.
class TAfComPortEventThread final : public TAfComPortCoreThread {
public:
  explicit TAfComPortEventThread(TAfComPortCore &core);
  ~TAfComPortEventThread() override;

  void StopThread() override;

protected:
  void Execute() override;
  void HandleException(const std::exception_ptr &error) override;

private:
  void SendEvent(TAfCoreEvent kind, uint32_t data);

  static constexpr int kPollMs = 200;
  TAfComPortCore::TAfPortEventProc FOnPortEvent;
  std::atomic<bool> fCallbackEnabled{true}; // cleared by StopThread from the owner's thread
};
