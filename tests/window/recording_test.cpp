#include "app/statusbar.h"
#include "pipeline/logfile.h"
#include "pipeline/logrecorder.h"
#include "windowfixture.h"

#include <QAction>

namespace {

// Every row that reaches the list from the start of a recording is in the
// file, which loads back; stopping leaves nothing behind in memory.
TEST_F(WindowTest, RecordingWritesEveryArrivingRowToAFileThatLoadsBack) {
  (new TVexlinDataBinary(QByteArray("before"), spRx))->Push();
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  dialogs.saveName = dir.filePath(QStringLiteral("rig"));
  auto *record = window->findChild<QAction *>(QStringLiteral("aRecord"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+R")));
  record->trigger();
  EXPECT_TRUE(window->Recording());
  EXPECT_TRUE(record->isChecked());
  for (int i = 0; i < 300; ++i)
    (new TVexlinDataBinary(QByteArray::number(i), spRx))->Push();
  window->LogInfoMsg(QStringLiteral("Připojeno"), 0);
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 302; }));
  window->RecordFlush();
  EXPECT_TRUE(window->PtStatusBar()->Recording().contains(QStringLiteral("rig.vexlin.txt")));
  record->trigger();
  EXPECT_FALSE(window->Recording());
  EXPECT_TRUE(window->PtStatusBar()->Recording().isEmpty());

  std::vector<QByteArray> rows;
  ASSERT_TRUE(LoadLogFile(dir.filePath(QStringLiteral("rig.vexlin.txt")),
                          [&](std::unique_ptr<TVexlinDataObject> o) {
                            if (auto *b = dynamic_cast<TVexlinDataBinary *>(o.get()))
                              rows.push_back(b->Data);
                            else if (auto *l = dynamic_cast<TVexlinDataLog *>(o.get()))
                              rows.push_back(l->Text.toUtf8());
                          }));
  ASSERT_EQ(rows.size(), 301u);
  EXPECT_EQ(rows.front(), "0");
  EXPECT_EQ(rows[299], "299");
  EXPECT_EQ(rows.back(), "Připojeno");
}

TEST_F(WindowTest, ARecordingThatCannotStartSaysWhyInRed) {
  dialogs.saveName = dir.filePath(QStringLiteral("missing/rig"));
  window->aRecordExecute();
  EXPECT_FALSE(window->Recording());
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  const std::vector<Row> rows = Rows(window->vstTerminal());
  EXPECT_TRUE(QString::fromUtf8(rows[0].bytes).startsWith(QStringLiteral("Nahrávání do souboru")));
  EXPECT_EQ(rows[0].color, RGBColor(255, 0, 0));
}

// A disk that fills up during a flood: the write a row set off fails, and
// the next flush says so in red and stops the recording in the window too.
TEST_F(WindowTest, AWriteThatFailsDuringAFloodIsReportedAtTheNextFlush) {
  if (!QFile::exists(QStringLiteral("/dev/full")))
    GTEST_SKIP() << "no /dev/full here";
  const QString name = dir.filePath(QStringLiteral("full.vexlin.txt"));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), name));
  dialogs.saveName = name;
  auto *record = window->findChild<QAction *>(QStringLiteral("aRecord"));
  window->aRecordExecute();
  ASSERT_TRUE(window->Recording());
  const QByteArray big(64 * 1024, 'x'); // 40 rows: about 10 MB of lines
  for (int i = 0; i < 40; ++i)
    (new TVexlinDataBinary(big, spRx))->Push();
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 40; }));
  EXPECT_FALSE(window->Recording());
  window->RecordFlush();
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 41; }));
  const std::vector<Row> rows = Rows(window->vstTerminal());
  EXPECT_TRUE(
      QString::fromUtf8(rows.back().bytes)
          .startsWith(QStringLiteral("Nahrávání do souboru \"%1\" se zastavilo").arg(name)));
  EXPECT_EQ(rows.back().color, RGBColor(255, 0, 0));
  EXPECT_FALSE(record->isChecked());
  EXPECT_TRUE(window->PtStatusBar()->Recording().isEmpty());
}

// With a size limit the recording goes on in numbered files, the status bar
// names the one written now, and together they load back to the list's rows.
// The limit is asked for in MB and kept for the next run.
TEST_F(WindowTest, ARecordingWithASizeLimitGoesOnInNumberedFiles) {
  auto *limit = window->findChild<QAction *>(QStringLiteral("aRecordLimit"));
  ASSERT_NE(limit, nullptr);
  dialogs.numberAnswer = 1;
  limit->trigger();
  ASSERT_EQ(dialogs.questions.size(), 1);

  const QString name = dir.filePath(QStringLiteral("rig.vexlin.txt"));
  dialogs.saveName = name;
  window->aRecordExecute();
  ASSERT_TRUE(window->Recording());
  const QByteArray packet(4000, 'p'); // about 12 kB a line: ~90 lines a file
  const int count = 400;
  for (int i = 0; i < count; ++i) {
    QByteArray bytes = packet;
    bytes.replace(0, 4, QByteArray::number(1000 + i));
    (new TVexlinDataBinary(bytes, spRx))->Push();
  }
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == size_t(count); }));
  window->RecordFlush();
  EXPECT_TRUE(window->PtStatusBar()->Recording().contains(QStringLiteral("rig_00")));
  window->aRecordExecute();
  ASSERT_FALSE(window->Recording());

  std::vector<QByteArray> rows;
  int files = 0;
  for (int n = 1; QFile::exists(TLogRecorder::NumberedName(name, n)); ++n, ++files) {
    // Full to within a line, never past the limit.
    const qint64 size = QFileInfo(TLogRecorder::NumberedName(name, n)).size();
    EXPECT_LE(size, 1 << 20) << n;
    const bool last = !QFile::exists(TLogRecorder::NumberedName(name, n + 1));
    EXPECT_TRUE(last || size > (1 << 20) - 13000) << n << ": " << size;
    ASSERT_TRUE(
        LoadLogFile(TLogRecorder::NumberedName(name, n), [&](std::unique_ptr<TVexlinDataObject> o) {
          if (auto *b = dynamic_cast<TVexlinDataBinary *>(o.get()))
            rows.push_back(b->Data);
        }));
  }
  EXPECT_GE(files, 4);
  EXPECT_FALSE(QFile::exists(name));
  const std::vector<Row> listed = Rows(window->vstTerminal());
  ASSERT_EQ(rows.size(), listed.size());
  for (size_t i = 0; i < rows.size(); ++i)
    ASSERT_EQ(rows[i], listed[i].bytes) << i;

  // Kept for the next run, and proposed there when asked again.
  Close();
  Open();
  dialogs.numberAnswer.reset();
  window->aRecordLimitExecute();
  EXPECT_EQ(dialogs.numberProposed, 1);
  Close();
  QFile config(dir.filePath(QStringLiteral("config.xml")));
  ASSERT_TRUE(config.open(QIODevice::ReadOnly));
  EXPECT_TRUE(config.readAll().contains("LimitMB=\"1\""));
}

} // namespace
