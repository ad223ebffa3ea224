#include "app/ptconfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Config : public ::testing::Test {
protected:
  QString Path() const { return dir.filePath("config.xml"); }
  void Write(const QByteArray &text) {
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  QByteArray Read() const {
    QFile f(Path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir;
};

TEST_F(Config, FreshFileGetsEveryValueInOrder) {
  TPtConfig config;
  TPtSettings s = config.Load(Path());
  EXPECT_TRUE(config.Problems().isEmpty());
  s.top = 10;
  s.left = 20;
  s.width = 992;
  s.height = 741;
  s.packetFrameWidth = 281;
  s.rxBufferHeight = 89;
  ASSERT_TRUE(config.Save(s));
  const QByteArray text = Read();
  const char *order[] = {"top=",
                         "left=",
                         "width=",
                         "height=",
                         "compact=",
                         "viewPacket=",
                         "viewPresets=",
                         "viewCommonicationLog=",
                         "viewStatusBar=",
                         "packetFrameWidth=",
                         "rxBufferHeight=",
                         "presetPageIndex=",
                         "column_index=",
                         "column_timestamp=",
                         "column_address=",
                         "<language",
                         "<CmdLine",
                         "<Parser"};
  qsizetype at = text.indexOf("<pelmar_terminal");
  ASSERT_GE(at, 0);
  for (const char *key : order) {
    const qsizetype next = text.indexOf(key, at);
    ASSERT_GT(next, at) << key << " missing or out of order in\n" << text.constData();
    at = next;
  }
  EXPECT_FALSE(text.contains("<presets")) << "a fresh file has no presets element";
}

TEST_F(Config, RootOnlyGivesDefaultsAndGainsPresets) {
  Write("<anything/>");
  TPtConfig config;
  const TPtSettings s = config.Load(Path());
  EXPECT_TRUE(config.Problems().isEmpty());
  EXPECT_TRUE(s.column_index && s.column_timestamp && !s.column_address);
  EXPECT_EQ(s.Parser, "S97");
  EXPECT_EQ(s.CustomSufix, "{0x0D}");
  EXPECT_EQ(s.CustomLength, 10);
  EXPECT_EQ(s.MaxLength, 1024);
  EXPECT_TRUE(s.CR);
  ASSERT_TRUE(config.Save(s));
  EXPECT_TRUE(Read().contains("<presets/>"));
  EXPECT_TRUE(Read().contains("<anything")) << "the root keeps its name";
}

TEST_F(Config, ValuesRoundTripAndBooleansAcceptNumbers) {
  Write("<pelmar_terminal viewPacket=\"FALSE\" viewPresets=\"0\" viewStatusBar=\"7\" top=\"-5\">"
        "<CmdLine LastCommand=\"AT{0x0D}\" CR=\"false\"/>"
        "<Parser Parser=\"CustomParser\" CustomType=\"Length\" CustomLength=\"3\" MaxLength=\"0\"/>"
        "</pelmar_terminal>");
  TPtConfig config;
  const TPtSettings s = config.Load(Path());
  EXPECT_FALSE(s.viewPacket);
  EXPECT_FALSE(s.viewPresets);
  EXPECT_TRUE(s.viewStatusBar);
  EXPECT_EQ(s.top, -5);
  EXPECT_FALSE(s.left.has_value());
  EXPECT_EQ(s.LastCommand, "AT{0x0D}");
  EXPECT_FALSE(s.CR);
  EXPECT_EQ(s.Parser, "CustomParser");
  EXPECT_EQ(s.CustomType, "Length");
  EXPECT_EQ(s.CustomLength, 3);
  EXPECT_EQ(s.MaxLength, 0);
}

TEST_F(Config, BadValuesAndBrokenFilesAreReportedAndKept) {
  Write("<pelmar_terminal width=\"wide\" viewPacket=\"maybe\"/>");
  TPtConfig config;
  TPtSettings s = config.Load(Path());
  EXPECT_EQ(config.Problems().size(), 2);
  EXPECT_FALSE(s.width.has_value());
  EXPECT_TRUE(s.viewPacket);

  Write("<pelmar_terminal top=\"1\"");
  TPtConfig broken;
  s = broken.Load(Path());
  EXPECT_EQ(broken.Problems().size(), 1);
  EXPECT_FALSE(s.top.has_value());
  ASSERT_TRUE(broken.Save(s));
  QFile backup(Path() + ".bak");
  ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
  EXPECT_EQ(backup.readAll(), "<pelmar_terminal top=\"1\"") << "the user's file is kept as it was";
  EXPECT_TRUE(Read().contains("<pelmar_terminal"));
}

TEST_F(Config, AbsurdSizesAndPositionsGiveTheDefaults) {
  Write("<pelmar_terminal width=\"2147483647\" height=\"0\" top=\"-99999\" left=\"40000\" "
        "packetFrameWidth=\"-50\" rxBufferHeight=\"-1\"/>");
  TPtConfig config;
  TPtSettings s = config.Load(Path());
  EXPECT_EQ(config.Problems().size(), 6) << config.Problems().join('\n').toStdString();
  for (const QString &problem : config.Problems())
    EXPECT_TRUE(problem.contains("out of range")) << problem.toStdString();
  EXPECT_FALSE(s.width || s.height || s.top || s.left || s.packetFrameWidth || s.rxBufferHeight);

  // The edges of the range are values like any other.
  Write("<pelmar_terminal width=\"32767\" height=\"1\" top=\"-32768\" left=\"32767\" "
        "packetFrameWidth=\"0\" rxBufferHeight=\"0\"/>");
  s = config.Load(Path());
  EXPECT_TRUE(config.Problems().isEmpty()) << config.Problems().join('\n').toStdString();
  EXPECT_EQ(s.width, 32767);
  EXPECT_EQ(s.height, 1);
  EXPECT_EQ(s.top, -32768);
  EXPECT_EQ(s.left, 32767);
  EXPECT_EQ(s.packetFrameWidth, 0);
  EXPECT_EQ(s.rxBufferHeight, 0);
}

// The recording size limit: a round trip, and what is not a size gives no limit.
TEST_F(Config, RecordLimitRoundTripsAndBadValuesGiveNoLimit) {
  TPtConfig config;
  TPtSettings s = config.Load(Path());
  EXPECT_EQ(s.RecordLimitMB, 0);
  s.RecordLimitMB = 250;
  ASSERT_TRUE(config.Save(s));
  EXPECT_EQ(TPtConfig().Load(Path()).RecordLimitMB, 250);

  const struct {
    const char *value;
    int expected;
    bool problem;
  } cases[] = {{"0", 0, false},
               {"1048576", 1048576, false},
               {"-5", 0, true},
               {"1048577", 0, true},
               {"lots", 0, true}};
  for (const auto &c : cases) {
    Write(QByteArray("<pelmar_terminal><Record LimitMB=\"") + c.value + "\"/></pelmar_terminal>");
    TPtConfig read;
    EXPECT_EQ(read.Load(Path()).RecordLimitMB, c.expected) << c.value;
    EXPECT_EQ(read.Problems().size(), c.problem ? 1 : 0) << c.value;
  }
}

// Files that are not read at all: the defaults apply and the file is kept
// beside the fresh one, byte for byte.
TEST_F(Config, DocumentTypesAndOversizedFilesAreNotReadButKept) {
  const QByteArray entity = "<!DOCTYPE pelmar_terminal [<!ENTITY big \"" +
                            QByteArray(100 * 1024, 'x') +
                            "\">]><pelmar_terminal width=\"500\"><CmdLine LastCommand=\"" +
                            QByteArray("&big;").repeated(20000) + "\"/></pelmar_terminal>";
  QByteArray huge = "<pelmar_terminal width=\"500\"><a>";
  huge += QByteArray(TPtConfig::kMaxFileBytes, 'y') + "</a></pelmar_terminal>";
  struct Case {
    QByteArray text;
    const char *reason;
  } cases[] = {{entity, "DOCTYPE"}, {huge, "larger than 4 MB"}};
  for (const Case &c : cases) {
    Write(c.text);
    QFile::remove(Path() + ".bak");
    TPtConfig config;
    TPtSettings s = config.Load(Path());
    ASSERT_EQ(config.Problems().size(), 1);
    EXPECT_TRUE(config.Problems()[0].contains(c.reason)) << config.Problems()[0].toStdString();
    EXPECT_FALSE(s.width.has_value());
    EXPECT_TRUE(s.LastCommand.isEmpty());
    ASSERT_TRUE(config.Save(s));
    QFile backup(Path() + ".bak");
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), c.text);
    EXPECT_LT(Read().size(), 4096);
  }
}

