#pragma once

#include "pipeline/vexlinview.h"

#include <QObject>
#include <QString>
#include <optional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// What the system said about one device.
struct TDeviceChange {
  QString action;    // "add", "remove", "change", "bind", ...
  QString subsystem; // "tty", "usb", ...
  QString sysname;   // "ttyUSB0"
  QString devpath;   // "/devices/pci0000:00/.../ttyUSB0"
};

struct TDeviceChangeLine {
  QString text;
  TColor color;
  bool operator==(const TDeviceChangeLine &) const = default;
};

// The log line of a device change: event text, " - ", device type text,
// " - ", detail ("system detected a new device - serial, parallel - ttyUSB0").
TDeviceChangeLine DeviceChangeLine(const TDeviceChange &change);

// Watches the system's device events on the UI thread's event loop. At
// first only serial ports coming and going are reported, as a user expects
// without asking; WatchAllDevices widens that to every device and event.
class TDeviceChangeMonitor : public QObject {
  Q_OBJECT
public:
  explicit TDeviceChangeMonitor(QObject *parent = nullptr);
  ~TDeviceChangeMonitor() override;

  // False when the system offers no device events (no udev here).
  bool Start();
  bool WatchAllDevices();
  bool WatchingAll() const { return fAll; }

signals:
  void deviceChanged(const TDeviceChange &change);

private:
  bool Listen(bool all);
  void Stop();
  void Receive();

  udev *fUdev = nullptr;
  udev_monitor *fMonitor = nullptr;
  QSocketNotifier *fNotifier = nullptr;
  bool fAll = false;
};
