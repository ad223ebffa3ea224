#include "connections/vexlinconnection.h"

QString TVexlinConnection::GetSettings(const QString &) const {
  return {};
}

void TVexlinConnection::SetSettings(const QString &, const QString &) {}

void TVexlinConnection::SetOnStatus(TVexlinConnectionNotifyStatusChange handler) {
  fOnStatus.store(std::make_shared<const TVexlinConnectionNotifyStatusChange>(std::move(handler)));
}

QString TVexlinConnection::StatusText() const {
  std::lock_guard lock(fStatusLock);
  return fStatusText;
}

void TVexlinConnection::SetStatus(TVexlinConnectionStatus aStatus, const QString &AStatusText,
                                  const QByteArray &aSIG, const QByteArray &aData) {
  if (IsConnectionState(aStatus)) {
    std::lock_guard lock(fStatusLock);
    if (fStatus.load() == aStatus)
      return;
    fStatus.store(aStatus);
    fStatusText = AStatusText;
  }
  const std::shared_ptr<const TVexlinConnectionNotifyStatusChange> handler = fOnStatus.load();
  if (handler && *handler)
    (*handler)(this, aStatus, AStatusText, aSIG, aData);
}
