#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"
#include "pipeline/logrecorder.h"

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class LogRecorderTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterVexlinDataObjectClasses(); }
  std::vector<QByteArray> Load(const QString &name) {
    std::vector<QByteArray> rows;
    EXPECT_TRUE(LoadLogFile(name, [&](std::unique_ptr<TVexlinDataObject> o) {
      if (auto *b = dynamic_cast<TVexlinDataBinary *>(o.get()))
        rows.push_back(b->Data);
      else if (auto *l = dynamic_cast<TVexlinDataLog *>(o.get()))
        rows.push_back(l->Text.toUtf8());
    }));
    return rows;
  }
  // Rows live in the pool allocator: made with new, kept here.
  TVexlinDataBinary &Packet(const QByteArray &bytes) {
    rows.emplace_back(new TVexlinDataBinary(bytes, spRx));
    rows.back()->Time = 45000.5;
    return static_cast<TVexlinDataBinary &>(*rows.back());
  }
  std::vector<std::unique_ptr<TVexlinDataObject>> rows;
  QTemporaryDir dir;
};

TEST_F(LogRecorderTest, RecordedRowsLoadBackAndACutFileStillLoads) {
  const QString name = dir.filePath(QStringLiteral("rec.vexlin.txt"));
  TLogRecorder recorder;
  ASSERT_TRUE(recorder.Start(name));
  recorder.Add(Packet("AB"));
  rows.emplace_back(new TVexlinDataLog(QStringLiteral("Připojeno"), 0));
  recorder.Add(*rows.back());
  ASSERT_TRUE(recorder.Flush());
  recorder.Add(Packet(QByteArray("\x00\xFF", 2)));
  EXPECT_GT(recorder.Size(), QFileInfo(name).size()); // gathered, not written yet
  ASSERT_TRUE(recorder.Stop());
  EXPECT_EQ(Load(name), std::vector<QByteArray>({"AB", "Připojeno", QByteArray("\x00\xFF", 2)}));

  // A power cut in the middle of the last line: the rows before it load.
  QFile file(name);
  ASSERT_TRUE(file.resize(file.size() - 6));
  const std::vector<QByteArray> cut = Load(name);
  ASSERT_GE(cut.size(), 2u);
  EXPECT_EQ(cut[0], "AB");
  EXPECT_EQ(cut[1], "Připojeno");
}

TEST_F(LogRecorderTest, ARollingRecordingGoesOnInNumberedFiles) {
  const QString name = dir.filePath(QStringLiteral("rig.vexlin.txt"));
  EXPECT_EQ(TLogRecorder::NumberedName(name, 2),
            dir.filePath(QStringLiteral("rig_002.vexlin.txt")));
  TLogRecorder recorder;
  ASSERT_TRUE(recorder.Start(name, 100));
  for (int i = 0; i < 12; ++i) {
    recorder.Add(Packet(QByteArray(10, char('a' + i))));
    ASSERT_TRUE(recorder.Flush());
  }
  ASSERT_TRUE(recorder.Stop());
  std::vector<QByteArray> all;
  int files = 0;
  for (int n = 1; QFile::exists(TLogRecorder::NumberedName(name, n)); ++n, ++files) {
    EXPECT_LE(QFileInfo(TLogRecorder::NumberedName(name, n)).size(), 100);
    for (const QByteArray &row : Load(TLogRecorder::NumberedName(name, n)))
      all.push_back(row);
  }
  EXPECT_GE(files, 3);
  ASSERT_EQ(all.size(), 12u);
  EXPECT_EQ(all[11], QByteArray(10, 'l'));
}

