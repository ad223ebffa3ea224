#include "tools/cmdlinehistorykeys.h"

#include "base/languagetext.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <utility>

namespace {

bool IsSearchKey(const QKeyEvent *event) {
  return QKeySequence(event->keyCombination()) == TCmdLineHistoryKeys::SearchKey();
}

bool IsPlainKey(const QKeyEvent *event, Qt::Key key) {
  return event->key() == key && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

TCmdLineHistorySearch::TCmdLineHistorySearch(TCmdLineHistory history, QWidget *anchor)
    : QFrame(anchor, Qt::Popup), fHistory(std::move(history)),
      edtHistorySearch(new QLineEdit(this)), lstHistory(new QListWidget(this)) {
  setObjectName(QStringLiteral("frmHistorySearch"));
  setAttribute(Qt::WA_DeleteOnClose);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  edtHistorySearch->setObjectName(QStringLiteral("edtHistorySearch"));
  edtHistorySearch->setPlaceholderText(LanguageText(
      QStringLiteral("HistorySearch"), QStringLiteral("Hledat v odeslaných příkazech")));
  lstHistory->setObjectName(QStringLiteral("lstHistory"));
  lstHistory->setFocusPolicy(Qt::NoFocus);
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  column->addWidget(edtHistorySearch);
  column->addWidget(lstHistory, 1);

  edtHistorySearch->installEventFilter(this);
  connect(edtHistorySearch, &QLineEdit::textChanged, this, &TCmdLineHistorySearch::Refill);
  connect(edtHistorySearch, &QLineEdit::returnPressed, this, &TCmdLineHistorySearch::Choose);
  connect(lstHistory, &QListWidget::itemClicked, this, &TCmdLineHistorySearch::Choose);
  Refill();

  // Above the command line, which sits at the bottom of the window.
  if (anchor) {
    const int width = qMax(anchor->width(), 300);
    resize(width, 220);
    move(anchor->mapToGlobal(QPoint(0, -height())));
  }
  edtHistorySearch->setFocus();
}

void TCmdLineHistorySearch::Refill() {
  lstHistory->clear();
  lstHistory->addItems(fHistory.Matching(edtHistorySearch->text()));
  if (lstHistory->count() > 0)
    lstHistory->setCurrentRow(0);
}

void TCmdLineHistorySearch::Choose() {
  if (QListWidgetItem *item = lstHistory->currentItem())
    emit Chosen(item->text());
  close();
}

bool TCmdLineHistorySearch::eventFilter(QObject *watched, QEvent *event) {
  if (watched == edtHistorySearch && event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    const int row = lstHistory->currentRow();
    // Down goes to older commands, as in the list; the search key once more
    // does the same, as shells do.
    if (IsPlainKey(key, Qt::Key_Down) || IsSearchKey(key)) {
      if (row + 1 < lstHistory->count())
        lstHistory->setCurrentRow(row + 1);
      return true;
    }
    if (IsPlainKey(key, Qt::Key_Up)) {
      if (row > 0)
        lstHistory->setCurrentRow(row - 1);
      return true;
    }
    if (IsPlainKey(key, Qt::Key_Escape)) {
      close();
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

TCmdLineHistoryKeys::TCmdLineHistoryKeys(QLineEdit *edit) : QObject(edit), fEdit(edit) {
  fHistory.Load();
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, &TCmdLineHistoryKeys::Restart);
}

void TCmdLineHistoryKeys::Record(const QString &command) {
  if (fHistory.Add(command))
    fHistory.Save();
  Restart();
}

void TCmdLineHistoryKeys::Restart() {
  fIndex = -1;
  fDraft.clear();
}

void TCmdLineHistoryKeys::Step(int direction) {
  const qsizetype next = fIndex + direction;
  if (next < -1 || next >= fHistory.Commands().size())
    return;
  if (fIndex == -1)
    fDraft = fEdit->text();
  fIndex = next;
  // setText is no edit by the user: the walk goes on.
  fEdit->setText(fIndex == -1 ? fDraft : fHistory.Commands().at(fIndex));
}

void TCmdLineHistoryKeys::Take(const QString &command) {
  fEdit->setText(command);
  Restart();
  fEdit->setFocus();
}

void TCmdLineHistoryKeys::OpenSearch() {
  if (fSearch)
    return;
  fSearch = new TCmdLineHistorySearch(fHistory, fEdit);
  connect(fSearch, &TCmdLineHistorySearch::Chosen, this, &TCmdLineHistoryKeys::Take);
  fSearch->show();
}

bool TCmdLineHistoryKeys::eventFilter(QObject *watched, QEvent *event) {
  if (watched != fEdit)
    return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::ShortcutOverride) {
    // No window shortcut may take the search key from the command line.
    if (IsSearchKey(static_cast<QKeyEvent *>(event))) {
      event->accept();
      return true;
    }
    return false;
  }
  if (event->type() != QEvent::KeyPress)
    return false;
  const auto *key = static_cast<QKeyEvent *>(event);
  if (IsPlainKey(key, Qt::Key_Up)) {
    Step(+1);
    return true;
  }
  if (IsPlainKey(key, Qt::Key_Down)) {
    Step(-1);
    return true;
  }
  if (IsSearchKey(key)) {
    OpenSearch();
    return true;
  }
  return false;
}
