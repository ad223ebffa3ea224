#pragma once

// The command history at the keyboard of a command line: Up and Down walk
// it, newest first, and SearchKey() opens a list of the commands that
// contain a typed text. A pick is put into the line, never sent: Enter does
// that, as for any typed command.

#include "tools/cmdlinehistory.h"

#include <QFrame>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;
class QListWidget;

class TCmdLineHistorySearch : public QFrame {
  Q_OBJECT

public:
  // A popup window above `anchor`, listing the matches of `history` as the
  // search text changes. It deletes itself when closed.
  TCmdLineHistorySearch(TCmdLineHistory history, QWidget *anchor);

  QLineEdit *SearchEdit() const { return edtHistorySearch; }
  QListWidget *List() const { return lstHistory; }

signals:
  void Chosen(const QString &command);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Refill();
  void Choose();

  const TCmdLineHistory fHistory;
  QLineEdit *edtHistorySearch;
  QListWidget *lstHistory;
};

class TCmdLineHistoryKeys : public QObject {
  Q_OBJECT

public:
  // Ctrl+R belongs to the main window (the responder tab), so the search
  // takes the key next to it.
  static QKeySequence SearchKey() { return QKeySequence(QStringLiteral("Ctrl+Alt+R")); }

  // Owned by `edit`; starts with the history of the user's settings.
  explicit TCmdLineHistoryKeys(QLineEdit *edit);

  const TCmdLineHistory &History() const { return fHistory; }
  // A command was sent: it becomes the newest, is stored at once (a crash
  // must not lose it) and the next Up starts from it.
  void Record(const QString &command);

  // The next Up starts again at the newest command; called after every edit
  // by the user.
  void Restart();

  // The search window while it is open.
  TCmdLineHistorySearch *Search() const { return fSearch; }
  void OpenSearch();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // +1 one command older, -1 one newer; past the newest is the text the
  // user had typed before walking.
  void Step(int direction);
  void Take(const QString &command);

  QLineEdit *fEdit;
  TCmdLineHistory fHistory;
  qsizetype fIndex = -1;
  QString fDraft;
  QPointer<TCmdLineHistorySearch> fSearch;
};
