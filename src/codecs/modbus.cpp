#include "codecs/modbus.h"

#include "base/pterror.h"
#include "codecs/modbusrequest.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    auto crc = static_cast<uint16_t>(b);
    for (int bit = 0; bit < 8; ++bit) {
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    table[b] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

inline uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

inline QChar ByteChar(unsigned value) {
  return QChar(static_cast<char16_t>(value & 0xFF));
}

} // namespace

int ModbusHexDigit(uint8_t c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

uint16_t ModbusCRC16(QByteArrayView data) {
  uint16_t crc = 0xFFFF;
  for (const char c : data) {
    crc = CrcStep(crc, static_cast<uint8_t>(c));
  }
  return crc;
}

uint8_t ModbusLRC(QByteArrayView data) {
  uint8_t sum = 0;
  for (const char c : data) {
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  }
  return static_cast<uint8_t>(-sum);
}

QByteArray ModbusAsciiFrame(QByteArrayView message) {
  QByteArray frame;
  frame.reserve(2 * message.size() + 5);
  frame += ':';
  frame += message.toByteArray().toHex().toUpper();
  const char lrc = static_cast<char>(ModbusLRC(message));
  frame += QByteArray(&lrc, 1).toHex().toUpper();
  frame += "\r\n";
  return frame;
}

bool ModbusAsciiBytes(QByteArrayView frame, QByteArray &bytes) {
  bytes.clear();
  if (frame.size() < 5 || frame.front() != ':' || !frame.endsWith("\r\n") ||
      frame.size() % 2 == 0) {
    return false;
  }
  const QByteArrayView digits = frame.sliced(1, frame.size() - 3);
  bytes.resize(digits.size() / 2);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const int high = ModbusHexDigit(static_cast<uint8_t>(digits[2 * i]));
    const int low = ModbusHexDigit(static_cast<uint8_t>(digits[2 * i + 1]));
    if (high < 0 || low < 0) {
      bytes.clear();
      return false;
    }
    bytes[i] = static_cast<char>(high << 4 | low);
  }
  return true;
}

QString crc16string(const QString &msg) {
  uint16_t crc = 0xFFFF;
  for (qsizetype i = 0; i < msg.size(); ++i) {
    const char16_t c = msg[i].unicode();
    if (c > 0xFF) {
      throw EPtError(QStringLiteral("crc16string: the character U+%1 at position %2 is not a "
                                    "byte value (0 to 255).")
                         .arg(static_cast<unsigned>(c), 4, 16, QLatin1Char('0'))
                         .arg(i + 1));
    }
    crc = CrcStep(crc, static_cast<uint8_t>(c));
  }
  const QChar bytes[2] = {ByteChar(crc), ByteChar(crc >> 8)};
  return QString(bytes, 2);
}

QString MODBUS_EncodeReadDigitalInput(int32_t Address, int32_t Count, TModbusType ModBusType,
                                      uint8_t DeviceAddress) {
  if (ModBusType != mbtRTU && ModBusType != mbtTCP && ModBusType != mbtASCII) {
    throw EPtError(QStringLiteral("Unknown Modbus type %1.").arg(static_cast<int>(ModBusType)));
  }
  // Unsigned arithmetic: the offset wraps to 16 bits without overflowing int32.
  const uint32_t offset = static_cast<uint32_t>(Address) - 10001u;
  TModbusRequest request;
  request.Function = MODBUS_INST_Read_Discrete_Inputs;
  request.Address = static_cast<uint16_t>(offset);
  request.Count = static_cast<uint16_t>(Count);
  const QByteArray pdu = ModbusRequestPdu(request);
  if (ModBusType == mbtTCP)
    return QString::fromLatin1(pdu);
  return QString::fromLatin1(TModbusFramer().Frame(ModBusType, DeviceAddress, pdu));
}
