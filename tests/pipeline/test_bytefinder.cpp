#include "pipeline/bytefinder.h"

#include <gtest/gtest.h>

namespace {

using M = TByteFinder::TMode;

TEST(ByteFinder, PatternsFromTheThreeNotations) {
  const struct {
    const char *typed;
    M mode;
    bool ignoreCase;
    QByteArray bytes; // empty: refused
  } cases[] = {
      {"2A 61", M::Hex, false, "\x2A\x61"},
      {"2a61", M::Hex, false, "\x2A\x61"},
      {"2A-61 00", M::Hex, false, QByteArray("\x2A\x61\x00", 3)},
      {"2A6", M::Hex, false, {}}, // odd number of digits
      {"2G", M::Hex, false, {}},  // not a digit
      {"", M::Hex, false, {}},
      {"hello", M::Text, false, "hello"},
      {"Čau", M::Text, true,
       "\xE8"
       "au"}, // Windows-1250, folded to lower case
      {"AT{0x0D}", M::Command, false, "AT\r"},
      {"AT{0x0D", M::Command, false, {}}, // unclosed group
  };
  for (const auto &c : cases) {
    QString error;
    const std::optional<TByteFinder> f =
        TByteFinder::FromText(QString::fromUtf8(c.typed), c.mode, c.ignoreCase, &error);
    if (c.bytes.isEmpty()) {
      EXPECT_FALSE(f.has_value()) << c.typed;
      EXPECT_FALSE(error.isEmpty()) << c.typed;
    } else {
      ASSERT_TRUE(f.has_value()) << c.typed << ": " << error.toStdString();
      EXPECT_EQ(f->Pattern(), c.bytes) << c.typed;
    }
  }
}

TEST(ByteFinder, FindsCountsAndIgnoresCase) {
  const TByteFinder aa("AA", false);
  EXPECT_EQ(aa.CountIn("xAAAyAA"), 3); // overlapping occurrences count
  EXPECT_EQ(aa.IndexIn("xAAAyAA", 2), 2);
  EXPECT_EQ(aa.IndexIn("xAAAyAA", 3), 5);
  EXPECT_EQ(aa.LastIndexIn("xAAAyAA", 5), 2);
  EXPECT_EQ(aa.IndexIn("A"), -1);

  const TByteFinder word = *TByteFinder::FromText(QStringLiteral("čau"), M::Text, true);
  EXPECT_EQ(word.IndexIn("ahoj \xC8"
                         "AU"),
            5); // "ČAU"
  EXPECT_EQ(TByteFinder("au", false).IndexIn("AU"), -1);
}

// Patterns that overlap themselves, and some that cannot, checked against
// comparing at every place, in both letter cases; the marked stretches join
// overlapping and touching occurrences.
TEST(ByteFinder, SelfOverlappingPatternsAreFoundInOnePass) {
  const struct {
    QByteArray pattern;
    QByteArray haystack;
  } cases[] = {
      {"abab", "ababababxabab"},
      {"aab", "aaabaabaaab"},
      {"abcabd", "abcabcabdabcabd"},
      {QByteArray(100, 'x'), QByteArray(1000, 'x') + "y" + QByteArray(150, 'x')},
      {"AbA", "abababAbA"},
      // Patterns that cannot overlap themselves take another path.
      {"abc", "abcabcxabcab"},
      {"\x2A\x61\x00\x08", QByteArray("\x2A\x61\x00\x08\x2A\x61\x00\x08x\x2A\x61", 11)},
      {"Ab", "abABAbab"},
  };
  for (const auto &c : cases) {
    for (const bool ignoreCase : {false, true}) {
      const TByteFinder finder(c.pattern, ignoreCase);
      const QByteArray hay = ignoreCase ? c.haystack.toLower() : c.haystack;
      const QByteArray pat = ignoreCase ? c.pattern.toLower() : c.pattern;
      std::vector<qsizetype> expected;
      for (qsizetype i = 0; i + pat.size() <= hay.size(); ++i)
        if (hay.mid(i, pat.size()) == pat)
          expected.push_back(i);
      std::vector<qsizetype> found;
      finder.ForEachIn(c.haystack, [&](qsizetype at) {
        found.push_back(at);
        return true;
      });
      EXPECT_EQ(found, expected) << c.pattern.left(10).constData() << ignoreCase;
      EXPECT_EQ(finder.CountIn(c.haystack), qsizetype(expected.size()));
      const auto fromOne =
          std::find_if(expected.begin(), expected.end(), [](qsizetype at) { return at >= 1; });
      EXPECT_EQ(finder.IndexIn(c.haystack, 1), fromOne == expected.end() ? -1 : *fromOne);
      EXPECT_EQ(finder.LastIndexIn(c.haystack, c.haystack.size()),
                expected.empty() ? -1 : expected.back());
    }
  }
  std::vector<std::pair<qsizetype, qsizetype>> runs;
  TByteFinder("aa", false).ForEachRunIn("aaaxaaxxaa", [&](qsizetype b, qsizetype e) {
    runs.emplace_back(b, e);
  });
  EXPECT_EQ(runs, (std::vector<std::pair<qsizetype, qsizetype>>{{0, 3}, {4, 6}, {8, 10}}));
}

} // namespace
