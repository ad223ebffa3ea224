#include "pipeline/datalog.h"

#include "base/ansicodepage.h"
#include "pipeline/bytefinder.h"
#include "pipeline/databinary.h"

#include <QFontMetrics>

namespace {

// Characters measured at a time while looking for the row's edge, and the
// margin drawn beyond it.
constexpr qsizetype kMeasureChunk = 256;
// No row is this many pixels wide, nor shows this many characters: a text of
// zero-width characters stops here instead of being measured to its end.
constexpr qsizetype kMaxVisibleChars = 64 * 1024;

qsizetype AvoidSplitPair(QStringView text, qsizetype at) {
  if (at > 0 && at < text.size() && text[at].isLowSurrogate() && text[at - 1].isHighSurrogate())
    return at + 1;
  return at;
}

// Marks what the find bar looks for in the part of a line drawn at `area`'s
// top left: the found characters are drawn again over the mark's colour.
void MarkFound(QPainter &canvas, const QRect &area, QStringView shown, const QColor &mark) {
  const TByteFinder &finder = *TVexlinDataBinary::FindMarks;
  const QByteArray bytes = AnsiFromText(shown.toString());
  // A character outside the code page in two code units gives one byte:
  // the places would not meet. Rare in a log line; it goes unmarked.
  if (bytes.size() != shown.size())
    return;
  const QFontMetrics metrics = canvas.fontMetrics();
  canvas.setBackgroundMode(Qt::TransparentMode);
  finder.ForEachRunIn(bytes, [&](qsizetype begin, qsizetype end) {
    const QString found = shown.sliced(begin, end - begin).toString();
    const int x = area.left() + metrics.horizontalAdvance(shown.first(begin).toString());
    const QRect cell(x, area.top(), metrics.horizontalAdvance(found), metrics.height());
    canvas.fillRect(cell.intersected(area), mark);
    canvas.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, found);
  });
}

} // namespace

qsizetype VisibleTextLength(QStringView text, const QFontMetrics &metrics, int width) {
  if (text.size() <= kMeasureChunk)
    return text.size(); // as cheap to draw whole as to measure
  const qsizetype limit = qMin(text.size(), kMaxVisibleChars);
  qsizetype end = 0;
  qint64 advance = 0;
  while (end < limit && advance <= width) {
    const qsizetype next = AvoidSplitPair(text, qMin(limit, end + kMeasureChunk));
    advance += metrics.horizontalAdvance(text.sliced(end, next - end).toString());
    end = next;
  }
  return AvoidSplitPair(text, qMin(text.size(), end + kMeasureChunk));
}

TVexlinDataLog::TVexlinDataLog(const QString &AText, TColor AColor)
    : Text(AText), TextColor(AColor) {
  Time = NowDateTime();
}

void TVexlinDataLog::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  ParentVDT = &Sender;
  QPainter *canvas = PaintInfo.Canvas;
  if (!canvas)
    return;
  canvas->save();
  canvas->setBackgroundMode(Qt::OpaqueMode);
  canvas->setBackground(ToQColor(GetBckColor()));
  canvas->setPen(ToQColor(TextColor));
  canvas->setFont(Sender.Font());
  const QRect &c = PaintInfo.ContentRect;
  const int left = c.left() + LeftDataOffset + 4;
  const int top = c.top() + 1;
  const QRect area(left, top, qMax(0, c.right() - left + 1), qMax(0, c.bottom() - top + 1));
  const qsizetype visible = VisibleTextLength(Text, canvas->fontMetrics(), area.width());
  canvas->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   visible < Text.size() ? Text.first(visible) : Text);
  if (TVexlinDataBinary::FindMarks)
    MarkFound(*canvas, area, QStringView(Text).first(visible), TVexlinDataBinary::FoundColor(this));
  canvas->restore();
}

TColor TVexlinDataLog::GetBckColor() const {
  return 0xC0FFFF;
}

QByteArray TVexlinDataLog::GetText4Save() const {
  return AnsiFromText(Text);
}

QByteArrayView TVexlinDataLog::SearchBytes(QByteArray &scratch) const {
  scratch = AnsiFromText(Text);
  return scratch;
}

bool TVexlinDataLog::LoadFromSavedFile(const QString &data) {
  Text = data;
  return false;
}
