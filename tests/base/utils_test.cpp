#include "base/pterror.h"
#include "base/utils.h"
#include "base/versioninfo.h"
#include "base/wow64.h"
#include "base/xmldoc.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct DateCase {
  const char *text;
  TDateTimeParts expected; // Year 0: the text is not a time stamp
};

TEST(IsoDateTimeToDateTime, ReadsTheFixedForms) {
  const DateCase cases[] = {
      {"2013-05-07 14:03:59", {2013, 5, 7, 14, 3, 59}},
      {"13-05-07 14:03:59", {2013, 5, 7, 14, 3, 59}},
      {"99-05-07 14:03:59", {2099, 5, 7, 14, 3, 59}},
      {"2013.05.07.14.03.59", {2013, 5, 7, 14, 3, 59}},
      {"2013/05/07\\23:59:00", {2013, 5, 7, 23, 59, 0}},
      {"0013-05-07 14:03:59", {2013, 5, 7, 14, 3, 59}}, // four digits below 100
      {"2013x05-07 14:03:59", {2013, 5, 7, 14, 3, 59}}, // the character after the year is free
      {"2013-05-07 14:03:59.999 and more", {2013, 5, 7, 14, 3, 59}},
      {"2000-02-29 00:00:00", {2000, 2, 29, 0, 0, 0}},
      {"201-05-07 14:03:59", {}},   // three-digit year
      {"20130-05-07 14:03:59", {}}, // five-digit year
      {"2013-05-07 14:03", {}},     // too short
      {"13-05-07 14:03", {}},
      {"2013-05-07_14:03:59", {}}, // not a separator
      {"2013-5-07 14:03:59", {}},
      {"2013-05-07 14:03:5x", {}},
      {"2013-05-07 +4:03:59", {}},
      {"", {}},
      {"hello world, this is text", {}},
  };
  for (const DateCase &c : cases) {
    TDateTime result = -1;
    const bool ok = IsoDateTimeToDateTime(QString::fromUtf8(c.text), result, true);
    ASSERT_EQ(ok, c.expected.Year != 0) << c.text;
    if (!ok) {
      EXPECT_EQ(result, -1) << c.text;
      continue;
    }
    const TDateTimeParts p = DecodeDateTime(result);
    EXPECT_EQ(p.Year, c.expected.Year) << c.text;
    EXPECT_EQ(p.Month, c.expected.Month) << c.text;
    EXPECT_EQ(p.Day, c.expected.Day) << c.text;
    EXPECT_EQ(p.Hour, c.expected.Hour) << c.text;
    EXPECT_EQ(p.Minute, c.expected.Minute) << c.text;
    EXPECT_EQ(p.Second, c.expected.Second) << c.text;
    EXPECT_EQ(p.MilliSecond, 0) << c.text;
  }
}

TEST(IsoDateTimeToDateTime, ImpossibleDatesFailOrRaise) {
  for (const char *text : {"2013-13-07 14:03:59", "2013-05-07 25:03:59", "2013-02-30 10:00:00",
                           "2013-00-07 14:03:59", "2013-05-00 14:03:59", "2013-05-07 14:60:59",
                           "2013-05-07 14:03:60", "1900-02-29 10:00:00"}) {
    TDateTime result = -1;
    EXPECT_FALSE(IsoDateTimeToDateTime(text, result, true)) << text;
    EXPECT_EQ(result, -1) << text;
    try {
      IsoDateTimeToDateTime(text, result, false);
      ADD_FAILURE() << text << " did not raise";
    } catch (const EPtError &e) {
      EXPECT_TRUE(e.Message().contains(text)) << e.what();
    }
  }
  // Text that is no time stamp at all is not an error.
  TDateTime result = 0;
  EXPECT_FALSE(IsoDateTimeToDateTime("not a date at all", result, false));
}

