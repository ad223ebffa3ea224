#include "connections/tcpconnector.h"

#include "base/pterror.h"
#include "connections/connectionreasons.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

socklen_t FillAddress(const QHostAddress &address, quint16 port, sockaddr_storage &storage) {
  std::memset(&storage, 0, sizeof storage);
  if (address.protocol() == QAbstractSocket::IPv6Protocol) {
    auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
    in6->sin6_scope_id = address.scopeId().toUInt();
    return sizeof(sockaddr_in6);
  }
  auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
  in4->sin_family = AF_INET;
  in4->sin_port = htons(port);
  in4->sin_addr.s_addr = htonl(address.toIPv4Address());
  return sizeof(sockaddr_in);
}

} // namespace

QHostAddress TcpConnector::PickAddress(const TLookupResult &found, const QString &host, bool ipv6) {
  if (found.addresses.isEmpty())
    throw EPtError(found.error.isEmpty() ? NoSuchHostText(host) : found.error);
  const auto wanted = ipv6 ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol;
  for (const QHostAddress &address : found.addresses)
    if (address.protocol() == wanted)
      return address;
  throw EPtError(NoAddressOfVersionText(host, ipv6 ? 6 : 4));
}

qintptr TcpConnector::Connect(const QHostAddress &address, quint16 port, int timeoutMs,
                              const TWaitReady &wait, const std::function<bool()> &cancelled) {
  sockaddr_storage storage;
  const socklen_t length = FillAddress(address, port, storage);
  const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    throw EPtError(SocketFailureText(errno));
  int error = 0;
  if (::connect(fd, reinterpret_cast<sockaddr *>(&storage), length) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      using Clock = std::chrono::steady_clock;
      const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
      for (;;) {
        if (cancelled && cancelled()) {
          ::close(fd);
          return -1;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
          ::close(fd);
          throw EPtError(SocketFailureText(ETIMEDOUT));
        }
        if (wait(fd, POLLOUT, static_cast<int>(left.count())))
          break;
      }
      socklen_t size = sizeof error;
      if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    }
  }
  if (error != 0) {
    ::close(fd);
    throw EPtError(SocketFailureText(error));
  }
  return fd;
}
