#include "view/vexlinmenu.h"

#include <QAction>
#include <QMenu>

void TVexlinQMenu::AddItem(const QString &caption, std::function<void()> onClick, bool isDefault) {
  QAction *action = fMenu.addAction(caption);
  QObject::connect(action, &QAction::triggered, action, [onClick = std::move(onClick)] {
    if (onClick)
      onClick();
  });
  if (isDefault) {
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
    fMenu.setDefaultAction(action);
  }
}