TEST(IsoDateTimeToDateTime, ReadsTheUsersShortDate) {
  const QString text = QLocale::system().toString(QDate(2013, 5, 7), QLocale::ShortFormat);
  TDateTime result = 0;
  ASSERT_TRUE(IsoDateTimeToDateTime(text, result, true)) << text.toStdString();
  const TDateTimeParts p = DecodeDateTime(result);
  EXPECT_EQ(p.Year, 2013);
  EXPECT_EQ(p.Month, 5);
  EXPECT_EQ(p.Day, 7);
  EXPECT_EQ(p.Hour + p.Minute + p.Second, 0);
}

TEST(TryStrToWord, AcceptsOnlyPlainDecimalNumbersUpTo65535) {
  struct Case {
    const char *text;
    bool ok;
    uint16_t value;
  };
  const Case cases[] = {
      {"0", true, 0},       {"65535", true, 65535}, {"0000065535", true, 65535},
      {"1234", true, 1234}, {"65536", false, 0},    {"99999999999999999999", false, 0},
      {"", false, 0},       {"-1", false, 0},       {" 1", false, 0},
      {"1 ", false, 0},     {"+1", false, 0},       {"12a", false, 0},
      {"0x10", false, 0},   {"$FF", false, 0},      {"١٢", false, 0}, // Arabic-Indic digits
  };
  for (const Case &c : cases) {
    uint16_t value = 777;
    EXPECT_EQ(TryStrToWord(QString::fromUtf8(c.text), value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : 777) << c.text;
  }
}

TEST(IntToBin, GroupsTheBitsInFours) {
  const std::pair<uint8_t, const char *> cases[] = {
      {0x00, "0000 0000"}, {0xFF, "1111 1111"}, {0x41, "0100 0001"},
      {0x80, "1000 0000"}, {0x01, "0000 0001"}, {0x5A, "0101 1010"},
  };
  for (const auto &[b, expected] : cases)
    EXPECT_EQ(IntToBin(b), QString::fromLatin1(expected)) << int(b);
}

TEST(XmlHelpers, GetAttributeAndLoadXMLDoc) {
  QTemporaryDir dir;
  const QString good = dir.filePath("good.xml");
  const QString bad = dir.filePath("bad.xml");
  {
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<root a=\"1\" empty=\"\"/>");
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("<root a=\"1\">");
  }
  TXmlDocument doc;
  EXPECT_FALSE(LoadXMLDoc(dir.filePath("missing.xml"), doc));
  EXPECT_FALSE(LoadXMLDoc(bad, doc));
  EXPECT_FALSE(doc.IsActive());
  ASSERT_TRUE(LoadXMLDoc(good, doc));

  const TXmlElement root = doc.DocumentElement();
  EXPECT_EQ(GetAttribute(&root, "a", "d"), "1");
  EXPECT_EQ(GetAttribute(&root, "empty", "d"), "");
  EXPECT_EQ(GetAttribute(&root, "missing", "d"), "d");
  EXPECT_EQ(GetAttribute(nullptr, "a", "d"), "d");
  const TXmlElement null;
  EXPECT_EQ(GetAttribute(&null, "a", "d"), "d");
}

TEST(VersionInfo, ComesFromTheBuild) {
  const QString version = GetFileVersion();
  EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$").match(version).hasMatch())
      << version.toStdString();
  EXPECT_EQ(GetVersionInfo("FileVersion"), version);
  EXPECT_EQ(GetVersionInfo("fileversion"), version);
  EXPECT_EQ(GetVersionInfo("ProductName"), "Pelmar Terminal");
  EXPECT_TRUE(GetVersionInfo("NoSuchKey").isEmpty());
  EXPECT_TRUE(GetVersionInfo("").isEmpty());
}

TEST(Wow64, ReportsFalseAndChangesNothing) {
  bool flag = true;
  EXPECT_FALSE(IsWow64Process(nullptr, flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(Is64BitWindows());
  EXPECT_FALSE(Wow64DisableWow64FsRedirection());
  EXPECT_FALSE(Wow64DisableWow64FsRedirection());
}

} // namespace
