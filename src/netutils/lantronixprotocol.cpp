#include "netutils/lantronixprotocol.h"

std::optional<QString> DiscoveryAnswerMac(QByteArrayView datagram) {
  if (datagram.size() < kDiscoveryAnswerMinSize || datagram.size() > kDiscoveryAnswerMaxSize ||
      static_cast<uint8_t>(datagram[3]) != 0xF7)
    return std::nullopt;
  return QString::fromLatin1(datagram.sliced(24, 6).toByteArray().toHex(':').toUpper());
}

std::optional<QString> FindIdentification(QByteArrayView text) {
  static constexpr QByteArrayView marker("****");
  const qsizetype first = text.indexOf(marker);
  if (first < 0)
    return std::nullopt;
  // The text starts one blank after the first marker; the second marker is
  // looked for from there on.
  const qsizetype start = first + marker.size() + 1;
  if (start > text.size())
    return std::nullopt;
  const qsizetype second = text.indexOf(marker, start);
  if (second < 0)
    return std::nullopt;
  const qsizetype length = qMax<qsizetype>(0, second - start - 1);
  return QString::fromLatin1(text.sliced(start, length));
}
