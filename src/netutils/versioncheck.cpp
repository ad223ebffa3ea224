#include "netutils/versioncheck.h"

#include "base/versioninfo.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

const char kFetchAgent[] = "InetURL:/1.0";

namespace {

constexpr int kCancelPollMs = 100;

QNetworkProxy ProxyFor(const QUrl &url) {
  // The desktop's proxy, except for this machine itself.
  const QHostAddress address(url.host());
  if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
      (!address.isNull() && address.isLoopback()))
    return QNetworkProxy::NoProxy;
  const QList<QNetworkProxy> proxies =
      QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
  return proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
}

QString Percent(const QString &value) {
  return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString FetchHTML(const QString &url, const std::function<bool()> &cancelled) {
  QString address = url;
  if (!address.toLower().contains(QLatin1String("http://")))
    address.prepend(QLatin1String("http://"));
  const QUrl target = QUrl::fromEncoded(address.toUtf8(), QUrl::TolerantMode);
  if (!target.isValid())
    return QString();

  QNetworkAccessManager manager;
  manager.setProxy(ProxyFor(target));
  QNetworkRequest request(target);
  request.setHeader(QNetworkRequest::UserAgentHeader, QLatin1String(kFetchAgent));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  // A 302 is answered with its own body, as the service sends it.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  std::unique_ptr<QNetworkReply> reply(manager.get(request));

  QEventLoop loop;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer poll;
  if (cancelled) {
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (cancelled())
        reply->abort();
    });
    poll.start(kCancelPollMs);
  }
  if (!reply->isFinished())
    loop.exec();

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid())
    return QString();
  const QString code = QString::number(status.toInt());
  if (code == QLatin1String("200") || code == QLatin1String("302"))
    return QString::fromUtf8(reply->readAll());
  return QStringLiteral("Status:") + code;
}

QString VersionCheckUrl(const QString &host, const QString &appName, const QString &version) {
  if (host.isEmpty())
    return QString();
  return QStringLiteral("http://%1/PROJECTS/CheckAppVer.aspx?AppName=%2&ver=%3")
      .arg(host, Percent(appName), Percent(version));
}

TThreadReqVer::TThreadReqVer(const QString &url, TCallBack callBack, bool synchronized)
    : fUrl(url), fCallBack(std::move(callBack)), fCallSynchtonized(synchronized) {}

TThreadReqVer::~TThreadReqVer() {
  requestInterruption();
  wait();
}

void TThreadReqVer::run() {
  fData = FetchHTML(fUrl, [this] { return isInterruptionRequested(); });
  if (fCallBack && !isInterruptionRequested()) {
    if (fCallSynchtonized)
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [callBack = fCallBack, data = fData] { callBack(data); },
          Qt::QueuedConnection);
    else
      fCallBack(fData);
  }
  fData.clear();
}

std::unique_ptr<TThreadReqVer> RunVerRequest(const QString &host, const QString &appName,
                                             TThreadReqVer::TCallBack callBack, bool synchronized) {
  const QString url = VersionCheckUrl(host, appName, GetVersionToStr());
  if (url.isEmpty())
    return nullptr;
  auto thread = std::make_unique<TThreadReqVer>(url, std::move(callBack), synchronized);
  thread->start();
  return thread;
}
