#pragma once

#include "connections/discoverytarget.h"
#include "connections/vexlinconnectionthreaded.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QUdpSocket;

// UDP: binds a local port on all addresses, delivers every datagram (from
// any sender) as tcsRxData with the sender's IP address as signature, and
// sends each Send as one datagram to the remote host and port. Lives on the
// UI thread; its process thread has no work.
class TVexlinConnection_Udp : public TVexlinConnectionThreaded {
public:
  TVexlinConnection_Udp();
  ~TVexlinConnection_Udp() override;

  // "HOST", "PORT_LISTEN" (0 to 65535), "PORT_REMOTE", "PORT_SOURCE"
  // (decimal). Every read answers the empty text.
  void SetSettings(const QString &name, const QString &value) override;

  bool WaitingData() override;
  bool Read(QByteArray &aBuffer) override;
  // One datagram; raises EPtError when the remote port is out of range, the
  // host is unknown or the datagram cannot be sent.
  void Send(const QByteArray &aData) override;
  QString GetDescription() const override;
  QString GetStrSettings() const override;

  // Where the start query goes; from the environment by default.
  void SetDiscoveryTarget(const TDiscoveryTarget &target) { fDiscovery = target; }
  quint16 LocalPort() const;

protected:
  // Raises EPtError when the local port cannot be bound.
  bool InternalOpen() override;
  bool InternalClose() override;
  void Process(TProcessThread &thread) override;

private:
  void ReadDatagrams();

  std::unique_ptr<QUdpSocket> fUdpClient;
  QByteArray fBuffer; // nothing writes to it; Read and WaitingData look at it
  QString fHost;
  int64_t fPortRemote = 0;
  int64_t fPortSource = 0;
  quint16 fPortListen = 0;
  TDiscoveryTarget fDiscovery = TDiscoveryTarget::FromEnvironment();
};
