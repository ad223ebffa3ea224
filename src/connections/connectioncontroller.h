#pragma once

#include "connections/vexlinconnection.h"
#include "pipeline/vexlinview.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// What the main window lends the connection handling.
struct TConnectionWindow {
  // The receive path; any thread.
  // `aStamp`: when the bytes were read (ArrivalNow).
  std::function<void(const QByteArray &aData, const QByteArray &aSIG, int64_t aStamp)> Receive;
  // A coloured log row through the data-object queue; any thread.
  std::function<void(const QString &text, TColor color)> LogInfoMsg;
  // The status bar's connection panel; UI thread.
  std::function<void(const QString &line)> StatusBarRefresh;
  // Button captions and group enabling; UI thread.
  std::function<void()> PanelRefresh;
  // The message interface that shows an error to the user; UI thread.
  std::function<void(const QString &message)> ShowError;
};

// The main window's side of the connections: the one current connection,
// its status handling and the TCP and UDP buttons' actions. UI thread, except
// ConnectionStatusChange, which runs wherever the connection reports and
// hands the status-bar and panel updates to the UI thread, in order, waiting
// for them.
class TConnectionController {
public:
  explicit TConnectionController(TConnectionWindow window);
  ~TConnectionController();

  // Closes and destroys the current connection (if another) and adopts
  // `aConnection`, which reports to ConnectionStatusChange from then on.
  void SetConnection(std::unique_ptr<TVexlinConnection> aConnection);
  TVexlinConnection *Connection() const { return fConnection.get(); }

  void ConnectionStatusChange(TVexlinConnection *aConnection, TVexlinConnectionStatus aStatus,
                              const QString &AStatusText, const QByteArray &aSIG,
                              const QByteArray &aData);

  // The TCP button: closes a running connection or connects a new one. A
  // refused setting ends in the red "Chyba: " line and keeps the previous
  // connection.
  void TcpConnectDisconnect(const QString &host, const QString &port, bool ipv6);
  // The UDP button: stops a running UDP connection or starts a new one. An
  // error (refused setting, port in use) is shown and logged in red; the new
  // connection stays current ("Stop") until the button is pressed again.
  // True when it started a connection (whether or not that succeeded).
  bool UdpStartStop(const QString &remoteHost, const QString &remotePort,
                    const QString &listenPort);

  // A TCP client (UDP connection) is current and not closed.
  bool TcpRunning() const;
  bool UdpRunning() const;
  // A TCP client is current and connected.
  bool TcpConnected() const;
  QString TcpButtonCaption() const;
  QString UdpButtonCaption() const;

  // Factories, replaceable by tests (for a short connect time-out, say).
  std::function<std::unique_ptr<TVexlinConnection>()> NewTcpClient;
  std::function<std::unique_ptr<TVexlinConnection>()> NewUdp;

private:
  void LogError(const QString &message);
  void RefreshPanel();

  TConnectionWindow fWindow;
  std::unique_ptr<TVexlinConnection> fConnection;
};
