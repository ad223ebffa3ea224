#include "codecs/modbusrequest.h"

#include "base/ansicodepage.h"
#include "base/languagetext.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "codecs/modbusreference.h"

#include <algorithm>

namespace {

constexpr uint16_t kCoilOn = 0xFF00;
constexpr qsizetype kMaxPdu = 253;
constexpr int32_t kLastAddress = 0xFFFF;

QString Text(const char *key, const char *defaultText) {
  return LanguageText(QLatin1String(key), QString::fromUtf8(defaultText));
}

void AppendWord(QByteArray &bytes, unsigned value) {
  bytes += static_cast<char>(value >> 8 & 0xFF);
  bytes += static_cast<char>(value & 0xFF);
}

bool IsCoilFunction(uint8_t function) {
  return function == MODBUS_INST_Write_Single_Coil || function == MODBUS_INST_Write_Multiple_Coils;
}

QByteArray PackedCoils(const QList<uint16_t> &values) {
  QByteArray bytes((values.size() + 7) / 8, '\0');
  for (qsizetype i = 0; i < values.size(); ++i)
    if (values[i])
      bytes[i / 8] = static_cast<char>(static_cast<uint8_t>(bytes[i / 8]) | 1 << (i % 8));
  return bytes;
}

// One comma-separated value; `position` counts from 1 for the message.
uint16_t ParseValue(const QString &token, qsizetype position, uint8_t function) {
  const QString value = token.trimmed();
  if (value.isEmpty())
    throw EPtError(Text("ModbusValueEmpty", "Prázdná hodnota na %1. místě").arg(position));
  const bool hex = value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
  const QString digits = hex ? value.mid(2) : value;
  const auto isDigit = [hex](QChar c) {
    const char16_t u = c.unicode();
    const char16_t lower = u | 0x20;
    return (u >= '0' && u <= '9') || (hex && lower >= 'a' && lower <= 'f');
  };
  if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), isDigit))
    throw EPtError(
        Text("ModbusValueBad", "\"%1\" není číslo (desítkově, nebo šestnáctkově s 0x)").arg(value));
  bool fits = false;
  const qulonglong number = digits.toULongLong(&fits, hex ? 16 : 10);
  if (IsCoilFunction(function)) {
    if (!fits || (number != 0 && number != 1 && number != kCoilOn))
      throw EPtError(Text("ModbusCoilValueBad", "Hodnota cívky %1: zadejte 0 nebo 1").arg(value));
    return number ? 1 : 0;
  }
  if (!fits || number > 0xFFFF)
    throw EPtError(
        Text("ModbusValueRange", "Hodnota %1 je mimo rozsah %2–%3").arg(value).arg(0).arg(0xFFFF));
  return static_cast<uint16_t>(number);
}

} // namespace

QByteArray ModbusRequestPdu(const TModbusRequest &request) {
  QByteArray pdu;
  pdu += static_cast<char>(request.Function);
  AppendWord(pdu, request.Address);
  const auto values = [&request](qsizetype min, qsizetype max) {
    if (request.Values.size() < min || request.Values.size() > max)
      throw EPtError(QStringLiteral("Modbus function %1 takes %2 to %3 values, not %4.")
                         .arg(request.Function)
                         .arg(min)
                         .arg(max)
                         .arg(request.Values.size()));
  };
  switch (request.Function) {
  case MODBUS_INST_Read_Coils:
  case MODBUS_INST_Read_Discrete_Inputs:
  case MODBUS_INST_Read_Holding_Registers:
  case MODBUS_INST_Read_Input_Registers:
    AppendWord(pdu, request.Count);
    break;
  case MODBUS_INST_Write_Single_Coil:
    values(1, 1);
    AppendWord(pdu, request.Values.front() ? kCoilOn : 0);
    break;
  case MODBUS_INST_Write_Single_Register:
    values(1, 1);
    AppendWord(pdu, request.Values.front());
    break;
  case MODBUS_INST_Write_Multiple_Coils: {
    values(1, 255 * 8);
    AppendWord(pdu, unsigned(request.Values.size()));
    const QByteArray packed = PackedCoils(request.Values);
    pdu += static_cast<char>(packed.size());
    pdu += packed;
    break;
  }
  case MODBUS_INST_Write_Multiple_Registers:
    values(1, 127);
    AppendWord(pdu, unsigned(request.Values.size()));
    pdu += static_cast<char>(2 * request.Values.size());
    for (const uint16_t value : request.Values)
      AppendWord(pdu, value);
    break;
  default:
    throw EPtError(QStringLiteral("Modbus function %1 is not built here.").arg(request.Function));
  }
  return pdu;
}

