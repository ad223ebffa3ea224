#pragma once

// Where Modbus frames end in a received stream, and whether their check
// (CRC, LRC, MBAP header) holds. Decoding the PDU is not done here.

#include "codecs/modbus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

// An RTU frame: unit id, function code, at most 252 bytes, the CRC.
inline constexpr int32_t kModbusRtuMaxFrame = 256;
// An ASCII frame: ":", the hexadecimal pairs of unit id, PDU and LRC, CR LF.
inline constexpr int32_t kModbusAsciiMaxFrame = 1 + 2 * (1 + 253 + 1) + 2;
// The MBAP header: transaction id, protocol id, length (2 bytes each), unit id.
inline constexpr int32_t kModbusMbapHeader = 7;
// Unit id and a PDU of at most 253 bytes.
inline constexpr int32_t kModbusTcpMaxLengthField = 254;

// The lengths an RTU frame can have, told from its first bytes. A function
// code has one length for its request and one for its response; where they
// differ both are candidates, and the parser takes the one whose CRC holds.
struct TModbusRtuShape {
  int Count = 0;        // candidates known from the bytes so far
  int32_t Lengths[2]{}; // ascending, each at most kModbusRtuMaxFrame
  bool Pending = false; // another candidate needs bytes not yet received
  bool Known = true;    // false: the function code tells no length
};

// `available` (at least 2) bytes from a frame's start: unit id, function code, ...
TModbusRtuShape ModbusRtuShape(const uint8_t *bytes, int32_t available);

// The Modbus CRC-16 of `size` bytes, as ModbusCRC16 but four bytes a step.
uint16_t ModbusCrcFast(const uint8_t *bytes, int32_t size);

// True when the last two of `length` (at least 4) bytes are the CRC of the
// others, low byte first.
bool ModbusRtuCrcValid(const uint8_t *frame, int32_t length);

// The whole length of a Modbus TCP frame whose 7-byte MBAP header is
// `header`; -1 when the header cannot start one (protocol id not 0, or a
// length field outside 2 to 254).
int32_t ModbusTcpFrameLength(const uint8_t *header);

// What fails the frame check of a frame of `type`, for marking the bytes.
struct TModbusFrameFault {
  enum TKind : uint8_t {
    None,        // the frame checks
    Crc,         // RTU: the CRC is wrong
    Lrc,         // ASCII: the LRC is wrong
    NotHex,      // ASCII: not ":", hexadecimal pairs, CR LF
    Short,       // too short to carry a check
    MbapLength,  // TCP: the length field disagrees with the frame
    MbapProtocol // TCP: the protocol id is not 0
  };
  TKind Kind = None;
  int32_t Position = 0; // 0-based first faulty byte
  int32_t Count = 0;    // faulty bytes
  uint32_t Actual = 0;
  uint32_t Expected = 0;
};

TModbusFrameFault ModbusFrameFault(QByteArrayView frame, TModbusType type);

// Unit id and function code of a frame; false when it is too short to hold
// them (or an ASCII frame's pairs cannot be read).
bool ModbusUnitAndFunction(QByteArrayView frame, TModbusType type, uint8_t &unit,
                           uint8_t &function);

// The message a frame carries (unit id and PDU, without the CRC, the LRC or
// the MBAP header) and, for TCP, its transaction id. False when the frame is
// too short to hold a unit id and a function code, or an ASCII frame's pairs
// cannot be read; a frame whose check fails still gives its message.
bool ModbusFrameMessage(QByteArrayView frame, TModbusType type, QByteArray &message,
                        std::optional<uint16_t> &transaction);
