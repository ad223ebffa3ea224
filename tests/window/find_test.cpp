#include "app/findbar.h"
#include "view/rowfinder.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class FindTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (const QByteArray &bytes :
         {QByteArray("\x01\x2A\x61\x02", 4), QByteArray("hello"), QByteArray("AT\r"),
          QByteArray("\x2A\x61"), QByteArray("Hello world")})
      (new TVexlinDataBinary(bytes, spRx))->Push();
    ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 5; }));
    bar = window->FindBar();
  }
  void Type(const QString &text, int mode, bool ignoreCase = false) {
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    ASSERT_TRUE(bar->edtFind->hasFocus());
    bar->cbFindMode->setCurrentIndex(mode);
    bar->chkFindIgnoreCase->setChecked(ignoreCase);
    bar->edtFind->clear();
    QTest::keyClicks(bar->edtFind, text);
  }
  // The index of the row found by a key, -1 for none.
  int Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    TRowFinder &finder = *window->RowFinder();
    bool done = false;
    QObject context;
    QObject::connect(&finder, &TRowFinder::found, &context, [&] { done = true; });
    QObject::connect(&finder, &TRowFinder::notFound, &context, [&] { done = true; });
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    EXPECT_TRUE(WaitFor([&] { return done; }));
    TVexlinNode *current = finder.Current();
    return current ? int(window->vstTerminal()->IndexOf(current)) : -1;
  }
  // The top-level rows the list shows.
  int Shown() const {
    TVexlinTree *list = window->vstTerminal();
    int n = 0;
    for (size_t i = 0; i < list->RowCount(); ++i)
      n += list->IsNodeVisible(list->NodeAt(i)) ? 1 : 0;
    return n;
  }
  bool FilterDone() const { return !window->RowFinder()->FilterBusy(); }
  // Pixels of `color` in the row's cells as drawn now.
  int Pixels(size_t row, const QColor &color) const {
    TVexlinTree *list = window->vstTerminal();
    const QImage image = list->viewport()->grab().toImage();
    const QRect cell = list->NodeCellRect(list->NodeAt(row), 3).intersected(image.rect());
    int n = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        n += image.pixelColor(x, y) == color ? 1 : 0;
    return n;
  }
  TFindBar *bar = nullptr;
};

TEST_F(FindTest, EnterAndF3WalkTheMatchingRowsInEachNotation) {
  Type(QStringLiteral("2a 61"), 0);
  EXPECT_EQ(Press(Qt::Key_Return), 0);
  EXPECT_EQ(Press(Qt::Key_F3), 3);
  EXPECT_EQ(bar->lblFindCount->text(), "2 z 2");
  EXPECT_EQ(Press(Qt::Key_F3), 0);
  EXPECT_FALSE(bar->lblFindHint->text().isEmpty()); // wrapped
  EXPECT_EQ(Press(Qt::Key_F3, Qt::ShiftModifier), 3);

  Type(QStringLiteral("HELLO"), 1, true);
  EXPECT_EQ(Press(Qt::Key_Return), 1);
  EXPECT_EQ(Press(Qt::Key_Return), 4);
  Type(QStringLiteral("HELLO"), 1, false);
  EXPECT_EQ(Press(Qt::Key_Return), -1);
  EXPECT_EQ(bar->lblFindHint->text(), "Nenalezeno.");

  Type(QStringLiteral("AT{0x0D}"), 2);
  EXPECT_EQ(Press(Qt::Key_Return), 2);

  Type(QStringLiteral("2A 6"), 0);
  QTest::keyClick(bar->edtFind, Qt::Key_Return);
  EXPECT_EQ(bar->lblFindHint->text(), "Lichý počet šestnáctkových číslic");
}

TEST_F(FindTest, PatternErrorsSpeakTheCurrentLanguage) {
  window->LoadLanguage(QStringLiteral(PT_DATA_FILES_DIR "/pt.lng.en.xml"));
  const struct {
    QString text;
    int mode;
    QString error;
  } cases[] = {
      {"2A 6", 0, "Odd number of hexadecimal digits"},
      {"2A 6G", 0, "Invalid hexadecimal digit"},
      {" ,", 0, "Nothing to find"},
      {"AT{0x0D", 2, "End character \"}\" not found in \"AT{0x0D\" !"},
  };
  for (const auto &c : cases) {
    Type(c.text, c.mode);
    QTest::keyClick(bar->edtFind, Qt::Key_Return);
    EXPECT_EQ(bar->lblFindHint->text(), c.error) << c.text.toStdString();
  }
}

TEST_F(FindTest, FoundBytesAreMarkedAndEscapeTakesTheMarksAway) {
  auto marked = [&] {
    const QImage image = window->vstTerminal()->viewport()->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == QColor(255, 230, 0))
          return true;
    return false;
  };
  EXPECT_FALSE(marked());
  Type(QStringLiteral("2A61"), 0);
  Press(Qt::Key_Return);
  EXPECT_TRUE(marked());
  QTest::keyClick(bar->edtFind, Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(marked());
}

