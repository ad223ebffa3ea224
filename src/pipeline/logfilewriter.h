#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QSaveFile;
class TVexlinDataObject;

// Writes a log file row by row through a temporary file that replaces the
// file only when all is written: until then, and after Cancel or a failure,
// the old file is exactly as it was and no temporary file stays behind.
//
// Lines are made on the caller's thread, which owns the rows; the disk is
// written, synced and the file replaced on a thread of the writer's own, so
// a slow or full disk never holds up the caller. The caller never waits
// either: it asks Behind and State, and waits only when it chooses to.
class TLogFileWriter {
public:
  explicit TLogFileWriter(const QString &fileName);
  // Cancels what is not finished.
  ~TLogFileWriter();
  TLogFileWriter(const TLogFileWriter &) = delete;
  TLogFileWriter &operator=(const TLogFileWriter &) = delete;

  bool Open(QString *error = nullptr);
  // Gathers the row's line and hands full pieces to the disk; false once a
  // write has failed (with `error` set) or the writer is not open, finishing
  // or cancelled: the save is then over.
  bool Add(const TVexlinDataObject *row, QString *error = nullptr);
  // The disk has fallen a piece behind: more lines would only pile up.
  bool Behind() const { return fPiece.size() >= 2 * kPiece; }
  // Hands the gathered lines to the disk if it has taken the last ones; false
  // with `error` set once a write has failed.
  bool HandOver(QString *error = nullptr);
  // Waits until the disk has taken the piece it writes; false when it failed.
  bool WaitForWriter(QString *error = nullptr);

  // Hands the rest to the disk, then the file is synced and replaces the old
  // one; State says when that is done. False when a write had failed.
  bool Finish(QString *error = nullptr);
  enum class TState { Writing, Committed, Failed };
  TState State(QString *error = nullptr);
  // Finish and wait for the end.
  bool Commit(QString *error = nullptr);
  // Stops writing and removes the temporary file; true when the file had
  // already replaced the old one (Cancel came too late to stop it).
  bool Cancel();

  // Bytes of lines added so far.
  qint64 Size() const { return fHandedOver + fPiece.size(); }

  static constexpr qsizetype kPiece = 1 << 20;

private:
  // Gives the gathered lines to the disk thread, with fMutex held and the
  // thread idle; `last`: then commit.
  void GiveBlock(bool last);
  bool Failed(QString *error);
  void WriterLoop();

  std::unique_ptr<QSaveFile> fFile;
  QByteArray fPiece;
  qint64 fHandedOver = 0;
  bool fFinishing = false;
  bool fLastHandedOver = false;

  // Shared with the disk thread under fMutex. While fBusy, the thread owns
  // fBlock and fFile.
  std::mutex fMutex;
  std::condition_variable fWake;
  std::condition_variable fIdle;
  QByteArray fBlock;
  bool fBusy = false;
  bool fLast = false; // the block is the last one: commit after it
  bool fQuit = false;
  TState fState = TState::Writing;
  QString fWriteError;
  std::thread fThread;
};
