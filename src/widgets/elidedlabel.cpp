#include "widgets/elidedlabel.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

bool TElidedLabel::IsElided() const {
  return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QSize TElidedLabel::minimumSizeHint() const {
  const QSize whole = QLabel::minimumSizeHint();
  const int least = fontMetrics().horizontalAdvance(text().left(1) + QChar(0x2026));
  return {qMin(whole.width(), least + contentsMargins().left() + contentsMargins().right()),
          whole.height()};
}

bool TElidedLabel::event(QEvent *event) {
  if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
    if (IsElided())
      QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QLabel::event(event);
}

void TElidedLabel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                        foregroundRole());
}
