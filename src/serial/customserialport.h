#pragma once

#include "serial/comportcore.h"
#include "serial/inputinbox.h"
#include "serial/serialsettings.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <memory>

struct TAfSyncMessage;

// A serial port with typed line parameters, byte-string reads and writes,
// and the core's events delivered as signals on the thread that created it
// (the UI thread), in the order they happened. The event thread reads the
// device itself and never waits for the UI thread, except when the UI thread
// is so far behind that kInputCapacity bytes wait for it: then it stops
// reading until they are taken. One OnDataRecived may carry all the bytes
// read since the previous one. Errors are raised as
// EAfComPortError (or EAfComPortCoreError from opening and settings);
// every operation runs on the UI thread.
class TAfCustomSerialPort : public QObject {
  Q_OBJECT

public:
  ~TAfCustomSerialPort() override;

  // Opens the port when it is not open; OnPortOpen follows a success.
  virtual void Open();
  // Closes the port (when open) and raises OnPortClose. Events still on
  // their way are dropped: no handler runs after OnPortClose.
  virtual void Close();
  bool Active() const;
  void SetActive(bool active);

  TAfBaudrate BaudRate() const { return fSettings.BaudRate; }
  void SetBaudRate(TAfBaudrate value);
  uint32_t UserBaudRate() const { return fSettings.UserBaudRate; }
  void SetUserBaudRate(uint32_t value);
  TAfDatabits Databits() const { return fSettings.Databits; }
  void SetDatabits(TAfDatabits value);
  TAfParity Parity() const { return fSettings.Parity; }
  void SetParity(TAfParity value);
  TAfStopbits Stopbits() const { return fSettings.Stopbits; }
  void SetStopbits(TAfStopbits value);
  TAfFlowControl FlowControl() const { return fSettings.FlowControl; }
  void SetFlowControl(TAfFlowControl value);
  TAfComOptions Options() const { return fSettings.Options; }
  void SetOptions(TAfComOptions value);
  char XOnChar() const { return fSettings.XOnChar; }
  void SetXOnChar(char value);
  char XOffChar() const { return fSettings.XOffChar; }
  void SetXOffChar(char value);
  uint16_t XOnLim() const { return fSettings.XOnLim; }
  void SetXOnLim(uint16_t value);
  uint16_t XOffLim() const { return fSettings.XOffLim; }
  void SetXOffLim(uint16_t value);

  // The output lines: switched at once on an open port.
  bool DTR() const { return fSettings.DTR; }
  void SetDTR(bool value);
  bool RTS() const { return fSettings.RTS; }
  void SetRTS(bool value);

  // Sizes of the input queue and the write ring; only while closed.
  int32_t InBufSize() const { return fInBufSize; }
  void SetInBufSize(int32_t value);
  int32_t OutBufSize() const { return fOutBufSize; }
  void SetOutBufSize(int32_t value);
  TAfThreadPriority EventThreadPriority() const { return fEventThreadPriority; }
  void SetEventThreadPriority(TAfThreadPriority value);
  TAfThreadPriority WriteThreadPriority() const { return fWriteThreadPriority; }
  void SetWriteThreadPriority(TAfThreadPriority value);

  // The modem input lines (MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON);
  // 0 when closed or when the device has no modem lines.
  uint32_t ModemStatus() const;
  bool CTS() const { return ModemStatus() & MS_CTS_ON; }
  bool DSR() const { return ModemStatus() & MS_DSR_ON; }
  bool RING() const { return ModemStatus() & MS_RING_ON; }
  bool RLSD() const { return ModemStatus() & MS_RLSD_ON; }

  // Bytes read from the device and not yet taken, at most up to the next
  // line event still on its way.
  static constexpr int64_t kInputCapacity = 512 * 1024;

  // Everything received and not taken yet.
  QByteArray ReadString();
  // The same, with when each read of the bytes arrived.
  QByteArray ReadString(std::vector<TArrivalMark> &marks);
  // Exactly `Size` bytes, else "Read data error".
  void ReadData(void *Buf, int32_t Size);
  // Into the write ring whole, else "Write data error [requested: n, free: m]".
  virtual void WriteData(const void *Data, qsizetype Size);
  void WriteString(const QByteArray &S);
  int32_t OutBufFree() const;
  int32_t OutBufUsed() const;
  bool PurgeRX();
  bool PurgeTX();

  uint32_t GetNumericBaudrate() const { return fSettings.NumericBaudrate(); }
  // "ttyUSB0: 9600,N,8,1".
  QString SettingsStr() const;
  // The block sent to the device.
  const TAfDCB &DCB() const { return fDCB; }
  // Takes a whole block from outside and applies it.
  void SetDCB(const TAfDCB &dcb);
  // The system's own settings dialog, where there is one.
  virtual bool ExecuteConfigDialog() = 0;

signals:
  void OnPortOpen();
  // The device went away (hang-up, removal); OnPortClose follows at once.
  // A close asked for by the program raises OnPortClose alone.
  void OnDeviceLost();
  void OnPortClose();
  void OnDataRecived(int Count);
  void OnLineError(quint32 Errors);
  void OnCTSChanged();
  void OnDSRChanged();
  void OnRINGDetected();
  void OnRLSDChanged();
  void OnOutBufFree();

protected:
  explicit TAfCustomSerialPort(QObject *parent, std::unique_ptr<TAfComDevice> device);

  virtual void InternalOpen() = 0;
  // The name SettingsStr starts with.
  virtual QString PortLabel() const = 0;
  [[noreturn]] void RaiseError(const QString &Msg) const;
  TAfComPortCore &Core() const { return *fCoreComPort; }
  // Rebuilds the block and applies it to an open port.
  void UpdateDCB();

private:
  void CoreEvent(const TAfPortEvent &event);         // event thread
  void PullInput();                                  // event thread
  void SafeSyncEvent(const TAfSyncMessage &message); // UI thread
  void LineEvent(uint32_t mask, uint32_t errors, uint64_t session);
  bool Live(uint64_t session) const;
  template <class T> void SetSetting(T TAfSerialSettings::*field, T value);

  TAfSerialSettings fSettings;
  TAfDCB fDCB;
  int32_t fInBufSize = 4096;
  int32_t fOutBufSize = 2048;
  TAfThreadPriority fEventThreadPriority = tpNormal;
  TAfThreadPriority fWriteThreadPriority = tpHighest;
  std::atomic<bool> fClosing{false};
  std::atomic<bool> fDestroying{false};
  uint64_t fSession = 0; // counts closes; a dispatch ends when it changes
  uint32_t fSyncID = 0;
  TAfInputInbox fInbox{kInputCapacity};
  std::unique_ptr<TAfComPortCore> fCoreComPort;
};
