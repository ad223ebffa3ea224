#pragma once

#include <QAbstractSocket>
#include <QString>

// Why a TCP connection failed or ended, in the program's language: the
// reason a user can act on (a refused port, an unknown name) instead of the
// socket library's generic words.

// The reason behind a system error number of connect, read or write;
// the system's own words for numbers without a reason of ours.
QString SocketFailureText(int error);
// The reason for a socket object that stopped being connected.
QString SocketFailureText(const QAbstractSocket &socket);
// The name lookup found nothing for `host`; `detail` (may be empty) says more.
QString NoSuchHostText(const QString &host, const QString &detail = {});
// The lookup found addresses, none of the wanted IP version.
QString NoAddressOfVersionText(const QString &host, int version);
// The status line while `host` is looked up.
QString ResolvingText(const QString &host);
