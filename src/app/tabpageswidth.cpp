#include "app/tabpageswidth.h"

#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

namespace {

int PageWidth(const QWidget &page) {
  const auto *area = qobject_cast<const QScrollArea *>(&page);
  int margins = 0;
  if (!area) {
    area = page.findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
    if (area && page.layout())
      margins = page.layout()->contentsMargins().left() + page.layout()->contentsMargins().right();
  }
  if (!area || !area->widget())
    return page.sizeHint().width();
  const int bar = area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
                      ? 0
                      : area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                   area->verticalScrollBar());
  return area->widget()->sizeHint().width() + 2 * area->frameWidth() + bar + margins;
}

// What the tab control's frame takes beside its page, as its style lays it out.
int FrameWidth(const QTabWidget &tabs) {
  QStyleOptionTabWidgetFrame option;
  option.initFrom(&tabs);
  option.rect = QRect(0, 0, 1000, 1000);
  option.lineWidth = tabs.documentMode()
                         ? 0
                         : tabs.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &tabs);
  option.shape = tabs.tabBar()->shape();
  option.tabBarSize = tabs.tabBar()->sizeHint();
  const QRect contents =
      tabs.style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, &tabs);
  return option.rect.width() - contents.width();
}

} // namespace

int TabPagesWidth(const QTabWidget &tabs) {
  int pages = 0;
  for (int i = 0; i < tabs.count(); ++i)
    if (const QWidget *page = tabs.widget(i))
      pages = std::max(pages, PageWidth(*page));
  return pages + FrameWidth(tabs);
}
