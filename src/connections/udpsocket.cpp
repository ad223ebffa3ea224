#include "connections/udpsocket.h"

#include "base/pterror.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kMaxDatagram = 65536;

[[noreturn]] void ThrowSystemError(int error) {
  throw EPtError(QString::fromLocal8Bit(std::strerror(error)));
}

socklen_t FillAddress(const QHostAddress &address, quint16 port, bool ipv6,
                      sockaddr_storage &storage) {
  std::memset(&storage, 0, sizeof storage);
  const bool isV4 = address.protocol() == QAbstractSocket::IPv4Protocol;
  if (!ipv6) {
    bool convertible = false;
    const quint32 v4 = address.toIPv4Address(&convertible);
    if (!convertible)
      throw EPtError(QStringLiteral("No IPv6 on this system for %1").arg(address.toString()));
    auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    in4->sin_addr.s_addr = htonl(v4);
    return sizeof(sockaddr_in);
  }
  auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(port);
  if (isV4) { // out of the dual-stack socket in its mapped form, ::ffff:a.b.c.d
    in6->sin6_addr.s6_addr[10] = 0xff;
    in6->sin6_addr.s6_addr[11] = 0xff;
    const uint32_t network = htonl(address.toIPv4Address());
    std::memcpy(&in6->sin6_addr.s6_addr[12], &network, sizeof network);
  } else {
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
    in6->sin6_scope_id = address.scopeId().toUInt();
  }
  return sizeof(sockaddr_in6);
}

} // namespace

TUdpSocket::~TUdpSocket() {
  Close();
}

void TUdpSocket::Open() {
  if (fFd >= 0)
    return;
  fIpv6 = true;
  fFd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fFd < 0) {
    fIpv6 = false;
    fFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  }
  if (fFd < 0)
    ThrowSystemError(errno);
  const int on = 1;
  const int off = 0;
  if (fIpv6)
    ::setsockopt(fFd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  ::setsockopt(fFd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on); // the module query
  ::setsockopt(fFd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
}

void TUdpSocket::Bind(quint16 port) {
  Open();
  sockaddr_storage storage;
  const QHostAddress any =
      fIpv6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4);
  const socklen_t length = FillAddress(any, port, fIpv6, storage);
  if (::bind(fFd, reinterpret_cast<sockaddr *>(&storage), length) != 0) {
    const int error = errno;
    Close();
    ThrowSystemError(error);
  }
  fNotifier = std::make_unique<QSocketNotifier>(fFd, QSocketNotifier::Read);
  QObject::connect(fNotifier.get(), &QSocketNotifier::activated, fNotifier.get(),
                   [this] { ReadBatch(); });
}

void TUdpSocket::Close() {
  fNotifier.reset();
  if (fFd >= 0)
    ::close(fFd);
  fFd = -1;
  fDropped = 0;
}

quint16 TUdpSocket::LocalPort() const {
  if (fFd < 0)
    return 0;
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (::getsockname(fFd, reinterpret_cast<sockaddr *>(&storage), &length) != 0)
    return 0;
  if (storage.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in *>(&storage)->sin_port);
}

void TUdpSocket::SendTo(const QByteArray &data, const QHostAddress &address, quint16 port) {
  Open();
  sockaddr_storage storage;
  const socklen_t length = FillAddress(address, port, fIpv6, storage);
  if (::sendto(fFd, data.constData(), static_cast<size_t>(data.size()), 0,
               reinterpret_cast<sockaddr *>(&storage), length) < 0)
    ThrowSystemError(errno);
}

void TUdpSocket::ReadBatch() {
  fReadBuffer.resize(kMaxDatagram);
  const uint32_t droppedBefore = fDropped;
  qsizetype bytes = 0;
  for (int count = 0; count < kBatchDatagrams && bytes < kBatchBytes && fFd >= 0; ++count) {
    sockaddr_storage sender{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
    iovec vector{fReadBuffer.data(), static_cast<size_t>(fReadBuffer.size())};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(fFd, &message, 0);
    if (got < 0)
      break; // EAGAIN: nothing left; anything else: nothing to read now either
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
        std::memcpy(&fDropped, CMSG_DATA(c), sizeof fDropped);
    bytes += got;
    if (OnDatagram)
      OnDatagram(QByteArray(fReadBuffer.constData(), got),
                 QHostAddress(reinterpret_cast<const sockaddr *>(&sender)));
  }
  if (fDropped != droppedBefore && OnDropped)
    OnDropped();
}
