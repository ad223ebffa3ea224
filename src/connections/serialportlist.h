#pragma once

#include <QList>
#include <QString>

// One serial port the system knows: its device name ("ttyUSB0") and what
// provides it (the model, else the driver).
struct TSerialPortItem {
  QString name;
  QString description;
  // The list text: "ttyUSB0=ftdi_sio".
  QString Text() const { return name + QLatin1Char('=') + description; }
  bool operator==(const TSerialPortItem &) const = default;
};

// The port name of a list text: everything before "=", the whole text when
// there is none (a path the user typed).
QString PortNameOfItemText(const QString &text);

// Sorted by text, as the port list keeps them.
void SortPortItems(QList<TSerialPortItem> &items);

// A serial-core port the kernel created without hardware behind it (its
// sysfs "type" is 0, PORT_UNKNOWN): listed by the system, useless to open.
bool IsPlaceholderPort(const char *sysfsType);

// The tty devices that have a parent device, placeholders skipped, sorted.
// Read from udev and sysfs; no device is opened.
QList<TSerialPortItem> SystemSerialPorts();
