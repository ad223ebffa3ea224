#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as its width allows,
// ending in "…", with the whole text as its tooltip while cut. Its size
// hint is still the whole text's: whoever places it decides when to cut.
class TElidedLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;

  // The text is cut at the present width.
  bool IsElided() const;
  // An ellipsis and a letter: the least that still says something.
  QSize minimumSizeHint() const override;

protected:
  bool event(QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
};
