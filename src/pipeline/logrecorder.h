#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class TVexlinDataObject;

// Appends rows to a log file as they arrive, in the saved-log format, so the
// file loads back like a saved one. Lines are gathered in memory and written
// by Flush (the caller flushes at least once a second and at every stop), so
// a crash loses at most what came since. With a size limit the recording
// goes on in numbered files: name_001.vexlin.txt, name_002.vexlin.txt, …
//
// Lines are made on the caller's thread (rows may go right after Add); the
// writes happen on a thread of the recorder's own, one block at a time, so a
// flood never waits for the disk unless the disk falls a whole block behind.
class TLogRecorder {
public:
  ~TLogRecorder();

  // Starts recording into `fileName` (appended to when it exists); rolls
  // over at `rollBytes` when that is above 0. False with `error` set when
  // the file cannot be opened.
  bool Start(const QString &fileName, qint64 rollBytes = 0, QString *error = nullptr);
  // Writes what is gathered and closes the file; false with `error` set when
  // the last write failed.
  bool Stop(QString *error = nullptr);
  bool Active() const { return fActive; }

  // Gathers the row's line; rows without a saved form are skipped. Once
  // kWriteBytes are gathered (or a line would carry the file past its size
  // limit) they go to the writer, so a flood never piles up in memory; a failed write stops
  // the recording at the next hand-over and is kept for the next Flush.
  void Add(const TVexlinDataObject &row);
  // Writes what is gathered and returns once it is handed to the system. A
  // failed write (disk full, folder gone) stops the recording and says why
  // in `error`.
  bool Flush(QString *error = nullptr);

  static constexpr qsizetype kWriteBytes = 1 << 20;

  // Progress in the caller's own count (bytes received, say): Mark says the
  // rows added so far make up `position`, and OnWritten hears each position
  // whose rows are handed to the system, or will never be because the
  // recording stopped. OnWritten runs on the writer's thread or the
  // caller's, and may hear a position more than once; set it before Start.
  void Mark(int64_t position);
  std::function<void(int64_t position)> OnWritten;
  // Runs on the writer's thread before each block is written, so a test can
  // make the disk slow. Set before Start.
  std::function<void(qsizetype bytes)> BeforeWrite;

  // The file written now, and its size with what is gathered.
  QString FileName() const { return fFileName; }
  qint64 Size() const { return fWritten + fPending.size(); }

  // The name of the `number`th file of a rolling recording of `fileName`.
  static QString NumberedName(const QString &fileName, int number);

private:
  // Gives the gathered lines to the writer once it is done with the last
  // block; false when a write failed (the recording is then stopped). With
  // `rollAt` the current file ends at that offset of the block and the rest
  // begins the next file.
  bool HandOver(qsizetype rollAt = -1);
  // Waits until the writer is idle; false when a write failed.
  bool WaitForWriter();
  void Fail();
  void Written(int64_t position) const;
  void WriterLoop();
  void StopWriter();

  // The caller's side.
  QString fBaseName;
  QString fFileName;
  qint64 fRollBytes = 0;
  int fNumber = 0;
  qint64 fWritten = 0; // of the current file, handed over included
  QByteArray fPending;
  bool fActive = false;
  QString fFailure; // why a write failed, until Flush reports it
  int64_t fPendingMark = 0;

  // Shared with the writer under fMutex. While fBusy the writer owns fFile,
  // fBlock, fBlockMark, fRollAt and fNextName; otherwise the caller does.
  std::mutex fMutex;
  std::condition_variable fWake;
  bool fBusy = false;
  bool fQuit = false;
  QString fWriteError;
  QFile fFile;
  QByteArray fBlock;
  int64_t fBlockMark = 0;
  qsizetype fRollAt = -1; // where in fBlock the next file begins; -1: none
  QString fNextName;      // the file that begins at fRollAt
  std::thread fWriter;
};
