#pragma once

// Finds the controls of a shown window that a user cannot read or reach:
// a button, label, check box or field narrower (or lower) than its content
// needs, or lying outside the part of the window that shows it. A control in
// a scroll area that scrolls vertically is judged by the area's content in
// that direction; sideways it must fit the viewport.

#include "widgets/elidedlabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

namespace layoutcheck {

// Parts of composite controls (a combo's edit, a spin box's arrows, the
// arrows inside a numeric edit, a tab bar's scroll buttons) are judged with
// the control that holds them.
inline bool IsInnerPart(const QWidget *w, const QWidget *window) {
  for (const QWidget *p = w->parentWidget(); p && p != window->parentWidget();
       p = p->parentWidget())
    if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractSpinBox *>(p) ||
        qobject_cast<const QTabBar *>(p) || qobject_cast<const QLineEdit *>(p) ||
        qobject_cast<const QScrollBar *>(p) || qobject_cast<const QHeaderView *>(p))
      return true;
  return false;
}

inline QString Name(const QWidget *w) {
  QString name = w->objectName();
  if (name.isEmpty())
    name = QStringLiteral("(unnamed)");
  QString text;
  if (auto *b = qobject_cast<const QAbstractButton *>(w))
    text = b->text();
  else if (auto *l = qobject_cast<const QLabel *>(w))
    text = l->text();
  if (!text.isEmpty())
    name += QStringLiteral(" \"%1\"").arg(text.left(60));
  return name + QStringLiteral(" (%1)").arg(QLatin1String(w->metaObject()->className()));
}

// The width a push button's text and icon need, without the least width
// some styles give every button whatever its text.
inline int PushButtonContentWidth(const QPushButton *b) {
  const QStyle *s = b->style();
  int w = b->fontMetrics().size(Qt::TextShowMnemonic, b->text()).width();
  if (!b->icon().isNull())
    w += b->iconSize().width() + (b->text().isEmpty() ? 0 : 4);
  w += s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
       2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
  if (b->autoDefault() || b->isDefault())
    w += 2 * s->pixelMetric(QStyle::PM_ButtonDefaultIndicator, nullptr, b);
  if (b->menu())
    w += s->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, b);
  return std::min(w, b->sizeHint().width());
}

// What a line edit needs to show its whole text (or placeholder).
inline int LineEditContentWidth(const QLineEdit *e) {
  const QFontMetrics fm(e->font());
  const int text =
      std::max(fm.horizontalAdvance(e->text()), fm.horizontalAdvance(e->placeholderText()));
  const QMargins m = e->textMargins();
  const int frame = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  // The edit keeps 2 px either side of its text and a pixel for the cursor.
  return std::max(text + m.left() + m.right() + 4 + 2 * frame + 1, e->minimumSizeHint().width());
}

// The least size a control needs to show its content; an invalid size for
// controls not judged.
inline QSize NeededSize(const QWidget *w) {
  if (auto *b = qobject_cast<const QPushButton *>(w))
    return {PushButtonContentWidth(b), b->minimumSizeHint().height()};
  if (qobject_cast<const QCheckBox *>(w) || qobject_cast<const QRadioButton *>(w))
    return w->sizeHint();
  if (auto *b = qobject_cast<const QToolButton *>(w))
    return b->text().isEmpty() && b->icon().isNull() ? QSize() : b->sizeHint();
  if (auto *l = qobject_cast<const QLabel *>(w)) {
    if (l->text().isEmpty())
      return {};
    // Cut on purpose, with the whole text at hand.
    if (qobject_cast<const TElidedLabel *>(w))
      return l->minimumSizeHint();
    if (l->wordWrap())
      return {l->minimumSizeHint().width(), l->heightForWidth(l->width())};
    return l->sizeHint();
  }
  if (auto *e = qobject_cast<const QLineEdit *>(w))
    return {LineEditContentWidth(e), e->minimumSizeHint().height()};
  if (qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w))
    return w->sizeHint();
  return {};
}

// The ancestor that hides part of `w` (its rectangle followed up to
// `window`), or none.
inline const QWidget *ClippingAncestor(const QWidget *w, const QWidget *window, QString *how) {
  QRect r = w->rect();
  const QWidget *child = w;
  for (const QWidget *p = w->parentWidget(); p; child = p, p = p->parentWidget()) {
    r.translate(child->pos());
    const auto *area = qobject_cast<const QAbstractScrollArea *>(p->parentWidget());
    if (area && area->viewport() == p) {
      // Scrolling up and down reaches it, as long as the area scrolls that way.
      if (r.left() < 0 || r.right() >= p->width()) {
        *how = QStringLiteral("beyond the sideways edge of the scrolled area %1")
                   .arg(area->objectName());
        return area;
      }
      if (area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
          (r.top() < 0 || r.bottom() >= p->height())) {
        *how = QStringLiteral("below or above the area %1, which does not scroll")
                   .arg(area->objectName());
        return area;
      }
      r = QRect(r.left(), 0, r.width(), std::min(r.height(), p->height()));
    } else if (!p->rect().contains(r)) {
      *how = QStringLiteral("%1x%2 at %3,%4 outside %5 (%6x%7)")
                 .arg(r.width())
                 .arg(r.height())
                 .arg(r.left())
                 .arg(r.top())
                 .arg(p->objectName().isEmpty() ? QLatin1String(p->metaObject()->className())
                                                : p->objectName())
                 .arg(p->width())
                 .arg(p->height());
      return p;
    }
    if (p == window)
      break;
  }
  return nullptr;
}

// Every fault of the shown window `window`, one line each.
inline QStringList Faults(const QWidget *window) {
  QStringList faults;
  QList<const QWidget *> judged;
  for (const QWidget *w : window->findChildren<QWidget *>()) {
    // Windows of their own are judged on their own.
    if (!w->isVisible() || w->window() != window || IsInnerPart(w, window))
      continue;
    // Scrolled areas, lists and tables among them, never scroll sideways.
    if (auto *area = qobject_cast<const QAbstractScrollArea *>(w)) {
      if (area->horizontalScrollBar()->isVisible())
        faults << Name(w) + QStringLiteral(": scrolls sideways");
      if (qobject_cast<const QAbstractItemView *>(w))
        continue;
    }
    const QSize need = NeededSize(w);
    if (!need.isValid())
      continue;
    if (w->width() < need.width() || w->height() < need.height())
      faults << Name(w) + QStringLiteral(": %1x%2, needs %3x%4")
                              .arg(w->width())
                              .arg(w->height())
                              .arg(need.width())
                              .arg(need.height());
    QString how;
    if (ClippingAncestor(w, window, &how))
      faults << Name(w) + QStringLiteral(": ") + how;
    // Controls placed by hand must not cover one another.
    for (const QWidget *other : judged)
      if (other->parentWidget() == w->parentWidget() && other->geometry().intersects(w->geometry()))
        faults << Name(w) + QStringLiteral(": overlaps ") + Name(other);
    judged << w;
  }
  return faults;
}

} // namespace layoutcheck
