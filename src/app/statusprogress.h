#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;

// What a long task in the status bar shows while it runs: what it does, how
// far it is, and a button that cancels it. Hidden while nothing runs. It lies
// over the right end of `bar` at the bar's full height: the bar's own layout
// would leave its widgets too little height for a button.
class TStatusProgress : public QWidget {
  Q_OBJECT
public:
  explicit TStatusProgress(QWidget *bar);

  // Shows `caption` beside an empty bar.
  void Start(const QString &caption, const QString &cancelText);
  // `done` of `total`; a total of 0 (a pipe, whose end is not known) shows
  // a bar that only says something runs.
  void SetProgress(qint64 done, qint64 total);
  void Finish();

  QString Caption() const;
  QProgressBar *Bar() const { return fBar; }
  QToolButton *CancelButton() const { return fCancel; }

signals:
  void cancelRequested();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Place();

  QLabel *fCaption = nullptr;
  QProgressBar *fBar = nullptr;
  QToolButton *fCancel = nullptr;
};
