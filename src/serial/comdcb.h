#pragma once

// The vocabulary of the serial engine: the device control block with its
// flag bits, the event, error and modem-line bits, the purge and escape
// codes and the device status record. The values are those of the Windows
// communications API, so blocks and masks mean the same on every platform;
// the Linux device translates them to termios.

#include <cstdint>

// The device control block: 28 bytes, laid out as the Windows one.
constexpr uint32_t kAfDcbLength = 28;

struct TAfDCB {
  uint32_t DCBlength = kAfDcbLength;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;

  bool operator==(const TAfDCB &) const = default;
};
static_assert(sizeof(TAfDCB) == kAfDcbLength);

// Control flags of TAfDCB::Flags.
constexpr uint32_t kAfDcbBinary = 0x0001;
constexpr uint32_t kAfDcbParityCheck = 0x0002;
constexpr uint32_t kAfDcbOutxCtsFlow = 0x0004;
constexpr uint32_t kAfDcbOutxDsrFlow = 0x0008;
constexpr uint32_t kAfDcbDtrEnable = 0x0010;
constexpr uint32_t kAfDcbDtrHandshake = 0x0020;
constexpr uint32_t kAfDcbDtrControl = 0x0030; // the two-bit DTR control field
constexpr uint32_t kAfDcbDsrSensitivity = 0x0040;
constexpr uint32_t kAfDcbTXContinueOnXoff = 0x0080;
constexpr uint32_t kAfDcbOutX = 0x0100;
constexpr uint32_t kAfDcbInX = 0x0200;
constexpr uint32_t kAfDcbErrorChar = 0x0400;
constexpr uint32_t kAfDcbNull = 0x0800;
constexpr uint32_t kAfDcbRtsEnable = 0x1000;
constexpr uint32_t kAfDcbRtsHandshake = 0x2000;
constexpr uint32_t kAfDcbRtsControl = 0x3000; // the two-bit RTS control field
constexpr uint32_t kAfDcbAbortOnError = 0x4000;

// Line events reported by the device wait.
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;
constexpr uint32_t kAfEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;

// Line-error bits gathered by the status query. CE_IOE also stands for a
// device that went away (a hung-up far end, an unplugged adapter).
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_RXPARITY = 0x0004;
constexpr uint32_t CE_FRAME = 0x0008;
constexpr uint32_t CE_BREAK = 0x0010;
constexpr uint32_t CE_IOE = 0x0400;

// Modem input lines.
constexpr uint32_t MS_CTS_ON = 0x0010;
constexpr uint32_t MS_DSR_ON = 0x0020;
constexpr uint32_t MS_RING_ON = 0x0040;
constexpr uint32_t MS_RLSD_ON = 0x0080;

// Purge directions.
constexpr uint32_t PURGE_TXABORT = 0x0001;
constexpr uint32_t PURGE_RXABORT = 0x0002;
constexpr uint32_t PURGE_TXCLEAR = 0x0004;
constexpr uint32_t PURGE_RXCLEAR = 0x0008;

// Escape functions for the output lines.
enum TAfEscapeFunc {
  efSetRTS = 3,
  efClrRTS = 4,
  efSetDTR = 5,
  efClrDTR = 6,
  efSetBreak = 8,
  efClrBreak = 9,
};

// The device's status record.
struct TAfComStat {
  uint32_t HoldFlags = 0;
  uint32_t cbInQue = 0;  // bytes waiting to be read
  uint32_t cbOutQue = 0; // bytes not yet sent by the driver
};
