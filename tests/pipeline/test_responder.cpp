// The responder's rules: request patterns with "??", responses with their
// placeholders, the rule order through the index, and "pt.responder.xml".
#include "base/pterror.h"
#include "codecs/pelmar97.h"
#include "pipeline/responderrules.h"
#include "pipeline/responderstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TResponderRule Rule(const QString &request, const QString &response,
                    TResponderMatch match = TResponderMatch::Whole, bool enabled = true) {
  TResponderRule rule;
  rule.request = request;
  rule.response = response;
  rule.match = match;
  rule.enabled = enabled;
  return rule;
}

TEST(ResponderPattern, MatchesWholePacketsAndBeginningsWithAnyBytes) {
  struct Case {
    const char *request;
    TResponderMatch match;
    QByteArray packet;
    bool matches;
  } cases[] = {
      {"AT{0x0D}", TResponderMatch::Whole, "AT\r", true},
      {"AT{0x0D}", TResponderMatch::Whole, "AT\rX", false},
      {"AT{0x0D}", TResponderMatch::Prefix, "AT\rX", true},
      {"AT{0x0D}", TResponderMatch::Prefix, "AT", false},
      {"{0x2A,0x61,??,??}", TResponderMatch::Whole, QByteArray("*a\x00\xFF", 4), true},
      {"{0x2A,0x61,??,??}", TResponderMatch::Whole, "*b12", false},
      {"{0x2A,0x61,??,??}", TResponderMatch::Whole, "*a1", false},
      // "$" switches the rest of the group to hexadecimal; "??" keeps it so.
      {"{$2A,61,??,03}", TResponderMatch::Whole, "*a\x7F\x03", true},
      {"{$2A,61,??,03}", TResponderMatch::Whole, "*a\x7F\x04", false},
      {"X{??}Y", TResponderMatch::Whole, "X\x01Y", true},
      {"{??}", TResponderMatch::Prefix, "anything", true},
      {"{1;?\?)3}", TResponderMatch::Whole, "\x01\x02\x03", true},
      {"\\{1}", TResponderMatch::Whole, "\\\x01", true},
  };
  for (const Case &c : cases) {
    const TResponderPattern pattern = ParseResponderRequest(QString::fromLatin1(c.request));
    EXPECT_EQ(pattern.Matches(c.packet, c.match), c.matches)
        << c.request << " / " << c.packet.toHex().constData();
  }
}

TEST(ResponderPattern, TextsThatDoNotConvertAreRefused) {
  for (const char *text : {"", "{0x2A", "{0xZZ}", "{??,0x2A"})
    EXPECT_THROW(ParseResponderRequest(QString::fromLatin1(text)), EPtError) << text;
  EXPECT_THROW(TResponderAnswer::Parse(QStringLiteral("OK{0x0D")), EPtError);
  EXPECT_THROW(TResponderAnswer::Parse(QStringLiteral("{CRC16}{0xZZ}")), EPtError);
}

TEST(ResponderAnswer, PlaceholdersFillFromTheRequestAndTheCount) {
  const QByteArray request("\x01\x03\x00\x00\x00\x0A", 6);
  auto render = [&](const char *text, uint8_t seq = 0) {
    return TResponderAnswer::Parse(QString::fromLatin1(text)).Render(request, seq);
  };
  EXPECT_EQ(render("{REQ[1]}{REQ[0]}").toHex(), "0301");
  EXPECT_EQ(render("{REQ[40]}").toHex(), "00"); // beyond the request: 0, never past its end
  // The canonical read of ten holding registers and its CRC.
  EXPECT_EQ(render("{1,3,0,0,0,10}{CRC16}").toHex(), "01030000000ac5cd");
  EXPECT_EQ(render("#{SEQ}", 7), "#\x07");
  // LEN and SUM of a Pelmar 97 frame, whatever was typed for LEN.
  const QByteArray frame = render("{0x2A,0x61,0,0,0xFE,1,2,0x41,0x42}{S97}{0x0D}");
  EXPECT_EQ(sCheck_S97(frame), 0) << frame.toHex().constData();
  EXPECT_EQ(frame.mid(2, 2).toHex(), "0007");
}

