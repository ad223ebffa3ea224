#include "app/lastconnection.h"

#include <QSettings>

namespace {

// Reads each value into the field, keeping the field's default when the
// value is missing or not of its type.
class TReader {
public:
  explicit TReader(QSettings &s) : fSettings(s) {}
  void operator()(const char *name, QString &field) const {
    const QVariant v = fSettings.value(QLatin1String(name));
    if (v.isValid() && v.canConvert<QString>())
      field = v.toString();
  }
  void operator()(const char *name, int &field) const { Integer(name, field); }
  void operator()(const char *name, bool &field) const {
    int value = field;
    if (Integer(name, value))
      field = value != 0;
  }
  template <class T> void operator()(const char *name, std::optional<T> &field) const {
    (*this)(name, *field); // every optional starts with its default
  }

private:
  bool Integer(const char *name, int &field) const {
    bool ok = false;
    const int value = fSettings.value(QLatin1String(name)).toString().trimmed().toInt(&ok);
    if (ok)
      field = value;
    return ok;
  }
  QSettings &fSettings;
};

// Writes each value; an empty optional leaves the stored one as it was.
class TWriter {
public:
  explicit TWriter(QSettings &s) : fSettings(s) {}
  void operator()(const char *name, const QString &field) const {
    fSettings.setValue(QLatin1String(name), field);
  }
  void operator()(const char *name, int field) const {
    fSettings.setValue(QLatin1String(name), field);
  }
  void operator()(const char *name, bool field) const {
    fSettings.setValue(QLatin1String(name), int(field));
  }
  template <class T> void operator()(const char *name, const std::optional<T> &field) const {
    if (field)
      (*this)(name, *field);
  }

private:
  QSettings &fSettings;
};

// Every value with its name and group, for reading and writing alike. The
// native store is the registry key Software\Korvane\Vexlin\LastConnection
// on Windows, ~/.config/Korvane/Vexlin.conf here.
template <class TConnection, class TIo> void Visit(TConnection &c, QSettings &s, const TIo &io) {
  s.beginGroup(QStringLiteral("LastConnection"));
  s.beginGroup(QStringLiteral("SERIAL_PORT"));
  io("sp_port", c.spPort);
  io("sp_speed", c.spSpeed);
  io("sp_data_bits", c.spDataBits);
  io("sp_stop_bits", c.spStopBits);
  io("sp_parity", c.spParity);
  io("sp_flow_control", c.spFlowControl);
  io("sp_log_DSR", c.spLogDSR);
  io("sp_log_CTS", c.spLogCTS);
  io("sp_log_RING", c.spLogRING);
  io("sp_log_RSD", c.spLogRSD);
  io("sp_log_Error", c.spLogError);
  io("sp_reopen", c.spReopen);
  io("sp_reopen_minutes", c.spReopenMinutes);
  s.endGroup();
  s.beginGroup(QStringLiteral("TCP_CLIENT"));
  io("tcp_host", c.tcpHost);
  io("tcp_port", c.tcpPort);
  s.endGroup();
  s.beginGroup(QStringLiteral("UDP_CLIENT"));
  io("udp_host", c.udpHost);
  io("udp_port_local", c.udpPortLocal);
  io("udp_port_remote", c.udpPortRemote);
  s.endGroup();
  io("last_connection", c.lastConnection);
  io("connected", c.connected);
  s.endGroup();
}

} // namespace

TLastConnection TLastConnection::Load() {
  TLastConnection c;
  QSettings s(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  Visit(c, s, TReader(s));
  return c;
}

bool TLastConnection::Save(QString *error) const {
  QSettings s(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  Visit(*this, s, TWriter(s));
  s.sync();
  if (s.status() == QSettings::NoError)
    return true;
  if (error)
    *error = s.status() == QSettings::AccessError ? QStringLiteral("access denied or disk full")
                                                  : QStringLiteral("format error");
  return false;
}
