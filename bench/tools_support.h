#pragma once

#include "widgets/messages.h"

// The tools report problems to the user; a benchmark has none to see.
struct TIgnoringSink : TMessageSink {
  void ShowError(QWidget *, const QString &, const QString &) override {}
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
};
