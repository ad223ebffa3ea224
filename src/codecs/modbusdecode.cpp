#include "codecs/modbusdecode.h"

#include "codecs/modbus.h"
#include "codecs/modbusreference.h"

#include <algorithm>

namespace {

constexpr uint16_t kCoilOn = 0xFF00;

uint8_t Byte(QByteArrayView data, qsizetype i) {
  return static_cast<uint8_t>(data[i]);
}

uint16_t Word(QByteArrayView data, qsizetype i) {
  return static_cast<uint16_t>(Byte(data, i) << 8 | Byte(data, i + 1));
}

// Only the first fault is kept: later ones follow from it.
void SetFault(TModbusMessage &m, TModbusFault fault, qsizetype actual, qsizetype expected = 0) {
  if (m.Fault != TModbusFault::None)
    return;
  m.Fault = fault;
  m.Actual = actual;
  m.Expected = expected;
}

// Data of exactly `size` bytes, or the fault saying how far off it is.
void CheckSize(TModbusMessage &m, QByteArrayView data, qsizetype size) {
  if (data.size() < size)
    SetFault(m, TModbusFault::Short, data.size(), size);
  else if (data.size() > size)
    SetFault(m, TModbusFault::Long, data.size() - size);
}

void ReadAddressAndCount(TModbusMessage &m, QByteArrayView data) {
  if (data.size() >= 2)
    m.Address = Word(data, 0);
  if (data.size() >= 4)
    m.Count = Word(data, 2);
}

void CheckCount(TModbusMessage &m) {
  const int32_t max = ModbusMaxQuantity(m.Function);
  if (m.Count && (*m.Count == 0 || *m.Count > max))
    SetFault(m, TModbusFault::CountRange, *m.Count, max);
}

qsizetype BytesOfBits(qsizetype bits) {
  return (bits + 7) / 8;
}

void ReadBits(TModbusMessage &m, QByteArrayView bytes, qsizetype count) {
  count = std::min(count, bytes.size() * 8);
  m.Bits.reserve(count);
  for (qsizetype i = 0; i < count; ++i)
    m.Bits.append((Byte(bytes, i / 8) >> (i % 8)) & 1);
}

void ReadRegisters(TModbusMessage &m, QByteArrayView bytes, qsizetype count) {
  count = std::min(count, bytes.size() / 2);
  m.Registers.reserve(count);
  for (qsizetype i = 0; i < count; ++i)
    m.Registers.append(Word(bytes, 2 * i));
}

// A byte count and the values behind it. `expected` is the byte count the
// quantity asks for, when it is known.
QByteArrayView ReadCountedBytes(TModbusMessage &m, QByteArrayView data,
                                std::optional<qsizetype> expected) {
  const qsizetype byteCount = Byte(data, 0);
  m.ByteCount = static_cast<uint8_t>(byteCount);
  const QByteArrayView values = data.sliced(1);
  if (values.size() < byteCount)
    SetFault(m, TModbusFault::ByteCount, values.size(), byteCount);
  else if (values.size() > byteCount)
    SetFault(m, TModbusFault::Long, values.size() - byteCount);
  if (expected && byteCount != *expected)
    SetFault(m, TModbusFault::ByteCountOfCount, byteCount, *expected);
  return values.first(std::min(values.size(), byteCount));
}

// A read response starts with a byte count that covers the rest; a request
// is an address and a count. Four bytes that fit both read as a request.
bool LooksLikeReadResponse(QByteArrayView data) {
  return !data.isEmpty() && data.size() != 4 && Byte(data, 0) == data.size() - 1;
}

void DecodeRead(TModbusMessage &m, QByteArrayView data, const TModbusPairedRequest *request) {
  const bool bits =
      m.Function == MODBUS_INST_Read_Coils || m.Function == MODBUS_INST_Read_Discrete_Inputs;
  if (m.Direction == TModbusDirection::Unknown)
    m.Direction =
        LooksLikeReadResponse(data) ? TModbusDirection::Response : TModbusDirection::Request;
  if (m.Direction == TModbusDirection::Request) {
    ReadAddressAndCount(m, data);
    CheckSize(m, data, 4);
    CheckCount(m);
    return;
  }
  if (data.isEmpty()) {
    SetFault(m, TModbusFault::Short, 0, 1);
    return;
  }
  const std::optional<uint16_t> count = request ? request->Count : std::nullopt;
  std::optional<qsizetype> expected;
  if (count)
    expected = bits ? BytesOfBits(*count) : 2 * qsizetype(*count);
  const QByteArrayView values = ReadCountedBytes(m, data, expected);
  if (bits) {
    // The padding of the last byte is not data when the count is known.
    ReadBits(m, values, count ? qsizetype(*count) : values.size() * 8);
  } else {
    if (*m.ByteCount % 2)
      SetFault(m, TModbusFault::OddByteCount, *m.ByteCount);
    ReadRegisters(m, values, values.size() / 2);
  }
}

void DecodeSingleWrite(TModbusMessage &m, QByteArrayView data) {
  if (data.size() >= 2)
    m.Address = Word(data, 0);
  if (data.size() >= 4) {
    const uint16_t value = Word(data, 2);
    m.Registers.append(value);
    if (m.Function == MODBUS_INST_Write_Single_Coil) {
      m.Bits.append(value == kCoilOn);
      if (value != kCoilOn && value != 0)
        SetFault(m, TModbusFault::CoilValue, value);
    }
  }
  CheckSize(m, data, 4);
}

void DecodeMultipleWrite(TModbusMessage &m, QByteArrayView data) {
  const bool coils = m.Function == MODBUS_INST_Write_Multiple_Coils;
  // The response only repeats the address and the count.
  if (m.Direction == TModbusDirection::Unknown)
    m.Direction = data.size() == 4 ? TModbusDirection::Response : TModbusDirection::Request;
  ReadAddressAndCount(m, data);
  if (m.Direction == TModbusDirection::Response) {
    CheckSize(m, data, 4);
  } else if (data.size() < 5) {
    SetFault(m, TModbusFault::Short, data.size(), 5);
  } else {
    const qsizetype count = *m.Count;
    const QByteArrayView values =
        ReadCountedBytes(m, data.sliced(4), coils ? BytesOfBits(count) : 2 * count);
    if (coils)
      ReadBits(m, values, count);
    else
      ReadRegisters(m, values, count);
  }
  CheckCount(m);
}

} // namespace

