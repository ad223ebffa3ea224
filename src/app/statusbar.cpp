#include "app/statusbar.h"

#include "base/versioninfo.h"

#include <QMouseEvent>
#include <QPainter>
#include <optional>

TPtStatusBar::TPtStatusBar(QWidget *parent) : QStatusBar(parent) {
  setObjectName(QStringLiteral("StatusBar"));
  setFixedHeight(20);
  setSizeGripEnabled(false);
}

void TPtStatusBar::StatusBarRefresh(const QString &S) {
  fPanels[0] = QStringLiteral("ver.") + GetFileVersion();
  if (!S.isEmpty())
    fPanels[1] = S;
  update();
}

QString TPtStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < 2 ? fPanels[panel] : QString();
}

int TPtStatusBar::WhatPanelClick(QPoint p) const {
  int left = 0;
  for (int i = 0; i < 12; ++i) {
    const int right = left + kPanelWidths[i];
    if (left < p.x() && p.x() < right)
      return i;
    left = right;
  }
  return -1;
}

void TPtStatusBar::SetRecording(const QString &text) {
  if (text == fRecording)
    return;
  fRecording = text;
  update();
}

void TPtStatusBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const std::optional<TLines> lines = SerialLines ? SerialLines() : std::nullopt;
  static const char *const kLampNames[4] = {"RTS", "CTS", "DTR", "DSR"};
  int left = 0;
  for (int i = 0; i < 12; ++i) {
    const QRect r(left, 0, kPanelWidths[i], height());
    left += kPanelWidths[i];
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(r.topRight(), r.bottomRight());
    if (i < 2) {
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(r, Qt::AlignCenter, fPanels[i]);
    } else if (i < 6 && lines) {
      const bool on[4] = {lines->RTS, lines->CTS, lines->DTR, lines->DSR};
      const QColor lamp = on[i - 2] ? QColor(0xBB, 0xFF, 0xBB) : QColor(0xFF, 0xBB, 0xBB);
      const QColor frame(lamp.red() - 0x20, lamp.green() - 0x20, lamp.blue() - 0x20);
      const QRect inner = r.adjusted(1, 1, -2, -2);
      painter.fillRect(inner, lamp);
      painter.setPen(frame);
      painter.drawRect(inner);
      painter.setPen(Qt::black);
      painter.drawText(r, Qt::AlignCenter, QLatin1String(kLampNames[i - 2]));
    }
  }
  if (!fRecording.isEmpty()) {
    int empty = 0;
    for (int i = 0; i < 6; ++i)
      empty += kPanelWidths[i];
    painter.setPen(QColor(192, 0, 0));
    painter.drawText(QRect(empty + 4, 0, width() - empty - 8, height()),
                     Qt::AlignVCenter | Qt::AlignLeft, fRecording);
  }
}

void TPtStatusBar::mouseDoubleClickEvent(QMouseEvent *event) {
  const int panel = WhatPanelClick(event->position().toPoint());
  if (panel >= 0)
    emit panelDoubleClicked(panel);
}

void TPtStatusBar::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::RightButton) {
    const int panel = WhatPanelClick(event->position().toPoint());
    if (panel >= 0)
      emit panelRightClicked(panel, event->globalPosition().toPoint());
  }
  QStatusBar::mousePressEvent(event);
}
