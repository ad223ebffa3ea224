#pragma once

// Records the events a port component raises, and on which thread.
#include "serial/comport.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

class TPortRecorder {
public:
  explicit TPortRecorder(TAfComPort &port) : fPort(port) {
    Connect(&TAfComPort::OnPortOpen, "PortOpen");
    Connect(&TAfComPort::OnDeviceLost, "DeviceLost");
    Connect(&TAfComPort::OnPortClose, "PortClose");
    Connect(&TAfComPort::OnCTSChanged, "CTS");
    Connect(&TAfComPort::OnDSRChanged, "DSR");
    Connect(&TAfComPort::OnRINGDetected, "RING");
    Connect(&TAfComPort::OnRLSDChanged, "RLSD");
    Connect(&TAfComPort::OnOutBufFree, "OutBufFree");
    QObject::connect(&port, &TAfComPort::OnDataRecived, [this](int count) {
      Note(QStringLiteral("Data %1").arg(count));
      if (ReadOnData)
        Received += fPort.ReadString();
    });
    QObject::connect(&port, &TAfComPort::OnLineError,
                     [this](quint32 errors) { Note(QStringLiteral("LineError %1").arg(errors)); });
  }

  int Count(const QString &event) const { return int(Events.count(event)); }
  int CountStarting(const QString &prefix) const {
    return int(std::count_if(Events.begin(), Events.end(),
                             [&](const QString &e) { return e.startsWith(prefix); }));
  }

  QStringList Events;
  QByteArray Received;
  bool ReadOnData = true;
  bool AllOnUiThread = true;

private:
  template <class TSignal> void Connect(TSignal signal, const char *name) {
    QObject::connect(&fPort, signal, [this, name] { Note(QString::fromLatin1(name)); });
  }
  void Note(const QString &event) {
    AllOnUiThread = AllOnUiThread && QThread::currentThread() == qApp->thread();
    Events << event;
  }

  TAfComPort &fPort;
};
