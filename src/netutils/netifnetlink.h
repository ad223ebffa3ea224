#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <linux/netlink.h>

// A routing netlink socket of the calling thread's network namespace. Every
// message the kernel sends is bounds-checked before a caller sees it.
class TRtNetlink {
public:
  TRtNetlink();
  ~TRtNetlink();
  TRtNetlink(const TRtNetlink &) = delete;
  TRtNetlink &operator=(const TRtNetlink &) = delete;

  bool IsOpen() const { return fFd >= 0; }
  QString Error() const { return fError; }

  // One message of a dump: its header and its payload of `length` bytes.
  using TOnMessage =
      std::function<void(const nlmsghdr &header, const char *payload, size_t length)>;

  // Dumps every object of a kind (RTM_GETNEIGH, RTM_GETROUTE, ...); `request`
  // is the kind's request header. A dump the kernel marks inconsistent (the
  // table changed meanwhile) is taken again: `restart` runs before each new
  // try, so the caller drops what it collected. False with Error() on failure.
  bool Dump(uint16_t type, const QByteArray &request, const std::function<void()> &restart,
            const TOnMessage &onMessage);
  // Sends one request (a header and attributes after it) and waits for its
  // acknowledgement. False with Error() when the kernel refuses it.
  bool Execute(uint16_t type, uint16_t flags, const QByteArray &request);

private:
  enum class TReceive { Done, Interrupted, Failed };
  bool Send(uint16_t type, uint16_t flags, const QByteArray &request);
  TReceive Receive(const TOnMessage &onMessage);
  bool Fail(const QString &what, int error);

  int fFd = -1;
  uint32_t fPortId = 0;
  uint32_t fSeq = 0;
  QByteArray fBuffer;
  QString fError;
};

// Appends a route attribute (type, payload, padding) to a request.
void AppendRtAttribute(QByteArray &request, uint16_t type, const void *data, size_t length);

// Calls `onAttribute(type, payload, length)` for each well-formed attribute
// in `data`; stops at the first that runs past the end.
void ForEachRtAttribute(const char *data, size_t length,
                        const std::function<void(uint16_t, const char *, size_t)> &onAttribute);
