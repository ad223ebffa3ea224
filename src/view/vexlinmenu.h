#pragma once

#include "pipeline/dataobjectwithmenu.h"

class QMenu;

// Lets a row object fill a QMenu with its link entries.
class TVexlinQMenu : public TVexlinMenu {
public:
  explicit TVexlinQMenu(QMenu &menu) : fMenu(menu) {}
  // The default entry (the link under the mouse) is shown in bold.
  void AddItem(const QString &caption, std::function<void()> onClick, bool isDefault) override;

private:
  QMenu &fMenu;
};
