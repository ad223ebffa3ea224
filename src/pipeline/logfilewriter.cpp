#include "pipeline/logfilewriter.h"

#include "base/fileio.h"
#include "pipeline/logfile.h"

#include <QSaveFile>

TLogFileWriter::TLogFileWriter(const QString &fileName)
    : fFile(std::make_unique<QSaveFile>(fileName)) {}

TLogFileWriter::~TLogFileWriter() {
  Cancel();
}

bool TLogFileWriter::Open(QString *error) {
  if (fThread.joinable() || !fFile->open(QIODevice::WriteOnly)) {
    if (error)
      *error = fFile->errorString();
    return false;
  }
  fPiece.reserve(kPiece + 4096);
  fThread = std::thread([this] { WriterLoop(); });
  return true;
}

bool TLogFileWriter::Failed(QString *error) {
  std::lock_guard lock(fMutex);
  if (fState != TState::Failed)
    return false;
  if (error)
    *error = fWriteError;
  return true;
}

bool TLogFileWriter::Add(const TVexlinDataObject *row, QString *error) {
  // Not open, finishing or cancelled: the save is over.
  if (!fThread.joinable() || fFinishing)
    return false;
  AppendLogLine(fPiece, row);
  return fPiece.size() < kPiece || HandOver(error);
}

bool TLogFileWriter::HandOver(QString *error) {
  if (fPiece.size() < kPiece)
    return !Failed(error);
  std::lock_guard lock(fMutex);
  if (fState == TState::Failed) {
    if (error)
      *error = fWriteError;
    return false;
  }
  if (fBusy)
    return true; // the lines wait for the next hand-over
  GiveBlock(false);
  return true;
}

void TLogFileWriter::GiveBlock(bool last) {
  fHandedOver += fPiece.size();
  fBlock.swap(fPiece);
  fPiece.clear();
  fLast = last;
  fLastHandedOver = last;
  fBusy = true;
  fWake.notify_one();
}

bool TLogFileWriter::WaitForWriter(QString *error) {
  {
    std::unique_lock lock(fMutex);
    fIdle.wait(lock, [this] { return !fBusy; });
  }
  return HandOver(error);
}

bool TLogFileWriter::Finish(QString *error) {
  if (!fThread.joinable())
    return false;
  fFinishing = true;
  return State(error) != TState::Failed;
}

TLogFileWriter::TState TLogFileWriter::State(QString *error) {
  std::lock_guard lock(fMutex);
  // The last piece goes once the disk has taken the one before.
  if (fFinishing && !fLastHandedOver && !fBusy && fState == TState::Writing)
    GiveBlock(true);
  if (fState == TState::Failed && error)
    *error = fWriteError;
  return fState;
}

bool TLogFileWriter::Commit(QString *error) {
  if (!Finish(error))
    return false;
  for (;;) {
    const TState state = State(error);
    if (state != TState::Writing) {
      Cancel(); // the thread ends; a failed file goes
      return state == TState::Committed;
    }
    std::unique_lock lock(fMutex);
    fIdle.wait(lock, [this] { return !fBusy; });
  }
}

bool TLogFileWriter::Cancel() {
  if (fThread.joinable()) {
    {
      std::lock_guard lock(fMutex);
      fQuit = true;
      fWake.notify_one();
    }
    fThread.join();
  }
  fPiece.clear();
  // An uncommitted QSaveFile removes its temporary file as it goes.
  fFile.reset();
  std::lock_guard lock(fMutex);
  return fState == TState::Committed;
}

void TLogFileWriter::WriterLoop() {
  std::unique_lock lock(fMutex);
  for (;;) {
    fWake.wait(lock, [this] { return fQuit || fBusy; });
    if (fQuit)
      return;
    QByteArray block;
    block.swap(fBlock);
    const bool last = fLast;
    lock.unlock();
    QString reason;
    bool ok = WriteAll(*fFile, block, &reason);
    if (ok && last) {
      // Unless cancelled meanwhile: then the old file stays.
      bool quit;
      {
        std::lock_guard check(fMutex);
        quit = fQuit;
      }
      if (quit)
        return;
      ok = fFile->commit();
      if (!ok)
        reason = fFile->errorString();
    }
    lock.lock();
    if (!ok) {
      fState = TState::Failed;
      fWriteError = reason;
    } else if (last) {
      fState = TState::Committed;
    }
    fBusy = false;
    fIdle.notify_all();
    if (!ok || last)
      return;
  }
}
