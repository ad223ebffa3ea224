// Saving and loading a large packet list in slices, with the status bar's
// progress and cancel, and the warning when the list's memory grows large.
#include "app/listfiles.h"
#include "app/listmemorywatch.h"
#include "app/statusprogress.h"
#include "base/physicalmemory.h"
#include "connections/connectiontexts.h"
#include "layoutcheck.h"
#include "pipeline/logfile.h"
#include "tools/commandlinepanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <set>

namespace {

class ListFilesTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    list = window->vstTerminal();
    files = window->ListFiles();
    // Every slice does only its least piece, so a few megabytes take many.
    files->SetSliceBudget(std::chrono::milliseconds(0));
  }

  // Fills the list through the window's queue: `count` packets of `size`
  // bytes with a log line now and then, all stamped `time`.
  void Fill(int count, int size, TDateTime time) {
    for (int i = 0; i < count; ++i) {
      TVexlinDataObject *row =
          i % 50 == 0 ? static_cast<TVexlinDataObject *>(
                            new TVexlinDataLog(QStringLiteral("line %1").arg(i), 0))
                      : new TVexlinDataBinary(QByteArray(size, char(i)), i % 2 ? spRx : spTx);
      row->Time = time;
      row->Push();
    }
    const size_t expected = static_cast<size_t>(count);
    ASSERT_TRUE(WaitFor([&] { return list->RowCount() == expected; }));
  }

  QByteArray Read(const QString &name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
  }
  void Write(const QString &name, const QByteArray &bytes) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  // The list's rows as they would be saved.
  QByteArray Saved() {
    std::vector<const TVexlinDataObject *> rows;
    for (size_t i = 0; i < list->RowCount(); ++i)
      rows.push_back(list->NodeAt(i)->Data);
    const QString reference = dir.filePath(QStringLiteral("reference.tmp"));
    EXPECT_TRUE(SaveLogFile(reference, rows));
    const QByteArray bytes = Read(reference);
    QFile::remove(reference);
    return bytes;
  }
  QStringList Files() const {
    return QDir(dir.path()).entryList({QStringLiteral("*.txt*")}, QDir::Files | QDir::Hidden);
  }
  bool Enabled(const char *action) const {
    return window->findChild<QAction *>(QLatin1String(action))->isEnabled();
  }
  bool Blocked() const {
    return !Enabled("aSaveData") && !Enabled("aSaveSelected") && !Enabled("aOpenData") &&
           !window->CommandLine()->ClearButton()->isEnabled();
  }
  static TDateTime Stamp() {
    TDateTime t = 0;
    EXPECT_TRUE(TryEncodeDateTime({2021, 3, 4, 5, 6, 7, 0}, t));
    return t;
  }

  TVexlinTree *list = nullptr;
  TListFiles *files = nullptr;
  const QString proposed = QStringLiteral("2021-03-04_05-06_log.txt");
};

