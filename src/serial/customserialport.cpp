#include "serial/customserialport.h"

#include "serial/comerrors.h"
#include "serial/safesync.h"

#include <climits>

namespace {

// The hand-off kind of "received bytes wait in the inbox"; the core's kinds
// are below it.
constexpr int kInputReady = 1000;

// Clears a flag when the scope ends, also by an error.
struct TFlagReset {
  std::atomic<bool> &flag;
  ~TFlagReset() { flag = false; }
};

} // namespace

TAfCustomSerialPort::TAfCustomSerialPort(QObject *parent, std::unique_ptr<TAfComDevice> device)
    : QObject(parent), fCoreComPort(std::make_unique<TAfComPortCore>(
                           device ? std::move(device) : AfCreateComDevice())) {
  fCoreComPort->SetOnPortEvent(
      [this](TAfComPortCore &, const TAfPortEvent &event) { CoreEvent(event); });
  fSyncID =
      AfNewSyncSlot([this](uint32_t, const TAfSyncMessage &message) { SafeSyncEvent(message); });
  fDCB = fSettings.BuildDCB();
}

TAfCustomSerialPort::~TAfCustomSerialPort() {
  // No OnPortClose here; a waiting event thread is released by the slot going.
  fDestroying = true;
  fInbox.Stop();
  AfReleaseSyncSlot(fSyncID);
  fCoreComPort.reset();
}

bool TAfCustomSerialPort::Active() const {
  return fCoreComPort && fCoreComPort->IsOpen();
}

void TAfCustomSerialPort::SetActive(bool active) {
  if (active)
    Open();
  else
    Close();
}

void TAfCustomSerialPort::Open() {
  if (Active())
    return;
  AfEnableSyncSlot(fSyncID, true);
  Core().SetDCB(fDCB);
  Core().SetInBuffSize(fInBufSize);
  Core().SetOutBuffSize(fOutBufSize);
  Core().SetEventThreadPriority(fEventThreadPriority);
  Core().SetWriteThreadPriority(fWriteThreadPriority);
  fClosing = false;
  fInbox.Restart();
  try {
    InternalOpen();
  } catch (...) {
    AfEnableSyncSlot(fSyncID, false);
    throw;
  }
  emit OnPortOpen();
}

void TAfCustomSerialPort::Close() {
  if (fClosing)
    return; // a Close from an OnPortClose handler
  fClosing = true;
  TFlagReset closing{fClosing};
  ++fSession;
  // Disabled first: an event thread waiting for a hand-off or for room in
  // the inbox is let go, so stopping it below cannot wait for this thread.
  AfEnableSyncSlot(fSyncID, false);
  fInbox.Stop();
  Core().CloseComPort();
  emit OnPortClose();
}

bool TAfCustomSerialPort::Live(uint64_t session) const {
  return !fClosing && !fDestroying && fSession == session && Active();
}

void TAfCustomSerialPort::CoreEvent(const TAfPortEvent &event) {
  if (fClosing || fDestroying)
    return;
  uint32_t data = event.Data;
  if (event.Kind == ceNeedReadData || (event.Kind == ceLineEvent && (data & EV_RXCHAR))) {
    PullInput();
    data &= ~EV_RXCHAR;
    if (event.Kind == ceNeedReadData || data == 0)
      return;
  }
  // The line errors belong to this event: gathered now, not when the UI
  // thread gets to it.
  uint32_t errors = 0;
  if (event.Kind == ceLineEvent) {
    if (data & EV_ERR)
      Core().ComStatus();
    errors = Core().ComError();
  }
  // Bytes read so far come first; later ones wait behind this event.
  fInbox.Fence();
  if (!AfPostSyncEvent(fSyncID, {event.Kind, data, event.Error, errors}))
    throw EAfSilentAbort();
}

void TAfCustomSerialPort::PullInput() {
  const bool running = fInbox.Fill(
      [this](char *data, int64_t count) {
        return Core().ReadData(data, static_cast<int32_t>(count));
      },
      [this] {
        AfPostSyncEvent(fSyncID, {kInputReady, 0, {}});
      });
  if (!running)
    throw EAfSilentAbort();
}

