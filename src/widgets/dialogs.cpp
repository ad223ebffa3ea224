#include "widgets/dialogs.h"

#include "base/languagetext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QToolTip>
#include <QWidget>

namespace {

// Qt names its buttons in English whatever the program's language.
QString ButtonText(QMessageBox::StandardButton button) {
  switch (button) {
  case QMessageBox::Yes:
    return LanguageText(QStringLiteral("ButtonYes"), QStringLiteral("Ano"));
  case QMessageBox::No:
    return LanguageText(QStringLiteral("ButtonNo"), QStringLiteral("Ne"));
  case QMessageBox::Cancel:
    return LanguageText(QStringLiteral("ButtonCancel"), QStringLiteral("Storno"));
  default:
    return LanguageText(QStringLiteral("ButtonOk"), QStringLiteral("OK"));
  }
}

QMessageBox::StandardButton Show(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                                 const QString &text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, title, text, buttons, parent);
  for (QAbstractButton *button : box.buttons())
    button->setText(ButtonText(box.standardButton(button)));
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void TQtDialogs::ShowError(QWidget *anchor, const QString &title, const QString &text) {
  Show(QMessageBox::Warning, anchor ? anchor->window() : nullptr,
       title.isEmpty() ? QApplication::applicationDisplayName() : title, text, QMessageBox::Ok);
}

void TQtDialogs::ShowMessage(QWidget *parent, const QString &text) {
  Show(QMessageBox::Information, parent, QApplication::applicationDisplayName(), text,
       QMessageBox::Ok);
}

TPtDialogs::TAnswer TQtDialogs::AskYesNoCancel(QWidget *parent, const QString &title,
                                               const QString &text) {
  switch (Show(QMessageBox::Question, parent, title, text,
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

QString TQtDialogs::OpenFileName(QWidget *parent, const QString &folder) {
  return QFileDialog::getOpenFileName(parent, QString(), folder);
}

bool TQtDialogs::AskNumber(QWidget *parent, const QString &title, const QString &label, int &value,
                           int min, int max) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(label);
  dialog.setInputMode(QInputDialog::IntInput);
  dialog.setIntRange(min, max);
  dialog.setIntValue(value);
  dialog.setOkButtonText(ButtonText(QMessageBox::Ok));
  dialog.setCancelButtonText(ButtonText(QMessageBox::Cancel));
  if (dialog.exec() != QDialog::Accepted)
    return false;
  value = dialog.intValue();
  return true;
}
