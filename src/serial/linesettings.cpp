#include "serial/linesettings.h"

namespace {

constexpr uint32_t kUnsupportedFlags =
    kAfDcbOutxDsrFlow | kAfDcbDsrSensitivity | kAfDcbErrorChar | kAfDcbNull | kAfDcbAbortOnError;

const char *const kParityNames[] = {"none", "odd", "even", "mark", "space"};

QString StopBitsName(uint8_t stopBits) {
  return stopBits == 0   ? QStringLiteral("1")
         : stopBits == 1 ? QStringLiteral("1.5")
         : stopBits == 2 ? QStringLiteral("2")
                         : QString::number(stopBits);
}

// Why a termios device cannot take `dcb`, naming the setting and its value;
// empty when it can.
QString RefusedSetting(const TAfDCB &dcb) {
  const uint32_t flags = dcb.Flags;
  const uint32_t rtsControl = flags & kAfDcbRtsControl;
  const uint32_t dtrControl = flags & kAfDcbDtrControl;
  const bool ctsFlow = flags & kAfDcbOutxCtsFlow;
  if (dcb.BaudRate == 0)
    return QStringLiteral("baud rate 0");
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8)
    return QStringLiteral("data bits %1").arg(dcb.ByteSize);
  if (dcb.Parity > 4)
    return QStringLiteral("parity %1").arg(dcb.Parity);
  if (dcb.StopBits > 2 || (dcb.StopBits == 1 && dcb.ByteSize != 5) ||
      (dcb.StopBits == 2 && dcb.ByteSize == 5))
    return QStringLiteral("stop bits %1 with %2 data bits")
        .arg(StopBitsName(dcb.StopBits))
        .arg(dcb.ByteSize);
  if (flags & kAfDcbOutxDsrFlow || dtrControl == kAfDcbDtrHandshake)
    return QStringLiteral("flow control DTR/DSR");
  if (flags & kUnsupportedFlags)
    return QStringLiteral("driver option 0x%1").arg(flags & kUnsupportedFlags, 4, 16, QChar(u'0'));
  if (dtrControl == kAfDcbDtrControl || rtsControl == kAfDcbRtsControl)
    return QStringLiteral("%1 control 3").arg(dtrControl == kAfDcbDtrControl ? "DTR" : "RTS");
  if (ctsFlow != (rtsControl == kAfDcbRtsHandshake))
    return ctsFlow ? QStringLiteral("CTS flow control without RTS handshake")
                   : QStringLiteral("RTS handshake without CTS flow control");
  const bool xonXoff = flags & (kAfDcbOutX | kAfDcbInX);
  if (xonXoff && dcb.XonChar == dcb.XoffChar)
    return QStringLiteral("XON and XOFF both character %1").arg(static_cast<uint8_t>(dcb.XonChar));
  return {};
}

} // namespace

bool AfLineSettingsFromDcb(const TAfDCB &dcb, TAfLineSettings &line, QString *refused) {
  const QString why = RefusedSetting(dcb);
  if (!why.isEmpty()) {
    if (refused)
      *refused = why;
    return false;
  }
  const uint32_t flags = dcb.Flags;
  const bool ctsFlow = flags & kAfDcbOutxCtsFlow;
  line.BaudRate = dcb.BaudRate;
  line.DataBits = dcb.ByteSize;
  line.Parity = dcb.Parity;
  line.TwoStopBits = dcb.StopBits != 0;
  line.ParityCheck = flags & kAfDcbParityCheck;
  line.HardwareFlow = ctsFlow;
  line.XonXoffOutput = flags & kAfDcbOutX;
  line.XonXoffInput = flags & kAfDcbInX;
  line.XonChar = static_cast<uint8_t>(dcb.XonChar);
  line.XoffChar = static_cast<uint8_t>(dcb.XoffChar);
  return true;
}

void AfMergeLineSettings(const TAfLineSettings &line, TAfDCB &dcb) {
  dcb.BaudRate = line.BaudRate;
  dcb.ByteSize = line.DataBits;
  dcb.Parity = line.Parity;
  dcb.StopBits = !line.TwoStopBits ? 0 : line.DataBits == 5 ? 1 : 2;
  uint32_t flags = (dcb.Flags & ~(kAfDcbParityCheck | kAfDcbOutxCtsFlow | kAfDcbOutX | kAfDcbInX)) |
                   kAfDcbBinary;
  if (line.ParityCheck)
    flags |= kAfDcbParityCheck;
  if (line.XonXoffOutput)
    flags |= kAfDcbOutX;
  if (line.XonXoffInput)
    flags |= kAfDcbInX;
  if (line.HardwareFlow)
    flags = (flags & ~kAfDcbRtsControl) | kAfDcbOutxCtsFlow | kAfDcbRtsHandshake;
  else if ((flags & kAfDcbRtsControl) == kAfDcbRtsHandshake)
    flags &= ~kAfDcbRtsControl; // the driver dropped the handshake; RTS state unknown
  dcb.Flags = flags;
  dcb.XonChar = static_cast<char>(line.XonChar);
  dcb.XoffChar = static_cast<char>(line.XoffChar);
}

QString AfLineSettingsChange(const TAfLineSettings &wanted, const TAfLineSettings &held) {
  auto change = [](const char *name, const QString &w, const QString &h) {
    return QStringLiteral("%1 %2 (the device keeps %3)").arg(QLatin1String(name), w, h);
  };
  auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
  if (wanted.BaudRate != held.BaudRate)
    return change("baud rate", QString::number(wanted.BaudRate), QString::number(held.BaudRate));
  if (wanted.DataBits != held.DataBits)
    return change("data bits", QString::number(wanted.DataBits), QString::number(held.DataBits));
  if (wanted.Parity != held.Parity)
    return change("parity", QLatin1String(kParityNames[wanted.Parity % 5]),
                  QLatin1String(kParityNames[held.Parity % 5]));
  if (wanted.TwoStopBits != held.TwoStopBits)
    return change("two stop bits", onOff(wanted.TwoStopBits), onOff(held.TwoStopBits));
  if (wanted.ParityCheck != held.ParityCheck)
    return change("parity check", onOff(wanted.ParityCheck), onOff(held.ParityCheck));
  if (wanted.HardwareFlow != held.HardwareFlow)
    return change("flow control RTS/CTS", onOff(wanted.HardwareFlow), onOff(held.HardwareFlow));
  if (wanted.XonXoffOutput != held.XonXoffOutput || wanted.XonXoffInput != held.XonXoffInput)
    return change("flow control XON/XOFF", onOff(wanted.XonXoffOutput || wanted.XonXoffInput),
                  onOff(held.XonXoffOutput || held.XonXoffInput));
  if (wanted.XonChar != held.XonChar || wanted.XoffChar != held.XoffChar)
    return change("XON/XOFF characters",
                  QStringLiteral("%1/%2").arg(wanted.XonChar).arg(wanted.XoffChar),
                  QStringLiteral("%1/%2").arg(held.XonChar).arg(held.XoffChar));
  return {};
}
