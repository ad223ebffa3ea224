#include "pipeline/datamodbus.h"

#include "base/languagetext.h"
#include "codecs/modbusframing.h"
#include "codecs/modbuspairing.h"
#include "codecs/modbustext.h"
#include "pipeline/savedtexttokens.h"

namespace {

// The saved text's type tokens, in the order of TModbusType.
constexpr const char *kTypeTokens[] = {"rtu", "tcp", "ascii"};

QString FrameFaultTitle() {
  return LanguageText(QStringLiteral("FrameFault"), QStringLiteral("Chyba rámce"));
}

QString CheckName(TModbusType type) {
  switch (type) {
  case mbtRTU:
    return QStringLiteral("CRC");
  case mbtASCII:
    return QStringLiteral("LRC");
  case mbtTCP:
    break;
  }
  return QStringLiteral("MBAP");
}

} // namespace

TVexlinDataBinary::TInfoHintCache TVexlinDataBinary_Modbus::ModbusHintCache;

QString TVexlinDataBinary_Modbus::TypeName(TModbusType type) {
  switch (type) {
  case mbtRTU:
    return QStringLiteral("RTU");
  case mbtTCP:
    return QStringLiteral("TCP");
  case mbtASCII:
    break;
  }
  return QStringLiteral("ASCII");
}

void TVexlinDataBinary_Modbus::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  // The unit id and the function code: RTU bytes 1 and 2, TCP behind the
  // MBAP header, ASCII the digits of the first two pairs.
  switch (ModbusType) {
  case mbtRTU:
    DrawBytes(Sender, PaintInfo, {1, 2});
    break;
  case mbtTCP:
    DrawBytes(Sender, PaintInfo, {7, 8});
    break;
  case mbtASCII:
    DrawBytes(Sender, PaintInfo, {2, 3, 4, 5});
    break;
  }
  const TModbusFrameFault fault = ModbusFrameFault(Data, ModbusType);
  if (fault.Kind != TModbusFrameFault::None)
    FrameBytes(PaintInfo, fault.Position + 1, fault.Count, FaultColour());
}

QString TVexlinDataBinary_Modbus::FaultText() const {
  const TModbusFrameFault fault = ModbusFrameFault(Data, ModbusType);
  auto hex = [](uint32_t value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
  };
  const QString field =
      LanguageText(QStringLiteral("FrameFieldFault"), QStringLiteral("%1 %2, očekáváno %3"));
  switch (fault.Kind) {
  case TModbusFrameFault::None:
    return {};
  case TModbusFrameFault::Short:
    return LanguageText(QStringLiteral("FrameShort"),
                        QStringLiteral("Krátký rámec: %1 B, nejméně %2 B"))
        .arg(fault.Actual)
        .arg(fault.Expected);
  case TModbusFrameFault::NotHex:
    return LanguageText(QStringLiteral("ModbusNotHex"),
                        QStringLiteral("Rámec není \":\", šestnáctkové páry a CR LF"));
  case TModbusFrameFault::Crc:
    return field.arg(QStringLiteral("CRC"), hex(fault.Actual, 4), hex(fault.Expected, 4));
  case TModbusFrameFault::Lrc:
    return field.arg(QStringLiteral("LRC"), hex(fault.Actual, 2), hex(fault.Expected, 2));
  case TModbusFrameFault::MbapProtocol:
    return field.arg(QStringLiteral("Protocol ID"), hex(fault.Actual, 4), hex(fault.Expected, 4));
  case TModbusFrameFault::MbapLength:
    return field.arg(QStringLiteral("Length"), hex(fault.Actual, 4), hex(fault.Expected, 4));
  }
  return {};
}

QString TVexlinDataBinary_Modbus::FrameSummary() const {
  QString text = QStringLiteral("Modbus ") + TypeName(ModbusType);
  uint8_t unit = 0;
  uint8_t function = 0;
  if (ModbusUnitAndFunction(Data, ModbusType, unit, function)) {
    text += LanguageText(QStringLiteral("ModbusUnitFunction"),
                         QStringLiteral(", jednotka %1, funkce %2 (0x%3)"))
                .arg(unit)
                .arg(function)
                .arg(QString::number(function, 16).toUpper().rightJustified(2, u'0'));
  }
  const QString fault = FaultText();
  if (fault.isEmpty())
    return text + u'\r' +
           LanguageText(QStringLiteral("ModbusCheckOk"), QStringLiteral("%1 v pořádku"))
               .arg(CheckName(ModbusType));
  return text + u'\r' + FrameFaultTitle() + QStringLiteral(": ") + fault;
}

QString TVexlinDataBinary_Modbus::GetTextInfo() const {
  QString text = TVexlinDataBinary::GetTextInfo() + QStringLiteral("\r\r") + FrameSummary();
  QByteArray message;
  std::optional<uint16_t> transaction;
  if (ModbusFrameMessage(Data, ModbusType, message, transaction)) {
    if (transaction)
      text += u'\r' +
              LanguageText(QStringLiteral("ModbusTransaction"), QStringLiteral("Transakce")) +
              QStringLiteral(": ") + QString::number(*transaction);
    text += QStringLiteral("\r\r") + ModbusDetailText(Decoded());
  }
  return text;
}

