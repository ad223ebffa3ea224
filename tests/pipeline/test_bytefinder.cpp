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

} // namespace
