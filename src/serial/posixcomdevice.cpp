#include "serial/posixcomdevice.h"

#include "base/languagetext.h"
#include "serial/termios2.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The modem-line bits of TIOCMGET and their status and event bits.
struct TModemLine {
  int tiocm;
  uint32_t status;
  uint32_t event;
};
constexpr TModemLine kModemLines[] = {
    {TIOCM_CTS, MS_CTS_ON, EV_CTS},
    {TIOCM_DSR, MS_DSR_ON, EV_DSR},
    {TIOCM_RNG, MS_RING_ON, EV_RING},
    {TIOCM_CAR, MS_RLSD_ON, EV_RLSD},
};

bool SetLine(int fd, bool on, int line) {
  return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

// The system's reason for `error`, in the words the user needs most.
QString ErrnoText(int error) {
  switch (error) {
  case ENOENT:
  case ENXIO:
  case ENODEV:
    return LanguageText(QStringLiteral("SerialNoDevice"), QStringLiteral("zařízení neexistuje"));
  case EBUSY:
  case EWOULDBLOCK:
    return LanguageText(QStringLiteral("SerialBusy"),
                        QStringLiteral("port je obsazen, používá ho jiný program"));
  case ENOTTY:
    return LanguageText(QStringLiteral("SerialNotSerial"),
                        QStringLiteral("zařízení není sériový port"));
  default:
    return QString::fromLocal8Bit(std::strerror(error));
  }
}

} // namespace

std::unique_ptr<TAfComDevice> AfCreateComDevice() {
  return std::make_unique<TAfPosixComDevice>();
}

TAfPosixComDevice::~TAfPosixComDevice() {
  Close();
}

QString TAfPosixComDevice::DevicePath(const QString &portName) {
  if (portName.startsWith(u'/'))
    return portName;
  if (portName.isEmpty() || portName.contains(u'/') || portName == u".." || portName == u".")
    return {};
  return QStringLiteral("/dev/") + portName;
}

TAfDeviceOpen TAfPosixComDevice::Refuse(TAfDeviceOpen outcome, int error) {
  fReason = ErrnoText(error);
  return outcome;
}

bool TAfPosixComDevice::Refuse(const QString &reason) {
  fReason = reason;
  return false;
}

TAfDeviceOpen TAfPosixComDevice::Open(const QString &portName) {
  Close();
  fReason.clear();
  const QString path = DevicePath(portName);
  if (path.isEmpty() || path.contains(QChar(0))) {
    fReason =
        LanguageText(QStringLiteral("SerialBadName"), QStringLiteral("název není názvem zařízení"));
    return TAfDeviceOpen::NotFound;
  }
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    const bool missing = error == ENOENT || error == ENXIO || error == ENODEV;
    return Refuse(missing ? TAfDeviceOpen::NotFound : TAfDeviceOpen::Failed, error);
  }
  // TIOCEXCL keeps other users out, flock also root (and this process).
  const int error = !::isatty(fd)                         ? ENOTTY
                    : ::ioctl(fd, TIOCEXCL) != 0          ? errno
                    : ::flock(fd, LOCK_EX | LOCK_NB) != 0 ? errno
                                                          : 0;
  if (error != 0) {
    ::close(fd);
    return Refuse(TAfDeviceOpen::Failed, error);
  }
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event watch{};
  watch.events = EPOLLIN | EPOLLET;
  if (epoll < 0 || ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &watch) != 0) {
    const int failed = errno;
    if (epoll >= 0)
      ::close(epoll);
    ::close(fd);
    return Refuse(TAfDeviceOpen::Failed, failed);
  }
  fFd = fd;
  fEpoll = epoll;
  fWatched.clear();
  fErrors = 0;
  fLost = false;
  fState = TAfDCB{};
  fHasCounters = ::ioctl(fd, TIOCGICOUNT, &fCounters) == 0;
  fHasModemLines = !fHasCounters && ::ioctl(fd, TIOCMGET, &fModemLines) == 0;
  return TAfDeviceOpen::Opened;
}

void TAfPosixComDevice::Close() {
  if (fEpoll >= 0)
    ::close(fEpoll);
  if (fFd >= 0) {
    ::ioctl(fFd, TIOCNXCL);
    ::close(fFd);
  }
  fFd = fEpoll = -1;
}

bool TAfPosixComDevice::SetupComm(uint32_t, uint32_t) {
  // The tty layer sizes its own queues.
  return fFd >= 0;
}

bool TAfPosixComDevice::SetCommMask(uint32_t mask) {
  fMask = mask;
  return fFd >= 0;
}