TEST(ResponderRuleSet, FirstEnabledRuleInListOrderWinsAcrossTheIndex) {
  TResponderRuleSet set;
  set.Assign({Rule("AB", "off", TResponderMatch::Whole, false),
              Rule("A", "prefix", TResponderMatch::Prefix), Rule("{??}B", "any"),
              Rule("AB", "exact"), Rule("{0x2A", "broken")});
  TResponderRuleSet::THit hit;
  ASSERT_TRUE(set.Match("AB", hit));
  EXPECT_EQ(hit.rule, 1);
  ASSERT_TRUE(set.Match("CB", hit));
  EXPECT_EQ(hit.rule, 2);
  EXPECT_EQ(set.Answer(2, "CB", 0), "any");
  EXPECT_FALSE(set.Match("CC", hit));
  EXPECT_FALSE(set.Match("", hit));
  EXPECT_EQ(set.Answer(4, "{", 0), ""); // a rule that does not convert never answers

  // Thousands of rules that all match: the first still wins.
  std::vector<TResponderRule> many;
  for (int i = 0; i < 5000; ++i)
    many.push_back(Rule(i % 2 ? "{??}" : "X", QString::number(i), TResponderMatch::Prefix));
  set.Assign(many);
  ASSERT_TRUE(set.Match("XYZ", hit));
  EXPECT_EQ(hit.rule, 0);
  ASSERT_TRUE(set.Match("YZ", hit));
  EXPECT_EQ(hit.rule, 1);
}

class ResponderFile : public ::testing::Test {
protected:
  QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
  void Write(const char *name, const QByteArray &bytes) {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QTemporaryDir dir;
};

TEST_F(ResponderFile, RulesSurviveTheRoundTrip) {
  TResponderSettings settings;
  settings.rules = {Rule("AT{0x0D}", "OK{0x0D}"),
                    Rule("{0x2A,??} <&\"", "{REQ[1]}{CRC16}", TResponderMatch::Prefix, false)};
  settings.rules[1].delayMs = 250;
  settings.device.enabled = true;
  settings.device.unit = 17;
  settings.device.tables[mtCoils][0] = {1, "pump"};
  settings.device.tables[mtHoldingRegisters][65535] = {0xFFFF, "last <&>"};
  settings.device.tables[mtInputRegisters][3] = {42, {}};
  QString error;
  ASSERT_TRUE(SaveResponderFile(Path("pt.responder.xml"), settings, error)) << error.toStdString();
  TResponderSettings read;
  ASSERT_TRUE(LoadResponderFile(Path("pt.responder.xml"), read, error)) << error.toStdString();
  EXPECT_EQ(read, settings);
}

TEST_F(ResponderFile, HostileFilesAreRefusedWithTheirReason) {
  bool missing = false;
  TResponderSettings read;
  QString error;
  EXPECT_FALSE(LoadResponderFile(Path("none.xml"), read, error, &missing));
  EXPECT_TRUE(missing);

  Write("doctype.xml", "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"x\">]>"
                       "<responder xmlns=\"http://www.pelmar.cz/xml/2026/responder\"/>");
  Write("other.xml", "<presets/>");
  Write("broken.xml", "<responder");
  QDir(dir.path()).mkdir(QStringLiteral("folder.xml"));
  for (const char *name : {"doctype.xml", "other.xml", "broken.xml", "folder.xml"}) {
    error.clear();
    EXPECT_FALSE(LoadResponderFile(Path(name), read, error, &missing)) << name;
    EXPECT_FALSE(missing) << name;
    EXPECT_TRUE(error.contains(QString::fromLatin1(name))) << error.toStdString();
    EXPECT_TRUE(read.rules.empty());
  }
  Write("device.xml", "<responder xmlns=\"http://www.pelmar.cz/xml/2026/responder\">"
                      "<device unit=\"1\"><coil address=\"0\" value=\"2\"/></device></responder>");
  EXPECT_FALSE(LoadResponderFile(Path("device.xml"), read, error));
  EXPECT_TRUE(error.contains("coil")) << error.toStdString();
  // Out-of-range delays are brought into range; nothing else is guessed.
  Write("delay.xml", "<responder xmlns=\"http://www.pelmar.cz/xml/2026/responder\"><rules>"
                     "<rule request=\"A\" response=\"B\" delay=\"99999999\"/></rules></responder>");
  ASSERT_TRUE(LoadResponderFile(Path("delay.xml"), read, error));
  ASSERT_EQ(read.rules.size(), 1u);
  EXPECT_EQ(read.rules[0].delayMs, kResponderMaxDelayMs);
  EXPECT_TRUE(read.rules[0].enabled);
}

} // namespace
