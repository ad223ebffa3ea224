#pragma once

// Shared pieces of the network benchmarks: a receive path draining into the
// data-object queue, a byte checksum and a raw loopback peer.
#include "bench_common.h"
#include "connections/connectioncontroller.h"
#include "pipeline/databinary.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/receivepath.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Pops every queued object, adds its bytes to `sum` and frees it; returns
// the number of objects.
inline int64_t DrainQueue(TStreamSum *sum) {
  TVexlinDataObject *chain = nullptr;
  if (!VexlinDataObject_POP(chain))
    return 0;
  int64_t count = 0;
  for (TVexlinDataObject *o = chain; o; o = o->NextDataObj) {
    ++count;
    if (sum)
      if (const auto *binary = dynamic_cast<const TVexlinDataBinary *>(o))
        sum->Add(binary->Data.constData(), binary->Data.size());
  }
  FreeDataObjectChain(chain);
  return count;
}

// The window side for a benchmark: statuses counted, data into `receiver`.
inline TConnectionWindow BenchWindow(TVexlinReceiver &receiver) {
  TConnectionWindow window;
  window.Receive = [&receiver](const QByteArray &data, const QByteArray &sig, int64_t stamp) {
    receiver.Receive(data, sig, stamp);
  };
  return window;
}

// A listening TCP socket on 127.0.0.1 with blocking accept.
class TRawListener {
public:
  TRawListener() {
    fFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fFd, reinterpret_cast<sockaddr *>(&address), size);
    ::listen(fFd, 4);
    ::getsockname(fFd, reinterpret_cast<sockaddr *>(&address), &size);
    fPort = ntohs(address.sin_port);
  }
  ~TRawListener() { ::close(fFd); }
  int Accept() const { return ::accept(fFd, nullptr, nullptr); }
  quint16 Port() const { return fPort; }

private:
  int fFd = -1;
  quint16 fPort = 0;
};

inline bool WriteAll(int fd, const char *data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Runs the UI thread's events until `done`.
template <class F> void SpinUntil(F &&done) {
  while (!done())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}
