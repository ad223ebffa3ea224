#include "pipeline/logfile.h"

#include "base/ansicodepage.h"
#include "base/fileio.h"
#include "base/utils.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobject.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfilewriter.h"

#include <cstring>

namespace {

char *PutTwoDigits(char *out, int value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

char *PutFourDigits(char *out, int value) {
  out = PutTwoDigits(out, value / 100);
  return PutTwoDigits(out, value % 100);
}

// Copy(line, start, count) of 0-based `start`: whatever of the range exists.
QByteArrayView Mid(const char *line, qsizetype size, qsizetype start, qsizetype count) {
  if (start >= size)
    return {};
  return QByteArrayView(line + start, qMin(count, size - start));
}

constexpr qsizetype kWriteChunk = 1 << 20;

// Writes the 19 characters of "yyyy-mm-dd hh:nn:ss".
void PutLogTimeStamp(char *o, TDateTime time) {
  const TDateTimeParts p = DecodeDateTime(time);
  o = PutFourDigits(o, p.Year);
  *o++ = '-';
  o = PutTwoDigits(o, p.Month);
  *o++ = '-';
  o = PutTwoDigits(o, p.Day);
  *o++ = ' ';
  o = PutTwoDigits(o, p.Hour);
  *o++ = ':';
  o = PutTwoDigits(o, p.Minute);
  *o++ = ':';
  PutTwoDigits(o, p.Second);
}

} // namespace

QByteArray FormatLogTimeStamp(TDateTime time) {
  QByteArray out(19, Qt::Uninitialized);
  PutLogTimeStamp(out.data(), time);
  return out;
}

QString ProposeLogFileName(TDateTime firstRowTime) {
  const TDateTimeParts p = DecodeDateTime(firstRowTime);
  return QStringLiteral("%1-%2-%3_%4-%5_log.txt")
      .arg(p.Year, 4, 10, QLatin1Char('0'))
      .arg(p.Month, 2, 10, QLatin1Char('0'))
      .arg(p.Day, 2, 10, QLatin1Char('0'))
      .arg(p.Hour, 2, 10, QLatin1Char('0'))
      .arg(p.Minute, 2, 10, QLatin1Char('0'));
}

bool AppendLogLine(QByteArray &out, const TVexlinDataObject *row) {
  if (!row)
    return false;
  QByteArray token;
  if (!GetDataObjectSign(row->ClassType(), token))
    return false;
  const qsizetype start = out.size();
  char head[19 + 1 + 3 + 1];
  PutLogTimeStamp(head, row->Time);
  head[19] = '\t';
  const qsizetype tokenSize = qMin<qsizetype>(token.size(), 3);
  std::memcpy(head + 20, token.constData(), static_cast<size_t>(tokenSize));
  head[20 + tokenSize] = '\t';
  out.append(head, 21 + tokenSize);
  const qsizetype textStart = out.size();
  row->AppendText4Save(out);
  if (out.size() == textStart) {
    out.truncate(start); // rows without text are not saved
    return false;
  }
  out.append("\n\r", 2);
  return true;
}

bool SaveLogFile(const QString &fileName, std::span<const TVexlinDataObject *const> rows,
                 QString *error) {
  TLogFileWriter writer(fileName);
  if (!writer.Open(error))
    return false;
  for (const TVexlinDataObject *row : rows) {
    if (!writer.Add(row, error))
      return false;
    if (writer.Behind() && !writer.WaitForWriter(error))
      return false;
  }
  return writer.Commit(error);
}

void TLogFileReader::Feed(const char *data, qsizetype size) {
  const char *end = data + size;
  while (data < end) {
    const char *lf =
        static_cast<const char *>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
    const char *segmentEnd = lf ? lf : end;
    // Every CR disappears: one before LF belongs to the line end, any other
    // is dropped. The usual case, a line alone in this piece with at most a
    // leading CR, is read in place without copying.
    const char *start = data;
    if (fLine.isEmpty() && start < segmentEnd && *start == '\r')
      ++start;
    const char *lineEnd = segmentEnd;
    if (lineEnd > start && lineEnd[-1] == '\r')
      --lineEnd;
    const bool hasCR = lineEnd > start &&
                       std::memchr(start, '\r', static_cast<size_t>(lineEnd - start)) != nullptr;
    if (lf && fLine.isEmpty() && !hasCR) {
      Line(start, lineEnd - start);
    } else {
      for (const char *c = start; c < lineEnd; ++c)
        if (*c != '\r')
          fLine.append(*c);
      if (lf) {
        Line(fLine.constData(), fLine.size());
        fLine.clear();
      }
    }
    data = lf ? lf + 1 : end;
  }
}

void TLogFileReader::Finish() {
  // What follows the last LF is a row only when it holds something: the CR
  // that every saved line ends with must not add an empty row.
  if (!fLine.isEmpty())
    Line(fLine.constData(), fLine.size());
  fLine.clear();
}

void TLogFileReader::Line(const char *line, qsizetype size) {
  const QByteArrayView timeText = Mid(line, size, 0, 19);
  const QByteArrayView token = Mid(line, size, 20, 3);
  const QByteArrayView data = Mid(line, size, 24, size);

  TDateTime time = 0;
  if (IsoDateTimeToDateTime(QString::fromLatin1(timeText), time, true))
    fLastTime = time;

  std::unique_ptr<TVexlinDataObject> object;
  TVexlinDataObjectClass kind = nullptr;
  const QString text = TextFromAnsi(data.data(), data.size());
  if (GetDataObjectClass(token.data(), token.size(), kind)) {
    object.reset(kind->Create());
    object->LoadFromSavedFile(text);
  } else {
    object = std::make_unique<TVexlinDataLog>();
    object->LoadFromSavedFile(text);
  }
  object->Time = fLastTime;
  ++fRows;
  fAppendRow(std::move(object));
}

TLogFileLoader::TLogFileLoader(const QString &fileName, TLogRowSink appendRow)
    : fFile(fileName), fReader(std::move(appendRow)) {}

bool TLogFileLoader::Open(QString *error) {
  if (!fFile.open(QIODevice::ReadOnly)) {
    if (error)
      *error = fFile.errorString();
    return false;
  }
  fSize = fFile.isSequential() ? 0 : fFile.size();
  return true;
}

bool TLogFileLoader::Step(qint64 maxBytes, QString *error) {
  if (fAtEnd)
    return true;
  fPiece.resize(qMin<qint64>(maxBytes, kWriteChunk));
  const qint64 n = fFile.read(fPiece.data(), fPiece.size());
  if (n < 0) {
    if (error)
      *error = fFile.errorString();
    // What was read stays loaded, its unterminated last line included.
    fReader.Finish();
    fAtEnd = true;
    return false;
  }
  if (n == 0) {
    fReader.Finish();
    fAtEnd = true;
    return true;
  }
  fPosition += n;
  fReader.Feed(fPiece.constData(), n);
  return true;
}

bool LoadLogFile(const QString &fileName, const TLogRowSink &appendRow, QString *error) {
  TLogFileLoader loader(fileName, appendRow);
  if (!loader.Open(error))
    return false;
  while (!loader.AtEnd())
    if (!loader.Step(kWriteChunk, error))
      return false;
  return true;
}