bool TAfPosixComDevice::SetCommState(const TAfDCB &dcb) {
  TAfLineSettings wanted, held;
  QString refused;
  if (fFd < 0)
    return Refuse(ErrnoText(EBADF));
  if (!AfLineSettingsFromDcb(dcb, wanted, &refused))
    return Refuse(refused + QStringLiteral(" is not supported"));
  if (!AfApplyLineSettings(fFd, wanted) || !AfReadLineSettings(fFd, held))
    return Refuse(ErrnoText(errno));
  // Drivers adjust what they cannot do without saying so: read it back.
  if (held != wanted)
    return Refuse(QStringLiteral("the device refused ") + AfLineSettingsChange(wanted, held));
  fReason.clear();
  SetOutputLines(dcb);
  fState = dcb;
  return true;
}

void TAfPosixComDevice::SetOutputLines(const TAfDCB &dcb) {
  // A pty has no modem lines; the settings hold all the same.
  SetLine(fFd, (dcb.Flags & kAfDcbDtrControl) == kAfDcbDtrEnable, TIOCM_DTR);
  const uint32_t rts = dcb.Flags & kAfDcbRtsControl;
  if (rts != kAfDcbRtsHandshake)
    SetLine(fFd, rts == kAfDcbRtsEnable, TIOCM_RTS);
}

bool TAfPosixComDevice::GetCommState(TAfDCB &dcb) {
  TAfLineSettings held;
  if (fFd < 0 || !AfReadLineSettings(fFd, held))
    return false;
  dcb = fState;
  AfMergeLineSettings(held, dcb);
  return true;
}

int64_t TAfPosixComDevice::Read(void *data, int64_t count) {
  if (fFd < 0)
    return -1;
  if (count <= 0)
    return 0;
  for (;;) {
    const ssize_t n = ::read(fFd, data, static_cast<size_t>(count));
    if (n >= 0)
      return n;
    if (errno == EAGAIN)
      return 0;
    if (errno != EINTR)
      return -1;
  }
}

TAfDeviceWrite TAfPosixComDevice::Write(const void *data, int64_t size,
                                        std::span<TAfSignal *const> cancel) {
  TAfDeviceWrite result;
  const auto *bytes = static_cast<const char *>(data);
  while (result.Written < size) {
    const ssize_t n =
        ::write(fFd, bytes + result.Written, static_cast<size_t>(size - result.Written));
    if (n > 0) {
      result.Written += n;
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN) {
      result.Failed = true;
      break;
    }
    // The driver's queue is full: wait for room or for the caller to give up.
    TAfWaitHandle room{fFd, POLLOUT};
    result.Signalled = AfWaitForSignals(cancel, -1, &room);
    if (result.Signalled != 0)
      break;
    if (room.REvents & (POLLERR | POLLHUP | POLLNVAL)) {
      result.Failed = true;
      break;
    }
  }
  return result;
}

bool TAfPosixComDevice::ClearCommError(uint32_t &errors, TAfComStat &stat) {
  if (fFd < 0)
    return false;
  errors = fErrors.exchange(0);
  int in = 0, out = 0;
  // A hung-up tty refuses both; its queues count as empty.
  stat.cbInQue = ::ioctl(fFd, FIONREAD, &in) == 0 && in > 0 ? static_cast<uint32_t>(in) : 0;
  stat.cbOutQue = ::ioctl(fFd, TIOCOUTQ, &out) == 0 && out > 0 ? static_cast<uint32_t>(out) : 0;
  stat.HoldFlags = 0;
  return true;
}

bool TAfPosixComDevice::GetCommModemStatus(uint32_t &status) {
  int lines = 0;
  if (fFd < 0 || ::ioctl(fFd, TIOCMGET, &lines) != 0)
    return false;
  status = 0;
  for (const TModemLine &line : kModemLines)
    if (lines & line.tiocm)
      status |= line.status;
  return true;
}

bool TAfPosixComDevice::EscapeCommFunction(TAfEscapeFunc func) {
  if (fFd < 0)
    return false;
  switch (func) {
  case efSetRTS:
  case efClrRTS:
    return SetLine(fFd, func == efSetRTS, TIOCM_RTS);
  case efSetDTR:
  case efClrDTR:
    return SetLine(fFd, func == efSetDTR, TIOCM_DTR);
  case efSetBreak:
    return ::ioctl(fFd, TIOCSBRK) == 0;
  case efClrBreak:
    return ::ioctl(fFd, TIOCCBRK) == 0;
  }
  return false;
}

