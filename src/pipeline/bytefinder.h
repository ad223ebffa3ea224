#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

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
  // Calls `found(at)` for every occurrence, overlapping ones included, in
  // one pass whatever the pattern: `found` returns false to stop.
  template <class Found> void ForEachIn(QByteArrayView haystack, Found found) const {
    if (!fIgnoreCase && !fSelfOverlapping) {
      // Occurrences cannot overlap: the library's search, resumed past each
      // one, reads every byte about once and is much faster per byte.
      for (qsizetype at = IndexIn(haystack); at >= 0; at = IndexIn(haystack, at + fPattern.size()))
        if (!found(at))
          return;
      return;
    }
    qsizetype matched = 0;
    for (qsizetype end = Scan(haystack, 0, matched); end >= 0; end = Scan(haystack, end, matched))
      if (!found(end - fPattern.size()))
        return;
  }

  // Calls `run(begin, end)` for every stretch covered by occurrences, those
  // that overlap or touch joined into one: each byte is marked once.
  template <class Run> void ForEachRunIn(QByteArrayView haystack, Run run) const {
    qsizetype begin = -1;
    qsizetype end = -1;
    ForEachIn(haystack, [&](qsizetype at) {
      if (at > end) {
        if (begin >= 0)
          run(begin, end);
        begin = at;
      }
      end = at + fPattern.size();
      return true;
    });
    if (begin >= 0)
      run(begin, end);
  }

private:
  // Goes on from `from` with `matched` bytes of the pattern matched just
  // before it; returns the end of the next occurrence (leaving `matched` set
  // for the one after) or -1.
  qsizetype Scan(QByteArrayView haystack, qsizetype from, qsizetype &matched) const;

  QByteArray fPattern; // folded to lower case when the case is ignored
  bool fIgnoreCase;
  std::array<uint8_t, 256> fFold{};
  // For each length of a partial match, the longest proper prefix of the
  // pattern that is also its suffix: a mismatch never looks back.
  std::vector<qsizetype> fBorder;
  // Some end of the pattern is also its start ("ABA", "xxxx"), so two
  // occurrences may overlap.
  bool fSelfOverlapping = false;
};
