#include "widgets/endis.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace {

bool HasInputBackground(const QWidget *widget) {
  return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget) ||
         qobject_cast<const QAbstractSpinBox *>(widget);
}

} // namespace

void EnDis(const QList<QWidget *> &Components, bool Status) {
  for (QWidget *widget : Components) {
    if (!widget)
      continue;
    widget->setEnabled(Status);
    if (!HasInputBackground(widget))
      continue;
    QPalette palette = widget->palette();
    const QColor background =
        Status ? QColor(Qt::white) : palette.color(QPalette::Active, QPalette::Button);
    // Every colour group, so the disabled look uses the same background.
    palette.setColor(QPalette::Base, background);
    widget->setPalette(palette);
  }
}
