#include "connections/captureoptions.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kCapture = QStringLiteral("capture");
const QString kParser = QStringLiteral("parser");
const QString kMaxLength = QStringLiteral("max-length");
const QString kLog = QStringLiteral("log");
const QString kSend = QStringLiteral("send");
const QString kInterval = QStringLiteral("interval");
const QString kRespond = QStringLiteral("respond");

bool Fail(QString *error, const QString &message) {
  if (error)
    *error = message;
  return false;
}

// A whole decimal number within [low, high].
bool Number(const QString &text, int low, int high, int &value) {
  bool ok = false;
  const qlonglong number = text.toLongLong(&ok);
  if (!ok || text.startsWith(u'+') || number < low || number > high)
    return false;
  value = static_cast<int>(number);
  return true;
}

bool Port(const QString &text, int &port) {
  return Number(text, 1, 65535, port);
}

// "HOST:PORT", with an IPv6 host in brackets.
bool HostAndPort(const QString &text, QString &host, int &port) {
  const qsizetype colon = text.lastIndexOf(u':');
  if (colon <= 0 || !Port(text.mid(colon + 1), port))
    return false;
  host = text.left(colon);
  if (host.startsWith(u'[') && host.endsWith(u']'))
    host = host.mid(1, host.size() - 2);
  return !host.isEmpty();
}

// "SPEED[,PARITY,DATA,STOP]" after the serial port's path.
bool LineSettings(const QString &text, TCaptureTarget &target) {
  static const QRegularExpression kSettings(
      QStringLiteral("^(\\d{1,7})(?:,([NOEMS]),([5-8]),(1|1\\.5|2))?$"),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = kSettings.match(text);
  int speed = 0;
  if (!match.hasMatch() || !Number(match.captured(1), 50, 4000000, speed))
    return false;
  target.speed = static_cast<uint32_t>(speed);
  if (match.hasCaptured(2)) {
    target.parity = match.captured(2).toUpper().at(0).toLatin1();
    target.dataBits = match.captured(3).toInt();
    target.stopBits = match.captured(4);
  }
  return true;
}

bool ParseSerial(const QString &rest, TCaptureTarget &target, QString *error) {
  target.kind = TCaptureTarget::Serial;
  target.path = rest;
  // Paths may hold colons themselves (/dev/serial/by-path/pci-0000:00:14.0-…):
  // a last part that reads as line settings is taken for them; one that
  // only looks like them ("abc", "9600,X") is a mistake to name, not a part
  // of the path, unless the whole names an existing file.
  const qsizetype colon = rest.lastIndexOf(u':');
  if (colon > 0) {
    const QString last = rest.mid(colon + 1);
    static const QRegularExpression kSettingsCharacters(QStringLiteral("^[0-9A-Za-z.,]*$"));
    if (LineSettings(last, target))
      target.path = rest.left(colon);
    else if (kSettingsCharacters.match(last).hasMatch() && !QFileInfo::exists(rest))
      return Fail(error, QStringLiteral("\"%1\" are not serial line settings (SPEED or "
                                        "SPEED,PARITY,DATA,STOP, e.g. 115200,E,8,1)")
                             .arg(last));
  }
  if (target.path.isEmpty())
    return Fail(error, QStringLiteral("the serial target names no port"));
  return true;
}

bool ParseUdp(const QString &rest, TCaptureTarget &target, QString *error) {
  target.kind = TCaptureTarget::Udp;
  const qsizetype colon = rest.indexOf(u':');
  const QString listen = colon < 0 ? rest : rest.left(colon);
  if (!Number(listen, 0, 65535, target.listenPort))
    return Fail(error,
                QStringLiteral("\"%1\" is not a port to listen on (0 to 65535)").arg(listen));
  if (colon >= 0 && !HostAndPort(rest.mid(colon + 1), target.host, target.port))
    return Fail(error,
                QStringLiteral("\"%1\" is not REMOTEHOST:REMOTEPORT").arg(rest.mid(colon + 1)));
  return true;
}

bool ParseParser(const QString &text, TCaptureOptions &options, QString *error) {
  const QString lower = text.toLower();
  if (lower == QLatin1String("s97")) {
    options.parser = TCaptureOptions::S97;
  } else if (lower.startsWith(QLatin1String("suffix:"))) {
    options.parser = TCaptureOptions::Suffix;
    if (!HexPairsToBin(text.mid(7), options.suffix))
      return Fail(
          error,
          QStringLiteral("the suffix \"%1\" is not pairs of hexadecimal digits").arg(text.mid(7)));
  } else if (lower.startsWith(QLatin1String("length:"))) {
    options.parser = TCaptureOptions::Length;
    if (!Number(text.mid(7), 1, 65536, options.length))
      return Fail(
          error,
          QStringLiteral("the length \"%1\" is not a number from 1 to 65536").arg(text.mid(7)));
  } else if (lower == QLatin1String("modbus-rtu")) {
    options.parser = TCaptureOptions::ModbusRtu;
  } else if (lower == QLatin1String("modbus-ascii")) {
    options.parser = TCaptureOptions::ModbusAscii;
  } else if (lower == QLatin1String("modbus-tcp")) {
    options.parser = TCaptureOptions::ModbusTcp;
  } else if (lower.startsWith(QLatin1String("gap:"))) {
    options.parser = TCaptureOptions::Gap;
    if (!Number(text.mid(4), 0, 1000000000, options.gapMs))
      return Fail(error, QStringLiteral("the pause \"%1\" is not a number of milliseconds from 0 "
                                        "to 1000000000")
                             .arg(text.mid(4)));
  } else if (lower.startsWith(QLatin1String("lenfield:"))) {
    options.parser = TCaptureOptions::LengthField;
    return ParseLengthFieldSpec(text.mid(9), options.lengthField, error);
  } else {
    return Fail(error, QStringLiteral("unknown parser \"%1\" (s97, suffix:HEX, length:N, "
                                      "modbus-rtu, modbus-ascii, modbus-tcp, gap:MS or "
                                      "lenfield:FIELD)")
                           .arg(text));
  }
  return true;
}

} // namespace

