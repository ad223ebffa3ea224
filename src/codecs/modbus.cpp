#include "codecs/modbus.h"

#include "base/pterror.h"

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

uint16_t ModbusCRC16(QByteArrayView data) {
  uint16_t crc = 0xFFFF;
  for (const char c : data) {
    crc = CrcStep(crc, static_cast<uint8_t>(c));
  }
  return crc;
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
  if (ModBusType != mbtRTU && ModBusType != mbtTCP) {
    throw EPtError(QStringLiteral("Unknown Modbus type %1.").arg(static_cast<int>(ModBusType)));
  }
  // Unsigned arithmetic: the offset wraps to 16 bits without overflowing int32.
  const uint32_t offset = static_cast<uint32_t>(Address) - 10001u;
  const auto count = static_cast<uint32_t>(Count);
  QString request;
  request.reserve(8);
  if (ModBusType == mbtRTU) {
    request += ByteChar(DeviceAddress);
  }
  request += ByteChar(MODBUS_INST_Read_Discrete_Inputs);
  request += ByteChar(offset >> 8);
  request += ByteChar(offset);
  request += ByteChar(count >> 8);
  request += ByteChar(count);
  if (ModBusType == mbtRTU) {
    request += crc16string(request);
  }
  return request;
}
