#pragma once

#include <QString>
#include <optional>

// The transports' settings and the last used transport, kept between runs
// in the user's settings (organisation "Korvane", application "Vexlin").
struct TLastConnection {
  // "SERIAL_PORT": the port's device name and the list positions. A value
  // left empty is not written, so the stored one stays.
  std::optional<QString> spPort = QStringLiteral("ttyUSB0");
  std::optional<int> spSpeed = 9600;
  std::optional<int> spDataBits = 4; // the item "8"
  std::optional<int> spStopBits = 0;
  std::optional<int> spParity = 0;
  std::optional<int> spFlowControl = 0;
  bool spLogDSR = true, spLogCTS = true, spLogRING = true, spLogRSD = true, spLogError = true;
  // Reopen the port when its device comes back after an unplug, waiting at
  // most this many minutes (0: for ever).
  bool spReopen = false;
  int spReopenMinutes = 0;
  // "TCP_CLIENT"
  QString tcpHost = QStringLiteral("192.168.1.254");
  int tcpPort = 10001;
  // "UDP_CLIENT"
  QString udpHost = QStringLiteral("127.0.0.1");
  int udpPortLocal = 10001;
  int udpPortRemote = 10001;
  // "SERIAL_PORT", "TCP_CLIENT", "UDP_CLIENT" or empty, and whether it was up.
  QString lastConnection;
  bool connected = false;

  // Every value stored, or its default when missing or not of its type.
  static TLastConnection Load();
  // Writes every value that is set; false with `error` when the settings
  // file could not be written.
  bool Save(QString *error = nullptr) const;
};
