#include "codecs/modbusdecode.h"

#include "base/languagetext.h"
#include "codecs/modbus.h"
#include "codecs/modbusreference.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr uint16_t kCoilOn = 0xFF00;
// Values a one-line summary lists before it stops.
constexpr qsizetype kSummaryValues = 8;
constexpr qsizetype kBitsPerLine = 8;

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

QString Text(const char *key, const char *defaultText) {
  return LanguageText(QLatin1String(key), QString::fromUtf8(defaultText));
}

QString Hex(unsigned value, int digits) {
  return QStringLiteral("0x") +
         QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString CodeText(uint8_t code, const QString &name) {
  QString text = QStringLiteral("%1 (%2)").arg(code, 2, 10, QLatin1Char('0')).arg(Hex(code, 2));
  return name.isEmpty() ? text : text + u' ' + name;
}

QString FunctionText(const TModbusMessage &m) {
  return CodeText(m.Function, ModbusFunctionName(m.Function));
}

QString ExceptionText(const TModbusMessage &m) {
  return CodeText(m.ExceptionCode, ModbusExceptionName(m.ExceptionCode));
}

QString DirectionText(TModbusDirection direction) {
  switch (direction) {
  case TModbusDirection::Request:
    return Text("ModbusRequest", "dotaz");
  case TModbusDirection::Response:
    return Text("ModbusResponse", "odpověď");
  default:
    return {};
  }
}

QString ValueText(uint16_t value) {
  return QStringLiteral("%1 (%2)").arg(value).arg(Hex(value, 4));
}

QString CoilText(bool on) {
  return on ? Text("ModbusCoilOn", "zapnuto") : Text("ModbusCoilOff", "vypnuto");
}

// The start address the values are counted from: the message's own, else the
// paired request's.
std::optional<uint16_t> StartAddress(const TModbusMessage &m) {
  if (m.Address)
    return m.Address;
  if (m.Request)
    return m.Request->Address;
  return std::nullopt;
}

// A value's name: its reference number when the start is known, else its
// place in the message.
QString ValueName(const TModbusMessage &m, qsizetype index) {
  if (const auto start = StartAddress(m)) {
    if (const auto number = ModbusReferenceNumber(m.Function, *start + int32_t(index)))
      return ModbusReferenceText(m.Function, *number);
  }
  return QStringLiteral("[%1]").arg(index);
}

QString AddressText(const TModbusMessage &m, uint16_t address) {
  QString text = QStringLiteral("%1 (%2)").arg(address).arg(Hex(address, 4));
  if (const auto number = ModbusReferenceNumber(m.Function, address))
    text += QStringLiteral(", ") + ModbusReferenceText(m.Function, *number);
  return text;
}

QString Line(const QString &title, const QString &value) {
  return title + QStringLiteral(": ") + value;
}

bool IsSingleWrite(const TModbusMessage &m) {
  return m.Function == MODBUS_INST_Write_Single_Coil ||
         m.Function == MODBUS_INST_Write_Single_Register;
}

// The eight functions whose data is laid out field by field.
bool IsKnownLayout(const TModbusMessage &m) {
  return ModbusReferenceBase(m.Function).Short != 0;
}

QString BitsText(const QList<bool> &bits, qsizetype from, qsizetype count) {
  QString text;
  for (qsizetype i = from; i < from + count && i < bits.size(); ++i) {
    if (!text.isEmpty())
      text += u' ';
    text += bits[i] ? u'1' : u'0';
  }
  return text;
}

QString TimeText(double ms) {
  return Text("ModbusAnswerTime", "Odpověď za %1 ms").arg(ms, 0, 'f', 1);
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

QString ModbusFunctionName(uint8_t function) {
  // International terms: both shipped languages keep them in English.
  struct TName {
    uint8_t Code;
    const char *Key;
    const char *Name;
  };
  static constexpr TName kNames[] = {
      {MODBUS_INST_Read_Coils, "ModbusFunction01", "Read Coils"},
      {MODBUS_INST_Read_Discrete_Inputs, "ModbusFunction02", "Read Discrete Inputs"},
      {MODBUS_INST_Read_Holding_Registers, "ModbusFunction03", "Read Holding Registers"},
      {MODBUS_INST_Read_Input_Registers, "ModbusFunction04", "Read Input Registers"},
      {MODBUS_INST_Write_Single_Coil, "ModbusFunction05", "Write Single Coil"},
      {MODBUS_INST_Write_Single_Register, "ModbusFunction06", "Write Single Register"},
      {MODBUS_INST_Read_Exception_Status, "ModbusFunction07", "Read Exception Status"},
      {MODBUS_INST_Diagnostics, "ModbusFunction08", "Diagnostics"},
      {MOSBUS_INST_Get_Com_Event_Counter, "ModbusFunction0B", "Get Comm Event Counter"},
      {MODBUS_INST_Get_Com_Event_Log, "ModbusFunction0C", "Get Comm Event Log"},
      {MODBUS_INST_Write_Multiple_Coils, "ModbusFunction0F", "Write Multiple Coils"},
      {MODBUS_INST_Write_Multiple_Registers, "ModbusFunction10", "Write Multiple Registers"},
      {MODBUS_INST_Report_Slave_ID, "ModbusFunction11", "Report Slave ID"},
      {MODBUS_INST_Read_File_Record, "ModbusFunction14", "Read File Record"},
      {MODBUS_INST_Write_File_Record, "ModbusFunction15", "Write File Record"},
      {MODBUS_INST_Mask_Write_Register, "ModbusFunction16", "Mask Write Register"},
      {MODBUS_INST_Read_Write_Multiple_Registers, "ModbusFunction17",
       "Read/Write Multiple Registers"},
      {MODBUS_INST_Read_FIFO_Queue, "ModbusFunction18", "Read FIFO Queue"},
      {MODBUS_INST_Encapsulated_Interface_Transport, "ModbusFunction2B",
       "Encapsulated Interface Transport"},
  };
  for (const TName &name : kNames)
    if (name.Code == function)
      return Text(name.Key, name.Name);
  return {};
}

QString ModbusExceptionName(uint8_t code) {
  struct TName {
    uint8_t Code;
    const char *Key;
    const char *Name;
  };
  static constexpr TName kNames[] = {
      {MODBUS_ACK_Illegal_Function, "ModbusException01", "Illegal Function"},
      {MODBUS_ACK_Illegal_Data_Address, "ModbusException02", "Illegal Data Address"},
      {MODBUS_ACK_Illegal_Data_Value, "ModbusException03", "Illegal Data Value"},
      {MODBUS_ACK_Slave_Device_Failure, "ModbusException04", "Slave Device Failure"},
      {MODBUS_ACK_Acknowlidge, "ModbusException05", "Acknowledge"},
      {MODBUS_ACK_Device_Bussy, "ModbusException06", "Slave Device Busy"},
      {MODBUS_ACK_Memory_Parity_Error, "ModbusException08", "Memory Parity Error"},
      {MODBUS_ACK_Gateway_Path_Unavailable, "ModbusException0A", "Gateway Path Unavailable"},
      {MODBUS_ACK_Gateway_Target_Device_Failed_To_Respond, "ModbusException0B",
       "Gateway Target Device Failed to Respond"},
  };
  for (const TName &name : kNames)
    if (name.Code == code)
      return Text(name.Key, name.Name);
  return {};
}

QString ModbusFaultText(const TModbusMessage &m) {
  switch (m.Fault) {
  case TModbusFault::None:
    return {};
  case TModbusFault::NoFunction:
    return Text("ModbusFaultNoFunction", "Zpráva bez kódu funkce: %1 B").arg(m.Actual);
  case TModbusFault::Short:
    return Text("ModbusFaultShort", "Krátká zpráva: %1 B dat, očekáváno %2 B")
        .arg(m.Actual)
        .arg(m.Expected);
  case TModbusFault::Long:
    return Text("ModbusFaultLong", "Za koncem zprávy přebývá %1 B").arg(m.Actual);
  case TModbusFault::ByteCount:
    return Text("ModbusFaultByteCount", "Počet bajtů je %1, zpráva jich nese %2")
        .arg(m.Expected)
        .arg(m.Actual);
  case TModbusFault::ByteCountOfCount:
    return Text("ModbusFaultByteCountOfCount", "Počet bajtů je %1, počtu odpovídá %2")
        .arg(m.Actual)
        .arg(m.Expected);
  case TModbusFault::CountRange:
    return Text("ModbusFaultCountRange", "Počet %1 je mimo rozsah 1–%2")
        .arg(m.Actual)
        .arg(m.Expected);
  case TModbusFault::CoilValue:
    return Text("ModbusFaultCoilValue", "Hodnota cívky %1, očekáváno 0xFF00 nebo 0x0000")
        .arg(Hex(unsigned(m.Actual), 4));
  case TModbusFault::OddByteCount:
    return Text("ModbusFaultOddByteCount", "Lichý počet bajtů registrů: %1").arg(m.Actual);
  }
  return {};
}

QString ModbusSummaryText(const TModbusMessage &m) {
  QStringList parts;
  parts << Line(Text("ModbusUnit", "Jednotka"), QString::number(m.Unit));
  if (m.Fault == TModbusFault::NoFunction)
    return parts.join(QStringLiteral(", ")) + QStringLiteral(", ") + ModbusFaultText(m);
  QString function = FunctionText(m);
  const QString direction = DirectionText(m.Direction);
  if (!direction.isEmpty())
    function += QStringLiteral(" (") + direction + u')';
  parts << function;
  if (m.Exception)
    parts << Line(Text("ModbusException", "Výjimka"), ExceptionText(m));
  if (m.Address)
    parts << Line(Text("ModbusAddress", "Adresa"), QString::number(*m.Address));
  if (m.Count)
    parts << Line(Text("ModbusCount", "Počet"), QString::number(*m.Count));
  if (IsSingleWrite(m) && !m.Registers.isEmpty()) {
    parts << Line(Text("ModbusValue", "Hodnota"),
                  m.Bits.isEmpty() ? ValueText(m.Registers.front()) : CoilText(m.Bits.front()));
  } else if (!m.Bits.isEmpty() || !m.Registers.isEmpty()) {
    const qsizetype total = m.Bits.isEmpty() ? m.Registers.size() : m.Bits.size();
    const qsizetype shown = m.Bits.isEmpty() ? kSummaryValues : kSummaryValues * kBitsPerLine;
    QStringList values;
    if (!m.Bits.isEmpty())
      values << BitsText(m.Bits, 0, shown);
    for (qsizetype i = 0; i < m.Registers.size() && i < shown; ++i)
      values << QString::number(m.Registers[i]);
    if (total > shown)
      values << QStringLiteral("…");
    parts << Line(Text("ModbusValues", "Hodnoty"), values.join(QStringLiteral(", ")));
  }
  if (m.Request && m.Request->Milliseconds)
    parts << TimeText(*m.Request->Milliseconds);
  const QString fault = ModbusFaultText(m);
  if (!fault.isEmpty())
    parts << fault;
  return parts.join(QStringLiteral(", "));
}

QString ModbusDetailText(const TModbusMessage &m) {
  QStringList lines;
  lines << Line(Text("ModbusUnit", "Jednotka"), QString::number(m.Unit));
  if (m.Fault != TModbusFault::NoFunction) {
    QString function = FunctionText(m);
    const QString direction = DirectionText(m.Direction);
    if (!direction.isEmpty())
      function += QStringLiteral(", ") + direction;
    lines << Line(Text("ModbusFunction", "Funkce"), function);
  }
  if (m.Exception)
    lines << Line(Text("ModbusException", "Výjimka"), ExceptionText(m));
  if (m.Address)
    lines << Line(Text("ModbusAddress", "Adresa"), AddressText(m, *m.Address));
  if (m.Count)
    lines << Line(Text("ModbusCount", "Počet"), QString::number(*m.Count));
  if (m.Request && m.Request->Address && !m.Address)
    lines << Line(Text("ModbusRequestAddress", "Adresa v dotazu"),
                  AddressText(m, *m.Request->Address));
  if (m.Request && m.Request->Count && !m.Count)
    lines << Line(Text("ModbusRequestCount", "Počet v dotazu"), QString::number(*m.Request->Count));
  if (m.ByteCount)
    lines << Line(Text("ModbusByteCount", "Počet bajtů"), QString::number(*m.ByteCount));
  if (IsSingleWrite(m) && !m.Registers.isEmpty()) {
    const QString value = m.Bits.isEmpty() ? ValueText(m.Registers.front())
                                           : CoilText(m.Bits.front()) + QStringLiteral(" (") +
                                                 Hex(m.Registers.front(), 4) + u')';
    lines << Line(Text("ModbusValue", "Hodnota"), value);
  } else if (!m.Bits.isEmpty()) {
    lines << Text("ModbusValues", "Hodnoty") + u':';
    for (qsizetype i = 0; i < m.Bits.size(); i += kBitsPerLine)
      lines << Line(ValueName(m, i), BitsText(m.Bits, i, kBitsPerLine));
  } else if (!m.Registers.isEmpty()) {
    lines << Text("ModbusValues", "Hodnoty") + u':';
    for (qsizetype i = 0; i < m.Registers.size(); ++i)
      lines << Line(ValueName(m, i), ValueText(m.Registers[i]));
  } else if (!m.Exception && !IsKnownLayout(m) && !m.Data.isEmpty()) {
    lines << Line(Text("ModbusData", "Data"), QString::fromLatin1(m.Data.toHex(' ').toUpper()));
  }
  if (m.Request && m.Request->Milliseconds)
    lines << TimeText(*m.Request->Milliseconds);
  const QString fault = ModbusFaultText(m);
  if (!fault.isEmpty())
    lines << Text("ModbusFaultTitle", "Chyba zprávy") + QStringLiteral(":\r") + fault;
  return lines.join(u'\r');
}
