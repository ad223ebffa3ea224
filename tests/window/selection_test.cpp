#include "base/ansicodepage.h"
#include "pipeline/logfile.h"
#include "view/rowcopy.h"
#include "view/rowfinder.h"
#include "windowfixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

namespace {

class SelectionTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (const QByteArray &bytes : {QByteArray("\x2A\x61\x00\x05", 4), QByteArray("AT\r"),
                                    QByteArray("xyz"), QByteArray("\xFF")})
      (new TVexlinDataBinary(bytes, spRx))->Push();
    window->LogInfoMsg(QStringLiteral("Připojeno"), 0);
    list = window->vstTerminal();
    ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 5; }));
    list->setFocus();
  }
  // Clicks the row `row` in the data column.
  void Click(size_t row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect cell = list->NodeCellRect(list->NodeAt(row), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, cell.center());
  }
  QString Copy(const char *action) {
    QGuiApplication::clipboard()->clear();
    window->findChild<QAction *>(QLatin1String(action))->trigger();
    WaitFor([] { return !QGuiApplication::clipboard()->text().isEmpty(); });
    return QGuiApplication::clipboard()->text();
  }
  TVexlinTree *list = nullptr;
  // The bytes of the binary rows of a saved log file.
  std::vector<QByteArray> SavedData(const QString &name) {
    std::vector<QByteArray> saved;
    EXPECT_TRUE(LoadLogFile(dir.filePath(name), [&](std::unique_ptr<TVexlinDataObject> o) {
      saved.push_back(static_cast<TVexlinDataBinary *>(o.get())->Data);
    }));
    return saved;
  }
};

TEST_F(SelectionTest, MouseAndKeysSelectRows) {
  using Ranges = std::vector<std::pair<size_t, size_t>>;
  Click(1);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{1, 1}}));
  Click(3, Qt::ShiftModifier);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{1, 3}}));
  Click(2, Qt::ControlModifier);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{1, 1}, {3, 3}}));
  Click(0);
  QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{0, 2}}));
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{1, 1}}));
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->Selection().Count(), 5u);
  // Selected rows are drawn with the highlight in their number cell.
  const QImage image = list->viewport()->grab().toImage();
  const QRect index = list->NodeCellRect(list->NodeAt(0), 0);
  EXPECT_EQ(image.pixelColor(index.left() + 1, index.center().y()),
            list->palette().color(QPalette::Highlight));
}

TEST_F(SelectionTest, CopiesInEachFormatAndTheLogFormatLoadsBack) {
  Click(0);
  Click(1, Qt::ShiftModifier);
  EXPECT_EQ(Copy("actCopyRowsHex"), "2A 61 00 05\n41 54 0D\n");
  EXPECT_EQ(Copy("actCopyRowsC"), "const unsigned char row1[4] = {0x2A, 0x61, 0x00, 0x05};\n"
                                  "const unsigned char row2[3] = {0x41, 0x54, 0x0D};\n");
  const QString command = Copy("actCopyRowsCommand");
  EXPECT_TRUE(command.startsWith(QStringLiteral("*a"))) << command.toStdString();

  // Ctrl+C in the list: log lines, the log line included, that load back.
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  ASSERT_TRUE(WaitFor([] { return !QGuiApplication::clipboard()->text().isEmpty(); }));
  const QString log = QGuiApplication::clipboard()->text();
  QFile file(dir.filePath(QStringLiteral("pasted.vexlin.txt")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(AnsiFromText(log));
  file.close();
  std::vector<std::unique_ptr<TVexlinDataObject>> rows;
  ASSERT_TRUE(LoadLogFile(file.fileName(), [&](std::unique_ptr<TVexlinDataObject> o) {
    rows.push_back(std::move(o));
  }));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(static_cast<TVexlinDataBinary *>(rows[0].get())->Data,
            QByteArray("\x2A\x61\x00\x05", 4));
  EXPECT_EQ(static_cast<TVexlinDataLog *>(rows[4].get())->Text, "Připojeno");
}

TEST_F(SelectionTest, SavingTheSelectedRowsWritesOnlyThem) {
  Click(1);
  Click(2, Qt::ShiftModifier);
  dialogs.saveName = dir.filePath(QStringLiteral("part"));
  window->aSaveSelectedExecute();
  EXPECT_EQ(SavedData(QStringLiteral("part.vexlin.txt")), std::vector<QByteArray>({"AT\r", "xyz"}));
}

// With the find bar's filter on, what the user can select, copy and save is
// what the list shows: Ctrl+A, Shift spans and rows selected before the
// filter hid them alike.
TEST_F(SelectionTest, WithTheFilterOnOnlyTheShownRowsAreSelectedCopiedAndSaved) {
  using Ranges = std::vector<std::pair<size_t, size_t>>;
  // Rows 0 and 1 selected before the filter, which then keeps rows 0 and 5.
  Click(0);
  Click(1, Qt::ControlModifier);
  (new TVexlinDataBinary(QByteArray("\x2A\x61\x01", 3), spRx))->Push();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 6; }));
  TRowFinder &finder = *window->RowFinder();
  finder.SetPattern(TByteFinder(QByteArray("\x2A\x61"), false));
  finder.SetFilter(true);
  ASSERT_TRUE(WaitFor([&] { return !finder.FilterBusy(); }));
  ASSERT_TRUE(list->IsRowShown(0));
  ASSERT_FALSE(list->IsRowShown(1));
  EXPECT_EQ(Copy("actCopyRowsHex"), "2A 61 00 05\n") << "the hidden selected row stays out";

  list->setFocus();
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{0, 0}, {5, 5}}));
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  ASSERT_TRUE(WaitFor([] { return !QGuiApplication::clipboard()->text().isEmpty(); }));
  std::vector<std::unique_ptr<TVexlinDataObject>> pasted;
  QFile file(dir.filePath(QStringLiteral("pasted.vexlin.txt")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(AnsiFromText(QGuiApplication::clipboard()->text()));
  file.close();
  ASSERT_TRUE(LoadLogFile(file.fileName(), [&](std::unique_ptr<TVexlinDataObject> o) {
    pasted.push_back(std::move(o));
  }));
  ASSERT_EQ(pasted.size(), 2u);
  EXPECT_EQ(static_cast<TVexlinDataBinary *>(pasted[1].get())->Data, QByteArray("\x2A\x61\x01", 3));

  // A Shift span over hidden rows takes the shown ones only.
  Click(0);
  Click(5, Qt::ShiftModifier);
  EXPECT_EQ(list->Selection().Ranges(), Ranges({{0, 0}, {5, 5}}));
  dialogs.saveName = dir.filePath(QStringLiteral("shown"));
  window->aSaveSelectedExecute();
  EXPECT_EQ(
      SavedData(QStringLiteral("shown.vexlin.txt")),
      std::vector<QByteArray>({QByteArray("\x2A\x61\x00\x05", 4), QByteArray("\x2A\x61\x01", 3)}));

  // With the filter off again, the rows it hid were never selected.
  finder.SetFilter(false);
  ASSERT_TRUE(WaitFor([&] { return !finder.FilterBusy(); }));
  EXPECT_EQ(list->Selection().Count(), 2u);
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->Selection().Count(), 6u);
}

} // namespace
