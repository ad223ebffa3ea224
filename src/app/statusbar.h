#pragma once

#include <QStatusBar>
#include <functional>
#include <optional>

// The owner-drawn status bar: the version, the last connection text and the
// four serial line lamps, then six empty panels.
class TPtStatusBar : public QStatusBar {
  Q_OBJECT
public:
  explicit TPtStatusBar(QWidget *parent = nullptr);

  static constexpr int kPanelWidths[12] = {183, 300, 37, 37, 37, 37, 50, 60, 60, 60, 90, 50};

  // Panel 0 gets "ver." and the file version; panel 1 gets `S` unless empty.
  void StatusBarRefresh(const QString &S);
  QString PanelText(int panel) const;
  // What a recording writes to (file and size), shown over the empty
  // panels; empty while nothing records.
  void SetRecording(const QString &text);
  QString Recording() const { return fRecording; }
  // The panel under a point in the bar's coordinates; -1 on a border or
  // beyond the last panel.
  int WhatPanelClick(QPoint p) const;

  // The serial line states the lamps show; none means the port is closed.
  struct TLines {
    bool RTS, CTS, DTR, DSR;
  };
  std::function<std::optional<TLines>()> SerialLines;

signals:
  void panelDoubleClicked(int panel);
  void panelRightClicked(int panel, QPoint globalPos);

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;

private:
  QString fPanels[2];
  QString fRecording;
};
