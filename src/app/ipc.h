#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The one way for another process to inject data: a per-user local socket
// that only the user can open. A client writes blocks framed by a 4-byte
// big-endian length. A block whose first byte is 0x01 is received data
// (that byte included); any other block is sent as typed.
class TPtIpcServer : public QObject {
  Q_OBJECT
public:
  explicit TPtIpcServer(QObject *parent = nullptr);
  ~TPtIpcServer() override;

  // The socket name of the current user's instance.
  static QString ServerName();
  // Starts listening; false with `error` set when another instance holds
  // the name or the socket cannot be made.
  bool Listen(QString *error = nullptr);

  // Hands one block to the running instance; false with `error` set when
  // none runs or the block could not be delivered.
  static bool SendBlock(const QByteArray &block, QString *error = nullptr, int timeoutMs = 3000);

signals:
  void blockReceived(const QByteArray &block);

private:
  void OnNewConnection();
  void ReadBlocks(QLocalSocket *socket);

  QLocalServer *fServer;
};
