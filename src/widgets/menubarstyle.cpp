#include "widgets/menubarstyle.h"

#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace {

constexpr int kGap = 4; // between the picture and the caption

const QStyleOptionMenuItem *PictureAndCaption(const QStyleOption *option) {
  auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
  return item && !item->icon.isNull() && !item->text.isEmpty() ? item : nullptr;
}

// The picture at its own size (a flag is wider than high), never above the
// bar's icon height.
QSize PictureSize(const QStyleOptionMenuItem &item, int extent) {
  return item.icon.actualSize(QSize(4 * extent, extent));
}

} // namespace

void TMenuBarItemStyle::Install(QMenuBar *bar) {
  auto *style = new TMenuBarItemStyle;
  style->setParent(bar);
  bar->setStyle(style);
}

QSize TMenuBarItemStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                          const QSize &size, const QWidget *widget) const {
  const QStyleOptionMenuItem *item = type == CT_MenuBarItem ? PictureAndCaption(option) : nullptr;
  if (!item)
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  // The bar measured the picture alone.
  const QSize picture = PictureSize(*item, pixelMetric(PM_SmallIconSize, option, widget));
  const QSize caption = item->fontMetrics.size(Qt::TextShowMnemonic, item->text);
  const QSize both(picture.width() + kGap + caption.width(),
                   qMax(picture.height(), caption.height()));
  return QProxyStyle::sizeFromContents(type, option, both, widget);
}

void TMenuBarItemStyle::drawControl(ControlElement element, const QStyleOption *option,
                                    QPainter *painter, const QWidget *widget) const {
  const QStyleOptionMenuItem *item =
      element == CE_MenuBarItem ? PictureAndCaption(option) : nullptr;
  if (!item) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  // The style's own background and highlight, without its picture.
  QStyleOptionMenuItem background = *item;
  background.icon = QIcon();
  background.text.clear();
  QProxyStyle::drawControl(element, &background, painter, widget);

  const bool enabled = item->state & State_Enabled;
  const bool active = (item->state & State_Selected) && (item->state & State_Sunken);
  const QSize picture = PictureSize(*item, pixelMetric(PM_SmallIconSize, option, widget));
  const QSize caption = item->fontMetrics.size(Qt::TextShowMnemonic, item->text);
  const int width = picture.width() + kGap + caption.width();
  QRect area = item->rect;
  area.setLeft(area.left() + (area.width() - width) / 2);
  const QPixmap flag = item->icon.pixmap(picture, enabled ? QIcon::Normal : QIcon::Disabled);
  drawItemPixmap(painter, QRect(area.topLeft(), QSize(picture.width(), area.height())),
                 Qt::AlignCenter, flag);
  area.setLeft(area.left() + picture.width() + kGap);
  int alignment = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
  if (!styleHint(SH_UnderlineShortcut, item, widget))
    alignment |= Qt::TextHideMnemonic;
  drawItemText(painter, area, alignment, item->palette, enabled, item->text,
               active && enabled ? QPalette::HighlightedText : QPalette::ButtonText);
}
