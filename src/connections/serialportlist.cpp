#include "connections/serialportlist.h"

#include <algorithm>
#include <cstring>
#include <libudev.h>
#include <memory>

namespace {

struct UdevDeleter {
  void operator()(udev *u) const { udev_unref(u); }
  void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
  void operator()(udev_device *d) const { udev_device_unref(d); }
};
template <class T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

QString Text(const char *s) {
  return s ? QString::fromUtf8(s) : QString();
}

// The model when udev knows it, else the driver of the nearest device that
// has one above the serial core's own port devices.
QString Description(udev_device *tty) {
  for (const char *key : {"ID_MODEL_FROM_DATABASE", "ID_MODEL"})
    if (const char *model = udev_device_get_property_value(tty, key); model && *model)
      return Text(model);
  for (udev_device *p = udev_device_get_parent(tty); p; p = udev_device_get_parent(p)) {
    const char *subsystem = udev_device_get_subsystem(p);
    if (subsystem && std::strcmp(subsystem, "serial-base") == 0)
      continue;
    if (const char *driver = udev_device_get_driver(p); driver && *driver)
      return Text(driver);
  }
  return QString();
}

} // namespace

QString PortNameOfItemText(const QString &text) {
  const qsizetype eq = text.indexOf(QLatin1Char('='));
  return eq < 0 ? text : text.left(eq);
}

void SortPortItems(QList<TSerialPortItem> &items) {
  std::sort(items.begin(), items.end(),
            [](const TSerialPortItem &a, const TSerialPortItem &b) { return a.Text() < b.Text(); });
}

bool IsPlaceholderPort(const char *sysfsType) {
  return sysfsType && std::strcmp(sysfsType, "0") == 0;
}

QList<TSerialPortItem> SystemSerialPorts() {
  QList<TSerialPortItem> items;
  UdevPtr<udev> context(udev_new());
  if (!context)
    return items;
  UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return items;
  udev_list_entry *entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevPtr<udev_device> tty(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    // Virtual consoles and pseudo-terminals have no parent device.
    if (!tty || !udev_device_get_parent(tty.get()) || !udev_device_get_devnode(tty.get()))
      continue;
    if (IsPlaceholderPort(udev_device_get_sysattr_value(tty.get(), "type")))
      continue;
    items.append({Text(udev_device_get_sysname(tty.get())), Description(tty.get())});
  }
  SortPortItems(items);
  return items;
}
