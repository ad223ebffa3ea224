#pragma once

// Device tools for a Pelmar 97 bus: an address scan at a fixed pace, setting
// a device's address and speed, switching its protocol, and the address that
// replaces the one stored in presets when they are sent.

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TComboBoxPelmarAddress;
class TIntEdit;

class TBusTools : public QWidget {
  Q_OBJECT

public:
  explicit TBusTools(QWidget *parent = nullptr);

  // Navy information lines of the scan.
  std::function<void(const QString &text, QColor colour)> LogInfoMsg;

  // Set while address replacement is on: the address chosen for it.
  std::optional<uint8_t> ReplacementAddress() const;
  bool ScanRunning() const;
  // True while a readdress or protocol change waits between its two frames.
  bool SequenceRunning() const { return fSequenceRunning; }

  void btnScanClick();
  void tmrScanTimer();
  void cbbScanAdrFromChange();
  void btnSendReaddrClick();
  void btnProtocolChangeClick();
  void chkADRChangerClick();

  TComboBoxPelmarAddress *cbbScanAdrFrom, *cbbScanAdrTo, *cbbOldADR, *cbbNewADR,
      *cbbProtokolChangeAdr, *cbbADRChanger;
  TIntEdit *ieScanWait;
  QLabel *lblScanInfo;
  QPushButton *btnScan;
  QTimer *tmrScan;
  QComboBox *cbbNewSpeed, *cbbProtocolChangeFrom, *cbbProtocolChangeTo;
  QPushButton *btnSendReaddr, *btnProtocolChange;
  QCheckBox *chkADRChanger;
  QLabel *lblADRChanger;

signals:
  void sendRequested(const QByteArray &data);

private:
  void SetScanControlsEnabled(bool enabled);
  // The timer stops and the scan's controls are back, however it ended.
  void EndScan();
  void Log(const QString &text);
  // Sends `first`, then `second` 200 ms later; the interface stays alive in between.
  void SendPair(const QByteArray &first, const QByteArray &second);

  uint8_t fScanIndex = 0;
  QList<QWidget *> fScanControls;
  bool fSequenceRunning = false;
};
