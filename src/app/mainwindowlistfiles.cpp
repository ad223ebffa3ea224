// Saving and loading the packet list, and the watch over its memory.
#include "app/listfiles.h"
#include "app/listmemorywatch.h"
#include "app/logfolder.h"
#include "app/mainwindow.h"
#include "app/statusbar.h"
#include "app/statusprogress.h"
#include "base/languagetext.h"
#include "connections/connectiontexts.h"
#include "pipeline/dataobject.h"
#include "tools/commandlinepanel.h"
#include "view/terminalview.h"
#include "view/vexlintree.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QPushButton>

void TfMainPelmarTerm::BuildListFiles() {
  fMemoryWatch = std::make_unique<TListMemoryWatch>();
  fStatusProgress = new TStatusProgress(fStatusBar);
  fListFiles = new TListFiles(*fStatusProgress, this);
  connect(fListFiles, &TListFiles::busyChanged, this, &TfMainPelmarTerm::ListFilesBusy);
  connect(fListFiles, &TListFiles::finished, this,
          [this](TListFiles::TOutcome outcome, bool saving, const QString &name, qint64 rows,
                 const QString &error) { ListFileFinished(outcome, saving, name, rows, error); });
}

void TfMainPelmarTerm::ListFilesBusy(bool busy) {
  // A second save or load would interleave with this one, and a clear would
  // free the rows a save is reading: they wait until it ends.
  for (const char *name : {"aSaveData", "aSaveSelected", "aOpenData"})
    if (auto *a = findChild<QAction *>(QLatin1String(name)))
      a->setEnabled(!busy);
  frame1->ClearButton()->setEnabled(!busy);
  // Files named on the command line load one after another.
  if (!busy && !fWaitingOpens.isEmpty())
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (!fWaitingOpens.isEmpty() && !fListFiles->Busy())
            OpenDataFile(fWaitingOpens.takeFirst());
        },
        Qt::QueuedConnection);
}

void TfMainPelmarTerm::SaveRows(const QString &name, TListRows rows) {
  QString error;
  if (!fListFiles->Save(name, std::move(rows), &error))
    ListFileFinished(TListFiles::Failed, true, name, 0, error);
}

void TfMainPelmarTerm::aOpenDataExecute() {
  if (fListFiles->Busy())
    return;
  const TLogFolder folder = TLogFolder::OfThisRun();
  const QString name = fDialogs.OpenFileName(this, folder.Start());
  if (name.isEmpty())
    return;
  folder.Remember(name);
  OpenDataFile(name);
}

void TfMainPelmarTerm::OpenDataFile(const QString &name) {
  if (fListFiles->Busy()) {
    fWaitingOpens.append(name);
    return;
  }
  TVexlinTree *list = fTerminalTree;
  auto append = [this, list](std::vector<std::unique_ptr<TVexlinDataObject>> &rows) {
    TVexlinNode *last = nullptr;
    {
      TVexlinTreeUpdate update(*list);
      for (auto &row : rows) {
        row->ParentVDT = list;
        last = list->AddRow(row.release());
      }
    }
    if (last)
      fTerminal->FlushNodeItem(last);
    CheckListMemory();
  };
  QString error;
  if (!fListFiles->Load(name, append, &error))
    ListFileFinished(TListFiles::Failed, false, name, 0, error);
}

void TfMainPelmarTerm::ListFileFinished(int outcome, bool saving, const QString &name, qint64 rows,
                                        const QString &error) {
  if (outcome == TListFiles::Failed) {
    fDialogs.ShowMessage(
        this, saving ? LanguageText(QStringLiteral("SaveFailed"),
                                    QStringLiteral("Soubor \"%1\" se nepodařilo uložit: %2"))
                           .arg(name, error)
                     : LanguageText(QStringLiteral("OpenFailed"),
                                    QStringLiteral("Soubor \"%1\" se npodařilo otevřít!"))
                           .arg(name));
  } else if (outcome == TListFiles::Cancelled) {
    LogInfoMsg(saving ? LanguageText(QStringLiteral("ListSaveCancelled"),
                                     QStringLiteral("Ukládání do \"%1\" bylo zrušeno, soubor "
                                                    "zůstal beze změny."))
                            .arg(name)
                      : LanguageText(QStringLiteral("ListLoadCancelled"),
                                     QStringLiteral("Načítání \"%1\" bylo zrušeno, načtené "
                                                    "řádky (%2) zůstávají v seznamu."))
                            .arg(name)
                            .arg(rows),
               kColorMaroon);
  }
}

void TfMainPelmarTerm::CheckListMemory() {
  const size_t bytes = fTerminalTree->RowsMemory();
  if (fMemoryWatch->Passed(bytes))
    LogInfoMsg(LanguageText(QStringLiteral("ListMemoryHigh"),
                            QStringLiteral("Seznam paketů zabírá už %1 MB, víc než čtvrtinu "
                                           "paměti počítače (%2 MB). Uložte jej a vymažte, "
                                           "než paměť dojde."))
                   .arg(bytes >> 20)
                   .arg(fMemoryWatch->Limit() >> 20),
               kColorMaroon);
}
