#pragma once

// The repeater: resends the command line's prepared bytes at a fixed
// interval until stopped with its button.

#include <QGroupBox>

class QLabel;
class QPushButton;
class QTimer;
class TIntEdit;

class TRepeaterGroup : public QGroupBox {
  Q_OBJECT

public:
  explicit TRepeaterGroup(QWidget *parent = nullptr);

  bool IsRunning() const { return fRunning; }
  TIntEdit *Interval() const { return ieRepeater; }
  QPushButton *StartStopButton() const { return btnRepeaterStartStop; }
  QTimer *Timer() const { return tmrRepeater; }

  void btnRepeaterStartStopClick();

signals:
  // One tick: time to send the prepared bytes again.
  void RepeatTick();

private:
  void ieRepeaterChange();
  // Runs the timer while started with a positive interval: an interval of 0
  // means no ticks rather than a busy loop.
  void UpdateTimer();

  QLabel *lblRepeaterInterval;
  TIntEdit *ieRepeater;
  QLabel *lblRepeaterUnit;
  QPushButton *btnRepeaterStartStop;
  QLabel *lblRepeateInfo;
  QTimer *tmrRepeater;
  bool fRunning = false;
};