TEST_F(FindTest, TheFilterKeepsMatchingRowsAndNewOnesAndReturnsToTheRow) {
  TVexlinTree *list = window->vstTerminal();
  Type(QStringLiteral("hello"), 1, true);
  EXPECT_EQ(Press(Qt::Key_Return), 1);
  TVexlinNode *current = window->RowFinder()->Current();
  bar->chkFindFilter->setChecked(true);
  ASSERT_TRUE(WaitFor([&] { return !window->RowFinder()->FilterBusy(); }));
  EXPECT_EQ(Shown(), 2);
  (new TVexlinDataBinary(QByteArray("no"), spRx))->Push();
  (new TVexlinDataBinary(QByteArray("say hello"), spRx))->Push();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 7; }));
  EXPECT_EQ(Shown(), 3);
  bar->chkFindFilter->setChecked(false);
  ASSERT_TRUE(WaitFor([&] { return !window->RowFinder()->FilterBusy(); }));
  EXPECT_EQ(Shown(), 7);
  EXPECT_EQ(list->FocusedNode(), current);
  EXPECT_GE(list->NodeTop(current), list->ScrollY());
}

// Esc, wherever the focus is in the bar, closes it as the × does: the
// filter goes off, every row is shown again and the box is emptied.
TEST_F(FindTest, ClosingTheBarShowsEveryRowAgainAndEmptiesTheBox) {
  Type(QStringLiteral("hello"), 1, true);
  EXPECT_EQ(Press(Qt::Key_Return), 1);
  QTest::mouseClick(bar->chkFindFilter, Qt::LeftButton, {},
                    QPoint(5, bar->chkFindFilter->height() / 2));
  ASSERT_TRUE(bar->chkFindFilter->isChecked());
  ASSERT_TRUE(WaitFor([&] { return FilterDone(); }));
  ASSERT_EQ(Shown(), 2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(bar->chkFindFilter->isChecked());
  EXPECT_TRUE(bar->edtFind->text().isEmpty());
  ASSERT_TRUE(WaitFor([&] { return FilterDone(); }));
  EXPECT_EQ(Shown(), 5);
  EXPECT_EQ(window->RowFinder()->Pattern(), nullptr);
  // Opened again, nothing is looked for or counted.
  QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(bar->edtFind->text().isEmpty());
  EXPECT_TRUE(bar->lblFindCount->text().isEmpty());
}

// The row the count's "1 z 3" stands for has its found bytes in a colour
// of their own; the other matching rows keep the common one. A log line
// holding them is marked the same way.
TEST_F(FindTest, TheCurrentMatchHasAColourOfItsOwn) {
  window->LogInfoMsg(QStringLiteral("*a in a log line"), 0);
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 6; }));
  const QColor current = ToQColor(TVexlinDataBinary::kCurrentFoundColor);
  const QColor other = ToQColor(TVexlinDataBinary::kFoundColor);
  Type(QStringLiteral("2A61"), 0);
  EXPECT_EQ(Press(Qt::Key_Return), 0);
  ASSERT_TRUE(WaitFor([&] { return bar->lblFindCount->text() == "1 z 3"; }));
  EXPECT_GT(Pixels(0, current), 0);
  EXPECT_EQ(Pixels(0, other), 0);
  EXPECT_EQ(Pixels(3, current), 0);
  EXPECT_GT(Pixels(3, other), 0);
  EXPECT_GT(Pixels(5, other), 0);
  EXPECT_EQ(Press(Qt::Key_F3), 3);
  EXPECT_EQ(bar->lblFindCount->text(), "2 z 3");
  EXPECT_EQ(Pixels(0, current), 0);
  EXPECT_GT(Pixels(0, other), 0);
  EXPECT_GT(Pixels(3, current), 0);
  EXPECT_EQ(Press(Qt::Key_F3), 5);
  EXPECT_GT(Pixels(5, current), 0);
  EXPECT_EQ(Pixels(5, other), 0);
  // A new pattern has no current row yet.
  Type(QStringLiteral("2A"), 0);
  ASSERT_TRUE(WaitFor([&] { return window->RowFinder()->Current() == nullptr; }));
  EXPECT_EQ(Pixels(5, current), 0);
  EXPECT_GT(Pixels(5, other), 0);
}

} // namespace

// A pattern no row can hold is said so as soon as it is taken, without a
// count of the rows; a shorter one is looked for as usual.
TEST_F(FindTest, APatternLongerThanEveryRowIsReportedAtOnce) {
  // The field holds 9,999 characters already; the last one is typed.
  Type(QString(), 1);
  bar->edtFind->setText(QString(9999, QLatin1Char('x')));
  QTest::keyClick(bar->edtFind, 'x');
  ASSERT_TRUE(WaitFor([&] { return !bar->lblFindHint->text().isEmpty(); }));
  EXPECT_EQ(bar->lblFindHint->text(),
            "Hledaný vzorek (10000 B) je delší než nejdelší řádek (11 B)");
  Type(QStringLiteral("ello world"), 1);
  EXPECT_EQ(Press(Qt::Key_Return), 4);
  EXPECT_TRUE(bar->lblFindHint->text().isEmpty());
}
