#include "base/datafolder.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A file system laid out as a build folder and as an installation, and an
// environment of our own.
class DataFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fRoot.isValid());
    Write("build/pt.files/pt.lng.cs.xml", "build");
    Write("usr/share/pelmarterm/pt.files/pt.lng.cs.xml", "shipped cs");
    Write("usr/share/pelmarterm/pt.files/pt.lng.en.xml", "shipped en");
    Write("usr/share/pelmarterm/pt.files/pt.presets.Pelmar97.xml", "shipped presets");
    QDir().mkpath(Path("usr/bin"));
    QDir().mkpath(Path("home"));
  }
  QString Path(const QString &relative) const { return fRoot.filePath(relative); }
  void Write(const QString &relative, const QByteArray &content) const {
    const QString path = Path(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  static QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  TDataFolders Resolve(const QString &programFolder) const {
    return ResolveDataFolders(
        Path(programFolder), [this](const char *name) { return fEnvironment.value(name); },
        Path("home"));
  }
  TDataFolders Installed() const { return Resolve("usr/bin"); }

  QTemporaryDir fRoot;
  QHash<QString, QString> fEnvironment;
};

TEST_F(DataFolderTest, FoldersOfEachKindOfRun) {
  struct Case {
    const char *what;
    const char *program;
    QHash<QString, QString> environment;
    QString shipped, user, config;
    bool installed;
  };
  const QString share = Path("usr/share/pelmarterm/pt.files/");
  const QString own = Path("elsewhere") + u'/';
  const Case cases[] = {
      {"build folder", "build", {}, Path("build/pt.files/"), Path("build/pt.files/"), "", false},
      {"build folder, XDG set",
       "build",
       {{"XDG_DATA_HOME", Path("data")}},
       Path("build/pt.files/"),
       Path("build/pt.files/"),
       "",
       false},
      {"neither beside nor installed",
       "usr",
       {},
       Path("usr/pt.files/"),
       Path("usr/pt.files/"),
       "",
       false},
      {"installed, XDG unset",
       "usr/bin",
       {},
       share,
       Path("home/.local/share/pelmarterm/pt.files/"),
       Path("home/.config/pelmarterm/"),
       true},
      {"installed, XDG set",
       "usr/bin",
       {{"XDG_DATA_HOME", Path("data")}, {"XDG_CONFIG_HOME", Path("conf/")}},
       share,
       Path("data/pelmarterm/pt.files/"),
       Path("conf/pelmarterm/"),
       true},
      {"installed, relative XDG ignored",
       "usr/bin",
       {{"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "conf"}},
       share,
       Path("home/.local/share/pelmarterm/pt.files/"),
       Path("home/.config/pelmarterm/"),
       true},
      {"build folder, PT_DATA_DIR",
       "build",
       {{"PT_DATA_DIR", Path("elsewhere")}},
       own,
       own,
       "",
       false},
      {"installed, PT_DATA_DIR",
       "usr/bin",
       {{"PT_DATA_DIR", own}},
       own,
       own,
       Path("home/.config/pelmarterm/"),
       true},
  };
  for (const Case &c : cases) {
    fEnvironment = c.environment;
    const TDataFolders folders = Resolve(c.program);
    EXPECT_EQ(folders.shipped, c.shipped) << c.what;
    EXPECT_EQ(folders.user, c.user) << c.what;
    EXPECT_EQ(folders.config, c.config) << c.what;
    EXPECT_EQ(folders.installed, c.installed) << c.what;
  }
}

TEST_F(DataFolderTest, BuildFolderReadsAndWritesBesideTheProgram) {
  const TDataFolders folders = Resolve("build");
  EXPECT_EQ(folders.ReadPath("pt.lng.cs.xml"), Path("build/pt.files/pt.lng.cs.xml"));
  EXPECT_EQ(folders.WritePath("pt.tablo.xml"), Path("build/pt.files/pt.tablo.xml"));
  EXPECT_EQ(folders.ConfigFile("config.xml"), "config.xml");
  EXPECT_FALSE(folders.Shipped("pt.lng.cs.xml")); // its own files: deleted, not marked
  EXPECT_TRUE(folders.MakeUserFolders());
  EXPECT_FALSE(QFileInfo::exists(Path("home/.local")));
}

TEST_F(DataFolderTest, UserFileOverridesTheShippedOne) {
  const TDataFolders folders = Installed();
  EXPECT_EQ(Read(folders.ReadPath("pt.lng.cs.xml")), "shipped cs");
  EXPECT_EQ(folders.Names("pt.lng.*.xml"), QStringList({"pt.lng.cs.xml", "pt.lng.en.xml"}));
  ASSERT_TRUE(folders.MakeUserFolders());
  EXPECT_TRUE(QFileInfo(Path("home/.config/pelmarterm")).isDir());
  Write("home/.local/share/pelmarterm/pt.files/pt.lng.cs.xml", "edited cs");
  Write("home/.local/share/pelmarterm/pt.files/pt.lng.de.xml", "downloaded de");
  EXPECT_EQ(Read(folders.ReadPath("pt.lng.cs.xml")), "edited cs");
  EXPECT_EQ(Read(folders.ReadPath("pt.lng.en.xml")), "shipped en");
  EXPECT_EQ(folders.Names("pt.lng.*.xml"),
            QStringList({"pt.lng.cs.xml", "pt.lng.de.xml", "pt.lng.en.xml"}));
}

TEST_F(DataFolderTest, RemovedShippedFilesStayRemoved) {
  const TDataFolders folders = Installed();
  const QString presets = "pt.presets.Pelmar97.xml";
  EXPECT_TRUE(folders.Shipped(presets));
  ASSERT_TRUE(folders.RememberRemoved(presets));
  ASSERT_TRUE(folders.RememberRemoved(presets)); // once in the list
  EXPECT_EQ(folders.Removed(), QStringList({presets}));
  EXPECT_TRUE(folders.Names("pt.presets.*.xml").isEmpty());
  // In the user's folder, not the shipped one; a later start sees it too.
  EXPECT_TRUE(QFileInfo::exists(Path("home/.local/share/pelmarterm/pt.files/pt.removed.txt")));
  EXPECT_TRUE(Installed().Names("pt.presets.*.xml").isEmpty());
  EXPECT_EQ(Read(Path("usr/share/pelmarterm/pt.files/") + presets), "shipped presets");
  // A file the user makes of that name is the user's, and shows.
  Write("home/.local/share/pelmarterm/pt.files/" + presets, "mine");
  EXPECT_EQ(folders.Names("pt.presets.*.xml"), QStringList({presets}));
  // Only shipped names are remembered.
  ASSERT_TRUE(folders.RememberRemoved("pt.presets.Mine.xml"));
  EXPECT_EQ(folders.Removed(), QStringList({presets}));
}

TEST_F(DataFolderTest, PtDataDirServesAsBothFolders) {
  fEnvironment = {{"PT_DATA_DIR", Path("elsewhere")}};
  Write("elsewhere/pt.presets.Own.xml", "own");
  const TDataFolders folders = Installed();
  EXPECT_EQ(folders.Names("pt.presets.*.xml"), QStringList({"pt.presets.Own.xml"}));
  EXPECT_EQ(folders.ReadPath("pt.lng.cs.xml"), Path("elsewhere/pt.lng.cs.xml"));
  EXPECT_FALSE(folders.Shipped("pt.presets.Own.xml"));
}

} // namespace
