#include "codecs/commandtext.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Only a to z change; bytes above 0x7F are code-page letters and stay as they are.
inline char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of an upper-case hexadecimal digit, or -1.
inline int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// The word-at-a-time scans take the lowest-addressed hit from the low end.
static_assert(std::endian::native == std::endian::little);

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

// High bit set in each byte of `word` that equals `c`. Bits above the lowest
// hit may be false positives (borrows), so only the lowest one is trusted.
inline uint64_t MatchBytes(uint64_t word, char c) {
  const uint64_t x = word ^ (kOnes * static_cast<uint8_t>(c));
  return (x - kOnes) & ~x & kHighs;
}

inline qsizetype LowestMatch(uint64_t mask) {
  return std::countr_zero(mask) / 8;
}

// The first "\\" or "{" at or after `from`, or `size`; eight bytes at a time.
qsizetype FindSpecial(const char *data, qsizetype from, qsizetype size) {
  qsizetype i = from;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    const uint64_t mask = MatchBytes(word, '\\') | MatchBytes(word, '{');
    if (mask != 0) {
      return i + LowestMatch(mask);
    }
  }
  while (i < size && data[i] != '\\' && data[i] != '{') {
    ++i;
  }
  return i;
}

constexpr std::array<bool, 256> MakeSeparatorTable() {
  std::array<bool, 256> table{};
  for (const char c : {')', ',', ';', '}'}) {
    table[static_cast<uint8_t>(c)] = true;
  }
  return table;
}
constexpr std::array<bool, 256> kItemSeparator = MakeSeparatorTable();

inline bool IsItemSeparator(char c) {
  return kItemSeparator[static_cast<uint8_t>(c)];
}

