#pragma once

#include "connections/hostresolver.h"

#include <QHostAddress>
#include <QString>
#include <functional>

// Connect with a time-out that can be cancelled, for a process thread.
// Failures raise EPtError with the message to show.
namespace TcpConnector {

// The first address of the wanted IP version in a lookup's answer.
QHostAddress PickAddress(const TLookupResult &found, const QString &host, bool ipv6);

// Sleeps until `fd` reports one of `events` (true) or something else
// deserves a look (false), at most `ms` milliseconds.
using TWaitReady = std::function<bool(int fd, short events, int ms)>;

// A connected socket descriptor, or -1 when `cancelled` became true first.
// Checks `cancelled` whenever `wait` returns.
qintptr Connect(const QHostAddress &address, quint16 port, int timeoutMs, const TWaitReady &wait,
                const std::function<bool()> &cancelled);

} // namespace TcpConnector
