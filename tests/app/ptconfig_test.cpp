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

} // namespace
