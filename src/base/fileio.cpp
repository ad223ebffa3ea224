#include "base/fileio.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kReadChunk = 1 << 20;

bool Fail(QString *error, const QString &text) {
  if (error)
    *error = text;
  return false;
}

QString Shown(const QString &fileName) {
  return QDir::toNativeSeparators(fileName);
}

class TFd {
public:
  explicit TFd(int fd) : fFd(fd) {}
  ~TFd() {
    if (fFd >= 0)
      ::close(fFd);
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  int Get() const { return fFd; }

private:
  int fFd;
};

} // namespace

bool ReadRegularFile(const QString &fileName, qint64 maxBytes, QByteArray &bytes, QString *error) {
  bytes.clear();
  const QString shown = Shown(fileName);
  const QByteArray path = QFile::encodeName(fileName);
  auto missingOr = [&](int code, const QString &action) {
    if (code == ENOENT || code == ENOTDIR)
      return Fail(error, QStringLiteral("The file \"%1\" does not exist.").arg(shown));
    return Fail(error, QStringLiteral("%1 \"%2\": %3").arg(action, shown, qt_error_string(code)));
  };
  auto notAFile = [&] { return Fail(error, QStringLiteral("\"%1\" is not a file.").arg(shown)); };
  auto tooLarge = [&] { return Fail(error, QStringLiteral("\"%1\" is too large.").arg(shown)); };

  if (fileName.isEmpty())
    return missingOr(ENOENT, QString());
  // Judged by name first, so that a device is never even opened (opening a
  // serial port raises its modem lines), then again on what was opened, in
  // case the name was swapped in between.
  struct stat info {};
  if (::stat(path.constData(), &info) != 0)
    return missingOr(errno, QStringLiteral("Cannot open"));
  if (!S_ISREG(info.st_mode))
    return notAFile();
  if (info.st_size > maxBytes)
    return tooLarge();
  // Non-blocking: a FIFO swapped in would otherwise wait for a writer.
  const TFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.Get() < 0)
    return missingOr(errno, QStringLiteral("Cannot open"));
  if (::fstat(fd.Get(), &info) != 0)
    return missingOr(errno, QStringLiteral("Cannot read"));
  if (!S_ISREG(info.st_mode))
    return notAFile();
  if (info.st_size > maxBytes)
    return tooLarge();

  // The file may grow while it is read: never more than one byte past the
  // limit, which is enough to tell.
  QByteArray out;
  out.reserve(static_cast<qsizetype>(info.st_size));
  for (;;) {
    const qint64 room = maxBytes + 1 - out.size();
    if (room <= 0)
      return tooLarge();
    const qsizetype start = out.size();
    // What the size promises (and one byte to see the end), in bounded steps.
    const qint64 want = qMin(room, qBound<qint64>(4096, info.st_size + 1 - start, kReadChunk));
    out.resize(start + static_cast<qsizetype>(want));
    const ssize_t n = ::read(fd.Get(), out.data() + start, static_cast<size_t>(want));
    if (n < 0 && errno == EINTR) {
      out.truncate(start);
      continue;
    }
    if (n < 0)
      return missingOr(errno, QStringLiteral("Cannot read"));
    out.truncate(start + n);
    if (n == 0)
      break;
  }
  if (out.size() > maxBytes)
    return tooLarge();
  bytes = std::move(out);
  return true;
}

bool WriteAll(QFileDevice &file, QByteArrayView bytes, QString *error) {
  // A short write sets no error; the retry of the rest is what fails with
  // the system's reason.
  while (!bytes.isEmpty()) {
    const qint64 n = file.write(bytes.data(), bytes.size());
    if (n <= 0)
      return Fail(error, file.errorString());
    bytes = bytes.sliced(n);
  }
  // A buffered device writes at flush time, short writes included.
  for (qint64 pending = file.bytesToWrite(); pending > 0; pending = file.bytesToWrite()) {
    if (!file.flush() && file.bytesToWrite() >= pending)
      return Fail(error, file.errorString());
  }
  return true;
}

QString FileErrorText(const QString &fileName, const QString &reason) {
  const QString shown = Shown(fileName);
  const QString quoted = u'"' + shown + u'"';
  if (shown.isEmpty() || reason.startsWith(shown + QStringLiteral(": ")) || reason.contains(quoted))
    return reason;
  return quoted + QStringLiteral(": ") + reason;
}