TEST_F(ListFilesTest, ALargeSaveRunsInSlicesWhileTheWindowGoesOn) {
  Fill(2000, 1000, Stamp());
  const QByteArray expected = Saved();
  Write(dir.filePath(proposed), "old");
  dialogs.answer = TPtDialogs::Yes; // overwrite

  // A timer of the window's event loop notes which slice it came after.
  std::set<int> slicesSeen;
  QTimer ticker;
  ticker.setInterval(0);
  QObject::connect(&ticker, &QTimer::timeout, [&] { slicesSeen.insert(files->SliceCount()); });
  ticker.start();
  window->aSaveDataExecute();
  ASSERT_TRUE(files->Busy());
  TStatusProgress *progress = window->StatusProgress();
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->Caption(), QStringLiteral("Ukládání do \"%1\"").arg(proposed));
  EXPECT_TRUE(Blocked());
  EXPECT_EQ(Read(dir.filePath(proposed)), "old") << "replaced only at the end";

  // Meanwhile a clear, a second save and a load wait; arriving rows are not
  // part of this save.
  int lastValue = -1;
  ASSERT_TRUE(WaitFor([&] {
    lastValue = std::max(lastValue, progress->Bar()->value());
    return files->SliceCount() >= 3;
  }));
  EXPECT_EQ(layoutcheck::Faults(window.get()), QStringList()) << "the bar fits the status bar";
  window->bClearClick();
  window->aSaveDataExecute();
  dialogs.openName = dir.filePath(proposed);
  window->aOpenDataExecute();
  (new TVexlinDataBinary(QByteArray("later"), spRx))->Push();
  EXPECT_EQ(dialogs.questions.size(), 1) << "no second save asked for its file";

  ASSERT_TRUE(WaitFor(
      [&] {
        lastValue = std::max(lastValue, progress->Bar()->value());
        return !files->Busy();
      },
      60000));
  EXPECT_GT(files->SliceCount(), 10);
  EXPECT_GT(slicesSeen.size(), 5u) << "the event loop turned between slices";
  EXPECT_GT(lastValue, 0);
  EXPECT_FALSE(progress->isVisible());
  EXPECT_FALSE(Blocked());
  EXPECT_TRUE(dialogs.messages.isEmpty());
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 2001u; }));
  EXPECT_EQ(Read(dir.filePath(proposed)), expected);
  EXPECT_EQ(Files(), QStringList{proposed});
}

TEST_F(ListFilesTest, CancellingASaveKeepsTheOldFileAndNoTemporaryOne) {
  Fill(2000, 1000, Stamp());
  const QByteArray old = "2020-01-01 00:00:00\tLOG\tthe old file\n\r";
  Write(dir.filePath(proposed), old);
  dialogs.answer = TPtDialogs::Yes;
  window->aSaveDataExecute();
  ASSERT_TRUE(WaitFor([&] { return files->SliceCount() >= 4; }));
  ASSERT_TRUE(files->Busy());
  window->StatusProgress()->CancelButton()->click();
  EXPECT_FALSE(files->Busy());
  EXPECT_FALSE(window->StatusProgress()->isVisible());
  EXPECT_FALSE(Blocked());
  EXPECT_EQ(Read(dir.filePath(proposed)), old);
  EXPECT_EQ(Files(), QStringList{proposed});
  ASSERT_TRUE(WaitFor([&] { return !LogLines(list, kColorMaroon).isEmpty(); }));
  EXPECT_EQ(LogLines(list, kColorMaroon),
            QStringList{QStringLiteral("Ukládání do \"%1\" bylo zrušeno, soubor zůstal beze změny.")
                            .arg(proposed)});

  // Closing the window in the middle of a save cancels it the same way.
  window->aSaveDataExecute();
  ASSERT_TRUE(WaitFor([&] { return files->SliceCount() >= 2; }));
  ASSERT_TRUE(files->Busy());
  Close();
  EXPECT_EQ(Read(dir.filePath(proposed)), old);
  EXPECT_EQ(Files(), QStringList{proposed});
}

