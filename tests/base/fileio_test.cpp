#include "base/fileio.h"
#include "base/xmldoc.h"
#include "filesizelimit.h"
#include "hangguard.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class FileIo : public ::testing::Test {
protected:
  QString Write(const QString &name, const QByteArray &content) const {
    const QString path = fDir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
  }
  QTemporaryDir fDir;
};

TEST_F(FileIo, ReadsOnlyRegularFilesWithinTheLimit) {
  const QString fifo = fDir.filePath("fifo");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString zeroLink = fDir.filePath("zero");
  ASSERT_TRUE(QFile::link("/dev/zero", zeroLink));
  const QString textLink = fDir.filePath("text-link");
  ASSERT_TRUE(QFile::link(Write("text", "hello"), textLink));
  struct Case {
    QString file;
    qint64 limit;
    const char *expected; // the bytes, or nullptr for a refusal
    const char *reason;
  };
  const Case cases[] = {
      {fDir.filePath("text"), 5, "hello", nullptr},
      {textLink, 5, "hello", nullptr},
      {Write("empty", ""), 0, "", nullptr},
      {fDir.filePath("text"), 4, nullptr, "too large"},
      {fifo, 100, nullptr, "not a file"},
      {zeroLink, 100, nullptr, "not a file"},
      {"/dev/zero", 100, nullptr, "not a file"},
      {fDir.path(), 100, nullptr, "not a file"},
      {fDir.filePath("missing"), 100, nullptr, "does not exist"},
      {fDir.filePath("text/below"), 100, nullptr, "does not exist"},
      {QString(), 100, nullptr, "does not exist"},
  };
  THangGuard guard("reading devices and FIFOs");
  for (const Case &c : cases) {
    QByteArray bytes = "stale";
    QString error;
    const bool read = ReadRegularFile(c.file, c.limit, bytes, &error);
    EXPECT_EQ(read, c.expected != nullptr) << c.file.toStdString();
    if (c.expected) {
      EXPECT_EQ(bytes, c.expected) << c.file.toStdString();
      EXPECT_TRUE(error.isEmpty()) << c.file.toStdString();
    } else {
      EXPECT_TRUE(bytes.isEmpty()) << c.file.toStdString();
      EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
      EXPECT_TRUE(error.contains(QDir::toNativeSeparators(c.file))) << error.toStdString();
    }
  }
}

TEST_F(FileIo, AFullDeviceReportsTheSystemsReason) {
  if (!QFileInfo::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  const QString noSpace = qt_error_string(ENOSPC);
  // Small writes wait in the device's buffer, large ones go straight through.
  for (const qsizetype size : {qsizetype(10), qsizetype(1) << 20}) {
    QFile full("/dev/full");
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    QString error;
    EXPECT_FALSE(WriteAll(full, QByteArray(size, 'x'), &error)) << size;
    EXPECT_EQ(error.toStdString(), noSpace.toStdString()) << size;
  }
}

// A disk that fills up half-way cuts a write short without an error; the
// reason must still reach the user.
TEST_F(FileIo, AWriteCutShortReportsTheSystemsReason) {
  const QByteArray bytes(200000, 'x');
  QString error;
  {
    QSaveFile file(fDir.filePath("big"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    TFileSizeLimit limit(64 * 1024);
    EXPECT_FALSE(WriteAll(file, bytes, &error));
    file.cancelWriting();
  }
  EXPECT_EQ(error.toStdString(), qt_error_string(EFBIG).toStdString());

  QSaveFile file(fDir.filePath("small"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(WriteAll(file, "abc", &error));
  ASSERT_TRUE(file.commit());
  QFile written(fDir.filePath("small"));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(written.readAll(), "abc");
}

// Whatever failed, and whether or not the reason already names the file, a
// message names its file exactly once.
TEST_F(FileIo, AFileErrorNamesItsFileOnce) {
  const QString malformed = Write("malformed.xml", "<a><b></a>");
  const QString missing = fDir.filePath("missing.xml");
  const QString unwritable = fDir.filePath("no/such/folder/out.xml");
  TXmlDocument doc;
  QStringList reasons;
  for (const QString &file : {malformed, missing, fDir.path()}) {
    EXPECT_FALSE(doc.Load(file));
    reasons << doc.ErrorText();
  }
  doc.Create("a");
  EXPECT_FALSE(doc.Save(unwritable));
  reasons << doc.ErrorText();
  const QStringList files = {malformed, missing, fDir.path(), unwritable};
  for (int i = 0; i < files.size(); ++i) {
    const QString text = FileErrorText(files[i], reasons[i]);
    EXPECT_EQ(text.count(files[i]), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(reasons[i])) << text.toStdString();
  }
  // A reason that does not name the file gets the name in front.
  EXPECT_EQ(FileErrorText(missing, "Permission denied"), '"' + missing + "\": Permission denied");
}

} // namespace
