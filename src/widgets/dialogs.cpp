#include "widgets/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QToolTip>
#include <QWidget>

void TQtDialogs::ShowError(QWidget *anchor, const QString &title, const QString &text) {
  QMessageBox::warning(anchor ? anchor->window() : nullptr,
                       title.isEmpty() ? QApplication::applicationDisplayName() : title, text);
}

void TQtDialogs::ShowMessage(QWidget *parent, const QString &text) {
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

TPtDialogs::TAnswer TQtDialogs::AskYesNoCancel(QWidget *parent, const QString &title,
                                               const QString &text) {
  switch (QMessageBox::question(parent, title, text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
  case QMessageBox::Yes:
    return Yes;
  case QMessageBox::No:
    return No;
  default:
    return Cancel;
  }
}

void TQtDialogs::ShowBalloon(QWidget *anchor, const QString &title, const QString &text) {
  if (text.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  // Points at the field's horizontal middle, just above its bottom edge.
  const QPoint at = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height() - 3));
  QToolTip::showText(
      at, QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped()),
      anchor);
}

QString TQtDialogs::SaveFileName(QWidget *parent, const QString &proposed, const QString &filter) {
  return QFileDialog::getSaveFileName(parent, QString(), proposed, filter);
}

QString TQtDialogs::OpenFileName(QWidget *parent) {
  return QFileDialog::getOpenFileName(parent);
}

bool TQtDialogs::AskNumber(QWidget *parent, const QString &title, const QString &label, int &value,
                           int min, int max) {
  bool ok = false;
  const int n = QInputDialog::getInt(parent, title, label, value, min, max, 1, &ok);
  if (ok)
    value = n;
  return ok;
}
