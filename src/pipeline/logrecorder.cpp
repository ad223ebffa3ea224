#include "pipeline/logrecorder.h"

#include "pipeline/logfile.h"

#include <QFileInfo>

namespace {

// Appends to a regular file; a device or a pipe (/dev/null, /dev/stdout on a
// terminal) has no end to seek to, and Qt would warn about trying.
bool OpenForAppending(QFile &file) {
  const QFileInfo info(file.fileName());
  const bool stream = info.exists() && !info.isFile();
  return file.open(stream ? QIODevice::WriteOnly : QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace

TLogRecorder::~TLogRecorder() {
  Stop();
  StopWriter();
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

bool TLogRecorder::Start(const QString &fileName, qint64 rollBytes, QString *error) {
  Stop();
  fFailure.clear();
  fBaseName = fileName;
  fRollBytes = rollBytes;
  fNumber = rollBytes > 0 ? 1 : 0;
  fPending.resize(0);
  fFileName = fNumber ? NumberedName(fileName, fNumber) : fileName;
  // The writer is idle: the file is this thread's until the first hand-over.
  fFile.setFileName(fFileName);
  if (!OpenForAppending(fFile)) {
    if (error)
      *error = fFile.errorString();
    return false;
  }
  fWritten = fFile.size();
  fActive = true;
  if (!fWriter.joinable()) {
    fQuit = false;
    fWriter = std::thread(&TLogRecorder::WriterLoop, this);
  }
  return true;
}

void TLogRecorder::Add(const TVexlinDataObject &row) {
  if (!fActive)
    return;
  const qsizetype lineStart = fPending.size();
  if (!AppendLogLine(fPending, &row))
    return;
  // A line that would carry the file past its limit begins the next file;
  // only a line longer than the limit has a file to itself.
  if (fRollBytes > 0 && Size() > fRollBytes && fWritten + lineStart > 0)
    HandOver(lineStart);
  else if (fPending.size() >= kWriteBytes)
    HandOver();
}

bool TLogRecorder::WaitForWriter() {
  std::unique_lock lock(fMutex);
  fWake.wait(lock, [&] { return !fBusy; });
  if (fWriteError.isEmpty())
    return true;
  fFailure = fWriteError;
  fWriteError.clear();
  lock.unlock();
  Fail();
  return false;
}

void TLogRecorder::Fail() {
  fActive = false;
  fPending.resize(0);
  fFile.close();
  fWritten = QFileInfo(fFileName).size(); // what a failed write left there
}

bool TLogRecorder::HandOver(qsizetype rollAt) {
  if (!WaitForWriter())
    return false;
  if (fPending.isEmpty())
    return true;
  // The buffers change places, so neither is allocated again.
  fBlock.swap(fPending);
  fPending.resize(0);
  fRollAt = rollAt;
  fNextName.clear();
  if (rollAt < 0) {
    fWritten += fBlock.size();
  } else {
    fNextName = NumberedName(fBaseName, ++fNumber);
    fFileName = fNextName;
    // Appended to when it exists.
    fWritten = QFileInfo(fNextName).size() + (fBlock.size() - rollAt);
  }
  {
    const std::lock_guard lock(fMutex);
    fBusy = true;
  }
  fWake.notify_all();
  return true;
}

void TLogRecorder::WriterLoop() {
  for (;;) {
    std::unique_lock lock(fMutex);
    fWake.wait(lock, [&] { return fBusy || fQuit; });
    if (!fBusy)
      return;
    lock.unlock();
    QString error;
    const qsizetype first = fRollAt < 0 ? fBlock.size() : fRollAt;
    auto write = [&](const char *data, qsizetype size) {
      if (fFile.write(data, size) == size && fFile.flush())
        return true;
      error = fFile.errorString();
      return false;
    };
    if (write(fBlock.constData(), first) && fRollAt >= 0) {
      fFile.close();
      fFile.setFileName(fNextName);
      if (!OpenForAppending(fFile))
        error = fFile.errorString();
      else
        write(fBlock.constData() + first, fBlock.size() - first);
    }
    lock.lock();
    fWriteError = error;
    fBusy = false;
    lock.unlock();
    fWake.notify_all();
  }
}

void TLogRecorder::StopWriter() {
  if (!fWriter.joinable())
    return;
  {
    const std::lock_guard lock(fMutex);
    fQuit = true;
  }
  fWake.notify_all();
  fWriter.join();
}

bool TLogRecorder::Flush(QString *error) {
  if (fActive && HandOver())
    WaitForWriter();
  if (fFailure.isEmpty())
    return true;
  if (error)
    *error = fFailure;
  fFailure.clear();
  return false;
}

bool TLogRecorder::Stop(QString *error) {
  if (!fActive)
    return true;
  const bool written = Flush(error);
  Fail(); // nothing is left to write: only closes
  return written;
}
