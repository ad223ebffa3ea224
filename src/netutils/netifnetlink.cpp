#include "netutils/netifnetlink.h"

#include <cerrno>
#include <cstring>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A dump that keeps being disturbed by changes is given up after this many
// tries rather than retried for ever.
constexpr int kDumpTries = 5;
// Neither a stuck kernel nor a huge datagram blocks or grows us without end.
constexpr int kReceiveTimeoutSeconds = 5;
constexpr size_t kMaxDatagram = 1 << 20;

QString ErrnoText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void AppendRtAttribute(QByteArray &request, uint16_t type, const void *data, size_t length) {
  rtattr attribute{};
  attribute.rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
  attribute.rta_type = type;
  request.append(reinterpret_cast<const char *>(&attribute), sizeof attribute);
  request.append(static_cast<const char *>(data), static_cast<qsizetype>(length));
  request.append(QByteArray(static_cast<qsizetype>(RTA_ALIGN(length) - length), '\0'));
}

void ForEachRtAttribute(const char *data, size_t length,
                        const std::function<void(uint16_t, const char *, size_t)> &onAttribute) {
  size_t offset = 0;
  while (length - offset >= sizeof(rtattr)) {
    rtattr attribute;
    std::memcpy(&attribute, data + offset, sizeof attribute);
    if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > length - offset)
      return;
    onAttribute(attribute.rta_type, data + offset + RTA_LENGTH(0),
                attribute.rta_len - RTA_LENGTH(0));
    offset += RTA_ALIGN(attribute.rta_len);
    if (offset > length)
      return;
  }
}

TRtNetlink::TRtNetlink() {
  fFd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fFd < 0) {
    Fail(QStringLiteral("netlink socket"), errno);
    return;
  }
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  socklen_t size = sizeof local;
  timeval timeout{kReceiveTimeoutSeconds, 0};
  if (bind(fFd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
      getsockname(fFd, reinterpret_cast<sockaddr *>(&local), &size) != 0 ||
      setsockopt(fFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    Fail(QStringLiteral("netlink socket"), errno);
    close(fFd);
    fFd = -1;
    return;
  }
  fPortId = local.nl_pid;
}

TRtNetlink::~TRtNetlink() {
  if (fFd >= 0)
    close(fFd);
}

bool TRtNetlink::Fail(const QString &what, int error) {
  fError = what + QStringLiteral(": ") + ErrnoText(error);
  return false;
}

bool TRtNetlink::Send(uint16_t type, uint16_t flags, const QByteArray &request) {
  if (fFd < 0)
    return false;
  nlmsghdr header{};
  header.nlmsg_len = static_cast<uint32_t>(NLMSG_LENGTH(request.size()));
  header.nlmsg_type = type;
  header.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | flags);
  header.nlmsg_seq = ++fSeq;
  QByteArray message(reinterpret_cast<const char *>(&header), sizeof header);
  message.append(QByteArray(static_cast<qsizetype>(NLMSG_HDRLEN - sizeof header), '\0'));
  message.append(request);
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  const ssize_t sent = sendto(fFd, message.constData(), static_cast<size_t>(message.size()), 0,
                              reinterpret_cast<sockaddr *>(&kernel), sizeof kernel);
  if (sent != message.size())
    return Fail(QStringLiteral("netlink send"), sent < 0 ? errno : EMSGSIZE);
  return true;
}

TRtNetlink::TReceive TRtNetlink::Receive(const TOnMessage &onMessage) {
  bool interrupted = false;
  for (;;) {
    // The datagram's real size first, so none is ever cut short.
    const ssize_t pending = recv(fFd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    if (pending < 0) {
      if (errno == EINTR)
        continue;
      Fail(QStringLiteral("netlink receive"), errno);
      return TReceive::Failed;
    }
    if (static_cast<size_t>(pending) > kMaxDatagram) {
      Fail(QStringLiteral("netlink receive"), EMSGSIZE);
      return TReceive::Failed;
    }
    if (fBuffer.size() < pending)
      fBuffer.resize(pending);
    sockaddr_nl from{};
    socklen_t fromSize = sizeof from;
    const ssize_t received = recvfrom(fFd, fBuffer.data(), static_cast<size_t>(fBuffer.size()), 0,
                                      reinterpret_cast<sockaddr *>(&from), &fromSize);
    if (received < 0) {
      if (errno == EINTR)
        continue;
      Fail(QStringLiteral("netlink receive"), errno);
      return TReceive::Failed;
    }
    if (from.nl_pid != 0)
      continue; // only the kernel answers our requests
    size_t left = static_cast<size_t>(received);
    const char *at = fBuffer.constData();
    while (left >= sizeof(nlmsghdr)) {
      nlmsghdr header;
      std::memcpy(&header, at, sizeof header);
      if (header.nlmsg_len < sizeof header || header.nlmsg_len > left)
        break;
      const char *payload = at + NLMSG_HDRLEN;
      const size_t length = header.nlmsg_len - NLMSG_HDRLEN;
      const size_t step = qMin<size_t>(NLMSG_ALIGN(header.nlmsg_len), left);
      at += step;
      left -= step;
      if (header.nlmsg_seq != fSeq || header.nlmsg_pid != fPortId)
        continue; // a late answer to an earlier request
      if (header.nlmsg_flags & NLM_F_DUMP_INTR)
        interrupted = true;
      if (header.nlmsg_type == NLMSG_DONE)
        return interrupted ? TReceive::Interrupted : TReceive::Done;
      if (header.nlmsg_type == NLMSG_ERROR) {
        nlmsgerr error{};
        if (length < sizeof error) {
          Fail(QStringLiteral("netlink"), EBADMSG);
          return TReceive::Failed;
        }
        std::memcpy(&error, payload, sizeof error);
        if (error.error == 0)
          return TReceive::Done; // the acknowledgement
        Fail(QStringLiteral("netlink"), -error.error);
        return TReceive::Failed;
      }
      if (onMessage)
        onMessage(header, payload, length);
    }
  }
}

bool TRtNetlink::Dump(uint16_t type, const QByteArray &request,
                      const std::function<void()> &restart, const TOnMessage &onMessage) {
  for (int attempt = 0; attempt < kDumpTries; ++attempt) {
    if (attempt > 0 && restart)
      restart();
    if (!Send(type, NLM_F_DUMP, request))
      return false;
    switch (Receive(onMessage)) {
    case TReceive::Done:
      return true;
    case TReceive::Failed:
      return false;
    case TReceive::Interrupted:
      break;
    }
  }
  fError = QStringLiteral("netlink dump: the table kept changing");
  return false;
}

bool TRtNetlink::Execute(uint16_t type, uint16_t flags, const QByteArray &request) {
  if (!Send(type, static_cast<uint16_t>(flags | NLM_F_ACK), request))
    return false;
  return Receive({}) == TReceive::Done;
}
