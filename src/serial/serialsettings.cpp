#include "serial/serialsettings.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr uint32_t kBaudrates[] = {110,   300,   600,   1200,  2400,   4800,   9600,   14400,
                                   19200, 38400, 56000, 57600, 115200, 128000, 256000, 0};
static_assert(std::size(kBaudrates) == brUser + 1);

constexpr uint32_t kFlowFlags[] = {0x0000, kAfDcbOutX | kAfDcbInX,
                                   kAfDcbOutxCtsFlow | kAfDcbRtsHandshake,
                                   kAfDcbOutxDsrFlow | kAfDcbDtrHandshake};

struct TOptionFlag {
  TAfComOption option;
  uint32_t flag;
};
constexpr TOptionFlag kOptionFlags[] = {{coParityCheck, kAfDcbParityCheck},
                                        {coDsrSensitivity, kAfDcbDsrSensitivity},
                                        {coIgnoreXOff, kAfDcbTXContinueOnXoff},
                                        {coErrorChar, kAfDcbErrorChar},
                                        {coStripNull, kAfDcbNull}};

} // namespace

uint32_t AfBaudrateValue(TAfBaudrate rate) {
  return kBaudrates[rate];
}

uint32_t AfFlowControlFlags(TAfFlowControl flow) {
  return kFlowFlags[flow];
}

uint32_t AfComOptionFlag(TAfComOption option) {
  for (const TOptionFlag &entry : kOptionFlags)
    if (entry.option == option)
      return entry.flag;
  return 0;
}

uint32_t TAfSerialSettings::NumericBaudrate() const {
  return BaudRate == brUser ? UserBaudRate : AfBaudrateValue(BaudRate);
}

TAfDCB TAfSerialSettings::BuildDCB() const {
  TAfDCB dcb;
  dcb.BaudRate = NumericBaudrate();
  dcb.ByteSize = static_cast<uint8_t>(4 + Databits);
  dcb.Parity = static_cast<uint8_t>(Parity);
  dcb.StopBits = static_cast<uint8_t>(Stopbits);
  dcb.XonChar = XOnChar;
  dcb.XoffChar = XOffChar;
  dcb.XonLim = XOnLim;
  dcb.XoffLim = XOffLim;
  dcb.Flags = AfFlowControlFlags(FlowControl) | kAfDcbBinary;
  for (const TOptionFlag &entry : kOptionFlags)
    if (Options.testFlag(entry.option))
      dcb.Flags |= entry.flag;
  // With hardware flow control the driver drives the handshake line itself.
  if (DTR && FlowControl != fwDtrDsr)
    dcb.Flags |= kAfDcbDtrEnable;
  if (RTS && FlowControl != fwRtsCts)
    dcb.Flags |= kAfDcbRtsEnable;
  return dcb;
}

void TAfSerialSettings::TakeDCB(const TAfDCB &dcb) {
  BaudRate = brUser;
  UserBaudRate = dcb.BaudRate;
  for (int rate = br110; rate < brUser; ++rate)
    if (kBaudrates[rate] == dcb.BaudRate) {
      BaudRate = static_cast<TAfBaudrate>(rate);
      UserBaudRate = 0;
      break;
    }
  Databits =
      dcb.ByteSize >= 4 && dcb.ByteSize <= 8 ? static_cast<TAfDatabits>(dcb.ByteSize - 4) : db8;
  Parity = dcb.Parity <= paSpace ? static_cast<TAfParity>(dcb.Parity) : paNone;
  Stopbits = dcb.StopBits <= sbTwo ? static_cast<TAfStopbits>(dcb.StopBits) : sbOne;
  FlowControl = fwNone;
  for (TAfFlowControl flow : {fwDtrDsr, fwRtsCts, fwXOnXOff})
    if ((dcb.Flags & kFlowFlags[flow]) == kFlowFlags[flow]) {
      FlowControl = flow;
      break;
    }
  Options = {};
  for (const TOptionFlag &entry : kOptionFlags)
    if (dcb.Flags & entry.flag)
      Options |= entry.option;
  XOnChar = dcb.XonChar;
  XOffChar = dcb.XoffChar;
  XOnLim = dcb.XonLim;
  XOffLim = dcb.XoffLim;
}

void TAfSerialSettings::CalcXOnXOffLimits(int32_t inBufSize) {
  if (FlowControl == fwNone) {
    XOnLim = XOffLim = 0;
    return;
  }
  // The block's limits are 16 bits wide.
  const int32_t on = inBufSize / 4;
  XOnLim = static_cast<uint16_t>(std::clamp(on, 0, 0xFFFF));
  XOffLim = static_cast<uint16_t>(std::clamp(inBufSize - on, 0, 0xFFFF));
}

namespace {

// In the order of TAfParity and TAfStopbits.
const char *const kParity[] = {"N", "O", "E", "M", "S"};
const char *const kStopbits[] = {"1", "1.5", "2"};

} // namespace

bool ParityFromLetter(QChar letter, TAfParity &parity) {
  for (int i = 0; i < 5; ++i)
    if (letter.toUpper() == QLatin1Char(kParity[i][0])) {
      parity = static_cast<TAfParity>(i);
      return true;
    }
  return false;
}

bool StopbitsFromText(const QString &text, TAfStopbits &stopbits) {
  for (int i = 0; i < 3; ++i)
    if (text == QLatin1String(kStopbits[i])) {
      stopbits = static_cast<TAfStopbits>(i);
      return true;
    }
  return false;
}

QString TAfSerialSettings::SettingsStr(const QString &portName) const {
  return QStringLiteral("%1: %2,%3,%4,%5")
      .arg(portName)
      .arg(NumericBaudrate())
      .arg(QLatin1String(kParity[Parity]))
      .arg(4 + Databits)
      .arg(QLatin1String(kStopbits[Stopbits]));
}
