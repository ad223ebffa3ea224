#include "app/logfolder.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A home of the test's own: the documents folder is looked for there.
class LogFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fHome.isValid());
    fOldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(fHome.path()));
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin")).clear();
  }
  void TearDown() override {
    qputenv("HOME", fOldHome);
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin")).clear();
  }
  QString Home(const QString &relative = QString()) const {
    return fHome.filePath(relative) + u'/';
  }

  QTemporaryDir fHome;
  QByteArray fOldHome;
};

TEST_F(LogFolderTest, InstalledStartsInTheDocumentsThenInTheLastUsedFolder) {
  const TLogFolder folder(true);
  EXPECT_EQ(folder.Start(), Home(".")); // no documents folder yet: the home folder
  ASSERT_TRUE(QDir().mkpath(Home("Documents")));
  EXPECT_EQ(folder.Start(), Home("Documents"));
  EXPECT_EQ(folder.Propose("a.vexlin.txt"), Home("Documents") + "a.vexlin.txt");

  ASSERT_TRUE(QDir().mkpath(Home("logs")));
  folder.Remember(Home("logs") + "run.vexlin.txt");
  EXPECT_EQ(TLogFolder(true).Start(), Home("logs")); // kept for the next run too
  // A remembered folder that is gone is not offered.
  ASSERT_TRUE(QDir(Home("logs")).removeRecursively());
  EXPECT_EQ(folder.Start(), Home("Documents"));
}

TEST_F(LogFolderTest, FromTheBuildFolderTheWorkingFolderAsAlways) {
  const TLogFolder folder(false);
  ASSERT_TRUE(QDir().mkpath(Home("Documents")));
  folder.Remember(Home("Documents") + "x.vexlin.txt");
  EXPECT_EQ(folder.Start(), QString());
  EXPECT_EQ(folder.Propose("a.vexlin.txt"), "a.vexlin.txt");
  EXPECT_FALSE(
      QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin")).contains("Files/LogFolder"));
}

} // namespace
