#include "netutils/addressmonitor.h"

#include "base/languagetext.h"

#include <QTimer>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

namespace {

const QString kUnknown = QStringLiteral("<unknown>");

} // namespace

std::vector<TAddressChange> AddressChanges(const QStringList &previous,
                                           const QStringList &current) {
  std::vector<TAddressChange> changes;
  if (current.size() > previous.size()) {
    for (int i = 0; i < current.size(); ++i)
      if (!previous.contains(current[i]))
        changes.push_back({i, current[i], kUnknown});
  } else if (current.size() < previous.size()) {
    for (int i = 0; i < previous.size(); ++i)
      if (!current.contains(previous[i]))
        changes.push_back({i, kUnknown, previous[i]});
  } else {
    for (int i = 0; i < current.size(); ++i)
      if (current[i] != previous[i])
        changes.push_back({i, current[i], previous[i]});
  }
  return changes;
}

QString AddressChangeLine(const TAddressChange &change) {
  return LanguageText(
             QStringLiteral("AddressChanged"),
             QStringLiteral("Detekována změna nastavení IP adresy na lokálním adaptéru #%1 : "
                            "%2 -> %3"))
      .arg(QString::number(change.Adapter), change.OldIP, change.NewIP);
}

std::optional<QStringList> ReadLocalIpv4Addresses() {
  QStringList addresses;
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0)
    return std::nullopt;
  for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET ||
        (entry->ifa_flags & IFF_LOOPBACK))
      continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr, text,
              sizeof text);
    addresses << QString::fromLatin1(text);
  }
  freeifaddrs(list);
  return addresses;
}

TAddressMonitor::TAddressMonitor(QObject *parent, TReader reader)
    : QObject(parent), fReader(std::move(reader)), fTimer(new QTimer(this)) {
  connect(fTimer, &QTimer::timeout, this, &TAddressMonitor::Poll);
}

void TAddressMonitor::Start(int intervalMs) {
  fPrevious = fReader();
  fTimer->start(intervalMs);
}

void TAddressMonitor::Stop() {
  fTimer->stop();
}

void TAddressMonitor::Poll() {
  std::optional<QStringList> current = fReader();
  if (!current)
    return;
  // The first readable list is where the comparison starts.
  const std::vector<TAddressChange> changes =
      fPrevious ? AddressChanges(*fPrevious, *current) : std::vector<TAddressChange>();
  // The new list is kept before anyone hears of a change, so a handler that
  // polls again sees no change twice.
  fPrevious = std::move(current);
  for (const TAddressChange &change : changes)
    emit statusChanged(change.Adapter, change.NewIP, change.OldIP);
}
