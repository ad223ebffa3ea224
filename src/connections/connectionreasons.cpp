#include "connections/connectionreasons.h"

#include "base/languagetext.h"

#include <cerrno>
#include <cstring>

namespace {

QString Text(const char *key, const char *czech) {
  return LanguageText(QLatin1String(key), QString::fromUtf8(czech));
}

} // namespace

QString SocketFailureText(int error) {
  switch (error) {
  case ECONNREFUSED:
    return Text("TcpRefused", "spojení odmítnuto");
  case ENETUNREACH:
  case EHOSTUNREACH:
  case ENETDOWN:
  case EHOSTDOWN:
    return Text("TcpUnreachable", "cíl je nedosažitelný");
  case ECONNRESET:
  case EPIPE:
    return Text("TcpReset", "spojení zrušeno protistranou (reset)");
  case ETIMEDOUT:
    return Text("TcpTimedOut", "vypršel čas na spojení");
  default:
    return QString::fromLocal8Bit(std::strerror(error));
  }
}

QString SocketFailureText(const QAbstractSocket &socket) {
  switch (socket.error()) {
  case QAbstractSocket::RemoteHostClosedError:
    return Text("TcpPeerClosed", "spojení ukončeno protistranou");
  case QAbstractSocket::ConnectionRefusedError:
    return SocketFailureText(ECONNREFUSED);
  case QAbstractSocket::SocketTimeoutError:
    return SocketFailureText(ETIMEDOUT);
  case QAbstractSocket::NetworkError:
    return SocketFailureText(ENETUNREACH);
  default:
    return socket.errorString();
  }
}

QString NoSuchHostText(const QString &host, const QString &detail) {
  const QString text = Text("TcpNoSuchHost", "neznámý počítač %1").arg(host);
  return detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
}

QString NoAddressOfVersionText(const QString &host, int version) {
  return Text("TcpNoAddressOfVersion", "počítač %1 nemá adresu IPv%2").arg(host).arg(version);
}

QString ResolvingText(const QString &host) {
  return Text("TcpResolving", "hledám adresu %1").arg(host);
}
