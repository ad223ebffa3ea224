#pragma once

// A runaway local script: it holds many connections to a local socket open
// and silent, and opens a new one for each the server closes, from a thread
// of its own until it is destroyed.
#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

class TIdleConnections {
public:
  TIdleConnections(const QByteArray &path, int count) : fPath(path), fFds(count, -1) {
    fThread = std::thread([this] { Run(); });
  }
  ~TIdleConnections() {
    fStop = true;
    fThread.join();
    for (int fd : fFds)
      if (fd >= 0)
        close(fd);
  }
  // Connections opened so far, the ones the server closed included.
  int Opened() const { return fOpened; }

private:
  int Connect() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, fPath.constData(),
                std::min<size_t>(fPath.size(), sizeof address.sun_path - 1));
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
      return fd;
    if (fd >= 0)
      close(fd);
    return -1; // a full queue: tried again on the next round
  }
  void Run() {
    std::vector<pollfd> polls(fFds.size());
    while (!fStop) {
      for (size_t i = 0; i < fFds.size(); ++i) {
        if (fFds[i] < 0 && (fFds[i] = Connect()) >= 0)
          ++fOpened;
        polls[i] = {fFds[i], POLLIN, 0};
      }
      poll(polls.data(), polls.size(), 5);
      // Closed by the server: gone, to be opened again.
      for (size_t i = 0; i < fFds.size(); ++i)
        if (fFds[i] >= 0 && (polls[i].revents & (POLLIN | POLLHUP | POLLERR))) {
          close(fFds[i]);
          fFds[i] = -1;
        }
    }
  }

  QByteArray fPath;
  std::vector<int> fFds;
  std::atomic<bool> fStop{false};
  std::atomic<int> fOpened{0};
  std::thread fThread;
};
