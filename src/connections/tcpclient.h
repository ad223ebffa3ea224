#pragma once

#include "connections/hostresolver.h"
#include "connections/requestevents.h"
#include "connections/sendqueue.h"
#include "connections/vexlinconnectionthreaded.h"

#include <QByteArray>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class QTcpSocket;

// TCP client: every socket operation runs on the process thread, driven by
// three requests the UI thread sets (disconnect before connect before send).
// Received bytes are announced with tcsRxData on the process thread; the
// handler reads them there with WaitingData and Read. The thread sleeps in
// poll on the socket and its requests, so an idle or closed connection costs
// no wake-ups; the host name is looked up once per connect, and a disconnect
// request or the end of the thread abandons a lookup still under way.
class TVexlinConnection_TcpClient : public TVexlinConnectionThreaded {
public:
  static constexpr int kDefaultConnectTimeoutMs = 5000;
  static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

  explicit TVexlinConnection_TcpClient(int connectTimeoutMs = kDefaultConnectTimeoutMs,
                                       std::shared_ptr<THostResolver> resolver = SystemResolver());
  ~TVexlinConnection_TcpClient() override;

  // "HOST", "PORT" (0 to 65535), "IPV" ("6" selects IPv6, any other IPv4).
  QString GetSettings(const QString &name) const override;
  void SetSettings(const QString &name, const QString &value) override;

  // Process thread only (the status handler of tcsRxData).
  bool WaitingData() override;
  bool Read(QByteArray &aBuffer) override;
  // Queues a copy of the bytes; nothing for an empty block.
  void Send(const QByteArray &aData) override;
  QString GetDescription() const override;
  QString GetStrSettings() const override;

protected:
  bool InternalOpen() override;
  bool InternalClose() override;
  void Process(TProcessThread &thread) override;

private:
  enum TRequest : size_t { kWantDisconnect = 0, kWantConnect = 1, kWantSendData = 2 };

  void ConnectClient(TProcessThread &thread);
  // The address to connect to, or none when cancelled during the lookup.
  std::optional<QHostAddress> LookUp(TProcessThread &thread, const QString &host, bool ipv6);
  bool Cancelled(const TProcessThread &thread) const;
  void DisconnectClient();
  void SendQueued();
  // Announces received bytes, or sleeps until the socket or a request needs
  // a look (at once when `block` is false).
  void PollClient(TProcessThread &thread, bool block);
  bool ClientConnected() const;

  TSendQueue fSendQueue;
  TRequestEvents<3> fEvents{{false, false, true}};
  std::unique_ptr<QTcpSocket> fTcpClient;
  // The kernel's error on the connected socket (a reset, say); 0 for none.
  int fPeerError = 0;
  const int fConnectTimeoutMs;
  const std::shared_ptr<THostResolver> fResolver;

  mutable std::mutex fSettingsLock;
  QByteArray fHost = "192.168.1.254";
  quint16 fPort = 10001;
  bool fIpV6 = false;
};