bool TAfPosixComDevice::PurgeComm(uint32_t flags) {
  if (fFd < 0)
    return false;
  bool ok = true;
  if (flags & (PURGE_RXABORT | PURGE_RXCLEAR))
    ok = ::tcflush(fFd, TCIFLUSH) == 0 && ok;
  if (flags & (PURGE_TXABORT | PURGE_TXCLEAR))
    ok = ::tcflush(fFd, TCOFLUSH) == 0 && ok;
  return ok;
}

uint32_t TAfPosixComDevice::CollectLineEvents() {
  uint32_t events = 0;
  if (fHasCounters) {
    serial_icounter_struct now{};
    if (::ioctl(fFd, TIOCGICOUNT, &now) != 0)
      return 0;
    const serial_icounter_struct &was = fCounters;
    events |= (now.cts != was.cts ? EV_CTS : 0) | (now.dsr != was.dsr ? EV_DSR : 0) |
              (now.rng != was.rng ? EV_RING : 0) | (now.dcd != was.dcd ? EV_RLSD : 0);
    const uint32_t errors =
        (now.frame != was.frame ? CE_FRAME : 0) | (now.overrun != was.overrun ? CE_OVERRUN : 0) |
        (now.parity != was.parity ? CE_RXPARITY : 0) | (now.brk != was.brk ? CE_BREAK : 0) |
        (now.buf_overrun != was.buf_overrun ? CE_RXOVER : 0);
    if (errors != 0) {
      fErrors |= errors;
      events |= EV_ERR;
    }
    fCounters = now;
  } else if (fHasModemLines) {
    int now = 0;
    if (::ioctl(fFd, TIOCMGET, &now) != 0)
      return 0;
    for (const TModemLine &line : kModemLines)
      if ((now ^ fModemLines) & line.tiocm)
        events |= line.event;
    fModemLines = now;
  }
  return events;
}

void TAfPosixComDevice::WatchSignals(std::span<TAfSignal *const> waitList) {
  if (std::equal(waitList.begin(), waitList.end(), fWatched.begin(), fWatched.end()))
    return;
  for (const TAfSignal *signal : fWatched)
    ::epoll_ctl(fEpoll, EPOLL_CTL_DEL, signal->Handle(), nullptr);
  fWatched.assign(waitList.begin(), waitList.end());
  for (size_t i = 0; i < fWatched.size(); ++i) {
    epoll_event watch{};
    watch.events = EPOLLIN;
    watch.data.u32 = static_cast<uint32_t>(i + 1);
    ::epoll_ctl(fEpoll, EPOLL_CTL_ADD, fWatched[i]->Handle(), &watch);
  }
}

void TAfPosixComDevice::DeviceReady(uint32_t ready, TAfDeviceWait &result) {
  // The edge may stand for bytes an earlier read already took.
  int queued = 0;
  if ((ready & EPOLLIN) && ::ioctl(fFd, FIONREAD, &queued) == 0 && queued > 0)
    result.Events |= EV_RXCHAR;
  if (ready & (EPOLLHUP | EPOLLERR)) {
    // Left out of the set from now on: a dead line must not keep the thread busy.
    fLost = true;
    fErrors |= CE_IOE;
    result.Events |= EV_ERR;
    result.Lost = true;
    ::epoll_ctl(fEpoll, EPOLL_CTL_DEL, fFd, nullptr);
  }
}

TAfDeviceWait TAfPosixComDevice::WaitCommEvent(std::span<TAfSignal *const> waitList,
                                               int timeoutMs) {
  // One epoll set holds the device (edge-triggered) and the signals, which
  // stay registered between waits: no per-wait set-up as with poll().
  WatchSignals(waitList);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  TAfDeviceWait result;
  for (;;) {
    epoll_event seen[8];
    const int n = ::epoll_wait(fEpoll, seen, 8, timeoutMs);
    if (n < 0 && errno != EINTR)
      break;
    for (int i = 0; i < n; ++i) {
      const uint32_t index = seen[i].data.u32;
      if (index == 0)
        DeviceReady(seen[i].events, result);
      else if (fWatched[index - 1]->Take())
        result.Signalled |= 1u << (index - 1);
    }
    if (n == 0 || result.Signalled != 0 || result.Events != 0 || result.Lost)
      break;
    // Woken for nothing (an edge without bytes, a signal taken by another): wait on.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    timeoutMs = static_cast<int>(std::max<int64_t>(left.count(), 0));
  }
  if (!fLost)
    result.Events |= CollectLineEvents();
  result.Events &= fMask;
  return result;
}