TEST_F(ListFilesTest, ALoadInSlicesGivesTheRowsOfAWholeLoad) {
  Fill(1500, 700, Stamp());
  const QByteArray saved = Saved();
  const QString name = dir.filePath(QStringLiteral("big.vexlin.txt"));
  Write(name, saved);
  const std::vector<Row> before = Rows(list);
  window->bClearClick();

  dialogs.openName = name;
  window->aOpenDataExecute();
  ASSERT_TRUE(files->Busy());
  EXPECT_TRUE(window->StatusProgress()->isVisible());
  EXPECT_EQ(window->StatusProgress()->Caption(), "Načítání \"big.vexlin.txt\"");
  EXPECT_TRUE(Blocked());
  EXPECT_GT(list->RowCount(), 0u) << "rows show as they are read";
  EXPECT_LT(list->RowCount(), before.size());
  ASSERT_TRUE(WaitFor([&] { return !files->Busy(); }, 60000));
  EXPECT_GT(files->SliceCount(), 10);
  EXPECT_FALSE(window->StatusProgress()->isVisible());
  EXPECT_FALSE(Blocked());
  EXPECT_TRUE(dialogs.messages.isEmpty());
  const std::vector<Row> after = Rows(list);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    ASSERT_EQ(after[i].kind, before[i].kind) << i;
    ASSERT_EQ(after[i].direction, before[i].direction) << i;
    ASSERT_EQ(after[i].bytes, before[i].bytes) << i;
  }

  // A load cancelled half-way keeps the rows it has shown and says so.
  window->bClearClick();
  window->aOpenDataExecute();
  ASSERT_TRUE(WaitFor([&] { return files->SliceCount() >= 3; }));
  ASSERT_TRUE(files->Busy());
  window->StatusProgress()->CancelButton()->click();
  const size_t kept = list->RowCount();
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, before.size());
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == kept + 1; }));
  EXPECT_EQ(LogLines(list, kColorMaroon),
            QStringList{QStringLiteral("Načítání \"%1\" bylo zrušeno, načtené řádky (%2) "
                                       "zůstávají v seznamu.")
                            .arg(name)
                            .arg(kept)});
}

// Files named on the command line come one after another: the second waits
// for the first instead of being refused as a second load.
TEST_F(ListFilesTest, FilesNamedTogetherLoadOneAfterAnother) {
  Fill(600, 700, Stamp());
  const QByteArray saved = Saved();
  const std::vector<Row> one = Rows(list);
  window->bClearClick();
  const QString first = dir.filePath(QStringLiteral("first.vexlin.txt"));
  const QString second = dir.filePath(QStringLiteral("second.vexlin.txt"));
  Write(first, saved);
  Write(second, saved);

  window->OpenDataFile(first);
  window->OpenDataFile(second);
  ASSERT_TRUE(files->Busy());
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 2 * one.size() && !files->Busy(); }, 60000));
  EXPECT_TRUE(dialogs.messages.isEmpty());
  const std::vector<Row> both = Rows(list);
  for (size_t i = 0; i < both.size(); ++i)
    ASSERT_EQ(both[i].bytes, one[i % one.size()].bytes) << i;
}

TEST_F(ListFilesTest, TheMemoryWarningComesOnceUntilTheListIsCleared) {
  EXPECT_EQ(window->ListMemoryWatch().Limit(), PhysicalMemoryBytes() / 4);
  EXPECT_GT(window->ListMemoryWatch().Limit(), 0u);
  window->ListMemoryWatch().SetLimit(100 << 10);
  auto warnings = [&] {
    int n = 0;
    for (const QString &line : LogLines(list, kColorMaroon))
      n += line.startsWith(QStringLiteral("Seznam paketů zabírá už "));
    return n;
  };
  auto push = [&](int count) {
    const size_t target = list->RowCount() + static_cast<size_t>(count);
    for (int i = 0; i < count; ++i)
      (new TVexlinDataBinary(QByteArray(10 << 10, 'm'), spRx))->Push();
    ASSERT_TRUE(WaitFor([&] { return list->RowCount() >= target; }));
    Settle(20); // a warning would be queued behind the rows
  };
  push(5);
  EXPECT_EQ(warnings(), 0) << "50 kB of 100 kB";
  push(6);
  ASSERT_TRUE(WaitFor([&] { return warnings() == 1; }));
  EXPECT_TRUE(
      LogLines(list, kColorMaroon)
          .contains(QStringLiteral("Seznam paketů zabírá už 0 MB, víc než čtvrtinu paměti počítače "
                                   "(0 MB). Uložte jej a vymažte, než paměť dojde.")));
  push(20);
  EXPECT_EQ(warnings(), 1) << "said once";

  window->bClearClick();
  EXPECT_EQ(list->RowsMemory(), 0u);
  push(9);
  EXPECT_EQ(warnings(), 0);
  push(3);
  ASSERT_TRUE(WaitFor([&] { return warnings() == 1; })) << "armed again by the clear";
}

} // namespace