QString InvalidIntegerMessage(const QString &text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// Growable output written through a raw pointer, so that single bytes cost a
// store and a compare instead of a QByteArray call.
class TByteSink {
public:
  explicit TByteSink(qsizetype capacity)
      : fBuffer(std::max<qsizetype>(capacity, 16), Qt::Uninitialized), fData(fBuffer.data()),
        fCapacity(fBuffer.size()) {}

  void Put(char c) {
    if (fSize == fCapacity) {
      Grow(1);
    }
    fData[fSize++] = c;
  }
  void Put(const char *data, qsizetype size) {
    if (size <= 0) {
      return;
    }
    if (fCapacity - fSize < size) {
      Grow(size);
    }
    std::memcpy(fData + fSize, data, static_cast<size_t>(size));
    fSize += size;
  }
  qsizetype Size() const { return fSize; }
  void ReverseFrom(qsizetype from) { std::reverse(fData + from, fData + fSize); }
  void UpperFrom(qsizetype from) {
    for (qsizetype i = from; i < fSize; ++i) {
      fData[i] = Upper(fData[i]);
    }
  }
  QByteArray Take() {
    fBuffer.truncate(fSize);
    return std::move(fBuffer);
  }

private:
  void Grow(qsizetype needed) {
    fCapacity = std::max(fCapacity * 2, fSize + needed);
    fBuffer.resize(fCapacity);
    fData = fBuffer.data();
  }

  QByteArray fBuffer;
  char *fData;
  qsizetype fCapacity;
  qsizetype fSize = 0;
};

// 0-based index of the first `endChar` at or after `from` outside parentheses,
// or -1. A depth counter instead of recursion per "(" keeps deeply nested
// input off the stack; inside parentheses only ")" and "(" matter.
qsizetype FindEnd(const char *data, qsizetype size, qsizetype from, char endChar) {
  qsizetype depth = 0;
  qsizetype i = from;
  while (i < size) {
    if (depth == 0) {
      // Outside parentheses only "(" and the end character matter: skip
      // words that hold neither.
      while (i + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        const uint64_t mask = MatchBytes(word, '(') | MatchBytes(word, endChar);
        if (mask != 0) {
          i += LowestMatch(mask);
          break;
        }
        i += 8;
      }
      if (i == size) {
        break;
      }
    }
    const char c = data[i];
    if (c == '(') {
      ++depth;
    } else if (depth > 0) {
      if (c == ')') {
        --depth;
      }
    } else if (c == endChar) {
      return i;
    }
    ++i;
  }
  return -1;
}

// Group ends for every start position from `from` on, built from right to
// left. Used after the first unclosed group in the non-raising mode, where
// each following "{" would otherwise rescan to the end of the text.
class TGroupEndTable {
public:
  TGroupEndTable(const char *data, qsizetype size, qsizetype from)
      : fFrom(from), fBrace(static_cast<size_t>(size - from + 1)),
        fParen(static_cast<size_t>(size - from + 1)) {
    fBrace.back() = fParen.back() = -1;
    for (qsizetype p = size - 1; p >= from; --p) {
      const auto k = static_cast<size_t>(p - from);
      const char c = data[p];
      if (c == '(') {
        // Skip to after the matching ")", whose position is the ")"-end of p + 1.
        const qsizetype match = fParen[k + 1];
        if (match < 0) {
          fBrace[k] = fParen[k] = -1;
        } else {
          const auto after = static_cast<size_t>(match + 1 - from);
          fBrace[k] = fBrace[after];
          fParen[k] = fParen[after];
        }
      } else {
        fParen[k] = c == ')' ? p : fParen[k + 1];
        fBrace[k] = c == '}' ? p : fBrace[k + 1];
      }
    }
  }

  // Same result as FindEnd(data, size, pos, '}') for pos >= from.
  qsizetype BraceEnd(qsizetype pos) const { return fBrace[static_cast<size_t>(pos - fFrom)]; }

private:
  qsizetype fFrom;
  std::vector<qsizetype> fBrace;
  std::vector<qsizetype> fParen;
};

// Reads the standard integer notation: optional sign, then decimal digits or
// hexadecimal digits after "$", "X" or "0X". Decimal must fit a signed 64-bit
// value; hexadecimal takes up to 64 bits as two's complement.
bool ParseInt64(const char *s, qsizetype n, int64_t &value) {
  qsizetype i = 0;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (s[i] == '$' || Upper(s[i]) == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && Upper(s[i + 1]) == 'X') {
    hex = true;
    i += 2;
  }
  if (i == n) {
    return false;
  }
  uint64_t magnitude = 0;
  if (hex) {
    for (; i < n; ++i) {
      const int digit = HexValue(Upper(s[i]));
      if (digit < 0 || (magnitude >> 60) != 0) {
        return false;
      }
      magnitude = (magnitude << 4) | static_cast<uint64_t>(digit);
    }
  } else {
    const uint64_t limit =
        static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
    for (; i < n; ++i) {
      if (s[i] < '0' || s[i] > '9') {
        return false;
      }
      const auto digit = static_cast<uint64_t>(s[i] - '0');
      if (magnitude > (limit - digit) / 10) {
        return false;
      }
      magnitude = magnitude * 10 + digit;
    }
  }
  value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

// Most significant byte first, no leading zero bytes, at least one byte; a
// negative value gives all eight bytes.
void PutIntBytes(int64_t value, TByteSink &out) {
  const auto u = static_cast<uint64_t>(value);
  int count = 8;
  if (value >= 0) {
    count = 1;
    while (count < 8 && (u >> (8 * count)) != 0) {
      ++count;
    }
  }
  for (int b = count - 1; b >= 0; --b) {
    out.Put(static_cast<char>(u >> (8 * b)));
  }
}

// Hexadecimal item: digit pairs are formed from the right; a space or the
// item's first character closes a pending single digit; other characters are
// skipped. Closing with nothing pending is the integer conversion's error.
void PutHexItem(const char *s, qsizetype n, TByteSink &out) {
  const qsizetype start = out.Size();
  int pendingDigits = 0;
  unsigned pendingValue = 0;
  for (qsizetype k = n - 1; k >= 0; --k) {
    const char c = Upper(s[k]);
    const int digit = HexValue(c);
    if (digit >= 0) {
      pendingValue |= static_cast<unsigned>(digit) << (4 * pendingDigits);
      ++pendingDigits;
    }
    if (pendingDigits == 2 || k == 0 || (c == ' ' && pendingDigits > 0)) {
      if (pendingDigits == 0) {
        throw EPtError(InvalidIntegerMessage(QStringLiteral("$")));
      }
      out.Put(static_cast<char>(pendingValue));
      pendingDigits = 0;
      pendingValue = 0;
    }
  }
  out.ReverseFrom(start);
}

void PutItem(const char *s, qsizetype n, bool &hex, TByteSink &out) {
  if (n == 0) {
    return;
  }
  // At most one marker per item; it switches the rest of the group to hex.
  if (s[0] == '$') {
    ++s;
    --n;
    hex = true;
  } else if (n >= 2 && s[0] == '0' && Upper(s[1]) == 'X') {
    s += 2;
    n -= 2;
    hex = true;
  } else if (n >= 2 && Upper(s[n - 1]) == 'H') {
    --n;
    hex = true;
  }
  if (hex) {
    if (n > 0) {
      PutHexItem(s, n, out);
    }
    return;
  }
  qsizetype b = 0;
  qsizetype e = n;
  while (b < e && s[b] == ' ') {
    ++b;
  }
  while (e > b && s[e - 1] == ' ') {
    --e;
  }
  int64_t value = 0;
  if (ParseInt64(s + b, e - b, value)) {
    PutIntBytes(value, out);
  } else {
    // Not a number: the item stands for its own (upper-cased) text.
    const qsizetype start = out.Size();
    out.Put(s, n);
    out.UpperFrom(start);
  }
}

void PutGroup(const char *data, qsizetype size, TByteSink &out) {
  bool hex = false; // every group starts in decimal
  qsizetype begin = 0;
  while (begin <= size) {
    qsizetype end = begin;
    while (end < size && !IsItemSeparator(data[end])) {
      ++end;
    }
    PutItem(data + begin, end - begin, hex, out);
    begin = end + 1;
  }
}

QString MissingBraceMessage(QByteArrayView text) {
  return QStringLiteral("End character \"}\" not found in \"") +
         TextFromAnsi(text.data(), text.size()) + QStringLiteral("\" !");
}

} // namespace

QByteArray ConvertToBinnaryEx(QByteArrayView AData, bool ExRaise,
                              const TCommandTextMessageSink &onMessage) {
  const char *data = AData.data();
  const qsizetype size = AData.size();
  TByteSink out(size);
  std::unique_ptr<TGroupEndTable> ends;
  QString missingBrace;
  qsizetype i = 0;
  while (i < size) {
    // Plain characters are copied in runs.
    const qsizetype run = FindSpecial(data, i, size);
    out.Put(data + i, run - i);
    i = run;
    if (i == size) {
      break;
    }
    if (data[i] == '\\') {
      if (i + 1 == size) {
        break; // a trailing backslash gives nothing
      }
      const char next = data[i + 1];
      if (next == 'n' || next == 'N') {
        out.Put('\n');
        i += 2;
      } else if (next == 'r' || next == 'R') {
        out.Put('\r');
        i += 2;
      } else {
        // Only the backslash is consumed; the next character is read normally.
        out.Put('\\');
        ++i;
      }
      continue;
    }
    const qsizetype end = ends ? ends->BraceEnd(i + 1) : FindEnd(data, size, i + 1, '}');
    if (end >= 0) {
      PutGroup(data + i + 1, end - i - 1, out);
      i = end + 1;
      continue;
    }
    if (missingBrace.isNull()) {
      missingBrace = MissingBraceMessage(AData);
    }
    if (ExRaise) {
      throw EPtError(missingBrace);
    }
    if (onMessage) {
      onMessage(missingBrace);
    }
    if (!ends) {
      ends = std::make_unique<TGroupEndTable>(data, size, i + 1);
    }
    ++i; // drop the "{" and go on
  }
  return out.Take();
}

qsizetype FindStringEndChar(QByteArrayView AData, qsizetype APos, char AChar) {
  if (APos < 1) {
    throw EPtError(QStringLiteral("FindStringEndChar: start position %1 is not valid "
                                  "(positions count from 1).")
                       .arg(APos));
  }
  const qsizetype found = FindEnd(AData.data(), AData.size(), APos - 1, AChar);
  return found < 0 ? 0 : found + 1;
}

QByteArray ConvertCommands(QByteArrayView AData) {
  TByteSink out(AData.size());
  PutGroup(AData.data(), AData.size(), out);
  return out.Take();
}

QString BinStrToHex(QByteArrayView Data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const qsizetype size = Data.size();
  QString hex(size * 2, Qt::Uninitialized);
  QChar *out = hex.data();
  for (qsizetype i = 0; i < size; ++i) {
    const auto b = static_cast<uint8_t>(Data[i]);
    out[2 * i] = QLatin1Char(kDigits[b >> 4]);
    out[2 * i + 1] = QLatin1Char(kDigits[b & 0x0F]);
  }
  return hex;
}

QByteArray HexToBinStr(const QString &Hex) {
  const qsizetype pairs = Hex.size() / 2;
  QByteArray bytes(pairs, Qt::Uninitialized);
  const QChar *in = Hex.constData();
  char *out = bytes.data();
  const auto digit = [](QChar c) {
    const char16_t u = c.unicode();
    // Lower case is accepted, as the integer conversion does.
    return u < 0x80 ? HexValue(Upper(static_cast<char>(u))) : -1;
  };
  for (qsizetype k = 0; k < pairs; ++k) {
    const int high = digit(in[2 * k]);
    const int low = digit(in[2 * k + 1]);
    if (high < 0 || low < 0) {
      throw EPtError(InvalidIntegerMessage(QLatin1Char('$') + Hex.mid(2 * k, 2)));
    }
    out[k] = static_cast<char>((high << 4) | low);
  }
  return bytes;
}

bool HexPairsToBin(const QString &Hex, QByteArray &bytes) {
  if (Hex.isEmpty() || Hex.size() % 2 != 0)
    return false;
  try {
    bytes = HexToBinStr(Hex);
  } catch (const EPtError &) {
    return false;
  }
  return true;
}
