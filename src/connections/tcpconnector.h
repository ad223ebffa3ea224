#pragma once

#include <QHostAddress>
#include <QString>
#include <functional>

// Blocking name resolution and connect with a time-out that can be cancelled,
// for a process thread. Failures raise EPtError with the message to show.
namespace TcpConnector {

// The first address of the wanted IP version for `host` (a name or a
// literal), through the system resolver.
QHostAddress Resolve(const QString &host, bool ipv6);

// A connected socket descriptor, or -1 when `cancelled` became true first.
// Checks `cancelled` every few milliseconds.
qintptr Connect(const QHostAddress &address, quint16 port, int timeoutMs,
                const std::function<bool()> &cancelled);

} // namespace TcpConnector
