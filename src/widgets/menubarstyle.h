#pragma once

#include <QProxyStyle>

class QMenuBar;

// Draws a menu bar entry that has both a picture and a caption with the
// picture followed by the caption; the styles draw only the picture. The
// language entry needs both: its flag and the language's name.
class TMenuBarItemStyle : public QProxyStyle {
public:
  // Puts the style on `bar`; the bar owns it.
  static void Install(QMenuBar *bar);

  QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                         const QWidget *widget) const override;
  void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                   const QWidget *widget) const override;
};
