#pragma once

// A pseudo-terminal pair made by the test: the engine opens the slave by
// its path, the test plays the far end on the master.
#include "waitfor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>


class TPtyPair {
public:
  TPtyPair() {
    char name[256] = {};
    if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) == 0) {
      fPath = QString::fromLocal8Bit(name);
      termios raw{};
      ::tcgetattr(fSlave, &raw);
      ::cfmakeraw(&raw);
      ::tcsetattr(fSlave, TCSANOW, &raw);
      ::fcntl(fMaster, F_SETFL, ::fcntl(fMaster, F_GETFL) | O_NONBLOCK);
    }
  }
  ~TPtyPair() {
    CloseMaster();
    if (fSlave >= 0)
      ::close(fSlave);
  }
  TPtyPair(const TPtyPair &) = delete;
  TPtyPair &operator=(const TPtyPair &) = delete;

  bool Valid() const { return fMaster >= 0 && !fPath.isEmpty(); }
  QString Path() const { return fPath; }
  int Master() const { return fMaster; }
  // The test's own slave descriptor, as another program holding the port.
  int Slave() const { return fSlave; }

  // The far end hangs up.
  void CloseMaster() {
    if (fMaster >= 0)
      ::close(fMaster);
    fMaster = -1;
  }

  bool Write(const QByteArray &data) const {
    qsizetype at = 0;
    while (at < data.size()) {
      const ssize_t n = ::write(fMaster, data.constData() + at, size_t(data.size() - at));
      if (n > 0) {
        at += n;
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR)
        return false;
      pollfd room{fMaster, POLLOUT, 0};
      ::poll(&room, 1, 100);
    }
    return true;
  }

  // Whatever arrives within `ms` of the last byte, up to `size` bytes; the
  // UI thread's events run meanwhile.
  QByteArray Read(qsizetype size, int ms = 5000) const {
    QByteArray got;
    WaitFor(
        [&] {
          char buffer[65536];
          const ssize_t n = ::read(fMaster, buffer, sizeof buffer);
          if (n > 0)
            got.append(buffer, n);
          return got.size() >= size;
        },
        ms);
    return got;
  }

private:
  int fMaster = -1;
  int fSlave = -1;
  QString fPath;
};

// Bytes 0..255 repeated, offset by `seed`, so order and loss both show.
inline QByteArray Pattern(qsizetype size, int seed = 0) {
  QByteArray data(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i)
    data[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return data;
}
