#pragma once

#include "widgets/messages.h"

#include <QStringList>
#include <utility>

// Passes the tools' error reports on to the dialogs, except while held: then
// it collects their texts, so that the saved settings applied before the
// window appears report a bad value as a log line, not a modal box.
class THeldMessageSink : public TMessageSink {
public:
  explicit THeldMessageSink(TMessageSink &target) : fTarget(target) {}

  void ShowError(QWidget *anchor, const QString &title, const QString &text) override {
    if (fHeld) {
      if (!fCollected.contains(text))
        fCollected << text;
    } else {
      fTarget.ShowError(anchor, title, text);
    }
  }

  void Hold() { fHeld = true; }
  // Ends the hold; the distinct texts collected during it.
  QStringList Release() {
    fHeld = false;
    return std::exchange(fCollected, {});
  }

private:
  TMessageSink &fTarget;
  bool fHeld = false;
  QStringList fCollected;
};
