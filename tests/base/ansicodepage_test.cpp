#include "base/ansicodepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace {

QByteArray AllBytes() {
  QByteArray bytes(256, '\0');
  for (int i = 0; i < 256; ++i)
    bytes[i] = static_cast<char>(i);
  return bytes;
}

TEST(AnsiCodePage, EveryByteSurvivesARoundTrip) {
  const QByteArray bytes = AllBytes();
  const QString text = TextFromAnsi(bytes);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(AnsiFromText(text), bytes);
}

// glibc's converter is an independent reference for the 251 defined bytes;
// the five undefined ones map to the C1 control of the same value.
TEST(AnsiCodePage, MatchesTheSystemConverterForEveryByte) {
  iconv_t cd = iconv_open("UTF-16LE", "CP1250");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  const QString text = TextFromAnsi(AllBytes());
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char16_t out = 0;
    char *inPtr = &in;
    char *outPtr = reinterpret_cast<char *>(&out);
    size_t inLeft = 1, outLeft = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool defined = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    const char16_t expected = defined ? out : static_cast<char16_t>(b);
    if (!defined) {
      EXPECT_TRUE(b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) << b;
    }
    EXPECT_EQ(text.at(b).unicode(), expected) << "byte " << b;
  }
  iconv_close(cd);
}

TEST(AnsiCodePage, CzechText) {
  const QString text = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy – „Přijímací“ €");
  const QByteArray bytes(
      "\x50\xf8\xed\x6c\x69\x9a\x20\x9e\x6c\x75\x9d\x6f\x75\xe8\x6b\xfd\x20\x6b"
      "\xf9\xf2\x20\xfa\x70\xec\x6c\x20\xef\xe1\x62\x65\x6c\x73\x6b\xe9\x20\xf3"
      "\x64\x79\x20\x96\x20\x84\x50\xf8\x69\x6a\xed\x6d\x61\x63\xed\x93\x20\x80");
  EXPECT_EQ(AnsiFromText(text), bytes);
  EXPECT_EQ(TextFromAnsi(bytes), text);
}

TEST(AnsiCodePage, UnmappableCharactersBecomeOneQuestionMarkEach) {
  struct Case {
    QString text;
    QByteArray expected;
  };
  const Case cases[] = {
      {QStringLiteral("a中b"), "a?b"},
      {QStringLiteral("😀"), "?"}, // surrogate pair
      {QStringLiteral("x😀😀y"), "x??y"},
      {QString(QChar(0xD800)) + QLatin1Char('z'), "?z"}, // lone high surrogate
      {QString(QChar(0xDC00)), "?"},                     // lone low surrogate
      {QString(QChar(0xD83D)), "?"},                     // high surrogate at the end
      {QStringLiteral("ÿ"), "?"},                        // Latin-1 letter outside 1250
      {QString(QChar(0xFFFF)), "?"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(AnsiFromText(c.text), c.expected) << c.text.toStdString();
}

TEST(AnsiCodePage, EmptyAndNullInput) {
  EXPECT_TRUE(AnsiFromText(QString()).isEmpty());
  EXPECT_TRUE(TextFromAnsi(nullptr, 5).isEmpty());
  EXPECT_TRUE(TextFromAnsi(QByteArray()).isEmpty());
  EXPECT_EQ(TextFromAnsi(QByteArray("\0a", 2)), QString(QChar(0)) + QLatin1Char('a'));
}

} // namespace
