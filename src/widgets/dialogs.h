#pragma once

#include "widgets/messages.h"

#include <QString>

class QWidget;

// Every message box, question, balloon hint and file dialog of the main
// window goes through this, so tests answer them without a modal loop.
class TPtDialogs : public TMessageSink {
public:
  enum TAnswer { Yes, No, Cancel };

  virtual ~TPtDialogs() = default;
  virtual void ShowMessage(QWidget *parent, const QString &text) = 0;
  virtual TAnswer AskYesNoCancel(QWidget *parent, const QString &title, const QString &text) = 0;
  // A balloon hint pointing at `anchor`; an empty text hides it.
  virtual void ShowBalloon(QWidget *anchor, const QString &title, const QString &text) = 0;
  // "" when cancelled. `folder` (ending in '/', or empty for the working
  // folder) is where the open dialog starts.
  virtual QString SaveFileName(QWidget *parent, const QString &proposed, const QString &filter) = 0;
  virtual QString OpenFileName(QWidget *parent, const QString &folder) = 0;
  // A whole number from `min` to `max`, proposed as `value`; false when
  // cancelled (`value` then stays).
  virtual bool AskNumber(QWidget *parent, const QString &title, const QString &label, int &value,
                         int min, int max) = 0;
};

// The real dialogs.
class TQtDialogs : public TPtDialogs {
public:
  void ShowError(QWidget *anchor, const QString &title, const QString &text) override;
  void ShowMessage(QWidget *parent, const QString &text) override;
  TAnswer AskYesNoCancel(QWidget *parent, const QString &title, const QString &text) override;
  void ShowBalloon(QWidget *anchor, const QString &title, const QString &text) override;
  QString SaveFileName(QWidget *parent, const QString &proposed, const QString &filter) override;
  QString OpenFileName(QWidget *parent, const QString &folder) override;
  bool AskNumber(QWidget *parent, const QString &title, const QString &label, int &value, int min,
                 int max) override;
};
