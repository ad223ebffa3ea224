#include "codecs/modbusframing.h"

#include <array>

namespace {

// The CRC-16 four bytes per step (slicing): the frame check runs on every
// candidate length of every frame received, so the byte-wise table's
// chain of dependent lookups would bound the parser's speed.
using TCrcTables = std::array<std::array<uint16_t, 256>, 4>;

constexpr TCrcTables MakeCrcTables() {
  TCrcTables t{};
  for (unsigned b = 0; b < 256; ++b) {
    auto crc = static_cast<uint16_t>(b);
    for (int bit = 0; bit < 8; ++bit)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    t[0][b] = crc;
  }
  for (size_t k = 1; k < 4; ++k)
    for (unsigned b = 0; b < 256; ++b)
      t[k][b] = static_cast<uint16_t>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
  return t;
}

constexpr TCrcTables kCrc = MakeCrcTables();

uint16_t Be16(const uint8_t *p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void Add(TModbusRtuShape &shape, int32_t length) {
  if (length > kModbusRtuMaxFrame)
    return; // no frame of this function can be that long
  for (int i = 0; i < shape.Count; ++i)
    if (shape.Lengths[i] == length)
      return;
  shape.Lengths[shape.Count++] = length;
  if (shape.Count == 2 && shape.Lengths[0] > shape.Lengths[1])
    std::swap(shape.Lengths[0], shape.Lengths[1]);
}

// A length given by the byte count at offset `at` plus `fixed` bytes.
void AddCounted(TModbusRtuShape &shape, const uint8_t *b, int32_t available, int32_t at,
                int32_t fixed) {
  if (available > at)
    Add(shape, fixed + b[at]);
  else
    shape.Pending = true;
}

} // namespace

// Lengths per function code, request and response (unit id and CRC included).
TModbusRtuShape ModbusRtuShape(const uint8_t *b, int32_t available) {
  TModbusRtuShape shape;
  const uint8_t function = b[1];
  if (function & 0x80) {
    Add(shape, 5); // exception: unit, function | 0x80, code, CRC
    return shape;
  }
  switch (function) {
  case MODBUS_INST_Read_Coils:
  case MODBUS_INST_Read_Discrete_Inputs:
  case MODBUS_INST_Read_Holding_Registers:
  case MODBUS_INST_Read_Input_Registers:
    Add(shape, 8);                         // address, count
    AddCounted(shape, b, available, 2, 5); // byte count, values
    break;
  case MODBUS_INST_Write_Single_Coil:
  case MODBUS_INST_Write_Single_Register:
  case MODBUS_INST_Diagnostics:
    Add(shape, 8); // the response echoes the request
    break;
  case MODBUS_INST_Read_Exception_Status:
    Add(shape, 4);
    Add(shape, 5);
    break;
  case MOSBUS_INST_Get_Com_Event_Counter:
    Add(shape, 4);
    Add(shape, 8);
    break;
  case MODBUS_INST_Get_Com_Event_Log:
  case MODBUS_INST_Report_Slave_ID:
    Add(shape, 4);
    AddCounted(shape, b, available, 2, 5);
    break;
  case MODBUS_INST_Write_Multiple_Coils:
  case MODBUS_INST_Write_Multiple_Registers:
    Add(shape, 8);                         // address, count
    AddCounted(shape, b, available, 6, 9); // address, count, byte count, values
    break;
  case MODBUS_INST_Read_File_Record:
  case MODBUS_INST_Write_File_Record:
    AddCounted(shape, b, available, 2, 5);
    break;
  case MODBUS_INST_Mask_Write_Register:
    Add(shape, 10);
    break;
  case MODBUS_INST_Read_Write_Multiple_Registers:
    AddCounted(shape, b, available, 2, 5);   // response
    AddCounted(shape, b, available, 10, 13); // request
    break;
  case MODBUS_INST_Read_FIFO_Queue:
    Add(shape, 6);
    if (available >= 4)
      Add(shape, 6 + Be16(b + 2));
    else
      shape.Pending = true;
    break;
  default:
    shape.Known = false;
  }
  return shape;
}

uint16_t ModbusCrcFast(const uint8_t *p, int32_t size) {
  uint32_t crc = 0xFFFF;
  for (; size >= 4; p += 4, size -= 4) {
    crc ^= static_cast<uint32_t>(p[0] | p[1] << 8);
    crc = kCrc[3][crc & 0xFF] ^ kCrc[2][crc >> 8] ^ kCrc[1][p[2]] ^ kCrc[0][p[3]];
  }
  for (; size > 0; ++p, --size)
    crc = (crc >> 8) ^ kCrc[0][(crc ^ *p) & 0xFF];
  return static_cast<uint16_t>(crc);
}

bool ModbusRtuCrcValid(const uint8_t *frame, int32_t length) {
  if (length < 4)
    return false;
  const uint16_t crc = ModbusCrcFast(frame, length - 2);
  return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

int32_t ModbusTcpFrameLength(const uint8_t *header) {
  const uint16_t length = Be16(header + 4);
  if (Be16(header + 2) != 0 || length < 2 || length > kModbusTcpMaxLengthField)
    return -1;
  return 6 + length;
}

TModbusFrameFault ModbusFrameFault(QByteArrayView frame, TModbusType type) {
  TModbusFrameFault fault;
  const auto *b = reinterpret_cast<const uint8_t *>(frame.data());
  const auto size = static_cast<int32_t>(frame.size());
  switch (type) {
  case mbtRTU: {
    if (size < 4) {
      fault = {TModbusFrameFault::Short, 0, size, static_cast<uint32_t>(size), 4};
      break;
    }
    const uint16_t crc = ModbusCRC16(frame.first(size - 2));
    const auto actual = static_cast<uint16_t>(b[size - 2] | b[size - 1] << 8);
    if (actual != crc)
      fault = {TModbusFrameFault::Crc, size - 2, 2, actual, crc};
    break;
  }
  case mbtASCII: {
    QByteArray bytes;
    if (!ModbusAsciiBytes(frame, bytes) || bytes.size() < 2) {
      fault = {TModbusFrameFault::NotHex, 0, size, 0, 0};
      break;
    }
    const uint8_t lrc = ModbusLRC(QByteArrayView(bytes).first(bytes.size() - 1));
    const auto actual = static_cast<uint8_t>(bytes.back());
    if (actual != lrc)
      fault = {TModbusFrameFault::Lrc, size - 4, 2, actual, lrc};
    break;
  }
  case mbtTCP:
    if (size < kModbusMbapHeader + 1) {
      fault = {TModbusFrameFault::Short, 0, size, static_cast<uint32_t>(size),
               kModbusMbapHeader + 1};
    } else if (Be16(b + 2) != 0) {
      fault = {TModbusFrameFault::MbapProtocol, 2, 2, Be16(b + 2), 0};
    } else if (Be16(b + 4) != size - 6) {
      fault = {TModbusFrameFault::MbapLength, 4, 2, Be16(b + 4), static_cast<uint32_t>(size - 6)};
    }
    break;
  }
  return fault;
}

bool ModbusUnitAndFunction(QByteArrayView frame, TModbusType type, uint8_t &unit,
                           uint8_t &function) {
  const auto *b = reinterpret_cast<const uint8_t *>(frame.data());
  switch (type) {
  case mbtRTU:
    if (frame.size() < 2)
      return false;
    unit = b[0];
    function = b[1];
    return true;
  case mbtTCP:
    if (frame.size() < kModbusMbapHeader + 1)
      return false;
    unit = b[6];
    function = b[7];
    return true;
  case mbtASCII: {
    if (frame.size() < 5 || b[0] != ':')
      return false;
    int digits[4];
    for (int i = 0; i < 4; ++i)
      if ((digits[i] = ModbusHexDigit(b[1 + i])) < 0)
        return false;
    unit = static_cast<uint8_t>(digits[0] << 4 | digits[1]);
    function = static_cast<uint8_t>(digits[2] << 4 | digits[3]);
    return true;
  }
  }
  return false;
}

bool ModbusFrameMessage(QByteArrayView frame, TModbusType type, QByteArray &message,
                        std::optional<uint16_t> &transaction) {
  const auto *b = reinterpret_cast<const uint8_t *>(frame.data());
  transaction.reset();
  switch (type) {
  case mbtRTU:
    if (frame.size() < 4)
      return false;
    message = frame.first(frame.size() - 2).toByteArray();
    return true;
  case mbtTCP:
    if (frame.size() < kModbusMbapHeader + 1)
      return false;
    transaction = Be16(b);
    message = frame.sliced(kModbusMbapHeader - 1).toByteArray();
    return true;
  case mbtASCII:
    if (!ModbusAsciiBytes(frame, message) || message.size() < 3) {
      message.clear();
      return false;
    }
    message.chop(1); // the LRC
    return true;
  }
  return false;
}
