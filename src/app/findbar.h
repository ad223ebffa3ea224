#pragma once

#include "pipeline/bytefinder.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TRowFinder;

// The find bar under the packet list: what to look for and how it is typed,
// the way to the next and previous matching row, the count, and the switch
// that shows only matching rows. Hidden until asked for; hiding it shows
// every row again.
class TFindBar : public QWidget {
  Q_OBJECT
public:
  TFindBar(TRowFinder &finder, QWidget *parent = nullptr);

  // Shows the bar with the text field selected.
  void Open();
  // Hides it, takes the marks away, switches the filter off (every row is
  // shown again) and empties the text field.
  void Close();
  void FindNext();
  void FindPrevious();

  QLineEdit *edtFind = nullptr;
  QComboBox *cbFindMode = nullptr;
  QCheckBox *chkFindIgnoreCase = nullptr;
  QCheckBox *chkFindFilter = nullptr;
  QPushButton *btnFindPrevious = nullptr;
  QPushButton *btnFindNext = nullptr;
  QPushButton *btnFindClose = nullptr;
  QLabel *lblFindCount = nullptr;
  QLabel *lblFindHint = nullptr;

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  // Turns the typed text into the finder's pattern; false (with the reason
  // shown) when it cannot be one.
  bool ApplyPattern();
  void Find(bool forward);
  void ShowCount();
  void Hint(const QString &text, bool error = false);

  TRowFinder &fFinder;
  QTimer *fTyping; // applies the pattern a moment after the last key
};
