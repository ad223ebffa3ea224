#include "serial/comport.h"

TAfComPort::TAfComPort(QObject *parent, std::unique_ptr<TAfComDevice> device)
    : TAfCustomSerialPort(parent, std::move(device)) {}

void TAfComPort::SetPortName(const QString &name) {
  if (name == fPortName)
    return;
  if (!Active()) {
    fPortName = name;
    return;
  }
  Close();
  fPortName = name;
  Open();
}

void TAfComPort::InternalOpen() {
  Core().OpenComPort(fPortName);
}
