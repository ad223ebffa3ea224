#pragma once

#include "base/languagetext.h"

#include <QString>

class QWidget;

// The balloon title over a typed text that does not convert.
inline QString InputErrorTitle() {
  return LanguageText(QStringLiteral("InputError"), QStringLiteral("Chyba zadání:"));
}

// Where the tools report problems the user must see. The main window shows
// them in a message box or a balloon hint; tests record them.
class TMessageSink {
public:
  virtual ~TMessageSink() = default;

  // anchor: the control the problem belongs to (may be null).
  virtual void ShowError(QWidget *anchor, const QString &title, const QString &text) = 0;
  // A balloon hint pointing at `anchor`, for a problem found while typing;
  // an empty text hides it.
  virtual void ShowBalloon(QWidget *anchor, const QString &title, const QString &text) = 0;
};
