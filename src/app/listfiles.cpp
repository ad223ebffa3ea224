#include "app/listfiles.h"

#include "app/statusprogress.h"
#include "base/languagetext.h"
#include "pipeline/dataobject.h"
#include "pipeline/logfile.h"
#include "pipeline/logfilewriter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

namespace {

// The least a slice does before it looks at the clock, so that small lists
// end at once and every slice moves the bar. A row that saves nothing still
// costs its visit: it counts as kRowCost bytes.
constexpr qint64 kMinSaveSlice = 256 << 10;
constexpr qint64 kRowCost = 64;
constexpr qint64 kLoadPiece = 64 << 10;
constexpr int kDiskPollMs = 10;

} // namespace

TListFiles::TListFiles(TStatusProgress &progress, QObject *parent)
    : QObject(parent), fProgress(progress), fTimer(new QTimer(this)) {
  fTimer->setSingleShot(true);
  connect(fTimer, &QTimer::timeout, this, &TListFiles::Slice);
  connect(&fProgress, &TStatusProgress::cancelRequested, this, &TListFiles::Cancel);
}

TListFiles::~TListFiles() = default;

bool TListFiles::Save(const QString &fileName, TListRows rows, QString *error) {
  if (fRunning)
    return false;
  auto writer = std::make_unique<TLogFileWriter>(fileName);
  if (!writer->Open(error))
    return false;
  fWriter = std::move(writer);
  fRows = std::move(rows);
  fNext = 0;
  fFinishing = false;
  Begin(fileName, true);
  return true;
}

bool TListFiles::Load(const QString &fileName, TAppend append, QString *error) {
  if (fRunning)
    return false;
  fLoadedRows = 0;
  auto loader =
      std::make_unique<TLogFileLoader>(fileName, [this](std::unique_ptr<TVexlinDataObject> row) {
        fLoaded.push_back(std::move(row));
      });
  if (!loader->Open(error))
    return false;
  fLoader = std::move(loader);
  fAppend = std::move(append);
  Begin(fileName, false);
  return true;
}

void TListFiles::Begin(const QString &fileName, bool saving) {
  fRunning = true;
  fSaving = saving;
  fFileName = fileName;
  fSlices = 0;
  Slice();
}

void TListFiles::Cancel() {
  if (!fRunning)
    return;
  // A save whose file had already replaced the old one is done all the same.
  End(fWriter && fWriter->Cancel() ? Done : Cancelled);
}

void TListFiles::Slice() {
  if (!fRunning)
    return;
  ++fSlices;
  QElapsedTimer clock;
  clock.start();
  fPause = false;
  if (fSaving ? SaveSlice(clock) : LoadSlice(clock))
    return;
  if (!fShowing) {
    fShowing = true;
    const QString name = QFileInfo(fFileName).fileName();
    fProgress.Start(
        fSaving ? LanguageText(QStringLiteral("ListSaving"), QStringLiteral("Ukládání do \"%1\""))
                      .arg(name)
                : LanguageText(QStringLiteral("ListLoading"), QStringLiteral("Načítání \"%1\""))
                      .arg(name),
        LanguageText(QStringLiteral("ListCancel"), QStringLiteral("Zrušit")));
    emit busyChanged(true);
  }
  if (fSaving)
    fProgress.SetProgress(static_cast<qint64>(fNext), static_cast<qint64>(fRows.Count));
  else
    fProgress.SetProgress(fLoader->Position(), fLoader->Size());
  // Waiting for the disk, the window need not look more often than this.
  fTimer->start(fPause ? kDiskPollMs : 0);
}

bool TListFiles::SaveSlice(const QElapsedTimer &clock) {
  QString error;
  if (!fFinishing) {
    // A disk that fell behind gets the next piece once it has taken the last.
    if (!fWriter->HandOver(&error)) {
      End(Failed, error);
      return true;
    }
    const qint64 start = fWriter->Size();
    qint64 visited = 0;
    while (fNext < fRows.Count) {
      if (fWriter->Behind()) {
        fPause = true;
        return false;
      }
      if (!fWriter->Add(fRows.At(fNext), &error)) {
        End(Failed, error);
        return true;
      }
      ++fNext;
      visited += kRowCost;
      if (fWriter->Size() - start + visited >= kMinSaveSlice && clock.elapsed() >= fBudget.count())
        return false;
    }
    // A small list is written, synced and in place before the call returns,
    // as a save has always been.
    if (fSlices == 1 && fWriter->Size() < TLogFileWriter::kPiece) {
      if (fWriter->Commit(&error))
        End(Done);
      else
        End(Failed, error);
      return true;
    }
    fWriter->Finish();
    fFinishing = true;
  }
  switch (fWriter->State(&error)) {
  case TLogFileWriter::TState::Writing:
    fPause = true; // the disk syncs and replaces the file: look again soon
    return false;
  case TLogFileWriter::TState::Committed:
    End(Done);
    break;
  case TLogFileWriter::TState::Failed:
    End(Failed, error);
    break;
  }
  return true;
}

bool TListFiles::LoadSlice(const QElapsedTimer &clock) {
  QString error;
  bool ok = true;
  do {
    ok = fLoader->Step(kLoadPiece, &error);
    // A regular file read to its size still has to see its end: that step
    // costs nothing and spares a small file a second slice.
  } while (ok && !fLoader->AtEnd() &&
           ((fLoader->Size() > 0 && fLoader->Position() >= fLoader->Size()) ||
            clock.elapsed() < fBudget.count()));
  HandOverLoaded();
  if (!ok)
    End(Failed, error);
  else if (fLoader->AtEnd())
    End(Done);
  else
    return false;
  return true;
}

void TListFiles::HandOverLoaded() {
  if (fLoaded.empty())
    return;
  fLoadedRows += static_cast<qint64>(fLoaded.size());
  fAppend(fLoaded);
  fLoaded.clear();
}

void TListFiles::End(TOutcome outcome, const QString &error) {
  fTimer->stop();
  fRunning = false;
  const bool saving = fSaving;
  const qint64 rows = saving ? static_cast<qint64>(fNext) : fLoadedRows;
  // Without commit the writer's temporary file goes and the old file stays.
  fWriter.reset();
  fRows = {};
  fLoader.reset();
  fLoaded.clear();
  fAppend = nullptr;
  if (fShowing) {
    fShowing = false;
    fProgress.Finish();
    emit busyChanged(false);
  }
  emit finished(outcome, saving, fFileName, rows, error);
}
