#include "pipeline/datapelmar97.h"

#include "base/languagetext.h"
#include "codecs/pelmar97.h"

namespace {

// Positions of the address and instruction bytes, drawn bold.
constexpr qsizetype kAdrPosition = 5;
constexpr qsizetype kInstPosition = 7;

// What the information and detail windows call a frame's fault.
QString FrameFaultTitle() {
  return LanguageText(QStringLiteral("FrameFault"), QStringLiteral("Chyba rámce"));
}

} // namespace

TVexlinDataBinary::TInfoHintCache TVexlinDataBinary_Pelmar97::Pelmar97HintCache;

void TVexlinDataBinary_Pelmar97::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  DrawBytes(Sender, PaintInfo, {kAdrPosition, kInstPosition});
  const TS97Fault fault = S97Fault(Data);
  FrameBytes(PaintInfo, fault.Position + 1, fault.Count, FaultColour());
}

QString TVexlinDataBinary_Pelmar97::GetTextInfo() const {
  const QString fault = S97FaultText(S97Fault(Data));
  const QString text = TVexlinDataBinary::GetTextInfo();
  if (fault.isEmpty())
    return text;
  return text + QStringLiteral("\r\r") + FrameFaultTitle() + QStringLiteral(":\r") + fault;
}

void TVexlinDataBinary_Pelmar97::DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) {
  Pelmar97HintCache.Reset();
  TVexlinDataBinary::DoMouseLeave(Sender, Node);
}

QString TVexlinDataBinary_Pelmar97::FieldTitle(qsizetype position, qsizetype length) {
  static const char *const kHeader[] = {"PRE", "FRM", "LEN <hi>", "LEN <lo>", "ADR", "SIG", "INST"};
  // The header names hold whatever the length, so a short row still names
  // its first bytes.
  if (position >= 1 && position <= kInstPosition)
    return QString::fromLatin1(kHeader[position - 1]);
  if (position == length)
    return QStringLiteral("CR");
  if (position == length - 1)
    return QStringLiteral("SUM");
  return QStringLiteral("DATA [%1]").arg(position - kInstPosition);
}

void TVexlinDataBinary_Pelmar97::ShowInfoHint(int Index, int X, int Y) {
  FillInfoHint(Index, X, Y, Pelmar97HintCache, [this, Index](uint8_t Value) {
    QList<TXmlAttribute> attributes = ByteAttributes(Index, Value);
    // Nine bytes of a frame are not data.
    if (Data.size() >= uPelmar97::MinFrameLength)
      attributes.append({QStringLiteral("length_SDATA"),
                         QString::number(Data.size() - uPelmar97::MinFrameLength)});
    const QString fault = S97FaultText(S97Fault(Data));
    if (!fault.isEmpty()) {
      // The style sheet heads a value with its "_label" attribute where one
      // is given: the heading follows the program's language.
      attributes.append({QStringLiteral("frame_error_label"), FrameFaultTitle()});
      attributes.append({QStringLiteral("frame_error"), fault});
    }
    attributes.append({QStringLiteral("title"), FieldTitle(Index, Data.size())});
    return attributes;
  });
}
