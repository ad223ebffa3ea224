#pragma once

#include "serial/comdcb.h"

#include <QFlags>
#include <QString>
#include <cstdint>

enum TAfBaudrate {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000,
  brUser, // the rate in UserBaudRate
};

enum TAfDatabits { db4, db5, db6, db7, db8 };
enum TAfParity { paNone, paOdd, paEven, paMark, paSpace };
enum TAfStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TAfFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };

enum TAfComOption : unsigned {
  coParityCheck = 0x01,
  coDsrSensitivity = 0x02,
  coIgnoreXOff = 0x04, // keep sending after XOFF
  coErrorChar = 0x08,
  coStripNull = 0x10,
};
Q_DECLARE_FLAGS(TAfComOptions, TAfComOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TAfComOptions)

// The device value of each: rate (0 for brUser), control flags.
uint32_t AfBaudrateValue(TAfBaudrate rate);
uint32_t AfFlowControlFlags(TAfFlowControl flow);
uint32_t AfComOptionFlag(TAfComOption option);

// The line parameters of a port in typed form, and their device control block.
struct TAfSerialSettings {
  TAfBaudrate BaudRate = br115200;
  uint32_t UserBaudRate = 0;
  TAfDatabits Databits = db8;
  TAfParity Parity = paNone;
  TAfStopbits Stopbits = sbOne;
  TAfFlowControl FlowControl = fwNone;
  TAfComOptions Options;
  bool DTR = true;
  bool RTS = true;
  char XOnChar = 17;
  char XOffChar = 19;
  uint16_t XOnLim = 0;
  uint16_t XOffLim = 0;

  uint32_t NumericBaudrate() const;
  // The block these settings make.
  TAfDCB BuildDCB() const;
  // Takes the rate, framing, flow control, options, characters and limits
  // of a block; values without a typed form fall back to the defaults.
  void TakeDCB(const TAfDCB &dcb);
  // The limits for an input queue of `inBufSize` bytes: none without flow
  // control, else a quarter and three quarters.
  void CalcXOnXOffLimits(int32_t inBufSize);
  // "ttyUSB0: 9600,N,8,1".
  QString SettingsStr(const QString &portName) const;
};

// The settings line's names of parity ("N", "O", "E", "M", "S") and stop
// bits ("1", "1.5", "2"), read back; false for any other text.
bool ParityFromLetter(QChar letter, TAfParity &parity);
bool StopbitsFromText(const QString &text, TAfStopbits &stopbits);
