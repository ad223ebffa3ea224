#include "connections/devicechange.h"

#include "connections/connectiontexts.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace {

struct TEventText {
  const char *action;
  const char *text;
  TColor color;
};

// udev's actions in the words the log has always used for them.
constexpr TEventText kEvents[] = {
    {"add", "system detected a new device", kColorGreen},
    {"remove", "device is gone", kColorMaroon},
    {"change", "type specific event", kColorNavy},
};

QString Text(const char *s) {
  return s ? QString::fromUtf8(s) : QString();
}

} // namespace

TDeviceChangeLine DeviceChangeLine(const TDeviceChange &change) {
  QString event = QStringLiteral("Msg.Event ") + change.action;
  TColor color = kColorRed;
  for (const TEventText &e : kEvents)
    if (change.action == QLatin1String(e.action)) {
      event = QLatin1String(e.text);
      color = e.color;
    }
  const bool port = change.subsystem == QLatin1String("tty");
  const QString type =
      port ? QStringLiteral("serial, parallel") : QStringLiteral("device interface class");
  const QString detail = port ? change.sysname : change.devpath;
  return {event + QStringLiteral(" - ") + type + QStringLiteral(" - ") + detail, color};
}

TDeviceChangeMonitor::TDeviceChangeMonitor(QObject *parent) : QObject(parent) {}

TDeviceChangeMonitor::~TDeviceChangeMonitor() {
  Stop();
  if (fUdev)
    udev_unref(fUdev);
}

bool TDeviceChangeMonitor::Start() {
  return Listen(false);
}

bool TDeviceChangeMonitor::WatchAllDevices() {
  return Listen(true);
}

bool TDeviceChangeMonitor::Listen(bool all) {
  Stop();
  if (!fUdev && !(fUdev = udev_new()))
    return false;
  fMonitor = udev_monitor_new_from_netlink(fUdev, "udev");
  if (!fMonitor)
    return false;
  if ((!all && udev_monitor_filter_add_match_subsystem_devtype(fMonitor, "tty", nullptr) < 0) ||
      udev_monitor_enable_receiving(fMonitor) < 0) {
    Stop();
    return false;
  }
  fAll = all;
  fNotifier = new QSocketNotifier(udev_monitor_get_fd(fMonitor), QSocketNotifier::Read, this);
  connect(fNotifier, &QSocketNotifier::activated, this, &TDeviceChangeMonitor::Receive);
  return true;
}

void TDeviceChangeMonitor::Stop() {
  delete fNotifier;
  fNotifier = nullptr;
  if (fMonitor)
    udev_monitor_unref(fMonitor);
  fMonitor = nullptr;
}

void TDeviceChangeMonitor::Receive() {
  while (udev_device *device = udev_monitor_receive_device(fMonitor)) {
    TDeviceChange change{
        Text(udev_device_get_action(device)), Text(udev_device_get_subsystem(device)),
        Text(udev_device_get_sysname(device)), Text(udev_device_get_devpath(device))};
    udev_device_unref(device);
    // Without the wider watch only ports coming and going are of interest.
    if (fAll || change.action == QLatin1String("add") || change.action == QLatin1String("remove"))
      emit deviceChanged(change);
  }
}
