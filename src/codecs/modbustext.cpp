#include "codecs/modbustext.h"

#include "base/languagetext.h"
#include "codecs/modbus.h"
#include "codecs/modbusreference.h"

#include <QStringList>

namespace {

// Values a one-line summary lists before it stops.
constexpr qsizetype kSummaryValues = 8;
constexpr qsizetype kBitsPerLine = 8;

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