TModbusDirection TVexlinDataBinary_Modbus::NotedDirection() const {
  if (Note.Flags & kNoteRequest)
    return TModbusDirection::Request;
  if (Note.Flags & kNoteResponse)
    return TModbusDirection::Response;
  // Unpaired (a loaded log): what we sent is a request, what came may be either.
  return Direction == spTx ? TModbusDirection::Request : TModbusDirection::Unknown;
}

TModbusMessage TVexlinDataBinary_Modbus::Decoded() const {
  QByteArray message;
  std::optional<uint16_t> transaction;
  if (!ModbusFrameMessage(Data, ModbusType, message, transaction))
    return ModbusDecode({});
  if (!Paired())
    return ModbusDecode(message, NotedDirection());
  TModbusPairedRequest request;
  request.Function = Note.Function;
  if (Note.Flags & kNoteAddress)
    request.Address = Note.Address;
  if (Note.Flags & kNoteCount)
    request.Count = Note.Count;
  if (Note.Flags & kNoteTime)
    request.Milliseconds = Note.Milliseconds;
  return ModbusDecode(message, TModbusDirection::Response, &request);
}

void TVexlinDataBinary_Modbus::Pair(TModbusPairing &pairing) {
  QByteArray message;
  std::optional<uint16_t> transaction;
  if (!ModbusFrameMessage(Data, ModbusType, message, transaction))
    return;
  const TModbusMessage decoded = pairing.Decode(
      message, Direction == spTx ? TModbusDirection::Request : TModbusDirection::Unknown, Time,
      transaction);
  Note = {};
  if (decoded.Direction == TModbusDirection::Request)
    Note.Flags |= kNoteRequest;
  else if (decoded.Direction == TModbusDirection::Response)
    Note.Flags |= kNoteResponse;
  if (!decoded.Request)
    return;
  const TModbusPairedRequest &request = *decoded.Request;
  Note.Flags |= kNotePaired;
  Note.Function = request.Function;
  if (request.Address) {
    Note.Flags |= kNoteAddress;
    Note.Address = *request.Address;
  }
  if (request.Count) {
    Note.Flags |= kNoteCount;
    Note.Count = *request.Count;
  }
  if (request.Milliseconds) {
    Note.Flags |= kNoteTime;
    Note.Milliseconds = static_cast<float>(*request.Milliseconds);
  }
}

void TVexlinDataBinary_Modbus::DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) {
  ModbusHintCache.Reset();
  TVexlinDataBinary::DoMouseLeave(Sender, Node);
}

void TVexlinDataBinary_Modbus::ShowInfoHint(int Index, int X, int Y) {
  FillInfoHint(Index, X, Y, ModbusHintCache, [this, Index](uint8_t Value) {
    QList<TXmlAttribute> attributes = ByteAttributes(Index, Value);
    const QString fault = FaultText();
    if (!fault.isEmpty()) {
      attributes.append({QStringLiteral("frame_error_label"), FrameFaultTitle()});
      attributes.append({QStringLiteral("frame_error"), fault});
    }
    attributes.append({QStringLiteral("modbus_label"), QStringLiteral("Modbus")});
    attributes.append({QStringLiteral("modbus"), ModbusSummaryText(Decoded())});
    attributes.append({QStringLiteral("title"), FrameSummary().section(u'\r', 0, 0)});
    return attributes;
  });
}

QByteArray TVexlinDataBinary_Modbus::GetText4Save() const {
  QByteArray out;
  AppendText4Save(out);
  return out;
}

void TVexlinDataBinary_Modbus::AppendText4Save(QByteArray &out) const {
  // "rx " first, then the type, then the packet text from "hex:" on.
  const qsizetype start = out.size();
  AppendPacketSaveText(out, Data, Direction);
  const QByteArray type = QByteArray(kTypeTokens[ModbusType]) + ' ';
  out.insert(start + 3, type);
}

bool TVexlinDataBinary_Modbus::LoadFromSavedFile(const QString &data) {
  TSavedTextTokens tokens(data, TSavedTextTokens::LettersAndDigits);
  QStringView token;
  // The type token stands before "hex"; an unknown one keeps RTU.
  while (tokens.Next(token) && token != u"hex") {
    for (int type = 0; type < 3; ++type)
      if (token == QLatin1StringView(kTypeTokens[type]))
        ModbusType = static_cast<TModbusType>(type);
  }
  return ReadPacketSaveText(data, Data, Direction);
}

TVexlinDataBinary *NewSentRow(const QByteArray &data, std::optional<TModbusType> modbus) {
  if (modbus && ModbusFrameFault(data, *modbus).Kind == TModbusFrameFault::None) {
    uint8_t unit = 0;
    uint8_t function = 0;
    if (ModbusUnitAndFunction(data, *modbus, unit, function))
      return new TVexlinDataBinary_Modbus(data, spTx, *modbus);
  }
  return new TVexlinDataBinary(data, spTx);
}
