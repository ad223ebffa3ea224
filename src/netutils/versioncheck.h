#pragma once

#include <QString>
#include <QThread>
#include <QUrl>
#include <functional>
#include <memory>

// The agent name every request of the version check carries.
extern const char kFetchAgent[];

// One HTTP GET, bypassing caches. Status 200 or 302 gives the body; any other
// status gives "Status:" and the code; no answer at all gives "". An address
// without "http://" gets it in front. `cancelled`, polled while waiting,
// ends the request early with "".
QString FetchHTML(const QString &url, const std::function<bool()> &cancelled = {});

// The version-check address on `host`; the values are percent-encoded so
// that a title with spaces or accents arrives as it was. Empty when there is
// no host.
QString VersionCheckUrl(const QString &host, const QString &appName, const QString &version);

// Sends the version check once in the background. The reply goes to the
// handler, on the main thread when `synchronized`, or is dropped when there
// is none. Destroying the object ends a request still waiting.
class TThreadReqVer : public QThread {
public:
  using TCallBack = std::function<void(const QString &reply)>;
  TThreadReqVer(const QString &url, TCallBack callBack, bool synchronized);
  ~TThreadReqVer() override;

protected:
  void run() override;

private:
  QString fUrl;
  TCallBack fCallBack;
  bool fCallSynchtonized;
  QString fData;
};

// Starts the version check of `appName` against `host`; nothing is sent and null is
// returned when the host is empty.
std::unique_ptr<TThreadReqVer> RunVerRequest(const QString &host, const QString &appName,
                                             TThreadReqVer::TCallBack callBack, bool synchronized);
