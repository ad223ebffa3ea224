#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class TVexlinDataObject;

// Appends rows to a log file as they arrive, in the saved-log format, so the
// file loads back like a saved one. Lines are gathered in memory and written
// by Flush (the caller flushes at least once a second and at every stop), so
// a crash loses at most what came since. With a size limit the recording
// goes on in numbered files: name_001.vexlin.txt, name_002.vexlin.txt, …
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
  bool Active() const { return fFile.isOpen(); }

  // Gathers the row's line; rows without a saved form are skipped. Once
  // kWriteBytes are gathered they are written at once, so a flood never
  // piles up in memory; a failure there is kept for the next Flush.
  void Add(const TVexlinDataObject &row);
  // Writes what is gathered. A failed write (disk full, folder gone) stops
  // the recording and says why in `error`.
  bool Flush(QString *error = nullptr);

  static constexpr qsizetype kWriteBytes = 1 << 20;

  // The file written now, and its size with what is gathered.
  QString FileName() const { return fFile.fileName(); }
  qint64 Size() const { return fWritten + fPending.size(); }

  // The name of the `number`th file of a rolling recording of `fileName`.
  static QString NumberedName(const QString &fileName, int number);

private:
  bool OpenFile(const QString &name, QString *error);
  bool Write(QString *error);

  QFile fFile;
  QString fBaseName;
  qint64 fRollBytes = 0;
  int fNumber = 0;
  qint64 fWritten = 0;
  QByteArray fPending;
  QString fFailure; // why a write made by Add failed, until Flush reports it
};