TEST_F(Config, UnknownContentIsKeptOnlyUpToASmallSize) {
  const QByteArray big(100 * 1024, 'z');
  const QByteArray text = "<pelmar_terminal mine=\"kept\" width=\"640\" bulky=\"" + big +
                          "\"><note>small</note><blob>" + big +
                          "</blob><presets><p n=\"1\"/><p n=\"" + big +
                          "\"/></presets><CmdLine LastCommand=\"AT\" extra=\"e\"/>"
                          "<CmdLine LastCommand=\"second\"/></pelmar_terminal>";
  Write(text);
  TPtConfig config;
  TPtSettings s = config.Load(Path());
  ASSERT_EQ(config.Problems().size(), 1);
  EXPECT_TRUE(config.Problems()[0].contains("64 KB")) << config.Problems()[0].toStdString();
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.LastCommand, "AT");
  ASSERT_TRUE(config.Save(s));
  const QByteArray saved = Read();
  EXPECT_LT(saved.size(), TPtConfig::kMaxUnknownBytes + 4096);
  for (const char *kept :
       {"mine=\"kept\"", "<note>small</note>", "<p n=\"1\"/>", "extra=\"e\"", "second"})
    EXPECT_TRUE(saved.contains(kept)) << kept << " missing from\n" << saved.constData();
  EXPECT_FALSE(saved.contains("bulky") || saved.contains("<blob"));
  QFile backup(Path() + ".bak");
  ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
  EXPECT_EQ(backup.readAll(), text) << "what was cut stays in the kept copy";

  // A file within the budget is written back without a kept copy.
  QFile::remove(Path() + ".bak");
  TPtConfig again;
  s = again.Load(Path());
  EXPECT_TRUE(again.Problems().isEmpty()) << again.Problems().join('\n').toStdString();
  ASSERT_TRUE(again.Save(s));
  EXPECT_FALSE(QFile::exists(Path() + ".bak"));
  EXPECT_EQ(Read(), saved);
}

} // namespace

