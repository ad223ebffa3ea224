// Find in the packet list: the bar under it and the keys that drive it.
#include "app/findbar.h"
#include "app/mainwindow.h"
#include "view/rowfinder.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "widgets/named.h"

#include <QAction>
#include <QLayout>

void TfMainPelmarTerm::BuildFind() {
  fFinder = new TRowFinder(*fTerminalTree, this);
  fFindBar = new TFindBar(*fFinder);
  pList->layout()->addWidget(fFindBar);
  auto action = [this](const char *name, const char *keys, void (TFindBar::*run)()) {
    auto *a = Named(new QAction(this), name);
    a->setShortcut(QKeySequence(QLatin1String(keys)));
    connect(a, &QAction::triggered, fFindBar, run);
    addAction(a);
  };
  action("actFind", "Ctrl+F", &TFindBar::Open);
  action("actFindNext", "F3", &TFindBar::FindNext);
  action("actFindPrevious", "Shift+F3", &TFindBar::FindPrevious);
}
