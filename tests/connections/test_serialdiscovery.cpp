// The serial port list and the device change log lines.
#include "connections/connectiontexts.h"
#include "connections/devicechange.h"
#include "connections/serialportlist.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(DeviceChangeLine, EveryActionAndDeviceKind) {
  const QString usb = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-2");
  const struct {
    TDeviceChange change;
    TDeviceChangeLine line;
  } cases[] = {
      {{"add", "tty", "ttyUSB0", "/devices/x/ttyUSB0"},
       {"system detected a new device - serial, parallel - ttyUSB0", kColorGreen}},
      {{"remove", "tty", "ttyACM1", "/devices/y/ttyACM1"},
       {"device is gone - serial, parallel - ttyACM1", kColorMaroon}},
      {{"change", "usb", "1-2", usb},
       {"type specific event - device interface class - " + usb, kColorNavy}},
      {{"bind", "usb", "1-2", usb},
       {"Msg.Event bind - device interface class - " + usb, kColorRed}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(DeviceChangeLine(c.change), c.line) << c.change.action.toStdString();
}

TEST(SerialPortList, ItemTextsSortingAndPlaceholders) {
  EXPECT_EQ((TSerialPortItem{"ttyUSB0", "ftdi_sio"}).Text(), "ttyUSB0=ftdi_sio");
  EXPECT_EQ(PortNameOfItemText("ttyUSB0=ftdi_sio"), "ttyUSB0");
  EXPECT_EQ(PortNameOfItemText("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(PortNameOfItemText(""), "");

  // By text, as the list shows them: ttyUSB10 before ttyUSB2.
  QList<TSerialPortItem> items{
      {"ttyUSB2", "cp210x"}, {"ttyS4", "serial"}, {"ttyUSB10", "ftdi_sio"}};
  SortPortItems(items);
  EXPECT_EQ(items, (QList<TSerialPortItem>{
                       {"ttyS4", "serial"}, {"ttyUSB10", "ftdi_sio"}, {"ttyUSB2", "cp210x"}}));

  EXPECT_TRUE(IsPlaceholderPort("0"));
  EXPECT_FALSE(IsPlaceholderPort("4"));
  EXPECT_FALSE(IsPlaceholderPort(nullptr)); // not a serial-core port: a USB adapter
}

TEST(SerialPortList, SystemPortsHaveHardwareBehindThem) {
  const QList<TSerialPortItem> ports = SystemSerialPorts();
  QList<TSerialPortItem> sorted = ports;
  SortPortItems(sorted);
  EXPECT_EQ(ports, sorted);
  for (const TSerialPortItem &p : ports) {
    EXPECT_FALSE(p.name.isEmpty());
    // Consoles, the terminal multiplexer and pseudo-terminals are no ports.
    EXPECT_FALSE(p.name == "tty" || p.name == "console" || p.name == "ptmx")
        << p.name.toStdString();
    EXPECT_FALSE(QRegularExpression("^tty[0-9]+$").match(p.name).hasMatch())
        << p.name.toStdString();
  }
}

} // namespace
