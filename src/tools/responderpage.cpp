#include "tools/responderpage.h"

#include "widgets/named.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TRequestResponseDialog::TRequestResponseDialog(QWidget *parent)
    : QDialog(parent), edtRequest(Named(new QLineEdit(QStringLiteral("AT{0x0D}")), "edtRequest")),
      edtResponse(Named(new QLineEdit(QStringLiteral("OK{0x0D}")), "edtResponse")) {
  setObjectName(QStringLiteral("fRequestResponse"));
  setWindowTitle(QStringLiteral("Request/Response"));
  setModal(true);
  auto *form = new QFormLayout(this);
  form->addRow(Named(new QLabel(QStringLiteral("Request:")), "lblRequest"), edtRequest);
  form->addRow(Named(new QLabel(QStringLiteral("Response:")), "lblResponse"), edtResponse);
  auto *ok = Named(new QPushButton(QStringLiteral("Ok")), "btnOk");
  ok->setDefault(true);
  form->addRow(ok);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

TResponderPage::TResponderPage(QWidget *parent)
    : QWidget(parent), lvResponder(Named(new QTreeWidget, "lvResponder")),
      actAdd(Named(new QAction(QStringLiteral("Add"), this), "actAdd")),
      actEdit(Named(new QAction(QStringLiteral("Edit"), this), "actEdit")),
      actRemove(Named(new QAction(QStringLiteral("Remove"), this), "actRemove")) {
  setObjectName(QStringLiteral("tsDataResponder"));
  // The caption its tab gets when the page is put on the panel.
  setWindowTitle(QStringLiteral("Odpovídač"));
  auto *warning = Named(new QLabel(QStringLiteral("Testovací funkce !!!")), "lblWarning");
  warning->setStyleSheet(
      QStringLiteral("color: red; background-color: yellow; font-size: 14pt; font-weight: bold"));
  lvResponder->setHeaderLabels(
      {QStringLiteral("#"), QStringLiteral("Dotaz"), QStringLiteral("Odpověď")});
  lvResponder->setRootIsDecorated(false);
  auto *buttons = new QHBoxLayout;
  for (QAction *action : {actAdd, actEdit, actRemove}) {
    auto *button = new QToolButton;
    button->setDefaultAction(action);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(warning);
  layout->addWidget(lvResponder, 1);
  layout->addLayout(buttons);
  RunDialog = [](TRequestResponseDialog &dialog) { return dialog.exec(); };
  connect(actAdd, &QAction::triggered, this, &TResponderPage::actAddExecute);
  connect(lvResponder, &QTreeWidget::currentItemChanged, this, &TResponderPage::UpdateActions);
  UpdateActions();
}

void TResponderPage::actAddExecute() {
  TRequestResponseDialog dialog(this);
  if (RunDialog(dialog) == QDialog::Accepted)
    lvResponder->viewport()->update();
}

void TResponderPage::UpdateActions() {
  const bool row = lvResponder->currentItem() != nullptr;
  actEdit->setEnabled(row);
  actRemove->setEnabled(row);
}
