#include "app/findbar.h"

#include "view/rowfinder.h"
#include "view/vexlinnode.h"
#include "widgets/language.h"
#include "widgets/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TFindBar::TFindBar(TRowFinder &finder, QWidget *parent)
    : QWidget(parent), fFinder(finder), fTyping(new QTimer(this)) {
  setObjectName(QStringLiteral("pnlFind"));
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 3, 0, 0);
  edtFind = Named(new QLineEdit, "edtFind");
  edtFind->setToolTip(QStringLiteral("Hledané bajty; shoda se hledá vždy uvnitř jednoho řádku"));
  cbFindMode = Named(new QComboBox, "cbFindMode");
  cbFindMode->addItems(
      {QStringLiteral("Šestnáctkově"), QStringLiteral("Text"), QStringLiteral("Příkazový řádek")});
  cbFindMode->setToolTip(QStringLiteral("Jak je hledaný text zapsán: bajty šestnáctkově "
                                        "(2A 61), text, nebo zápis příkazového řádku (AT{0x0D})"));
  chkFindIgnoreCase =
      Named(new QCheckBox(QStringLiteral("Nerozlišovat velikost písmen")), "chkFindIgnoreCase");
  chkFindFilter = Named(new QCheckBox(QStringLiteral("Jen odpovídající řádky")), "chkFindFilter");
  btnFindPrevious = Named(new QPushButton(QStringLiteral("Předchozí")), "btnFindPrevious");
  btnFindPrevious->setToolTip(QStringLiteral("Předchozí řádek se shodou (Shift+F3)"));
  btnFindNext = Named(new QPushButton(QStringLiteral("Další")), "btnFindNext");
  btnFindNext->setToolTip(QStringLiteral("Další řádek se shodou (Enter, F3)"));
  lblFindCount = Named(new QLabel, "lblFindCount");
  lblFindHint = Named(new QLabel, "lblFindHint");
  btnFindClose = Named(new QPushButton(QStringLiteral("×")), "btnFindClose");
  btnFindClose->setToolTip(QStringLiteral("Zavřít hledání (Esc)"));
  btnFindClose->setFlat(true);
  layout->addWidget(edtFind, 2);
  layout->addWidget(cbFindMode);
  layout->addWidget(chkFindIgnoreCase);
  layout->addWidget(btnFindPrevious);
  layout->addWidget(btnFindNext);
  layout->addWidget(chkFindFilter);
  layout->addWidget(lblFindCount);
  layout->addWidget(lblFindHint, 1);
  layout->addWidget(btnFindClose);
  setVisible(false);

  fTyping->setSingleShot(true);
  fTyping->setInterval(250);
  connect(fTyping, &QTimer::timeout, this, &TFindBar::ApplyPattern);
  connect(edtFind, &QLineEdit::textEdited, fTyping, qOverload<>(&QTimer::start));
  connect(edtFind, &QLineEdit::returnPressed, this, &TFindBar::FindNext);
  auto changed = [this] {
    chkFindIgnoreCase->setEnabled(cbFindMode->currentIndex() == 1);
    ApplyPattern();
  };
  connect(cbFindMode, &QComboBox::currentIndexChanged, this, changed);
  connect(chkFindIgnoreCase, &QCheckBox::toggled, this, changed);
  chkFindIgnoreCase->setEnabled(false);
  connect(chkFindFilter, &QCheckBox::toggled, this, [this](bool on) {
    if (on)
      ApplyPattern();
    fFinder.SetFilter(on);
  });
  connect(btnFindNext, &QPushButton::clicked, this, &TFindBar::FindNext);
  connect(btnFindPrevious, &QPushButton::clicked, this, &TFindBar::FindPrevious);
  connect(btnFindClose, &QPushButton::clicked, this, &TFindBar::Close);
  connect(&fFinder, &TRowFinder::countChanged, this, &TFindBar::ShowCount);
  connect(&fFinder, &TRowFinder::found, this, [this](TVexlinNode *, bool wrapped) {
    Hint(wrapped ? LanguageText(QStringLiteral("FindWrapped"),
                                QStringLiteral("Hledání pokračovalo od druhého konce."))
                 : QString());
  });
  connect(&fFinder, &TRowFinder::notFound, this, [this] {
    Hint(LanguageText(QStringLiteral("FindNotFound"), QStringLiteral("Nenalezeno.")), true);
  });
}

void TFindBar::Open() {
  setVisible(true);
  edtFind->setFocus();
  edtFind->selectAll();
}

void TFindBar::Close() {
  fTyping->stop();
  setVisible(false);
  if (chkFindFilter->isChecked())
    chkFindFilter->setChecked(false);
  // Opened again, the bar starts empty, as the list now shows everything.
  edtFind->clear();
  fFinder.SetPattern(std::nullopt);
  Hint(QString());
}

void TFindBar::FindNext() {
  Find(true);
}

void TFindBar::FindPrevious() {
  Find(false);
}

void TFindBar::Find(bool forward) {
  if (isHidden())
    Open();
  // A pattern typed a moment ago is taken now, not after the pause.
  if ((fTyping->isActive() || !fFinder.Pattern()) && !ApplyPattern())
    return;
  fTyping->stop();
  fFinder.FindNext(forward);
}

bool TFindBar::ApplyPattern() {
  fTyping->stop();
  if (edtFind->text().isEmpty()) {
    fFinder.SetPattern(std::nullopt);
    Hint(QString());
    return false;
  }
  const auto mode = static_cast<TByteFinder::TMode>(cbFindMode->currentIndex());
  QString error;
  std::optional<TByteFinder> pattern =
      TByteFinder::FromText(edtFind->text(), mode, chkFindIgnoreCase->isChecked(), &error);
  if (!pattern) {
    fFinder.SetPattern(std::nullopt);
    Hint(error, true);
    return false;
  }
  // Said at once, rather than after a count that can find nothing.
  const qsizetype length = pattern->Pattern().size();
  const std::optional<qsizetype> longest = fFinder.LongestRow();
  const TByteFinder *current = fFinder.Pattern();
  if (!current || current->Pattern() != pattern->Pattern() ||
      current->IgnoreCase() != pattern->IgnoreCase())
    fFinder.SetPattern(std::move(pattern));
  if (longest && length > *longest)
    Hint(LanguageText(QStringLiteral("FindLongerThanRows"),
                      QStringLiteral("Hledaný vzorek (%1 B) je delší než nejdelší řádek (%2 B)"))
             .arg(length)
             .arg(*longest),
         true);
  else
    Hint(QString());
  return true;
}

void TFindBar::ShowCount() {
  if (!fFinder.Pattern()) {
    lblFindCount->clear();
    return;
  }
  const QString rows = QString::number(fFinder.MatchingRows());
  QString text;
  if (!fFinder.Counted())
    text = LanguageText(QStringLiteral("FindCounting"), QStringLiteral("počítá se… %1")).arg(rows);
  else if (fFinder.CurrentOrdinal() > 0)
    text = LanguageText(QStringLiteral("FindOrdinal"), QStringLiteral("%1 z %2"))
               .arg(fFinder.CurrentOrdinal())
               .arg(rows);
  else
    text = LanguageText(QStringLiteral("FindRows"), QStringLiteral("%1 řádků")).arg(rows);
  lblFindCount->setText(text);
}

void TFindBar::Hint(const QString &text, bool error) {
  lblFindHint->setText(text);
  lblFindHint->setStyleSheet(error ? QStringLiteral("color: red") : QString());
}

void TFindBar::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape) {
    Close();
    return;
  }
  QWidget::keyPressEvent(event);
}
