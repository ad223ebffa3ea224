#include "app/lastconnection.h"

#include <QSettings>
#include <memory>

namespace {

constexpr char kGroup[] = "LastConnection";

// A stored value when it reads as its type, else the default.
QString ReadStringDefault(const QSettings &s, const QString &name, const QString &def) {
  const QVariant v = s.value(name);
  return v.isValid() && v.canConvert<QString>() ? v.toString() : def;
}

int ReadIntegerDefault(const QSettings &s, const QString &name, int def) {
  bool ok = false;
  const int value = s.value(name).toString().trimmed().toInt(&ok);
  return ok ? value : def;
}

bool ReadBoolDefault(const QSettings &s, const QString &name, bool def) {
  bool ok = false;
  const int value = s.value(name).toString().trimmed().toInt(&ok);
  return ok ? value != 0 : def;
}

template <class T> void WriteIfSet(QSettings &s, const QString &name, const std::optional<T> &v) {
  if (v)
    s.setValue(name, *v);
}

// The native store: the registry key Software\Korvane\Vexlin on Windows,
// ~/.config/Korvane/Vexlin.conf here.
std::unique_ptr<QSettings> OpenSettings() {
  auto s = std::make_unique<QSettings>(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  s->beginGroup(QLatin1String(kGroup));
  return s;
}

} // namespace

TLastConnection TLastConnection::Load() {
  TLastConnection c;
  const std::unique_ptr<QSettings> settings = OpenSettings();
  QSettings &s = *settings;
  s.beginGroup(QStringLiteral("SERIAL_PORT"));
  c.spPort = ReadStringDefault(s, QStringLiteral("sp_port"), *c.spPort);
  c.spSpeed = ReadIntegerDefault(s, QStringLiteral("sp_speed"), *c.spSpeed);
  c.spDataBits = ReadIntegerDefault(s, QStringLiteral("sp_data_bits"), *c.spDataBits);
  c.spStopBits = ReadIntegerDefault(s, QStringLiteral("sp_stop_bits"), *c.spStopBits);
  c.spParity = ReadIntegerDefault(s, QStringLiteral("sp_parity"), *c.spParity);
  c.spFlowControl = ReadIntegerDefault(s, QStringLiteral("sp_flow_control"), *c.spFlowControl);
  c.spLogDSR = ReadBoolDefault(s, QStringLiteral("sp_log_DSR"), c.spLogDSR);
  c.spLogCTS = ReadBoolDefault(s, QStringLiteral("sp_log_CTS"), c.spLogCTS);
  c.spLogRING = ReadBoolDefault(s, QStringLiteral("sp_log_RING"), c.spLogRING);
  c.spLogRSD = ReadBoolDefault(s, QStringLiteral("sp_log_RSD"), c.spLogRSD);
  c.spLogError = ReadBoolDefault(s, QStringLiteral("sp_log_Error"), c.spLogError);
  s.endGroup();
  s.beginGroup(QStringLiteral("TCP_CLIENT"));
  c.tcpHost = ReadStringDefault(s, QStringLiteral("tcp_host"), c.tcpHost);
  c.tcpPort = ReadIntegerDefault(s, QStringLiteral("tcp_port"), c.tcpPort);
  s.endGroup();
  s.beginGroup(QStringLiteral("UDP_CLIENT"));
  c.udpHost = ReadStringDefault(s, QStringLiteral("udp_host"), c.udpHost);
  c.udpPortLocal = ReadIntegerDefault(s, QStringLiteral("udp_port_local"), c.udpPortLocal);
  c.udpPortRemote = ReadIntegerDefault(s, QStringLiteral("udp_port_remote"), c.udpPortRemote);
  s.endGroup();
  c.lastConnection = ReadStringDefault(s, QStringLiteral("last_connection"), c.lastConnection);
  c.connected = ReadBoolDefault(s, QStringLiteral("connected"), c.connected);
  return c;
}

bool TLastConnection::Save(QString *error) const {
  const std::unique_ptr<QSettings> settings = OpenSettings();
  QSettings &s = *settings;
  s.beginGroup(QStringLiteral("SERIAL_PORT"));
  WriteIfSet(s, QStringLiteral("sp_port"), spPort);
  WriteIfSet(s, QStringLiteral("sp_speed"), spSpeed);
  WriteIfSet(s, QStringLiteral("sp_data_bits"), spDataBits);
  WriteIfSet(s, QStringLiteral("sp_stop_bits"), spStopBits);
  WriteIfSet(s, QStringLiteral("sp_parity"), spParity);
  WriteIfSet(s, QStringLiteral("sp_flow_control"), spFlowControl);
  s.setValue(QStringLiteral("sp_log_DSR"), int(spLogDSR));
  s.setValue(QStringLiteral("sp_log_CTS"), int(spLogCTS));
  s.setValue(QStringLiteral("sp_log_RING"), int(spLogRING));
  s.setValue(QStringLiteral("sp_log_RSD"), int(spLogRSD));
  s.setValue(QStringLiteral("sp_log_Error"), int(spLogError));
  s.endGroup();
  s.beginGroup(QStringLiteral("TCP_CLIENT"));
  s.setValue(QStringLiteral("tcp_host"), tcpHost);
  s.setValue(QStringLiteral("tcp_port"), tcpPort);
  s.endGroup();
  s.beginGroup(QStringLiteral("UDP_CLIENT"));
  s.setValue(QStringLiteral("udp_host"), udpHost);
  s.setValue(QStringLiteral("udp_port_local"), udpPortLocal);
  s.setValue(QStringLiteral("udp_port_remote"), udpPortRemote);
  s.endGroup();
  s.setValue(QStringLiteral("last_connection"), lastConnection);
  s.setValue(QStringLiteral("connected"), int(connected));
  s.endGroup();
  s.sync();
  if (s.status() == QSettings::NoError)
    return true;
  if (error)
    *error = s.status() == QSettings::AccessError ? QStringLiteral("access denied or disk full")
                                                  : QStringLiteral("format error");
  return false;
}
