#pragma once

// Reading a Modbus message: the unit id and the PDU (function code and data),
// with the RTU CRC, the ASCII LRC or the TCP MBAP header already taken off.
// Any bytes decode: a message that is short, long or disagrees with itself
// keeps what could be read and names its first fault.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

enum class TModbusDirection : uint8_t { Unknown, Request, Response };

// What a response's request said, and how long the answer took.
struct TModbusPairedRequest {
  uint8_t Function = 0;
  std::optional<uint16_t> Address;
  std::optional<uint16_t> Count;
  // From the request to the response; empty when either time is unknown.
  std::optional<double> Milliseconds;
};

enum class TModbusFault : uint8_t {
  None,
  NoFunction,       // fewer than two bytes: Actual
  Short,            // data of Actual bytes, Expected needed
  Long,             // Actual bytes more than the function carries
  ByteCount,        // the byte count says Expected, Actual bytes follow
  ByteCountOfCount, // the byte count is Actual, the count asks for Expected
  CountRange,       // count Actual outside 1 .. Expected
  CoilValue,        // a single coil's value Actual is neither 0xFF00 nor 0
  OddByteCount,     // registers in an odd byte count Actual
};

struct TModbusMessage {
  uint8_t Unit = 0;
  uint8_t Function = 0; // without the exception bit
  TModbusDirection Direction = TModbusDirection::Unknown;
  bool Exception = false;
  uint8_t ExceptionCode = 0;
  std::optional<uint16_t> Address;
  std::optional<uint16_t> Count;
  std::optional<uint8_t> ByteCount;
  QList<uint16_t> Registers; // register values; a single coil's raw value
  QList<bool> Bits;          // coil or input states, first address first
  QByteArray Data;           // everything after the function code
  std::optional<TModbusPairedRequest> Request;
  TModbusFault Fault = TModbusFault::None;
  qsizetype Actual = 0;
  qsizetype Expected = 0;
};

// Decodes `message`. A known direction decides how the functions whose
// request and response differ are read; an unknown one is told from the
// bytes (a paired request makes it a response). A paired request gives a
// response of a read its start address, so its values get their numbers.
TModbusMessage ModbusDecode(QByteArrayView message,
                            TModbusDirection direction = TModbusDirection::Unknown,
                            const TModbusPairedRequest *request = nullptr);
