#include "base/pterror.h"
#include "codecs/commandtext.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

// Hex of the converted bytes, or "error: <message>".
std::string Convert(const QByteArray &text) {
  try {
    return ConvertToBinnaryEx(text, true).toHex(' ').toUpper().toStdString();
  } catch (const EPtError &e) {
    return std::string("error: ") + e.what();
  }
}

struct ConversionCase {
  const char *text;
  const char *expected;
};

void ExpectConversions(const ConversionCase *begin, const ConversionCase *end) {
  for (const ConversionCase *c = begin; c != end; ++c) {
    EXPECT_EQ(Convert(c->text), c->expected) << "input: " << c->text;
  }
}

TEST(CommandText, PlainTextAndEscapes) {
  const ConversionCase cases[] = {
      {"", ""},
      {"AT{0x0D}", "41 54 0D"},
      {"Hello!{0x0D}", "48 65 6C 6C 6F 21 0D"},
      {"}", "7D"},
      {"a\\rb", "61 0D 62"},
      {"a\\Nb\\R", "61 0A 62 0D"},
      {"a\\tb", "61 5C 74 62"},
      {"a\\", "61"},
      {"\\\\n", "5C 0A"},
      {"\\{13}", "5C 0D"}, // the escape does not protect the brace
      {"x\xE8y", "78 E8 79"},
  };
  ExpectConversions(std::begin(cases), std::end(cases));
}

TEST(CommandText, GroupsInDecimalAndHexadecimal) {
  const ConversionCase cases[] = {
      {"{13,10}", "0D 0A"},
      {"{13;10}", "0D 0A"},
      {"{0Dh,0Ah}", "0D 0A"},
      {"{$0D,0A}", "0D 0A"},
      {"{13,$0A,10}", "0D 0A 10"},
      {"{0,5}", "00 05"},
      {"{97}", "61"},
      {"{14h,81h,07h}", "14 81 07"},
      {"{23h}", "23"},
      {"{ 5h}", "05"},
      {"{0x0d0a}", "0D 0A"},
      {"{$123}", "01 23"},
      {"{$1 2 3}", "01 02 03"},
      {"{$1G2}", "12"},
      {"{$}", ""},
      {"{}", ""},
      {"{,,;)}", ""},
      {"{13}{13}", "0D 0D"}, // every group starts in decimal
      {"{abc}", "41 42 43"},
      {"{13 10}", "31 33 20 31 30"},
      {"{(})}", "28"}, // "(" is an ordinary item character
      {"{H}", "48"},
      {"{\xE8}", "E8"}, // only a to z are upper-cased
  };
  ExpectConversions(std::begin(cases), std::end(cases));
}

TEST(CommandText, DecimalItemsUseTheIntegerNotation) {
  const ConversionCase cases[] = {
      {"{0}", "00"},
      {"{ 256 }", "01 00"},
      {"{65535}", "FF FF"},
      {"{+13}", "0D"},
      {"{-0}", "00"},
      {"{-1}", "FF FF FF FF FF FF FF FF"},
      {"{9223372036854775807}", "7F FF FF FF FF FF FF FF"},
      {"{-9223372036854775808}", "80 00 00 00 00 00 00 00"},
      {"{9223372036854775808}", "39 32 32 33 33 37 32 30 33 36 38 35 34 37 37 35 38 30 38"},
      {"{x1f}", "1F"},
      {"{ $1F}", "1F"}, // not a marker: the item starts with a space
      {"{-X10}", "FF FF FF FF FF FF FF F0"},
      {"{XFFFFFFFFFFFFFFFF}", "FF FF FF FF FF FF FF FF"},
      {"{X00000000000000001}", "01"},
      {"{X1FFFFFFFFFFFFFFFF}", "58 31 46 46 46 46 46 46 46 46 46 46 46 46 46 46 46 46"},
      {"{-}", "2D"},
      {"{1 }", "01"},
      {"{ }", "20"},
      {"{1-}", "31 2D"},
  };
  ExpectConversions(std::begin(cases), std::end(cases));
}

TEST(CommandText, ConversionErrors) {
  const ConversionCase cases[] = {
      {"{0x0D", "error: End character \"}\" not found in \"{0x0D\" !"},
      {"{(13}", "error: End character \"}\" not found in \"{(13}\" !"},
      {"ok{13}{", "error: End character \"}\" not found in \"ok{13}{\" !"},
      {"{ 12h}", "error: '$' is not a valid integer value"},
      {"{$G}", "error: '$' is not a valid integer value"},
      {"{$0D, 0A}", "error: '$' is not a valid integer value"},
  };
  ExpectConversions(std::begin(cases), std::end(cases));

  // The message shows the text in the user's code page.
  try {
    ConvertToBinnaryEx("\xE8{", true);
    FAIL() << "no error";
  } catch (const EPtError &e) {
    EXPECT_EQ(e.Message(), QString::fromUtf8("End character \"}\" not found in \"č{\" !"));
  }
}