TEST_F(LogRecorderTest, AFullDiskStopsTheRecordingWithTheReason) {
  TLogRecorder recorder;
  QString error;
  EXPECT_FALSE(recorder.Start(dir.filePath(QStringLiteral("gone/rec.vexlin.txt")), 0, &error));
  EXPECT_FALSE(error.isEmpty());
  if (!QFile::exists(QStringLiteral("/dev/full")))
    GTEST_SKIP() << "no /dev/full here";
  ASSERT_TRUE(recorder.Start(QStringLiteral("/dev/full")));
  recorder.Add(Packet("AB"));
  error.clear();
  EXPECT_FALSE(recorder.Flush(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(recorder.Active());

  // A flood between two flushes is written as it comes: the write that fails
  // is the one a row triggered, and the next flush reports it.
  ASSERT_TRUE(recorder.Start(QStringLiteral("/dev/full")));
  const QByteArray big(64 * 1024, 'x');
  for (int i = 0; i < 40 && recorder.Active(); ++i)
    recorder.Add(Packet(big));
  EXPECT_FALSE(recorder.Active());
  EXPECT_LT(recorder.Size(), TLogRecorder::kWriteBytes);
  error.clear();
  EXPECT_FALSE(recorder.Flush(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(recorder.Flush()); // reported once
}

TEST_F(LogRecorderTest, AFloodIsWrittenAsItComesNotHeldUntilTheFlush) {
  const QString name = dir.filePath(QStringLiteral("flood.vexlin.txt"));
  TLogRecorder recorder;
  ASSERT_TRUE(recorder.Start(name));
  const QByteArray big(64 * 1024, 'y');
  for (int i = 0; i < 40; ++i)
    recorder.Add(Packet(big));
  EXPECT_GE(QFileInfo(name).size(), TLogRecorder::kWriteBytes);
  // At most one block at the writer and one being gathered.
  EXPECT_LT(recorder.Size() - QFileInfo(name).size(), 2 * TLogRecorder::kWriteBytes);
  ASSERT_TRUE(recorder.Flush());
  EXPECT_EQ(recorder.Size(), QFileInfo(name).size()); // flushed means handed to the system
  ASSERT_TRUE(recorder.Stop());
  EXPECT_EQ(Load(name).size(), 40u);
}

TEST_F(LogRecorderTest, AFloodEndsEveryFileWithinOneLineOfTheLimit) {
  // Rows of many lengths, a few MiB of them between two flushes, so the
  // writer gets whole blocks; one row is longer than the limit itself.
  struct Case {
    qint64 limit;
    int rows;
  };
  for (const Case c : {Case{1 << 20, 1500}, Case{5000, 300}}) {
    SCOPED_TRACE(c.limit);
    const QString name = dir.filePath(QStringLiteral("flood%1.vexlin.txt").arg(c.limit));
    TLogRecorder recorder;
    ASSERT_TRUE(recorder.Start(name, c.limit));
    std::vector<QByteArray> sent;
    for (int i = 0; i < c.rows; ++i) {
      const qsizetype size = i == c.rows / 2 ? c.limit + 10 : 1 + (i * 7919) % 4000;
      sent.push_back(QByteArray(size, char('a' + i % 26)));
      recorder.Add(Packet(sent.back()));
    }
    ASSERT_TRUE(recorder.Stop());

    std::vector<QByteArray> all;
    std::vector<qint64> sizes;
    std::vector<qint64> firstLines; // the length of each file's first line
    for (int n = 1; QFile::exists(TLogRecorder::NumberedName(name, n)); ++n) {
      QFile file(TLogRecorder::NumberedName(name, n));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      sizes.push_back(bytes.size());
      firstLines.push_back(bytes.indexOf('\n') + 2); // lines end in "\n\r"
      const std::vector<QByteArray> loaded = Load(file.fileName());
      // Only a line longer than the limit overshoots it, alone in its file.
      EXPECT_TRUE(bytes.size() <= c.limit || loaded.size() == 1u)
          << "file " << n << ": " << bytes.size() << " bytes, " << loaded.size() << " rows";
      all.insert(all.end(), loaded.begin(), loaded.end());
    }
    ASSERT_GE(sizes.size(), 3u);
    // Full: the next file's first line would not have fitted.
    for (size_t n = 0; n + 1 < sizes.size(); ++n)
      EXPECT_GT(sizes[n] + firstLines[n + 1], c.limit) << "file " << n + 1;
    EXPECT_TRUE(all == sent) << all.size() << " of " << sent.size() << " rows load back";
  }
}

TEST_F(LogRecorderTest, AWrittenPositionNeverRunsAheadOfTheFile) {
  const QString name = dir.filePath(QStringLiteral("marks.vexlin.txt"));
  TLogRecorder recorder;
  std::mutex lock;
  std::vector<std::pair<int64_t, qsizetype>> heard; // a position, the rows then in the file
  recorder.OnWritten = [&](int64_t position) {
    QFile file(name);
    const qsizetype rows = file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
    const std::lock_guard guard(lock);
    heard.push_back({position, rows});
  };
  ASSERT_TRUE(recorder.Start(name));
  // Rows of about 240 KiB of text, three to a mark, and a flush every
  // second mark: blocks are cut inside the rows of a mark (at the fifth
  // row) as well as right after one. The position counts rows.
  const QByteArray bytes(60 * 1024, 'm');
  for (int row = 1; row <= 12; ++row) {
    recorder.Add(Packet(bytes));
    if (row % 3 == 0)
      recorder.Mark(row);
    if (row % 6 == 0) {
      ASSERT_TRUE(recorder.Flush());
    }
  }
  {
    const std::lock_guard guard(lock);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back().first, 12);
    for (const auto &[position, rows] : heard)
      EXPECT_LE(position, rows) << "position " << position << " heard with " << rows << " rows";
  }
  ASSERT_TRUE(recorder.Stop());
  // Nothing is written after the end: a later position is settled at once.
  recorder.Mark(15);
  const std::lock_guard guard(lock);
  EXPECT_EQ(heard.back().first, 15);
}

TEST_F(LogRecorderTest, AFailedWriteSettlesWhatWillNeverBeWritten) {
  if (!QFile::exists(QStringLiteral("/dev/full")))
    GTEST_SKIP() << "no /dev/full here";
  TLogRecorder recorder;
  int64_t heard = -1;
  recorder.OnWritten = [&](int64_t position) { heard = position; };
  ASSERT_TRUE(recorder.Start(QStringLiteral("/dev/full")));
  recorder.Add(Packet("AB"));
  recorder.Mark(2);
  EXPECT_FALSE(recorder.Flush());
  EXPECT_EQ(heard, 2);
  recorder.Mark(7);
  EXPECT_EQ(heard, 7);
}

TEST_F(LogRecorderTest, APipeIsWrittenOnlyWhileSomeoneReadsIt) {
  const QString fifo = dir.filePath(QStringLiteral("log.fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  TLogRecorder recorder;
  QString error;
  // Started on a thread of its own: an open that waits for a reader is
  // released by opening one, and fails the test instead of hanging it.
  auto start = std::async(std::launch::async, [&] { return recorder.Start(fifo, 0, &error); });
  if (start.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int release = ::open(QFile::encodeName(fifo).constData(), O_RDONLY);
    start.wait();
    ::close(release);
    FAIL() << "opening a pipe nobody reads did not return";
  }
  EXPECT_FALSE(start.get());
  EXPECT_EQ(error, QStringLiteral("z roury nikdo nečte"));
  EXPECT_FALSE(recorder.Active());

  // With a reader the pipe takes the rows.
  const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(recorder.Start(fifo, 0, &error)) << error.toStdString();
  recorder.Add(Packet("PQ"));
  ASSERT_TRUE(recorder.Flush());
  char got[256] = {};
  const ssize_t n = ::read(reader, got, sizeof got);
  ::close(reader);
  ASSERT_GT(n, 0);
  QByteArray line;
  ASSERT_TRUE(AppendLogLine(line, &Packet("PQ")));
  EXPECT_EQ(QByteArray(got, int(n)), line);
  recorder.Stop();
}

} // namespace
