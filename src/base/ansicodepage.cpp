#include "base/ansicodepage.h"

#include <array>
#include <cstdint>

namespace {

// Windows-1250, bytes 0x80 to 0xFF. The five bytes the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control of the same
// value, exactly as Windows' MultiByteToWideChar does.
constexpr char16_t kHighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // 0xF8
};

constexpr std::array<char16_t, 256> MakeToUnicode() {
  std::array<char16_t, 256> table{};
  for (int b = 0; b < 128; ++b)
    table[b] = static_cast<char16_t>(b);
  for (int b = 128; b < 256; ++b)
    table[b] = kHighHalf[b - 128];
  return table;
}

constexpr std::array<char16_t, 256> kToUnicode = MakeToUnicode();

// The reverse direction: one byte per UTF-16 code unit, built at compile time.
// 0 means "no mapping"; U+0000 itself is handled before the lookup.
constexpr std::array<uint8_t, 65536> MakeFromUnicode() {
  std::array<uint8_t, 65536> table{};
  for (int b = 1; b < 256; ++b)
    table[kToUnicode[b]] = static_cast<uint8_t>(b);
  return table;
}

constexpr std::array<uint8_t, 65536> kFromUnicode = MakeFromUnicode();

constexpr bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

QByteArray AnsiFromText(const QString &text) {
  const qsizetype size = text.size();
  QByteArray result(size, Qt::Uninitialized);
  const char16_t *src = reinterpret_cast<const char16_t *>(text.utf16());
  char *dst = result.data();
  qsizetype out = 0;
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = src[i];
    if (c < 0x80) {
      dst[out++] = static_cast<char>(c);
      continue;
    }
    const uint8_t b = kFromUnicode[c];
    if (b != 0) {
      dst[out++] = static_cast<char>(b);
      continue;
    }
    // One character outside the code page gives one '?', even when it takes
    // two code units.
    if (IsHighSurrogate(c) && i + 1 < size && IsLowSurrogate(src[i + 1]))
      ++i;
    dst[out++] = '?';
  }
  result.truncate(out);
  return result;
}

QString TextFromAnsi(const char *data, qsizetype size) {
  if (data == nullptr || size <= 0)
    return QString();
  QString result(size, Qt::Uninitialized);
  char16_t *dst = reinterpret_cast<char16_t *>(result.data());
  const unsigned char *src = reinterpret_cast<const unsigned char *>(data);
  for (qsizetype i = 0; i < size; ++i)
    dst[i] = kToUnicode[src[i]];
  return result;
}
