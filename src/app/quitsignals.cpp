#include "app/quitsignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// [0] is read by the event loop, [1] written by the handler.
int gPipe[2] = {-1, -1};

// Only async-signal-safe calls: one byte into the pipe, errno kept.
void OnSignal(int number) {
  const int saved = errno;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const ssize_t written = write(gPipe[1], &byte, 1);
  errno = saved;
}

} // namespace

TQuitSignals::TQuitSignals(QObject *parent) : QObject(parent) {
  if (gPipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0)
    return;
  // A full pipe drops the byte rather than block the handler; one is enough.
  fcntl(gPipe[1], F_SETFL, fcntl(gPipe[1], F_GETFL) | O_NONBLOCK);
  fcntl(gPipe[0], F_SETFL, fcntl(gPipe[0], F_GETFL) | O_NONBLOCK);
  fNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(fNotifier, &QSocketNotifier::activated, this, &TQuitSignals::Drain);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : kSignals)
    sigaction(number, &action, nullptr);
}

TQuitSignals::~TQuitSignals() {
  if (!fNotifier)
    return;
  for (int number : kSignals)
    std::signal(number, SIG_DFL);
  delete fNotifier;
  close(gPipe[0]);
  close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
}

void TQuitSignals::Drain() {
  char bytes[16];
  ssize_t n;
  while ((n = read(gPipe[0], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i)
      emit quitRequested(static_cast<unsigned char>(bytes[i]));
}
