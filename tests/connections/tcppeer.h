#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// A listening socket on 127.0.0.1 whose accept queue is full, so a further
// connect attempt hangs. Port() is 0 when the queue could not be filled.
class TFullBacklogListener {
public:
  TFullBacklogListener() {
    fListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fListener, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        ::listen(fListener, 0) != 0 ||
        ::getsockname(fListener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
      return;
    for (int i = 0; i < 8; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      fFillers.push_back(fd);
      ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
      pollfd pending{fd, POLLOUT, 0};
      if (::poll(&pending, 1, 200) == 0) { // this one hangs: the queue is full
        fPort = ntohs(address.sin_port);
        return;
      }
    }
  }
  ~TFullBacklogListener() {
    for (int fd : fFillers)
      ::close(fd);
    ::close(fListener);
  }
  quint16 Port() const { return fPort; }

private:
  int fListener = -1;
  std::vector<int> fFillers;
  quint16 fPort = 0;
};
