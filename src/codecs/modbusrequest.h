#pragma once

// Building Modbus requests: the PDU of the eight functions engineers send by
// hand, framing a message (unit id and PDU) for RTU, ASCII or TCP, and
// reading the values a write function is given.

#include "codecs/modbus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>

struct TModbusRequest {
  uint8_t Function = MODBUS_INST_Read_Coils;
  uint16_t Address = 0;
  uint16_t Count = 0;     // the reads' quantity
  QList<uint16_t> Values; // the writes' values; a coil is on when not 0
};

// Function code and data of a request of functions 1 to 6, 15 or 16. Raises
// EPtError for another function, a single write without exactly one value
// and a multiple write without values or with more than its byte count
// carries.
QByteArray ModbusRequestPdu(const TModbusRequest &request);

// RTU: the message and its CRC, low byte first.
QByteArray ModbusRtuFrame(QByteArrayView message);
// TCP: the MBAP header (transaction id, protocol 0, length of what follows)
// and the message.
QByteArray ModbusTcpFrame(uint16_t transaction, QByteArrayView message);

// Frames the requests one sender sends, numbering the TCP transactions.
class TModbusFramer {
public:
  // The unit id and PDU framed for `type`; a TCP request takes the next
  // transaction id. Raises EPtError for an unknown type.
  QByteArray Frame(TModbusType type, uint8_t unit, QByteArrayView pdu);
  uint16_t NextTransaction() const { return fTransaction; }

private:
  uint16_t fTransaction = 1;
};

// The values of a write function: numbers separated by commas, decimal or
// hexadecimal with "0x". Coils take 0 or 1 (0xFF00 and 0x0000 too); a single
// write takes one value, Write Multiple Coils up to 1968, Write Multiple
// Registers up to 123. Raises EPtError naming the first bad value.
QList<uint16_t> ParseModbusValues(const QString &text, uint8_t function);

// The address of a reference number ("From") for the function, checked
// together with the count of values it starts. Raises EPtError when the
// number lies outside the function's ranges or the values run past 65535.
uint16_t ModbusStartAddress(uint8_t function, int32_t number, qsizetype count);

// The quantity of a read, checked against the function's largest. Raises
// EPtError outside 1 and that largest.
uint16_t ModbusReadCount(uint8_t function, int32_t count);

// A PDU typed in command text ("{0x03,0,0,0,2}"): at least the function
// code, at most 253 bytes. Raises EPtError for text that does not convert.
QByteArray ModbusCustomPdu(const QString &commandText);
