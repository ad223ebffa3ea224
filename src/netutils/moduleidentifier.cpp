#include "netutils/moduleidentifier.h"

#include "netutils/lantronixprotocol.h"
#include "netutils/telnetfilter.h"

#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <deque>
#include <unordered_map>

namespace {

// One read of the socket is handed on as one block; this also bounds what a
// flooding module can make us hold at once.
constexpr qint64 kBlockSize = 4096;
// An attempt with this many data bytes and no markers is not worth another.
constexpr quint32 kEnoughWithoutMarkers = 14;

QString AttemptText(int attempt) {
  return attempt >= 2 ? QStringLiteral("query (%1)").arg(attempt) : QStringLiteral("query");
}

} // namespace

// Lives on the identifier's thread; every member is touched only there.
class TIdentifyWorker : public QObject {
public:
  TIdentifyWorker(TModuleIdentifier &owner, const TIdentifyOptions &options)
      : fOwner(owner), fOptions(options) {}

  void Enqueue(quint64 id, const QHostAddress &address) {
    fPending.push_back({id, address});
    Pump();
  }

  void Cancel(quint64 id) {
    std::erase_if(fPending, [id](const TPending &p) { return p.id == id; });
    auto it = fActive.find(id);
    if (it == fActive.end())
      return;
    EndAttempt(*it->second);
    fActive.erase(it);
    Pump();
  }

  void Shutdown() {
    fPending.clear();
    for (auto &[id, session] : fActive)
      EndAttempt(*session);
    fActive.clear();
  }

private:
  struct TPending {
    quint64 id;
    QHostAddress address;
  };
  struct TSession {
    quint64 id = 0;
    QHostAddress address;
    int attempt = 0;
    quint32 rcv = 0;
    qint64 attemptBytes = 0; // everything this attempt read, telnet commands included
    QString info;
    QByteArray text; // the data bytes of this attempt
    TTelnetFilter telnet;
    QTcpSocket *socket = nullptr;
    QObject *context = nullptr; // the attempt's connections go with it
    QTimer *timer = nullptr;
  };

  void Pump() {
    while (!fPending.empty() && static_cast<int>(fActive.size()) < fOptions.maxParallel) {
      const TPending next = fPending.front();
      fPending.pop_front();
      auto session = std::make_unique<TSession>();
      session->id = next.id;
      session->address = next.address;
      TSession &s = *session;
      fActive.emplace(next.id, std::move(session));
      SetInfo(s, AttemptText(0));
      StartAttempt(s);
    }
  }

  void SetInfo(TSession &s, const QString &info) {
    s.info = info;
    emit fOwner.infoChanged(s.id, s.info, s.rcv);
  }

  void StartAttempt(TSession &s) {
    if (s.attempt >= 2)
      SetInfo(s, AttemptText(s.attempt));
    s.text.clear();
    s.attemptBytes = 0;
    s.telnet.Reset();
    s.context = new QObject(this);
    s.socket = new QTcpSocket(s.context);
    s.socket->setReadBufferSize(kBlockSize);
    s.timer = new QTimer(s.context);
    s.timer->setSingleShot(true);
    const quint64 id = s.id;
    QObject::connect(s.timer, &QTimer::timeout, s.context, [this, id] {
      TSession *session = Find(id);
      if (!session)
        return;
      // Not connected in time is an error; connected without the markers
      // in time is worth another attempt.
      if (session->socket->state() == QAbstractSocket::ConnectedState)
        NextAttempt(*session);
      else
        Finish(*session);
    });
    QObject::connect(s.socket, &QTcpSocket::connected, s.context, [this, id] {
      if (TSession *session = Find(id))
        session->timer->start(fOptions.answerTimeoutMs);
    });
    QObject::connect(s.socket, &QTcpSocket::readyRead, s.context, [this, id] { Read(id); });
    QObject::connect(s.socket, &QTcpSocket::disconnected, s.context, [this, id] {
      if (TSession *session = Find(id))
        NextAttempt(*session);
    });
    QObject::connect(s.socket, &QTcpSocket::errorOccurred, s.context,
                     [this, id](QAbstractSocket::SocketError error) {
                       TSession *session = Find(id);
                       if (!session || error == QAbstractSocket::RemoteHostClosedError)
                         return; // the module hanging up is not an error
                       Finish(*session);
                     });
    s.timer->start(fOptions.connectTimeoutMs);
    s.socket->connectToHost(s.address, fOptions.port);
  }

