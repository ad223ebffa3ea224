#include "pipeline/datalog.h"

#include "base/ansicodepage.h"

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
  canvas->drawText(QRect(left, top, qMax(0, c.right() - left + 1), qMax(0, c.bottom() - top + 1)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Text);
  canvas->restore();
}

TColor TVexlinDataLog::GetBckColor() const {
  return 0xC0FFFF;
}

QByteArray TVexlinDataLog::GetText4Save() const {
  return AnsiFromText(Text);
}

bool TVexlinDataLog::LoadFromSavedFile(const QString &data) {
  Text = data;
  return false;
}