TModbusMessage ModbusDecode(QByteArrayView message, TModbusDirection direction,
                            const TModbusPairedRequest *request) {
  TModbusMessage m;
  m.Direction =
      request && direction == TModbusDirection::Unknown ? TModbusDirection::Response : direction;
  if (message.size() < 2) {
    if (!message.isEmpty())
      m.Unit = Byte(message, 0);
    SetFault(m, TModbusFault::NoFunction, message.size(), 2);
    return m;
  }
  m.Unit = Byte(message, 0);
  const uint8_t code = Byte(message, 1);
  m.Function = code & 0x7F;
  const QByteArrayView data = message.sliced(2);
  m.Data = data.toByteArray();
  if (code & 0x80) {
    m.Exception = true;
    m.Direction = TModbusDirection::Response;
    if (!data.isEmpty())
      m.ExceptionCode = Byte(data, 0);
    CheckSize(m, data, 1);
  } else {
    switch (m.Function) {
    case MODBUS_INST_Read_Coils:
    case MODBUS_INST_Read_Discrete_Inputs:
    case MODBUS_INST_Read_Holding_Registers:
    case MODBUS_INST_Read_Input_Registers:
      DecodeRead(m, data, m.Direction == TModbusDirection::Response ? request : nullptr);
      break;
    case MODBUS_INST_Write_Single_Coil:
    case MODBUS_INST_Write_Single_Register:
      DecodeSingleWrite(m, data);
      break;
    case MODBUS_INST_Write_Multiple_Coils:
    case MODBUS_INST_Write_Multiple_Registers:
      DecodeMultipleWrite(m, data);
      break;
    default:
      break;
    }
  }
  if (request && m.Direction == TModbusDirection::Response)
    m.Request = *request;
  return m;
}