// The non-raising mode built on the public helpers, one "{" at a time.
QByteArray ReferenceLenient(const QByteArray &text, int &messages) {
  QByteArray out;
  qsizetype i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\') {
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if (next == 'n' || next == 'N' || next == 'r' || next == 'R') {
        out += (next == 'n' || next == 'N') ? '\n' : '\r';
        i += 2;
        continue;
      }
      if (i + 1 < text.size()) {
        out += '\\';
      }
      ++i;
    } else if (c == '{') {
      const qsizetype end = FindStringEndChar(text, i + 2, '}'); // positions from 1
      if (end == 0) {
        ++messages;
        ++i;
      } else {
        out += ConvertCommands(text.mid(i + 1, end - i - 2));
        i = end;
      }
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

TEST(CommandText, LenientModeDropsUnclosedBraces) {
  QStringList messages;
  const auto sink = [&messages](const QString &m) { messages << m; };
  EXPECT_EQ(ConvertToBinnaryEx("a{b", false, sink), "ab");
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("End character \"}\" not found in \"a{b\" !"));

  // After the first unclosed group, later braces see the text anew: the "}"
  // hidden by "(" from the first brace closes the second one.
  messages.clear();
  EXPECT_EQ(ConvertToBinnaryEx("{(}{}x", false, sink).toHex(), "287d78");
  EXPECT_EQ(ConvertToBinnaryEx("{({13})", false, sink).toHex(), "280d29");
  EXPECT_EQ(messages.size(), 2);

  // Errors inside a group are raised in both modes.
  EXPECT_THROW(ConvertToBinnaryEx("{$G}", false, sink), EPtError);
  EXPECT_NO_THROW(ConvertToBinnaryEx("{", false));

  // Randomised comparison on the characters that steer the group search.
  std::mt19937 random(97);
  const char alphabet[] = "{}()a1,\\n$";
  for (int round = 0; round < 3000; ++round) {
    QByteArray text(static_cast<qsizetype>(random() % 24), Qt::Uninitialized);
    for (char &c : text) {
      c = alphabet[random() % (sizeof(alphabet) - 1)];
    }
    int expectedMessages = 0;
    QByteArray expected;
    bool expectedThrow = false;
    try {
      expected = ReferenceLenient(text, expectedMessages);
    } catch (const EPtError &) {
      expectedThrow = true;
    }
    int gotMessages = 0;
    try {
      const QByteArray got =
          ConvertToBinnaryEx(text, false, [&gotMessages](const QString &) { ++gotMessages; });
      EXPECT_FALSE(expectedThrow) << text.constData();
      EXPECT_EQ(got, expected) << text.constData();
      EXPECT_EQ(gotMessages, expectedMessages) << text.constData();
    } catch (const EPtError &) {
      EXPECT_TRUE(expectedThrow) << text.constData();
    }
  }
}

TEST(CommandText, FindStringEndChar) {
  struct Case {
    const char *text;
    qsizetype pos;
    char endChar;
    qsizetype expected;
  };
  const Case cases[] = {
      {"{0x0D}", 2, '}', 6},  {"{0x0D}", 7, '}', 0}, {"{0x0D", 2, '}', 0}, {"a(})}", 1, '}', 5},
      {"a((}))}", 1, '}', 7}, {"a(}", 1, '}', 0},    {"(13}", 1, '}', 0},  {"a)b)", 1, ')', 2},
      {"a(b))", 1, ')', 5},   {"((", 1, '(', 0},     {"", 1, '}', 0},      {"}", 100, '}', 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(FindStringEndChar(c.text, c.pos, c.endChar), c.expected)
        << c.text << " from " << c.pos;
  }
  EXPECT_THROW(FindStringEndChar("}", 0, '}'), EPtError);

  // Deep nesting is counted, not recursed into.
  const qsizetype depth = 1 << 20;
  const QByteArray open(depth, '(');
  EXPECT_EQ(FindStringEndChar(open, 1, '}'), 0);
  EXPECT_EQ(FindStringEndChar(open + QByteArray(depth, ')') + '}', 1, '}'), 2 * depth + 1);
  EXPECT_THROW(ConvertToBinnaryEx('{' + open + '}', true), EPtError);
}

TEST(CommandText, HexTextRoundTrip) {
  QByteArray all(256, Qt::Uninitialized);
  for (int i = 0; i < 256; ++i) {
    all[i] = static_cast<char>(i);
  }
  const QString hex = BinStrToHex(all);
  EXPECT_EQ(hex, QString::fromLatin1(all.toHex().toUpper()));
  EXPECT_EQ(HexToBinStr(hex), all);
  EXPECT_EQ(HexToBinStr(hex.toLower()), all);

  EXPECT_EQ(BinStrToHex(QByteArray::fromHex("0D0A")), QStringLiteral("0D0A"));
  EXPECT_TRUE(BinStrToHex({}).isEmpty());
  EXPECT_EQ(HexToBinStr(QStringLiteral("0D0A1")).toHex(), "0d0a");
  EXPECT_TRUE(HexToBinStr(QStringLiteral("F")).isEmpty());

  const struct {
    const char16_t *hex;
    const char16_t *message;
  } errors[] = {
      {u"0D0G", u"'$0G' is not a valid integer value"},
      {u" 1", u"'$ 1' is not a valid integer value"},
      {u"-1", u"'$-1' is not a valid integer value"},
      {u"0\u010E", u"'$0\u010E' is not a valid integer value"},
  };
  for (const auto &e : errors) {
    try {
      HexToBinStr(QString::fromUtf16(e.hex));
      ADD_FAILURE() << "accepted " << QString::fromUtf16(e.hex).toStdString();
    } catch (const EPtError &error) {
      EXPECT_EQ(error.Message(), QString::fromUtf16(e.message));
    }
  }
}

} // namespace
