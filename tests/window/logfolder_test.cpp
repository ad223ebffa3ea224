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
  std::string Home(const QString &relative = QString()) const {
    return (relative.isEmpty() ? fHome.path() : fHome.filePath(relative)).toStdString() + '/';
  }
  static QString Q(const std::string &path) { return QString::fromStdString(path); }

  QTemporaryDir fHome;
  QByteArray fOldHome;
};

TEST_F(LogFolderTest, InstalledStartsInTheDocumentsThenInTheLastUsedFolder) {
  const TLogFolder folder(true);
  EXPECT_EQ(folder.Start().toStdString(), Home()); // no documents folder yet: the home
  ASSERT_TRUE(QDir().mkpath(Q(Home("Documents"))));
  EXPECT_EQ(folder.Start().toStdString(), Home("Documents"));
  EXPECT_EQ(folder.Propose("a.vexlin.txt").toStdString(), Home("Documents") + "a.vexlin.txt");

  ASSERT_TRUE(QDir().mkpath(Q(Home("logs"))));
  folder.Remember(Q(Home("logs") + "run.vexlin.txt"));
  EXPECT_EQ(TLogFolder(true).Start().toStdString(), Home("logs")); // kept for the next run too
  // A remembered folder that is gone is not offered.
  ASSERT_TRUE(QDir(Q(Home("logs"))).removeRecursively());
  EXPECT_EQ(folder.Start().toStdString(), Home("Documents"));
}

TEST_F(LogFolderTest, FromTheBuildFolderTheWorkingFolderAsAlways) {
  const TLogFolder folder(false);
  ASSERT_TRUE(QDir().mkpath(Q(Home("Documents"))));
  folder.Remember(Q(Home("Documents") + "x.vexlin.txt"));
  EXPECT_EQ(folder.Start(), QString());
  EXPECT_EQ(folder.Propose("a.vexlin.txt"), "a.vexlin.txt");
  EXPECT_FALSE(
      QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin")).contains("Files/LogFolder"));
}

} // namespace
