#pragma once

#include "base/datetime.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>
#include <memory>
#include <span>

class TVexlinDataObject;

// Saved communication logs: one line per row, "yyyy-mm-dd hh:nn:ss", a tab,
// the kind's token, a tab and the kind's text, in Windows-1250, each line
// ended by LF CR (the order files have always had).

// "2013-02-01_09-05_log.txt" for a first row stamped 09:05:59 on 1 Feb 2013.
QString ProposeLogFileName(TDateTime firstRowTime);

// "yyyy-mm-dd hh:nn:ss", milliseconds cut off.
QByteArray FormatLogTimeStamp(TDateTime time);

// Appends the line of one row; false (nothing appended) for rows that are not
// saved: no object, a kind without a token, or an empty text.
bool AppendLogLine(QByteArray &out, const TVexlinDataObject *row);

// Writes the rows to `fileName` through a temporary file that replaces it at
// the end, so a failure never leaves half a file. False with `error` set when
// the file cannot be written.
bool SaveLogFile(const QString &fileName, std::span<const TVexlinDataObject *const> rows,
                 QString *error = nullptr);

using TLogRowSink = std::function<void(std::unique_ptr<TVexlinDataObject>)>;

// Reads saved-log lines and hands every row to `appendRow` in file order.
// Lines end at LF or CR LF; a lone CR is dropped, so both line-end orders read
// alike. The CR after the last LF forms no row, while an empty line in the
// middle of a file still does. A line whose time cannot be
// read takes the time of the line before; an unknown token gives a log row of
// the line's data.
class TLogFileReader {
public:
  explicit TLogFileReader(TLogRowSink appendRow) : fAppendRow(std::move(appendRow)) {}

  // Feeds the next piece of the file; pieces may split lines anywhere.
  void Feed(const char *data, qsizetype size);
  // The end of the file: the last unterminated line, if any, becomes a row.
  void Finish();

  qsizetype RowCount() const { return fRows; }

private:
  void Line(const char *data, qsizetype size);

  TLogRowSink fAppendRow;
  QByteArray fLine; // the part of a line that ended a previous piece
  TDateTime fLastTime = 0;
  qsizetype fRows = 0;
};

// Reads a log file piece by piece into a TLogFileReader, so a caller can
// spread a large file over many turns of its event loop.
class TLogFileLoader {
public:
  TLogFileLoader(const QString &fileName, TLogRowSink appendRow);

  bool Open(QString *error = nullptr);
  // Reads and parses the next piece of at most `maxBytes`; false with `error`
  // set when reading fails. At the end of the file the last line is handed
  // over and AtEnd becomes true.
  bool Step(qint64 maxBytes, QString *error = nullptr);
  bool AtEnd() const { return fAtEnd; }
  qint64 Position() const { return fPosition; }
  // The file's size when it was opened; 0 for a device or pipe.
  qint64 Size() const { return fSize; }
  qsizetype RowCount() const { return fReader.RowCount(); }

private:
  QFile fFile;
  TLogFileReader fReader;
  QByteArray fPiece;
  qint64 fPosition = 0;
  qint64 fSize = 0;
  bool fAtEnd = false;
};

// Loads a whole file; false with `error` set when it cannot be opened or read.
bool LoadLogFile(const QString &fileName, const TLogRowSink &appendRow, QString *error = nullptr);
