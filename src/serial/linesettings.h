#pragma once

#include "serial/comdcb.h"

#include <QString>
#include <cstdint>

// The part of a device control block that a termios device holds.
struct TAfLineSettings {
  uint32_t BaudRate = 9600;
  uint8_t DataBits = 8;     // 5 to 8
  uint8_t Parity = 0;       // as TAfDCB::Parity
  bool TwoStopBits = false; // one and a half with 5 data bits
  bool ParityCheck = false;
  bool HardwareFlow = false; // CTS output flow with RTS handshake
  bool XonXoffOutput = false;
  bool XonXoffInput = false;
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;

  bool operator==(const TAfLineSettings &) const = default;
};

// The termios form of `dcb`; false when a termios device cannot take it
// (4 data bits, DTR/DSR flow, 1.5 stop bits except with 5 data bits, two
// stop bits with 5, CTS flow without RTS handshake or the reverse, the
// driver-side options DSR sensitivity, error character, null stripping and
// abort on error, a zero baud rate, which would hang the line up). Then
// `refused` (when given) names the setting and its value.
bool AfLineSettingsFromDcb(const TAfDCB &dcb, TAfLineSettings &line, QString *refused = nullptr);

// The first setting the device did not take as asked, with both values;
// empty when `held` is what was `wanted`.
QString AfLineSettingsChange(const TAfLineSettings &wanted, const TAfLineSettings &held);

// `dcb` with every field a termios device holds taken from `line`; the
// others (DTR and RTS states, limits, other characters) stay.
void AfMergeLineSettings(const TAfLineSettings &line, TAfDCB &dcb);
