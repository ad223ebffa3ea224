#pragma once

#include "connections/requestevents.h"
#include "connections/sendqueue.h"
#include "connections/vexlinconnectionthreaded.h"

#include <QByteArray>
#include <atomic>
#include <memory>
#include <mutex>

class QTcpSocket;

// TCP client: every socket operation runs on the process thread, driven by
// three requests the UI thread sets (disconnect before connect before send).
// Received bytes are announced with tcsRxData on the process thread; the
// handler reads them there with WaitingData and Read.
class TVexlinConnection_TcpClient : public TVexlinConnectionThreaded {
public:
  static constexpr int kDefaultConnectTimeoutMs = 5000;
  static constexpr int kReceivePollMs = 10;
  static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

  explicit TVexlinConnection_TcpClient(int connectTimeoutMs = kDefaultConnectTimeoutMs);
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
  void DisconnectClient();
  void SendQueued();
  void PollClient(TProcessThread &thread);
  bool ClientConnected() const;

  TSendQueue fSendQueue;
  TRequestEvents<3> fEvents{{false, false, true}};
  std::unique_ptr<QTcpSocket> fTcpClient;
  const int fConnectTimeoutMs;

  mutable std::mutex fSettingsLock;
  QByteArray fHost = "192.168.1.254";
  quint16 fPort = 10001;
  bool fIpV6 = false;
};
