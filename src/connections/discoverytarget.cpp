#include "connections/discoverytarget.h"

#include <QtGlobal>

TDiscoveryTarget TDiscoveryTarget::FromEnvironment() {
  TDiscoveryTarget target{QHostAddress(QHostAddress::Broadcast), kDiscoveryPort};
  const QByteArray address = qgetenv("PT_DISCOVERY_ADDRESS");
  QHostAddress parsed;
  if (!address.isEmpty() && parsed.setAddress(QString::fromLatin1(address)))
    target.address = parsed;
  bool ok = false;
  const uint port = qEnvironmentVariable("PT_DISCOVERY_PORT").toUInt(&ok);
  if (ok && port > 0 && port <= 65535)
    target.port = static_cast<quint16>(port);
  return target;
}

QByteArray DiscoveryQuery() {
  return QByteArray("\x00\x00\x00\xF6", 4);
}
