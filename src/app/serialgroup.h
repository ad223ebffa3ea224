#pragma once

#include "base/arrivalclock.h"
#include "connections/serialportlist.h"
#include "pipeline/vexlinview.h"

#include <QGroupBox>
#include <functional>
#include <span>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TAfComPort;
class TIntEdit;
class TSerialReopenWatch;
struct TDeviceChange;
struct TLastConnection;

// What the window lends the serial group.
struct TSerialGroupWindow {
  std::function<void(const QString &text, TColor color)> LogInfoMsg;
  // The status bar's connection panel (unchanged for an empty text).
  std::function<void(const QString &text)> StatusBarRefresh;
  std::function<void()> PanelRefresh;
  // Remembers the serial port as the last used transport.
  std::function<void()> RememberSerial;
  // The bytes, and when each read of them arrived.
  std::function<void(const QByteArray &data, std::span<const TArrivalMark> marks)> Receive;
};

// The "Sériový port" group: the port and its line parameters, applied live
// to an open port with a log line for each change, the open/close button,
// the choice of line events to log, and the port's events turned into log
// lines and received data. When the device goes away and "Znovu otevřít po
// odpojení" is checked, the group waits for it and opens the port again.
class TSerialPortGroup : public QGroupBox {
  Q_OBJECT
public:
  TSerialPortGroup(TAfComPort &port, TSerialGroupWindow window, QWidget *parent = nullptr);

  void btnOpenCloseClick();
  void cbbComPortChange();
  void cbbBaudRateChange();
  void cbbDataBitsChange();
  void cbbParityChange();
  void cbbStopBitsChange();
  void cbbFlowControlChange();
  void btnComPortDefaultSettingsClick();
  void btnComPortSystemSettingsClick();
  void btnComPortSystemSettings2Click();

  // Fills the port list from the system and selects the port's item.
  void RefreshComList();
  // While the port is open the lists show what it really uses.
  void ShowPortSettings();
  // Height for the log-events group shown or hidden; then layoutChanged.
  void SerialLogSettingsReorganize();
  // What the connection panel enables and disables as one.
  QList<QWidget *> SerialSet() const;
  bool SpeedEditable() const;

  // A device event from the system: it may be the lost device coming back.
  void DeviceChanged(const TDeviceChange &change);
  // Waiting for the lost device to come back.
  bool WaitingForDevice() const;

  // The saved settings into the lists (nothing is applied until the port
  // opens), and back.
  void LoadSettings(const TLastConnection &saved);
  void StoreSettings(TLastConnection &saved) const;

  // The system's ports; tests replace it.
  std::function<QList<TSerialPortItem>()> PortLister = SystemSerialPorts;

  QLabel *lblCOM = nullptr;
  QComboBox *cbbComPort = nullptr;
  QPushButton *btnComPortsRefresh = nullptr;
  QLabel *lblBaudRate = nullptr;
  QComboBox *cbbBaudRate = nullptr;
  QLabel *lblDataBits = nullptr;
  QComboBox *cbbDataBits = nullptr;
  QLabel *lblParity = nullptr;
  QComboBox *cbbParity = nullptr;
  QLabel *lblStopBits = nullptr;
  QComboBox *cbbStopBits = nullptr;
  QLabel *lblFlowControl = nullptr;
  QComboBox *cbbFlowControl = nullptr;
  QPushButton *btnOpenClose = nullptr;
  QPushButton *btnComPortSystemSettings = nullptr;
  QPushButton *btnComPortSystemSettings2 = nullptr;
  QPushButton *btnComPortDefaultSettings = nullptr;
  QGroupBox *grpSerialLogSettings = nullptr;
  QCheckBox *chkSerialPortLogDSR = nullptr;
  QCheckBox *chkSerialPortLogCTS = nullptr;
  QCheckBox *chkSerialPortLogRING = nullptr;
  QCheckBox *chkSerialPortLogRSD = nullptr;
  QCheckBox *chkSerialPortLogErrors = nullptr;
  QCheckBox *chkSerialReopen = nullptr;
  TIntEdit *ieSerialReopenMinutes = nullptr; // how long to wait; 0: for ever
  QLabel *lblSerialReopenMinutes = nullptr;

  static constexpr int kHeightWithLog = 281;
  static constexpr int kHeightWithoutLog = 217;

signals:
  void layoutChanged();

private:
  void BuildControls();
  void ConnectPort();
  void SetSpeedEditable(bool editable);
  void SpeedTextChange();
  void SpeedSelected(int index);
  void SelectSpeed(uint32_t rate);
  void SelectPortItem(const QString &name);
  // The green change line and the settings on the status bar.
  void ReportChange();
  void StatusBarSerialPortUpdate();
  // One of the four position lists: apply when it differs, log either way.
  void PositionListChange(QComboBox *list, const char *what, int portValue,
                          const std::function<void(int)> &apply);
  void LineEvent(QCheckBox *enabled, const char *name, bool state);
  void Log(const QString &text, TColor color);
  // The port closed: wait for the device when it was lost and that is asked.
  void PortClosed();
  void ReopenPort();
  // Stops waiting for the device, saying so when it was waiting.
  void StopWaiting();

  TAfComPort &fPort;
  TSerialGroupWindow fWindow;
  TSerialReopenWatch *fReopen = nullptr;
  bool fDeviceLost = false; // the close under way is the device's going
};
