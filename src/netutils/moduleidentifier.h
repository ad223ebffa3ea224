#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>

class QThread;
class TIdentifyWorker;

// How the identification of found modules is asked for.
struct TIdentifyOptions {
  quint16 port = 9999;          // the modules' setup port
  int connectTimeoutMs = 10000; // a module that does not accept gives up the query
  int answerTimeoutMs = 10000;  // one attempt waits this long for the markers
  int maxAttempts = 4;
  int maxParallel = 16;        // queries running at once; the rest wait their turn
  int maxAttemptBytes = 65536; // a module that sent this much without markers is dropped
};

// Reads the identification of modules from their setup port over telnet, on
// one worker thread of its own: at most `maxParallel` modules are asked at
// a time, each in up to `maxAttempts` attempts. Progress and the result come
// back as signals delivered on the thread that owns this object; destroying
// it ends every query at once.
class TModuleIdentifier : public QObject {
  Q_OBJECT
public:
  explicit TModuleIdentifier(TIdentifyOptions options = {}, QObject *parent = nullptr);
  ~TModuleIdentifier() override;

  // Queues a query for the module at `address`; returns its id (never 0).
  quint64 Enqueue(const QHostAddress &address);
  // Ends a query silently: no more signals for `id`.
  void Cancel(quint64 id);

signals:
  // The state text of a query ("query", "query (2)", the identification or
  // "-") and the data bytes received from the module so far.
  void infoChanged(quint64 id, const QString &info, quint32 telnetRcv);
  void finished(quint64 id);

private:
  QThread *fThread = nullptr;
  TIdentifyWorker *fWorker = nullptr;
  quint64 fLastId = 0;
};
