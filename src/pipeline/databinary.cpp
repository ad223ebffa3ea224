#include "pipeline/databinary.h"

#include "pipeline/savedtexttokens.h"

#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Bytes that the command text shows as themselves; all others go into a
// "{$XX,$YY}" group.
bool IsPlainAscii(uint8_t b) {
  return b >= 0x26 && b <= 0x7F;
}

int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  return -1;
}

} // namespace

TVexlinDataBinary::TVexlinDataBinary(const QByteArray &aData, TspDirection direction) {
  Direction = direction;
  CopyData(aData);
}

void TVexlinDataBinary::CopyData(const QByteArray &aData) {
  // Implicit sharing makes this a copy for every purpose, without copying
  // bytes that the caller (a parser) does not keep anyway.
  Data = aData;
  Invalidate();
}

QByteArray TVexlinDataBinary::GetText4Save() const {
  return PacketSaveText(Data, Direction);
}

bool TVexlinDataBinary::LoadFromSavedFile(const QString &data) {
  return ReadPacketSaveText(data, Data, Direction);
}

QByteArray PacketSaveText(const QByteArray &data, TspDirection direction) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
  const qsizetype n = data.size();
  // "xx hex:" + 3 per byte + "\tascii:" + at most 4 per byte + 2 per group.
  QByteArray out(7 + 3 * n + 7 + 4 * n + 2 * (n + 1), Qt::Uninitialized);
  char *o = out.data();
  std::memcpy(o, direction == spTx ? "tx hex:" : "rx hex:", 7);
  o += 7;
  for (qsizetype i = 0; i < n; ++i) {
    if (i > 0)
      *o++ = ' ';
    *o++ = kHexDigits[bytes[i] >> 4];
    *o++ = kHexDigits[bytes[i] & 0x0F];
  }
  std::memcpy(o, "\tascii:", 7);
  o += 7;
  bool inGroup = false;
  for (qsizetype i = 0; i < n; ++i) {
    const uint8_t b = bytes[i];
    if (IsPlainAscii(b)) {
      if (inGroup)
        *o++ = '}';
      inGroup = false;
      *o++ = static_cast<char>(b);
      continue;
    }
    *o++ = inGroup ? ',' : '{';
    *o++ = '$';
    inGroup = true;
    *o++ = kHexDigits[b >> 4];
    *o++ = kHexDigits[b & 0x0F];
  }
  if (inGroup)
    *o++ = '}';
  out.truncate(o - out.constData());
  return out;
}

bool ReadPacketSaveText(const QString &text, QByteArray &data, TspDirection &direction) {
  data.clear();
  TSavedTextTokens tokens(text, TSavedTextTokens::LettersAndDigits);
  QStringView token;
  while (tokens.Next(token)) {
    if (token == u"rx") {
      direction = spRx;
    } else if (token == u"tx") {
      direction = spTx;
    } else if (token == u"hex") {
      while (tokens.Next(token)) {
        if (token.size() != 2)
          break;
        const int hi = HexValue(token[0]);
        const int lo = HexValue(token[1]);
        if (hi < 0 || lo < 0)
          break;
        data.append(static_cast<char>(hi * 16 + lo));
      }
      return true;
    }
  }
  return false;
}
