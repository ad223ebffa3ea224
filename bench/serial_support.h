#pragma once

// Shared pieces of the serial benchmarks: a pseudo-terminal pair whose
// master plays the far end, an order-sensitive checksum and the sizes of
// the full and the smoke run.
#include "bench_common.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// The full run moves 256 MiB each way and idles 10 s.
inline int64_t StreamBytes() {
  return FullRun() ? int64_t(256) << 20 : int64_t(32) << 20;
}
inline int IdleSeconds() {
  return FullRun() ? 10 : 1;
}

// A pty pair with a blocking master; the engine opens the slave by path.
class TBenchPty {
public:
  TBenchPty() {
    char name[256] = {};
    if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) == 0) {
      // A program the benchmark starts must not keep the far end open.
      ::fcntl(fMaster, F_SETFD, FD_CLOEXEC);
      ::fcntl(fSlave, F_SETFD, FD_CLOEXEC);
      fPath = QString::fromLocal8Bit(name);
      termios raw{};
      ::tcgetattr(fMaster, &raw);
      ::cfmakeraw(&raw);
      ::tcsetattr(fMaster, TCSANOW, &raw);
    }
  }
  ~TBenchPty() {
    CloseMaster();
    if (fSlave >= 0)
      ::close(fSlave);
  }
  // The far end goes: whoever has the slave open sees a hang-up.
  void CloseMaster() {
    if (fMaster >= 0)
      ::close(fMaster);
    fMaster = -1;
  }
  bool Valid() const { return fMaster >= 0; }
  QString Path() const { return fPath; }
  int Master() const { return fMaster; }
  // Bytes written into the master that no reader of the slave took yet.
  int Unread() const {
    int queued = 0;
    return ::ioctl(fSlave, FIONREAD, &queued) == 0 ? queued : -1;
  }

private:
  int fMaster = -1;
  int fSlave = -1;
  QString fPath;
};

// The pattern block both directions send over and over.
inline QByteArray BenchBlock(int size) {
  QByteArray block(size, Qt::Uninitialized);
  uint32_t x = 97;
  for (char &c : block) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return block;
}

// Runs the UI thread's event loop until Quit or until `ms` passed; false
// on the time-out. A Quit before Run ends the next Run at once.
class TBenchLoop {
public:
  TBenchLoop() {
    fTimer.setSingleShot(true);
    QObject::connect(&fTimer, &QTimer::timeout, &fLoop, &QEventLoop::quit);
  }
  bool Run(int ms) {
    if (!fQuit) {
      fTimer.start(ms);
      fLoop.exec();
      fTimer.stop();
    }
    const bool quit = fQuit;
    fQuit = false;
    return quit;
  }
  void Quit() {
    fQuit = true;
    fLoop.quit();
  }

private:
  QEventLoop fLoop;
  QTimer fTimer;
  bool fQuit = false;
};