namespace {

TEST_F(Config, FramingParsersRoundTripAndOlderFilesKeepTheDefaults) {
  // A file from before the silence and length-field parsers.
  Write("<pelmar_terminal><Parser Parser=\"S97\" MaxLength=\"512\"/></pelmar_terminal>");
  TPtConfig older;
  TPtSettings s = older.Load(Path());
  EXPECT_TRUE(older.Problems().isEmpty());
  EXPECT_EQ(s.Framing, TFramingSettings());

  s.Parser = "LengthField";
  s.Framing = {12, true, "{0xAA,0x55}", 2, 4, true, -3};
  ASSERT_TRUE(older.Save(s));
  TPtConfig again;
  const TPtSettings back = again.Load(Path());
  EXPECT_TRUE(again.Problems().isEmpty()) << again.Problems().join('\n').toStdString();
  EXPECT_EQ(back.Parser, "LengthField");
  EXPECT_EQ(back.Framing, s.Framing);
  EXPECT_EQ(back.MaxLength, 512);

  // Values out of range are reported and keep the defaults.
  Write("<pelmar_terminal><Parser GapMs=\"-1\" LengthFieldSize=\"3\" LengthFieldAdd=\"x\"/>"
        "</pelmar_terminal>");
  TPtConfig bad;
  EXPECT_EQ(bad.Load(Path()).Framing, TFramingSettings());
  EXPECT_EQ(bad.Problems().size(), 2) << "3 bytes is in range but no size of a field";
}

} // namespace