bool ParseLengthFieldSpec(const QString &text, TLengthFieldFormat &format, QString *error) {
  format = TLengthFieldFormat();
  if (text.isEmpty())
    return true;
  for (const QString &item : text.split(u',')) {
    const qsizetype equals = item.indexOf(u'=');
    const QString key = item.left(equals).trimmed().toLower();
    const QString value = equals < 0 ? QString() : item.mid(equals + 1).trimmed();
    bool ok = equals > 0;
    if (ok && key == QLatin1String("offset")) {
      ok = Number(value, 0, 65535, format.Offset);
    } else if (ok && key == QLatin1String("size")) {
      ok = Number(value, 1, 4, format.Size) && format.Size != 3;
    } else if (ok && key == QLatin1String("order")) {
      ok = value.compare(QLatin1String("be"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1String("le"), Qt::CaseInsensitive) == 0;
      format.BigEndian = value.compare(QLatin1String("le"), Qt::CaseInsensitive) != 0;
    } else if (ok && key == QLatin1String("add")) {
      ok = Number(value.startsWith(u'+') ? value.mid(1) : value, -65536, 65536, format.Add);
    } else if (ok && key == QLatin1String("start")) {
      ok = HexPairsToBin(value, format.Start) && format.Start.size() <= 64;
    } else {
      ok = false;
    }
    if (!ok)
      return Fail(error, QStringLiteral("\"%1\" is not one of offset=N, size=1|2|4, order=be|le, "
                                        "add=N or start=HEX")
                             .arg(item));
  }
  return true;
}

void AddCaptureOptions(QCommandLineParser &parser) {
  parser.addOption(
      {kCapture,
       QStringLiteral("Capture without a window from serial:PATH[:SPEED[,PARITY,DATA,"
                      "STOP]], tcp:HOST:PORT or udp:LISTENPORT[:REMOTEHOST:REMOTEPORT]."),
       QStringLiteral("TARGET")});
  parser.addOption({kParser,
                    QStringLiteral("With --capture: how packets are cut: s97 (default), "
                                   "suffix:HEX, length:N, modbus-rtu, modbus-ascii, modbus-tcp, "
                                   "gap:MS (a packet ends after MS milliseconds without a byte) "
                                   "or lenfield:FIELD (a length field; FIELD is comma-separated "
                                   "offset=N, size=1|2|4, order=be|le, add=N, start=HEX, by "
                                   "default offset=0,size=1,order=be,add=0)."),
                    QStringLiteral("PARSER")});
  parser.addOption({kMaxLength,
                    QStringLiteral("With --capture: the longest packet in bytes, 0 for no limit "
                                   "(default 1024)."),
                    QStringLiteral("N")});
  parser.addOption({kLog,
                    QStringLiteral("With --capture: the log file rows are appended to, - for "
                                   "standard output (default)."),
                    QStringLiteral("FILE")});
  parser.addOption({kSend,
                    QStringLiteral("With --capture: command text to send, repeatable (\"AT\\r\", "
                                   "\"{0x2A,0x61}\"). Without --capture: HEX bytes the running "
                                   "window sends as typed; further HEX arguments follow them."),
                    QStringLiteral("TEXT")});
  parser.addOption({kInterval,
                    QStringLiteral("With --capture: milliseconds between the texts of --send "
                                   "(default 1000)."),
                    QStringLiteral("MS")});
  parser.addOption({kRespond,
                    QStringLiteral("With --capture: answer what arrives by the rules and the "
                                   "Modbus device of FILE (the format of pt.responder.xml)."),
                    QStringLiteral("FILE")});
}

bool CaptureRequested(const QCommandLineParser &parser) {
  return parser.isSet(kCapture);
}

bool ParseCaptureTarget(const QString &text, TCaptureTarget &target, QString *error) {
  const qsizetype colon = text.indexOf(u':');
  const QString kind = text.left(colon).toLower();
  const QString rest = colon < 0 ? QString() : text.mid(colon + 1);
  if (colon > 0 && kind == QLatin1String("serial"))
    return ParseSerial(rest, target, error);
  if (colon > 0 && kind == QLatin1String("tcp")) {
    target.kind = TCaptureTarget::Tcp;
    if (!HostAndPort(rest, target.host, target.port))
      return Fail(error, QStringLiteral("\"%1\" is not HOST:PORT").arg(rest));
    return true;
  }
  if (colon > 0 && kind == QLatin1String("udp"))
    return ParseUdp(rest, target, error);
  return Fail(error,
              QStringLiteral("unknown capture target \"%1\" (serial:, tcp: or udp:)").arg(text));
}

bool ReadCaptureOptions(const QCommandLineParser &parser, TCaptureOptions &options,
                        QString *error) {
  if (parser.values(kCapture).size() != 1)
    return Fail(error, QStringLiteral("give exactly one --capture target"));
  if (!ParseCaptureTarget(parser.value(kCapture), options.target, error))
    return false;
  if (parser.isSet(kParser) && !ParseParser(parser.value(kParser), options, error))
    return false;
  if (parser.isSet(kMaxLength) && !Number(parser.value(kMaxLength), 0, 65536, options.maxLength))
    return Fail(error, QStringLiteral("--max-length \"%1\" is not a number from 0 to 65536")
                           .arg(parser.value(kMaxLength)));
  if (parser.isSet(kLog)) {
    options.log = parser.value(kLog);
    if (options.log.isEmpty())
      return Fail(error, QStringLiteral("--log needs a file name or -"));
  }
  if (parser.isSet(kInterval) && !Number(parser.value(kInterval), 0, 86400000, options.intervalMs))
    return Fail(error, QStringLiteral("--interval \"%1\" is not a number of milliseconds")
                           .arg(parser.value(kInterval)));
  for (const QString &text : parser.values(kSend)) {
    try {
      options.sends.append(ConvertToBinnaryEx(AnsiFromText(text), true));
    } catch (const std::exception &e) {
      return Fail(error, QStringLiteral("--send \"%1\": %2").arg(text, ExceptionText(e)));
    }
  }
  if (parser.isSet(kRespond)) {
    QString reason;
    if (parser.values(kRespond).size() != 1)
      return Fail(error, QStringLiteral("give one --respond file"));
    if (!LoadResponderFile(parser.value(kRespond), options.responder, reason))
      return Fail(error, QStringLiteral("--respond: %1").arg(reason));
    options.respond = true;
  }
  if (!options.sends.isEmpty() && options.target.kind == TCaptureTarget::Udp &&
      options.target.host.isEmpty())
    return Fail(error,
                QStringLiteral("--send over udp needs udp:LISTENPORT:REMOTEHOST:REMOTEPORT"));
  return true;
}