QByteArray ModbusRtuFrame(QByteArrayView message) {
  QByteArray frame = message.toByteArray();
  const uint16_t crc = ModbusCRC16(message);
  frame += static_cast<char>(crc & 0xFF);
  frame += static_cast<char>(crc >> 8);
  return frame;
}

QByteArray ModbusTcpFrame(uint16_t transaction, QByteArrayView message) {
  QByteArray frame;
  frame.reserve(6 + message.size());
  AppendWord(frame, transaction);
  AppendWord(frame, 0);
  AppendWord(frame, unsigned(message.size()));
  frame += message;
  return frame;
}

QByteArray TModbusFramer::Frame(TModbusType type, uint8_t unit, QByteArrayView pdu) {
  QByteArray message;
  message.reserve(1 + pdu.size());
  message += static_cast<char>(unit);
  message += pdu;
  switch (type) {
  case mbtRTU:
    return ModbusRtuFrame(message);
  case mbtASCII:
    return ModbusAsciiFrame(message);
  case mbtTCP:
    return ModbusTcpFrame(fTransaction++, message);
  }
  throw EPtError(QStringLiteral("Unknown Modbus type %1.").arg(static_cast<int>(type)));
}

QList<uint16_t> ParseModbusValues(const QString &text, uint8_t function) {
  const int32_t max = ModbusMaxQuantity(function);
  if (text.trimmed().isEmpty())
    throw EPtError(Text("ModbusValuesNone", "Zadejte hodnoty k zápisu"));
  const QStringList tokens = text.split(u',');
  if (tokens.size() > max)
    throw EPtError(Text("ModbusValuesTooMany", "Příliš mnoho hodnot: %1, nejvýše %2")
                       .arg(tokens.size())
                       .arg(max));
  QList<uint16_t> values;
  values.reserve(tokens.size());
  for (qsizetype i = 0; i < tokens.size(); ++i)
    values.append(ParseValue(tokens[i], i + 1, function));
  return values;
}

uint16_t ModbusStartAddress(uint8_t function, int32_t number, qsizetype count) {
  const std::optional<uint16_t> address = ModbusAddressOfReference(function, number);
  if (!address)
    throw EPtError(Text("ModbusNumberRange", "Číslo %1 neleží v rozsahu této funkce: %2")
                       .arg(number)
                       .arg(ModbusReferenceRanges(function)));
  if (*address + count - 1 > kLastAddress)
    throw EPtError(Text("ModbusPastEnd", "%1 hodnot od čísla %2 přesahuje adresu %3")
                       .arg(count)
                       .arg(number)
                       .arg(kLastAddress));
  return *address;
}

uint16_t ModbusReadCount(uint8_t function, int32_t count) {
  const int32_t max = ModbusMaxQuantity(function);
  if (count < 1 || count > max)
    throw EPtError(
        Text("ModbusFaultCountRange", "Počet %1 je mimo rozsah 1–%2").arg(count).arg(max));
  return static_cast<uint16_t>(count);
}

QByteArray ModbusCustomPdu(const QString &commandText) {
  const QByteArray pdu = ConvertToBinnaryEx(AnsiFromText(commandText), true);
  if (pdu.isEmpty())
    throw EPtError(Text("ModbusPduEmpty", "Zadejte PDU: kód funkce a data"));
  if (pdu.size() > kMaxPdu)
    throw EPtError(Text("ModbusPduLong", "PDU má %1 B, nejvýše %2 B").arg(pdu.size()).arg(kMaxPdu));
  return pdu;
}
