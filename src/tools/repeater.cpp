#include "tools/repeater.h"

#include "widgets/numedit.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

template <typename T> T *Named(T *object, const char *name) {
  object->setObjectName(QLatin1String(name));
  return object;
}

} // namespace

TRepeaterGroup::TRepeaterGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Repeater"), parent),
      lblRepeaterInterval(
          Named(new QLabel(QStringLiteral("Interval:"), this), "lblRepeaterInterval")),
      ieRepeater(Named(new TIntEdit(this), "ieRepeater")),
      lblRepeaterUnit(Named(new QLabel(QStringLiteral("ms"), this), "lblRepeaterUnit")),
      btnRepeaterStartStop(
          Named(new QPushButton(QStringLiteral("Start"), this), "btnRepeaterStartStop")),
      lblRepeateInfo(Named(
          new QLabel(
              QStringLiteral("Tato funkce umožňuje periodické odesílání dat z příkazového řádku."),
              this),
          "lblRepeateInfo")),
      tmrRepeater(Named(new QTimer(this), "tmrRepeater")) {
  setObjectName(QStringLiteral("grpRepeater"));

  ieRepeater->SetMaxValue(10000);
  ieRepeater->SetMinValue(0);
  ieRepeater->SetIncrement(100);
  ieRepeater->SetPageMult(100);
  ieRepeater->SetValue(1000);
  lblRepeaterInterval->setBuddy(ieRepeater);
  lblRepeateInfo->setWordWrap(true);
  tmrRepeater->setInterval(1000);

  auto *layout = new QGridLayout(this);
  layout->addWidget(lblRepeaterInterval, 0, 0);
  layout->addWidget(ieRepeater, 0, 1);
  layout->addWidget(lblRepeaterUnit, 0, 2);
  layout->addWidget(btnRepeaterStartStop, 0, 3);
  layout->addWidget(lblRepeateInfo, 1, 0, 1, 4);
  layout->setColumnStretch(1, 1);

  connect(btnRepeaterStartStop, &QPushButton::clicked, this,
          &TRepeaterGroup::btnRepeaterStartStopClick);
  connect(ieRepeater, &TIntEdit::Change, this, &TRepeaterGroup::ieRepeaterChange);
  connect(tmrRepeater, &QTimer::timeout, this, &TRepeaterGroup::RepeatTick);
}

void TRepeaterGroup::btnRepeaterStartStopClick() {
  fRunning = !fRunning;
  btnRepeaterStartStop->setText(fRunning ? QStringLiteral("Stop") : QStringLiteral("Start"));
  UpdateTimer();
}

void TRepeaterGroup::ieRepeaterChange() {
  // Takes effect at once, also while running; unreadable text counts as 0.
  tmrRepeater->setInterval(qMax(0, ieRepeater->GetValue()));
  UpdateTimer();
}

void TRepeaterGroup::UpdateTimer() {
  const bool tick = fRunning && tmrRepeater->interval() > 0;
  if (tick && !tmrRepeater->isActive())
    tmrRepeater->start();
  else if (!tick)
    tmrRepeater->stop();
}
