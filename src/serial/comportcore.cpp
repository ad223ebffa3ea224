#include "serial/comportcore.h"

#include "serial/comerrors.h"
#include "serial/comporteventthread.h"
#include "serial/comportwritethread.h"

#include <utility>

namespace {

constexpr int kThreadStartMs = 3000;

} // namespace

TAfComPortCore::TAfComPortCore(std::unique_ptr<TAfComDevice> device) : FDevice(std::move(device)) {}

TAfComPortCore::~TAfComPortCore() {
  Close();
}

void TAfComPortCore::RaiseError(const QString &message) {
  throw EAfComPortCoreError(message);
}

QString TAfComPortCore::WithDeviceReason(const QString &message) const {
  const QString reason = FDevice->FailureReason();
  return reason.isEmpty() ? message : message + QStringLiteral(": ") + reason;
}

void TAfComPortCore::RaiseDeviceError(const QString &message) {
  RaiseError(WithDeviceReason(message));
}

void TAfComPortCore::RefuseDCB() {
  // The reason first: reading the block back may change it.
  const QString message = WithDeviceReason(QStringLiteral("Error setting parameters from DCB"));
  FDevice->GetCommState(FDCB);
  RaiseError(message);
}

bool TAfComPortCore::OpenComPort(const QString &portName) {
  if (FIsOpen)
    return false;
  FPortName = portName;
  if (portName.isEmpty())
    RaiseError(QStringLiteral("Invalid port number (%1)").arg(portName));
  switch (FDevice->Open(portName)) {
  case TAfDeviceOpen::NotFound:
    RaiseDeviceError(QStringLiteral("Invalid port number (%1)").arg(portName));
  case TAfDeviceOpen::Failed:
    RaiseDeviceError(QStringLiteral("Can't open device %1").arg(portName));
  case TAfDeviceOpen::Opened:
    break;
  }
  FDeviceOpen = true;
  try {
    Configure();
    StartThreads();
  } catch (...) {
    Close();
    throw;
  }
  FIsOpen = true;
  return true;
}

void TAfComPortCore::Configure() {
  // Reads never wait for more than is queued: the device is non-blocking.
  if (FInBuffSize < 1 || FOutBuffSize < 1 || !FDevice->SetupComm(FInBuffSize, FOutBuffSize))
    RaiseError(QStringLiteral("Error initializing buffers"));
  if (!FDevice->SetCommMask(FEventMask))
    RaiseError(QStringLiteral(" Error setting EventMask"));
  if (!FDevice->SetCommState(FDCB))
    RefuseDCB();
  std::lock_guard lock(CritSection);
  FLastError = 0;
}

void TAfComPortCore::StartThreads() {
  try {
    GlobalSignalEvent.Reset();
    WriteThread = std::make_unique<TAfComPortWriteThread>(*this, FOutBuffSize);
    if (!GlobalSignalEvent.Wait(kThreadStartMs))
      RaiseError(QStringLiteral("Error creating threads"));
    WriteThread->SetPriority(FWriteThreadPriority);
    FCanPerformCall = true;
    EventThread = std::make_unique<TAfComPortEventThread>(*this);
    if (!GlobalSignalEvent.Wait(kThreadStartMs))
      RaiseError(QStringLiteral("Error creating threads"));
    EventThread->SetPriority(FEventThreadPriority);
  } catch (const std::system_error &) {
    RaiseError(QStringLiteral("Error creating threads"));
  }
}

void TAfComPortCore::CloseComPort() {
  if (FIsOpen)
    Close();
}

void TAfComPortCore::Close() {
  if (!FDeviceOpen)
    return;
  FCanPerformCall = false;
  {
    std::lock_guard lock(CritSection);
    FDevice->PurgeComm(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  }
  // Not under CritSection: a thread may be on its way into it, and the
  // threads no longer touch the device once they are told to stop.
  if (WriteThread)
    WriteThread->StopThread();
  if (EventThread)
    EventThread->StopThread();
  WriteThread.reset();
  EventThread.reset();
  std::lock_guard lock(CritSection);
  FDevice->Close();
  FDeviceOpen = false;
  FIsOpen = false;
}

bool TAfComPortCore::WriteData(const void *Data, int64_t Size) {
  if (!Ready())
    return false;
  std::lock_guard lock(WriteSection);
  if (!WriteThread->WriteBuffer.Write(Data, Size))
    return false;
  WriteThread->WriteEvent.Set();
  return true;
}

int32_t TAfComPortCore::ReadData(void *Data, int32_t Count) {
  if (!Ready())
    return -1;
  std::lock_guard lock(CritSection);
  const int64_t n = FDevice->Read(Data, Count);
  return n < 0 ? 0 : static_cast<int32_t>(n);
}

TAfComStat TAfComPortCore::ComStatus() {
  if (!Ready())
    return {};
  std::lock_guard lock(CritSection);
  uint32_t errors = 0;
  TAfComStat stat;
  if (!FDevice->ClearCommError(errors, stat))
    return {};
  FLastError |= errors;
  return stat;
}

uint32_t TAfComPortCore::ComError() {
  if (!Ready())
    return 0;
  std::lock_guard lock(CritSection);
  return std::exchange(FLastError, 0);
}

uint32_t TAfComPortCore::ModemStatus() {
  uint32_t status = 0;
  if (!Ready() || !FDevice->GetCommModemStatus(status))
    return 0;
  return status;
}

bool TAfComPortCore::EscapeComm(TAfEscapeFunc Func) {
  return Ready() && FDevice->EscapeCommFunction(Func);
}

int32_t TAfComPortCore::OutBuffFree() {
  if (!Ready())
    return 0;
  std::lock_guard lock(WriteSection);
  return WriteThread->WriteBuffer.BufFree();
}

int32_t TAfComPortCore::OutBuffUsed() {
  if (!Ready())
    return 0;
  std::lock_guard lock(WriteSection);
  return WriteThread->WriteBuffer.BufUsed();
}

bool TAfComPortCore::PurgeRX() {
  if (!Ready())
    return false;
  std::lock_guard lock(CritSection);
  return FDevice->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TAfComPortCore::PurgeTX() {
  return Ready() && WriteThread->PurgeTX();
}

void TAfComPortCore::SetDCB(const TAfDCB &dcb) {
  FDCB = dcb;
  if (!Ready())
    return;
  std::lock_guard lock(CritSection);
  if (!FDevice->SetCommState(FDCB))
    RefuseDCB();
}

void TAfComPortCore::SetEventThreadPriority(TAfThreadPriority priority) {
  FEventThreadPriority = priority;
  if (Ready() && EventThread)
    EventThread->SetPriority(priority);
}

void TAfComPortCore::SetWriteThreadPriority(TAfThreadPriority priority) {
  FWriteThreadPriority = priority;
  if (Ready() && WriteThread)
    WriteThread->SetPriority(priority);
}
