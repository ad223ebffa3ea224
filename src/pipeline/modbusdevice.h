#pragma once

// The responder's Modbus device: a unit id and four tables (coils, discrete
// inputs, holding and input registers) that requests of functions 01 to 06,
// 15 and 16 read and write, answered as a real device answers: an address
// outside the table gives exception 02, another function exception 01, a
// frame whose CRC or LRC is wrong no answer at all.

#include "codecs/modbus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <map>

enum TModbusTable : uint8_t { mtCoils, mtDiscreteInputs, mtHoldingRegisters, mtInputRegisters };
inline constexpr int kModbusTables = 4;

struct TModbusPoint {
  uint16_t value = 0; // a coil or input: 0 or 1
  QString name;
  bool operator==(const TModbusPoint &) const = default;
};

struct TModbusDevice {
  bool enabled = false;
  uint8_t unit = 1;
  std::array<std::map<uint16_t, TModbusPoint>, kModbusTables> tables;
  bool operator==(const TModbusDevice &) const = default;

  // The answer to a message (unit id and PDU, framing taken off); false when
  // none is due: another unit, or a broadcast (unit 0, whose writes still
  // apply). `wrote` tells that a write changed the tables.
  bool AnswerMessage(QByteArrayView message, QByteArray &answer, bool &wrote);
  // The same for a whole frame of `type`; the answer is framed alike (a TCP
  // answer keeps the request's transaction id). A frame whose CRC, LRC or
  // header is wrong gets none.
  bool AnswerFrame(QByteArrayView frame, TModbusType type, QByteArray &answer, bool &wrote);
};
