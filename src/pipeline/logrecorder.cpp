#include "pipeline/logrecorder.h"

#include "base/languagetext.h"
#include "pipeline/logfile.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A device or a pipe: opened without waiting for a reader, so a FIFO that
// nobody reads is refused at once instead of hanging the open for ever;
// writes then wait for the reader as usual.
bool OpenStream(QFile &file, QString &error) {
  const QByteArray path = QFile::encodeName(file.fileName());
  const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int reason = errno;
    struct stat target {};
    const bool fifo = ::stat(path.constData(), &target) == 0 && S_ISFIFO(target.st_mode);
    error = reason == ENXIO && fifo ? LanguageText(QStringLiteral("LogPipeNoReader"),
                                                   QStringLiteral("z roury nikdo nečte"))
                                    : QString::fromLocal8Bit(std::strerror(reason));
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    error = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return false;
  }
  if (file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
    return true;
  error = file.errorString();
  ::close(fd);
  return false;
}

// Appends to a regular file; a device or a pipe (/dev/null, /dev/stdout on a
// terminal) has no end to seek to, and Qt would warn about trying.
bool OpenForAppending(QFile &file, QString &error) {
  const QFileInfo info(file.fileName());
  if (info.exists() && !info.isFile())
    return OpenStream(file, error);
  if (file.open(QIODevice::WriteOnly | QIODevice::Append))
    return true;
  error = file.errorString();
  return false;
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
  fPendingMark = 0;
  fFileName = fNumber ? NumberedName(fileName, fNumber) : fileName;
  // The writer is idle: the file is this thread's until the first hand-over.
  fFile.setFileName(fFileName);
  QString why;
  if (!OpenForAppending(fFile, why)) {
    if (error)
      *error = why;
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
  Written(fPendingMark);                  // nothing of it waits any more
}

void TLogRecorder::Mark(int64_t position) {
  fPendingMark = position;
  if (!fActive)
    Written(position);
}

void TLogRecorder::Written(int64_t position) const {
  if (OnWritten)
    OnWritten(position);
}

bool TLogRecorder::HandOver(qsizetype rollAt) {
  if (!WaitForWriter())
    return false;
  if (fPending.isEmpty()) {
    Written(fPendingMark); // the writer is done with everything before it
    return true;
  }
  // The buffers change places, so neither is allocated again.
  fBlock.swap(fPending);
  fPending.resize(0);
  // A block cut inside the rows of a mark carries the mark before: the
  // position never runs ahead of what is written.
  fBlockMark = fPendingMark;
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
    if (BeforeWrite)
      BeforeWrite(fBlock.size());
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
      if (OpenForAppending(fFile, error))
        write(fBlock.constData() + first, fBlock.size() - first);
    }
    // Before the caller may hand over again, so positions come in order.
    Written(fBlockMark);
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
