#pragma once

#include "serial/customserialport.h"

// The serial port named by its device: "ttyUSB0" for /dev/ttyUSB0, or an
// absolute path such as /dev/pts/3.
class TAfComPort final : public TAfCustomSerialPort {
  Q_OBJECT

public:
  // `device` replaces the platform's device (tests); none means the platform's.
  explicit TAfComPort(QObject *parent = nullptr, std::unique_ptr<TAfComDevice> device = nullptr);

  QString PortName() const { return fPortName; }
  // An open port is closed, renamed and opened again, with both events.
  void SetPortName(const QString &name);

  // There is no system dialog for serial settings here.
  bool ExecuteConfigDialog() override { return false; }

protected:
  void InternalOpen() override;
  QString PortLabel() const override { return fPortName; }

private:
  QString fPortName;
};
