#pragma once

#include "connections/discoverytarget.h"
#include "connections/hostresolver.h"
#include "connections/udpsocket.h"
#include "connections/vexlinconnectionthreaded.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class QObject;
class QTimer;

// UDP: binds a local port on all addresses, delivers every datagram (from
// any sender) as tcsRxData with the sender's IP address as signature, and
// sends each Send as one datagram to the remote host and port. Lives on the
// UI thread; its process thread has no work. The remote host is looked up
// once, when the connection starts, without blocking: datagrams sent before
// the answer wait for it. Datagrams the kernel had to drop are reported as a
// warning line, at most once a second while it goes on.
class TVexlinConnection_Udp : public TVexlinConnectionThreaded {
public:
  static constexpr size_t kMaxWaitingSends = 256;
  static constexpr int kDropReportMs = 1000;

  explicit TVexlinConnection_Udp(std::shared_ptr<THostResolver> resolver = SystemResolver());
  ~TVexlinConnection_Udp() override;

  // "HOST", "PORT_LISTEN" (0 to 65535), "PORT_REMOTE", "PORT_SOURCE"
  // (decimal). Every read answers the empty text.
  void SetSettings(const QString &name, const QString &value) override;

  bool WaitingData() override;
  bool Read(QByteArray &aBuffer) override;
  // One datagram; raises EPtError when the remote port is out of range, the
  // host is unknown, too many datagrams wait for the host's address, or the
  // datagram cannot be sent.
  void Send(const QByteArray &aData) override;
  QString GetDescription() const override;
  QString GetStrSettings() const override;

  // Where the start query goes; from the environment by default.
  void SetDiscoveryTarget(const TDiscoveryTarget &target) { fDiscovery = target; }
  quint16 LocalPort() const;
  // Datagrams the system dropped for want of room since the start.
  uint32_t Dropped() const { return fUdpClient.Dropped(); }

protected:
  // Raises EPtError when the local port cannot be bound.
  bool InternalOpen() override;
  bool InternalClose() override;
  void Process(TProcessThread &thread) override;

private:
  void StartLookup();
  void SendWaiting();
  void SendNow(const QByteArray &aData);
  void ReportDropped();

  const std::shared_ptr<THostResolver> fResolver;
  std::unique_ptr<QObject> fContext; // queued calls to the UI thread die with it
  TUdpSocket fUdpClient;
  std::unique_ptr<QTimer> fDropTimer;
  uint32_t fDropReported = 0;
  std::shared_ptr<TPendingLookup> fLookup;
  std::vector<QByteArray> fWaitingSends;
  QByteArray fBuffer; // nothing writes to it; Read and WaitingData look at it
  QString fHost;
  int64_t fPortRemote = 0;
  int64_t fPortSource = 0;
  quint16 fPortListen = 0;
  TDiscoveryTarget fDiscovery = TDiscoveryTarget::FromEnvironment();
};
