#include "pipeline/modbusdevice.h"

#include "codecs/modbusrequest.h"

namespace {

uint16_t Word(QByteArrayView data, qsizetype at) {
  return uint16_t(uint8_t(data[at]) << 8 | uint8_t(data[at + 1]));
}

void PutWord(QByteArray &out, uint16_t value) {
  out += char(value >> 8);
  out += char(value & 0xFF);
}

QByteArray Exception(uint8_t unit, uint8_t function, uint8_t code) {
  QByteArray out;
  out += char(unit);
  out += char(function | 0x80);
  out += char(code);
  return out;
}

// Every address from `address` on for `count` is in the table.
bool Covered(const std::map<uint16_t, TModbusPoint> &table, uint16_t address, int count) {
  if (int(address) + count > 0x10000)
    return false;
  auto it = table.find(address);
  for (int i = 0; i < count; ++i, ++it)
    if (it == table.end() || it->first != uint16_t(address + i))
      return false;
  return true;
}

} // namespace

bool TModbusDevice::AnswerMessage(QByteArrayView message, QByteArray &answer, bool &wrote) {
  wrote = false;
  answer.clear();
  if (message.size() < 2)
    return false;
  const uint8_t unit = uint8_t(message[0]);
  const uint8_t function = uint8_t(message[1]);
  if (unit != this->unit && unit != 0)
    return false;
  const QByteArrayView data = message.sliced(2);
  auto fail = [&](uint8_t code) {
    answer = Exception(unit, function, code);
    return unit != 0;
  };
  QByteArray out;
  out += char(unit);
  out += char(function);
  switch (function) {
  case MODBUS_INST_Read_Coils:
  case MODBUS_INST_Read_Discrete_Inputs:
  case MODBUS_INST_Read_Holding_Registers:
  case MODBUS_INST_Read_Input_Registers: {
    if (data.size() != 4)
      return fail(MODBUS_ACK_Illegal_Data_Value);
    const bool bits = function <= MODBUS_INST_Read_Discrete_Inputs;
    const uint16_t address = Word(data, 0), count = Word(data, 2);
    if (count < 1 || count > (bits ? 2000 : 125))
      return fail(MODBUS_ACK_Illegal_Data_Value);
    const auto &table = tables[function - 1];
    if (!Covered(table, address, count))
      return fail(MODBUS_ACK_Illegal_Data_Address);
    auto it = table.find(address);
    if (bits) {
      QByteArray packed((count + 7) / 8, '\0');
      for (int i = 0; i < count; ++i, ++it)
        if (it->second.value)
          packed[i / 8] = char(uint8_t(packed[i / 8]) | (1 << (i % 8)));
      out += char(packed.size());
      out += packed;
    } else {
      out += char(count * 2);
      for (int i = 0; i < count; ++i, ++it)
        PutWord(out, it->second.value);
    }
    break;
  }
  case MODBUS_INST_Write_Single_Coil:
  case MODBUS_INST_Write_Single_Register: {
    if (data.size() != 4)
      return fail(MODBUS_ACK_Illegal_Data_Value);
    const uint16_t address = Word(data, 0), value = Word(data, 2);
    const bool coil = function == MODBUS_INST_Write_Single_Coil;
    if (coil && value != 0xFF00 && value != 0)
      return fail(MODBUS_ACK_Illegal_Data_Value);
    auto &table = tables[coil ? mtCoils : mtHoldingRegisters];
    const auto it = table.find(address);
    if (it == table.end())
      return fail(MODBUS_ACK_Illegal_Data_Address);
    it->second.value = coil ? (value ? 1 : 0) : value;
    wrote = true;
    out += data.toByteArray(); // the request echoed
    break;
  }
  case MODBUS_INST_Write_Multiple_Coils:
  case MODBUS_INST_Write_Multiple_Registers: {
    if (data.size() < 5)
      return fail(MODBUS_ACK_Illegal_Data_Value);
    const bool coils = function == MODBUS_INST_Write_Multiple_Coils;
    const uint16_t address = Word(data, 0), count = Word(data, 2);
    const int bytes = uint8_t(data[4]);
    if (count < 1 || count > (coils ? 1968 : 123) ||
        bytes != (coils ? (count + 7) / 8 : count * 2) || data.size() != 5 + bytes)
      return fail(MODBUS_ACK_Illegal_Data_Value);
    auto &table = tables[coils ? mtCoils : mtHoldingRegisters];
    if (!Covered(table, address, count))
      return fail(MODBUS_ACK_Illegal_Data_Address);
    auto it = table.find(address);
    for (int i = 0; i < count; ++i, ++it)
      it->second.value =
          coils ? ((uint8_t(data[5 + i / 8]) >> (i % 8)) & 1) : Word(data, 5 + 2 * i);
    wrote = true;
    PutWord(out, address);
    PutWord(out, count);
    break;
  }
  default:
    return fail(MODBUS_ACK_Illegal_Function);
  }
  if (unit == 0)
    return false; // a broadcast is never answered
  answer = out;
  return true;
}

bool TModbusDevice::AnswerFrame(QByteArrayView frame, TModbusType type, QByteArray &answer,
                                bool &wrote) {
  wrote = false;
  QByteArray message;
  switch (type) {
  case mbtRTU:
    if (frame.size() < 4 || ModbusCRC16(frame) != 0)
      return false; // a CRC over the frame and its own CRC gives 0
    message = frame.first(frame.size() - 2).toByteArray();
    break;
  case mbtASCII: {
    QByteArray bytes;
    if (!ModbusAsciiBytes(frame, bytes) || bytes.size() < 3 || ModbusLRC(bytes) != 0)
      return false; // the LRC makes the sum of every byte 0
    message = bytes.first(bytes.size() - 1);
    break;
  }
  case mbtTCP:
    if (frame.size() < 8 || Word(frame, 2) != 0 || Word(frame, 4) != frame.size() - 6)
      return false;
    message = frame.sliced(6).toByteArray();
    break;
  default:
    return false;
  }
  QByteArray reply;
  if (!AnswerMessage(message, reply, wrote))
    return false;
  switch (type) {
  case mbtRTU:
    answer = ModbusRtuFrame(reply);
    break;
  case mbtASCII:
    answer = ModbusAsciiFrame(reply);
    break;
  default:
    answer = ModbusTcpFrame(Word(frame, 0), reply);
    break;
  }
  return true;
}