  void Read(quint64 id) {
    TSession *s = Find(id);
    while (s && s->socket->bytesAvailable() > 0) {
      const QByteArray block = s->socket->read(kBlockSize);
      // Every byte counts toward the bound, commands too: a storm of telnet
      // options would otherwise keep us busy for the whole attempt.
      s->attemptBytes += block.size();
      QByteArray data;
      QByteArray reply;
      s->telnet.Feed(block, data, reply);
      if (!reply.isEmpty())
        s->socket->write(reply);
      s->rcv += static_cast<quint32>(data.size());
      s->text += data;
      // The markers are looked for in all this attempt has received, so a
      // banner that arrives in several reads is still found.
      if (!data.isEmpty()) {
        if (std::optional<QString> found = FindIdentification(s->text)) {
          SetInfo(*s, *found);
          Finish(*s);
          return;
        }
      }
      if (s->attemptBytes >= fOptions.maxAttemptBytes) {
        // A module that floods is not asked again: another attempt would
        // only cost as much once more.
        Finish(*s);
        return;
      }
      s = Find(id);
    }
  }

  // Ends the current attempt and starts another while the rules allow.
  void NextAttempt(TSession &s) {
    EndAttempt(s);
    ++s.attempt;
    if (s.info.startsWith(QLatin1String("query")) && s.attempt < fOptions.maxAttempts &&
        s.rcv <= kEnoughWithoutMarkers)
      StartAttempt(s);
    else
      Finish(s);
  }

  void Finish(TSession &s) {
    EndAttempt(s);
    if (s.info.startsWith(QLatin1String("query")))
      SetInfo(s, QStringLiteral("-"));
    const quint64 id = s.id;
    fActive.erase(id);
    emit fOwner.finished(id);
    Pump();
  }

  // Closes the attempt's connection without any of its signals coming back.
  static void EndAttempt(TSession &s) {
    if (!s.context)
      return;
    QTcpSocket *socket = s.socket;
    socket->setParent(nullptr);
    delete s.context; // drops the connections and the timer
    socket->flush();  // what we owe the module (refusals) still goes out
    socket->abort();
    socket->deleteLater();
    s.context = nullptr;
    s.socket = nullptr;
    s.timer = nullptr;
  }

  TSession *Find(quint64 id) {
    auto it = fActive.find(id);
    return it == fActive.end() ? nullptr : it->second.get();
  }

  TModuleIdentifier &fOwner;
  const TIdentifyOptions fOptions;
  std::deque<TPending> fPending;
  std::unordered_map<quint64, std::unique_ptr<TSession>> fActive;
};

TModuleIdentifier::TModuleIdentifier(TIdentifyOptions options, QObject *parent)
    : QObject(parent), fThread(new QThread), fWorker(new TIdentifyWorker(*this, options)) {
  fThread->setObjectName(QStringLiteral("module identification"));
  fWorker->moveToThread(fThread);
  fThread->start();
}

TModuleIdentifier::~TModuleIdentifier() {
  QMetaObject::invokeMethod(
      fWorker, [worker = fWorker] { worker->Shutdown(); }, Qt::BlockingQueuedConnection);
  fThread->quit();
  fThread->wait();
  delete fWorker;
  delete fThread;
}

quint64 TModuleIdentifier::Enqueue(const QHostAddress &address) {
  const quint64 id = ++fLastId;
  QMetaObject::invokeMethod(fWorker,
                            [worker = fWorker, id, address] { worker->Enqueue(id, address); });
  return id;
}

void TModuleIdentifier::Cancel(quint64 id) {
  QMetaObject::invokeMethod(fWorker, [worker = fWorker, id] { worker->Cancel(id); });
}
