// The selected rows of the packet list: copying them in four formats and
// saving them as a log file.
#include "app/mainwindow.h"
#include "view/rowcopy.h"
#include "view/terminalview.h"
#include "view/vexlintree.h"
#include "widgets/named.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

namespace {

struct TCopyEntry {
  const char *name;
  const char *caption;
  TCopyFormat format;
};

constexpr TCopyEntry kCopyEntries[] = {
    {"actCopyRows", "Kopírovat", TCopyFormat::Log},
    {"actCopyRowsHex", "Kopírovat jako šestnáctkové bajty", TCopyFormat::Hex},
    {"actCopyRowsCommand", "Kopírovat jako příkaz", TCopyFormat::Command},
    {"actCopyRowsC", "Kopírovat jako pole C", TCopyFormat::CArray},
};

} // namespace

void TfMainPelmarTerm::BuildSelection() {
  fCopier = new TRowCopier(*fTerminalTree, this);
  connect(fCopier, &TRowCopier::done, this,
          [](const QString &text, size_t) { QGuiApplication::clipboard()->setText(text); });
  std::vector<QAction *> entries;
  for (const TCopyEntry &e : kCopyEntries) {
    auto *a = Named(new QAction(QString::fromUtf8(e.caption), this), e.name);
    connect(a, &QAction::triggered, this,
            [this, format = e.format] { CopySelection(static_cast<int>(format)); });
    entries.push_back(a);
  }
  // Ctrl+C belongs to the list only: the command line keeps its own copy.
  entries.front()->setShortcut(QKeySequence::Copy);
  entries.front()->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  fTerminalTree->addAction(entries.front());
  QAction *saveSelected = findChild<QAction *>(QStringLiteral("aSaveSelected"));
  fTerminal->AddSelectionEntries = [entries, saveSelected](QMenu &menu) {
    for (QAction *a : entries)
      menu.addAction(a);
    menu.addAction(saveSelected);
  };
}

void TfMainPelmarTerm::CopySelection(int format) {
  if (!fTerminalTree->Selection().IsEmpty())
    fCopier->Start(static_cast<TCopyFormat>(format));
}
