#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>

// A UDP socket on all local addresses (IPv6 with IPv4 mapped, or IPv4 alone
// where the system has no IPv6), read from the owner's event loop. Each turn
// of the loop reads at most one batch, so a flood cannot hold the loop: what
// does not fit waits in the kernel, and what the kernel then has to drop is
// counted (SO_RXQ_OVFL) instead of piling up here.
class TUdpSocket {
public:
  static constexpr int kBatchDatagrams = 64;
  static constexpr qsizetype kBatchBytes = 1024 * 1024;

  TUdpSocket() = default;
  TUdpSocket(const TUdpSocket &) = delete;
  TUdpSocket &operator=(const TUdpSocket &) = delete;
  ~TUdpSocket();

  // Binds `port` (0: any free one) and starts reading; raises EPtError.
  void Bind(quint16 port);
  bool Bound() const { return fNotifier != nullptr; }
  void Close();
  quint16 LocalPort() const;
  // One datagram; an unbound socket gets a free port. Raises EPtError.
  void SendTo(const QByteArray &data, const QHostAddress &address, quint16 port);

  // Each datagram read, on the owner's thread.
  std::function<void(const QByteArray &data, const QHostAddress &sender)> OnDatagram;
  // Datagrams the kernel dropped for want of room since the bind; `OnDropped`
  // runs when a read finds the count grown.
  uint32_t Dropped() const { return fDropped; }
  std::function<void()> OnDropped;

private:
  void Open();
  void ReadBatch();

  int fFd = -1;
  bool fIpv6 = false;
  std::unique_ptr<QSocketNotifier> fNotifier;
  QByteArray fReadBuffer;
  uint32_t fDropped = 0;
};
