#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// What the find bar looks for, as bytes: typed as hexadecimal ("2A 61",
// "2a61"), as text (its Windows-1250 bytes, optionally in any letter case)
// or as command text ("AT{0x0D}", as the command line converts it).
class TByteFinder {
public:
  enum class TMode { Hex, Text, Command };

  // The pattern, or nothing with the reason in `error` (an odd or foreign
  // hexadecimal digit, a bad command group, an empty text).
  static std::optional<TByteFinder> FromText(const QString &text, TMode mode, bool ignoreCase,
                                             QString *error = nullptr);
  TByteFinder(QByteArray pattern, bool ignoreCase);

  const QByteArray &Pattern() const { return fPattern; }
  bool IgnoreCase() const { return fIgnoreCase; }
  // The first occurrence at or after `from`, or -1.
  qsizetype IndexIn(QByteArrayView haystack, qsizetype from = 0) const;
  // The last occurrence that starts before `before`, or -1.
  qsizetype LastIndexIn(QByteArrayView haystack, qsizetype before) const;
  // Occurrences, overlapping ones included ("AAA" holds "AA" twice).
  qsizetype CountIn(QByteArrayView haystack) const;

private:
  bool MatchesAt(const uint8_t *at) const;

  QByteArray fPattern; // folded to lower case when the case is ignored
  bool fIgnoreCase;
  std::array<uint8_t, 256> fFold{};
};
