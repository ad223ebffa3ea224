#include "tools/packetcomposer.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

struct ComposerSink : TMessageSink {
  QStringList errors;
  void ShowError(QWidget *, const QString &, const QString &text) override { errors << text; }
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
};

class ComposerTest : public ::testing::Test {
protected:
  ComposerTest() {
    QObject::connect(&composer, &TfrPaket::sendRequested,
                     [this](const QByteArray &data) { sent.append(data); });
    composer.Init();
  }
  // Types a field as the user would: an edit of the cell's text.
  void Edit(int row, const QString &text) { composer.Table()->item(row, 1)->setText(text); }
  QString View() const { return composer.PacketView()->toPlainText(); }

  ComposerSink sink;
  TfrPaket composer{sink};
  QList<QByteArray> sent;
};

TEST_F(ComposerTest, StartsWithTheWorkedExample) {
  EXPECT_EQ(composer.Value(TfrPaket::rowLEN), "{00h,08h}");
  EXPECT_EQ(composer.Value(TfrPaket::rowSUM), "{AAh}");
  EXPECT_EQ(View(), "2A 61 00 08 01 02 23 14 81 07 AA 0D ");
  EXPECT_EQ(composer.Table()->currentRow(), TfrPaket::rowSDATA);
  EXPECT_EQ(composer.RowColour(TfrPaket::rowPRE), TfrPaket::ReadOnlyColour());
  EXPECT_EQ(composer.RowColour(TfrPaket::rowLEN), TfrPaket::MatchColour());
  for (int row :
       {TfrPaket::rowPRE, TfrPaket::rowFRM, TfrPaket::rowLEN, TfrPaket::rowSUM, TfrPaket::rowCR})
    EXPECT_TRUE(composer.IsReadOnlyRow(row)) << row;
  EXPECT_FALSE(composer.IsReadOnlyRow(TfrPaket::rowSDATA));
  EXPECT_TRUE(sink.errors.isEmpty());
}

TEST_F(ComposerTest, LenAndSumFollowTheData) {
  struct Case {
    QString sdata, len, sum, view;
  } cases[] = {
      {"", "{00h,05h}", "{49h}", "2A 61 00 05 01 02 23 49 0D "},
      {"{1,2,3,4}", "{00h,09h}", "{3Bh}", "2A 61 00 09 01 02 23 01 02 03 04 3B 0D "},
      {"{01h,02h,03h,04h,05h}", "{00h,0Ah}", "{35h}", "2A 61 00 0A 01 02 23 01 02 03 04 05 35 0D "},
      // A checksum below 0x10 keeps a space before its digit and is one byte.
      {"{$43}", "{00h,06h}", "{ 5h}", "2A 61 00 06 01 02 23 43 05 0D "},
  };
  for (const Case &c : cases) {
    Edit(TfrPaket::rowSDATA, c.sdata);
    EXPECT_EQ(composer.Value(TfrPaket::rowLEN), c.len) << c.sdata.toStdString();
    EXPECT_EQ(composer.Value(TfrPaket::rowSUM), c.sum) << c.sdata.toStdString();
    EXPECT_EQ(View(), c.view) << c.sdata.toStdString();
    // Judged by the values just written, not by those before the edit.
    EXPECT_EQ(composer.RowColour(TfrPaket::rowLEN), TfrPaket::MatchColour())
        << c.sdata.toStdString();
    EXPECT_EQ(composer.RowColour(TfrPaket::rowSUM), TfrPaket::MatchColour())
        << c.sdata.toStdString();
  }
}

TEST_F(ComposerTest, AFieldThatGivesNothingStopsTheViewButNotTheSend) {
  Edit(TfrPaket::rowSDATA, "{}");
  EXPECT_EQ(composer.RowColour(TfrPaket::rowSDATA), TfrPaket::MismatchColour());
  EXPECT_FALSE(composer.CheckPacket());
  EXPECT_EQ(View(), "2A 61 00 08 01 02 23 14 81 07 AA 0D ");
  // The automatic fields still follow (SDATA counts as no bytes); the rest is sent as it stands.
  composer.SendButton()->click();
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0], QByteArray::fromHex("2A61000501022349 0D"));
}

TEST_F(ComposerTest, AnUnclosedGroupIsReportedAndCleared) {
  Edit(TfrPaket::rowINST, "{23h");
  ASSERT_FALSE(sink.errors.isEmpty());
  EXPECT_TRUE(sink.errors[0].contains("}")) << sink.errors[0].toStdString();
  EXPECT_EQ(composer.Value(TfrPaket::rowINST), "");
  EXPECT_EQ(View(), "2A 61 00 08 01 02 14 81 07 CD 0D ");
}

TEST_F(ComposerTest, ManualLenIsColouredByWhetherItMatches) {
  composer.LENCheckBox()->click();
  EXPECT_FALSE(composer.IsReadOnlyRow(TfrPaket::rowLEN));
  Edit(TfrPaket::rowLEN, "{0,9}");
  EXPECT_EQ(composer.RowColour(TfrPaket::rowLEN), TfrPaket::MismatchColour());
  EXPECT_EQ(composer.Value(TfrPaket::rowLEN), "{0,9}");
  Edit(TfrPaket::rowLEN, "{0,8}");
  EXPECT_EQ(composer.RowColour(TfrPaket::rowLEN), TfrPaket::MatchColour());
  composer.LENCheckBox()->click();
  EXPECT_TRUE(composer.IsReadOnlyRow(TfrPaket::rowLEN));
  EXPECT_EQ(composer.Value(TfrPaket::rowLEN), "{00h,08h}");
}

