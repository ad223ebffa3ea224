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
    // Both backgrounds live in the palette at once, white in the enabled
    // groups and the button colour in the disabled one, so switching changes
    // no palette: styles cache pixmaps per palette, and a new palette at
    // every switch piled up a new set of them at every connect.
    QPalette palette = widget->palette();
    const QColor disabled = palette.color(QPalette::Active, QPalette::Button);
    const QColor enabled(Qt::white);
    if (palette.color(QPalette::Active, QPalette::Base) == enabled &&
        palette.color(QPalette::Inactive, QPalette::Base) == enabled &&
        palette.color(QPalette::Disabled, QPalette::Base) == disabled)
      continue;
    palette.setColor(QPalette::Active, QPalette::Base, enabled);
    palette.setColor(QPalette::Inactive, QPalette::Base, enabled);
    palette.setColor(QPalette::Disabled, QPalette::Base, disabled);
    widget->setPalette(palette);
  }
}
