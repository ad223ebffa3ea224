#include "codecs/devovavo.h"

QString DevovAVO_EncodePacket(const QString &data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  unsigned sum = 0;
  for (const QChar c : data) {
    sum += c.unicode();
  }
  sum &= 0xFF;
  QString packet;
  packet.reserve(data.size() + 4);
  packet += data;
  packet += QLatin1Char('#');
  packet += QLatin1Char(kDigits[sum >> 4]);
  packet += QLatin1Char(kDigits[sum & 0x0F]);
  packet += QLatin1Char('\r');
  return packet;
}