void TAfCustomSerialPort::SafeSyncEvent(const TAfSyncMessage &message) {
  if (fClosing || fDestroying)
    return;
  if (message.Kind == kInputReady) {
    if (const int64_t count = fInbox.TakeAnnouncement(); count > 0)
      emit OnDataRecived(static_cast<int>(std::min<int64_t>(count, INT32_MAX)));
    return;
  }
  // The bytes read before this event may be taken now, and later ones after it.
  fInbox.PassFence();
  switch (message.Kind) {
  case ceOutFree:
    emit OnOutBufFree();
    break;
  case ceLineEvent:
    LineEvent(message.Data, message.Extra, fSession);
    break;
  case ceNeedReadData:
    emit OnDataRecived(static_cast<int>(message.Data));
    break;
  case ceException:
    if (message.Error)
      std::rethrow_exception(message.Error);
    break;
  case ceDeviceLost:
    emit OnDeviceLost();
    Close();
    break;
  }
}

void TAfCustomSerialPort::LineEvent(uint32_t mask, uint32_t errors, uint64_t session) {
  // Received bytes came through the inbox, ahead of this event.
  if (mask & EV_ERR) {
    emit OnLineError(errors);
    if (!Live(session))
      return;
  }
  using TSignal = void (TAfCustomSerialPort::*)();
  static constexpr std::pair<uint32_t, TSignal> kLines[] = {
      {EV_CTS, &TAfCustomSerialPort::OnCTSChanged},
      {EV_DSR, &TAfCustomSerialPort::OnDSRChanged},
      {EV_RING, &TAfCustomSerialPort::OnRINGDetected},
      {EV_RLSD, &TAfCustomSerialPort::OnRLSDChanged},
  };
  for (const auto &[event, signal] : kLines) {
    if (!(mask & event))
      continue;
    emit(this->*signal)();
    if (!Live(session))
      return;
  }
}

void TAfCustomSerialPort::UpdateDCB() {
  fDCB = fSettings.BuildDCB();
  if (!Active())
    return;
  try {
    Core().SetDCB(fDCB);
  } catch (const EAfComPortCoreError &) {
    // Show what the device really runs with, not what it refused.
    fDCB = Core().DCB();
    fSettings.TakeDCB(fDCB);
    throw;
  }
}

template <class T> void TAfCustomSerialPort::SetSetting(T TAfSerialSettings::*field, T value) {
  if (fSettings.*field == value)
    return;
  fSettings.*field = value;
  UpdateDCB();
}

void TAfCustomSerialPort::SetBaudRate(TAfBaudrate value) {
  if (fSettings.BaudRate == value)
    return;
  fSettings.BaudRate = value;
  if (value != brUser)
    fSettings.UserBaudRate = 0;
  UpdateDCB();
}

void TAfCustomSerialPort::SetUserBaudRate(uint32_t value) {
  if (fSettings.UserBaudRate == value)
    return;
  fSettings.UserBaudRate = value;
  fSettings.BaudRate = brUser;
  UpdateDCB();
}

void TAfCustomSerialPort::SetDatabits(TAfDatabits value) {
  SetSetting(&TAfSerialSettings::Databits, value);
}

void TAfCustomSerialPort::SetParity(TAfParity value) {
  SetSetting(&TAfSerialSettings::Parity, value);
}

void TAfCustomSerialPort::SetStopbits(TAfStopbits value) {
  SetSetting(&TAfSerialSettings::Stopbits, value);
}

void TAfCustomSerialPort::SetFlowControl(TAfFlowControl value) {
  if (fSettings.FlowControl == value)
    return;
  fSettings.FlowControl = value;
  fSettings.CalcXOnXOffLimits(fInBufSize);
  UpdateDCB();
}

void TAfCustomSerialPort::SetOptions(TAfComOptions value) {
  SetSetting(&TAfSerialSettings::Options, value);
}

