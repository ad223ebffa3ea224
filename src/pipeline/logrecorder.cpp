#include "pipeline/logrecorder.h"

#include "pipeline/logfile.h"

#include <QFileInfo>

TLogRecorder::~TLogRecorder() {
  Stop();
}

QString TLogRecorder::NumberedName(const QString &fileName, int number) {
  // "log.vexlin.txt" becomes "log_001.vexlin.txt": the number goes before
  // the whole of a double extension.
  const QFileInfo info(fileName);
  const QString name = info.fileName();
  const qsizetype dot = name.indexOf(u'.', 1);
  const QString stem = dot > 0 ? name.left(dot) : name;
  const QString extension = dot > 0 ? name.mid(dot) : QString();
  const QString numbered =
      stem + QStringLiteral("_%1").arg(number, 3, 10, QLatin1Char('0')) + extension;
  return info.path() == QLatin1String(".") && !fileName.startsWith(QLatin1String("./"))
             ? numbered
             : info.path() + u'/' + numbered;
}

bool TLogRecorder::OpenFile(const QString &name, QString *error) {
  fFile.setFileName(name);
  if (!fFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
    if (error)
      *error = fFile.errorString();
    return false;
  }
  fWritten = fFile.size();
  return true;
}

bool TLogRecorder::Start(const QString &fileName, qint64 rollBytes, QString *error) {
  Stop();
  fFailure.clear();
  fBaseName = fileName;
  fRollBytes = rollBytes;
  fNumber = rollBytes > 0 ? 1 : 0;
  fPending.clear();
  return OpenFile(fNumber ? NumberedName(fileName, fNumber) : fileName, error);
}

void TLogRecorder::Add(const TVexlinDataObject &row) {
  if (!Active())
    return;
  AppendLogLine(fPending, &row);
  if (fPending.size() >= kWriteBytes)
    Write(&fFailure);
}

bool TLogRecorder::Flush(QString *error) {
  if (!fFailure.isEmpty()) {
    if (error)
      *error = fFailure;
    fFailure.clear();
    return false;
  }
  return Write(error);
}

bool TLogRecorder::Write(QString *error) {
  if (!Active() || fPending.isEmpty())
    return true;
  if (fFile.write(fPending) != fPending.size() || !fFile.flush()) {
    if (error)
      *error = fFile.errorString();
    fPending.clear();
    fFile.close();
    return false;
  }
  fWritten += fPending.size();
  fPending.clear();
  if (fRollBytes > 0 && fWritten >= fRollBytes) {
    fFile.close();
    return OpenFile(NumberedName(fBaseName, ++fNumber), error);
  }
  return true;
}

bool TLogRecorder::Stop(QString *error) {
  if (!Active())
    return true;
  const bool written = Flush(error);
  fFile.close();
  return written;
}
