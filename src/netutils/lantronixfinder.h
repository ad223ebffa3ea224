#pragma once

#include "connections/discoverytarget.h"
#include "netutils/moduleidentifier.h"
#include "pipeline/datanetitems.h"

#include <QDeadlineTimer>
#include <QObject>
#include <unordered_map>

class QUdpSocket;

// The search for serial-to-Ethernet modules: one query broadcast from a
// listener that stays open for five seconds, a row for every answer, and
// the identification of each module asked for in the background.
class TLantronixFinder : public QObject {
  Q_OBJECT
public:
  // The modules' setup port is the target's `telnetPort`.
  TLantronixFinder(const TDiscoveryTarget &target, const TIdentifyOptions &options,
                   QObject *parent = nullptr);
  ~TLantronixFinder() override;

  // What the links of new rows do.
  TLantronixLinks Links;
  // A flood of answers must not grow the list without end.
  static constexpr int kMaxAnswersPerSearch = 4096;

  // Opens the listener and broadcasts the query; false (with the reason in
  // `error`) when the port cannot be opened or the query not sent.
  bool Start(QString *error = nullptr);
  bool Active() const { return udpServerLantronix != nullptr; }
  // The port the last start listened on, or tried to.
  quint16 ListenPort() const { return fListenPort; }
  // Closes the listener once its time is over; true when it did so now.
  bool CloseWhenDue();
  // How long the listener stays open after the query (5 s).
  void SetListenTime(int ms) { fListenMs = ms; }
  // The queries not finished yet.
  size_t RunningQueries() const { return fItems.size(); }

signals:
  // A module answered; the receiver takes the row.
  void moduleFound(TVexlinDataLantronixScanItem *item);

private:
  void udpServerLantronixUDPRead();
  void Close();
  void OnInfo(quint64 id, const QString &info, quint32 telnetRcv);
  void OnFinished(quint64 id);

  TDiscoveryTarget fTarget;
  TModuleIdentifier fIdentifier;
  QUdpSocket *udpServerLantronix = nullptr;
  QDeadlineTimer fUdpShutDown;
  int fAnswers = 0;
  int fListenMs = 5000;
  quint16 fListenPort = 0;
  std::unordered_map<quint64, TVexlinDataLantronixScanItem *> fItems; // rows with a query
};
