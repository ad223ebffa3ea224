#include "serial/linesettings.h"

namespace {

constexpr uint32_t kUnsupportedFlags =
    kAfDcbOutxDsrFlow | kAfDcbDsrSensitivity | kAfDcbErrorChar | kAfDcbNull | kAfDcbAbortOnError;

} // namespace

bool AfLineSettingsFromDcb(const TAfDCB &dcb, TAfLineSettings &line) {
  const uint32_t flags = dcb.Flags;
  const uint32_t rtsControl = flags & kAfDcbRtsControl;
  const bool ctsFlow = flags & kAfDcbOutxCtsFlow;
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
      dcb.StopBits > 2)
    return false;
  if ((dcb.StopBits == 1 && dcb.ByteSize != 5) || (dcb.StopBits == 2 && dcb.ByteSize == 5))
    return false;
  if ((flags & kUnsupportedFlags) || (flags & kAfDcbDtrControl) == kAfDcbDtrHandshake ||
      (flags & kAfDcbDtrControl) == kAfDcbDtrControl || rtsControl == kAfDcbRtsControl)
    return false;
  if (ctsFlow != (rtsControl == kAfDcbRtsHandshake))
    return false;
  const bool xonXoff = flags & (kAfDcbOutX | kAfDcbInX);
  if (xonXoff && dcb.XonChar == dcb.XoffChar)
    return false;
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