void TAfCustomSerialPort::SetXOnChar(char value) {
  SetSetting(&TAfSerialSettings::XOnChar, value);
}

void TAfCustomSerialPort::SetXOffChar(char value) {
  SetSetting(&TAfSerialSettings::XOffChar, value);
}

void TAfCustomSerialPort::SetXOnLim(uint16_t value) {
  SetSetting(&TAfSerialSettings::XOnLim, value);
}

void TAfCustomSerialPort::SetXOffLim(uint16_t value) {
  SetSetting(&TAfSerialSettings::XOffLim, value);
}

void TAfCustomSerialPort::SetDTR(bool value) {
  if (fSettings.DTR == value)
    return;
  Core().EscapeComm(value ? efSetDTR : efClrDTR);
  fSettings.DTR = value;
}

void TAfCustomSerialPort::SetRTS(bool value) {
  if (fSettings.RTS == value)
    return;
  Core().EscapeComm(value ? efSetRTS : efClrRTS);
  fSettings.RTS = value;
}

void TAfCustomSerialPort::SetInBufSize(int32_t value) {
  if (Active())
    RaiseError(QStringLiteral("Port is not closed"));
  fInBufSize = value;
  fSettings.CalcXOnXOffLimits(value);
  UpdateDCB();
}

void TAfCustomSerialPort::SetOutBufSize(int32_t value) {
  if (Active())
    RaiseError(QStringLiteral("Port is not closed"));
  fOutBufSize = value;
}

void TAfCustomSerialPort::SetEventThreadPriority(TAfThreadPriority value) {
  fEventThreadPriority = value;
  Core().SetEventThreadPriority(value);
}

void TAfCustomSerialPort::SetWriteThreadPriority(TAfThreadPriority value) {
  fWriteThreadPriority = value;
  Core().SetWriteThreadPriority(value);
}

uint32_t TAfCustomSerialPort::ModemStatus() const {
  return Core().ModemStatus();
}

QByteArray TAfCustomSerialPort::ReadString() {
  if (fClosing)
    return {};
  return fInbox.Take();
}

QByteArray TAfCustomSerialPort::ReadString(std::vector<TArrivalMark> &marks) {
  marks.clear();
  if (fClosing)
    return {};
  return fInbox.Take(&marks);
}

void TAfCustomSerialPort::ReadData(void *Buf, int32_t Size) {
  if (fClosing)
    return;
  if (!fInbox.TakeExactly(Buf, Size))
    RaiseError(QStringLiteral("Read data error"));
}

void TAfCustomSerialPort::WriteData(const void *Data, qsizetype Size) {
  if (fClosing)
    return;
  if (!Core().WriteData(Data, Size))
    RaiseError(QStringLiteral("Write data error [requested: %1, free: %2]")
                   .arg(Size)
                   .arg(Core().OutBuffFree()));
}

void TAfCustomSerialPort::WriteString(const QByteArray &S) {
  if (!S.isEmpty())
    WriteData(S.constData(), S.size());
}

int32_t TAfCustomSerialPort::OutBufFree() const {
  return Core().OutBuffFree();
}

int32_t TAfCustomSerialPort::OutBufUsed() const {
  return Core().OutBuffUsed();
}

bool TAfCustomSerialPort::PurgeRX() {
  fInbox.Clear();
  return Core().PurgeRX();
}

bool TAfCustomSerialPort::PurgeTX() {
  return Core().PurgeTX();
}

QString TAfCustomSerialPort::SettingsStr() const {
  return fSettings.SettingsStr(PortLabel());
}

void TAfCustomSerialPort::SetDCB(const TAfDCB &dcb) {
  if (dcb.DCBlength != kAfDcbLength)
    RaiseError(QStringLiteral("Error setting parameters from DCB"));
  fSettings.TakeDCB(dcb);
  UpdateDCB();
}

void TAfCustomSerialPort::RaiseError(const QString &Msg) const {
  throw EAfComPortError(QStringLiteral("%1 - %2 ").arg(Msg, objectName()));
}