TEST_F(ComposerTest, EnterSendsAndRightClickCopiesTheView) {
  composer.show();
  composer.Table()->setFocus();
  QTest::keyClick(composer.Table(), Qt::Key_Return);
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0], QByteArray::fromHex("2A610008010223148107AA0D"));
  QApplication::clipboard()->clear();
  QTest::mouseClick(composer.PacketView()->viewport(), Qt::RightButton);
  EXPECT_EQ(QApplication::clipboard()->text(), View());
}

TEST_F(ComposerTest, EnterInTheCellEditorSendsTheEditedFrameOnce) {
  composer.show();
  QTableWidget *table = composer.Table();
  const QRect cell = table->visualRect(table->model()->index(TfrPaket::rowINST, 1));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  auto *editor = table->viewport()->findChild<QLineEdit *>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "{24h}");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0], QByteArray::fromHex("2A610008010224148107A90D"));
  EXPECT_EQ(composer.Value(TfrPaket::rowINST), "{24h}");
  EXPECT_EQ(View(), "2A 61 00 08 01 02 24 14 81 07 A9 0D ");
}

TEST_F(ComposerTest, ReadOnlyRowsAndKeysNeverTakeTheFocus) {
  composer.show();
  QTableWidget *table = composer.Table();
  table->setFocus();
  table->setCurrentCell(TfrPaket::rowINST, 1);
  const auto click = [table](int row, int column) {
    const QRect cell = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  };
  for (int row :
       {TfrPaket::rowPRE, TfrPaket::rowFRM, TfrPaket::rowLEN, TfrPaket::rowSUM, TfrPaket::rowCR})
    for (int column : {0, 1}) {
      click(row, column);
      EXPECT_EQ(table->currentRow(), TfrPaket::rowINST) << row << "," << column;
      EXPECT_EQ(table->currentColumn(), 1) << row << "," << column;
    }
  click(TfrPaket::rowADR, 0); // a key, even of an editable row
  EXPECT_EQ(table->currentRow(), TfrPaket::rowINST);

  // Tab and Shift+Tab walk the editable values only, LEN once it is typed by hand.
  const auto walk = [table](int from, Qt::Key key, int steps) {
    table->setFocus();
    table->setCurrentCell(from, 1);
    QList<int> rows;
    for (int i = 0; i < steps; ++i) {
      QTest::keyClick(table, key);
      rows << table->currentRow() * 10 + table->currentColumn();
    }
    return rows;
  };
  EXPECT_EQ(walk(TfrPaket::rowADR, Qt::Key_Tab, 4), QList<int>({41, 51, 61, 61}));
  EXPECT_EQ(walk(TfrPaket::rowSIG, Qt::Key_Backtab, 2), QList<int>({31, 31}));
  composer.LENCheckBox()->click();
  EXPECT_EQ(walk(TfrPaket::rowSIG, Qt::Key_Backtab, 3), QList<int>({31, 21, 21}));
}

TEST_F(ComposerTest, TheEditedFieldIsNavyInTheView) {
  composer.Table()->setCurrentCell(TfrPaket::rowSDATA, 1);
  QTextCursor cursor(composer.PacketView()->document());
  const auto colourAt = [&](int position) {
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
  };
  EXPECT_EQ(colourAt(0), QColor(128, 128, 128));
  EXPECT_EQ(colourAt(7 * 3), QColor(0, 0, 128)); // first SDATA byte
  EXPECT_EQ(colourAt(9 * 3), QColor(0, 0, 128)); // last SDATA byte
  EXPECT_EQ(colourAt(10 * 3), QColor(128, 128, 128));
}

TEST_F(ComposerTest, PresetsLoadIntoTheTable) {
  composer.CopyPresetToTable("2A610008310223148107AA0D");
  EXPECT_EQ(composer.Value(TfrPaket::rowPRE), "*");
  EXPECT_EQ(composer.Value(TfrPaket::rowFRM), "{$61}");
  EXPECT_EQ(composer.Value(TfrPaket::rowADR), "{$31}");
  EXPECT_EQ(composer.Value(TfrPaket::rowSDATA), "{$14,$81,$07}");
  EXPECT_EQ(composer.Value(TfrPaket::rowCR), "{$0D}");
  // The automatic fields are computed again for the new address.
  EXPECT_EQ(composer.Value(TfrPaket::rowLEN), "{00h,08h}");
  EXPECT_EQ(View(), "2A 61 00 08 31 02 23 14 81 07 7A 0D ");

  composer.LENCheckBox()->click();
  composer.SUMCheckBox()->click();
  composer.CopyPresetToTable("2A610008");
  EXPECT_EQ(composer.Value(TfrPaket::rowLEN), "{$00,$08}");
  for (int row : {TfrPaket::rowADR, TfrPaket::rowSIG, TfrPaket::rowINST, TfrPaket::rowSDATA,
                  TfrPaket::rowSUM, TfrPaket::rowCR})
    EXPECT_EQ(composer.Value(row), "") << row;
}

TEST_F(ComposerTest, DataTooLongForLenIsRefusedRatherThanSentWithAWrongLen) {
  Edit(TfrPaket::rowSDATA, QString(65531, u'x'));
  EXPECT_EQ(composer.RowColour(TfrPaket::rowLEN), TfrPaket::MismatchColour());
  sink.errors.clear();
  composer.SendButton()->click();
  EXPECT_TRUE(sent.isEmpty());
  ASSERT_EQ(sink.errors.size(), 1);
  EXPECT_TRUE(sink.errors[0].contains("65530"));
}

} // namespace
