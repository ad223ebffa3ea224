#include "connections/discoverytarget.h"

#include <QtGlobal>

TDiscoveryTarget TDiscoveryTarget::FromEnvironment() {
  TDiscoveryTarget target{QHostAddress(QHostAddress::Broadcast), kDiscoveryPort};
  const QByteArray address = qgetenv("PT_DISCOVERY_ADDRESS");
  QHostAddress parsed;
  if (!address.isEmpty() && parsed.setAddress(QString::fromLatin1(address)))
    target.address = parsed;
  auto port = [](const char *name, quint16 &value, bool zeroAllowed) {
    bool ok = false;
    const uint number = qEnvironmentVariable(name).toUInt(&ok);
    if (ok && (number > 0 || zeroAllowed) && number <= 65535)
      value = static_cast<quint16>(number);
  };
  port("PT_DISCOVERY_PORT", target.port, false);
  port("PT_DISCOVERY_LISTEN_PORT", target.listenPort, true);
  port("PT_DISCOVERY_TELNET_PORT", target.telnetPort, false);
  return target;
}

QByteArray DiscoveryQuery() {
  return QByteArray("\x00\x00\x00\xF6", 4);
}
