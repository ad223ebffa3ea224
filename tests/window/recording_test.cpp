#include "app/statusbar.h"
#include "pipeline/logfile.h"
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

} // namespace
