#include "base/versioninfo.h"
#include "widgets/about.h"
#include "widgets/asciitable.h"
#include "windowfixture.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

QStringList RowTexts(QTableWidget *table, int row) {
  QStringList texts;
  for (int c = 0; c < table->columnCount(); ++c)
    texts << table->item(row, c)->text();
  return texts;
}

void Touch(const QString &path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace

TEST_F(WindowTest, AsciiTableOpensOnceAndListsEveryByte) {
  window->activateWindow();
  QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
  Process();
  TfAsciiTable *table = window->AsciiTable();
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->isVisible());
  EXPECT_EQ(table->windowTitle(), QStringLiteral("ASCII tabulka"));
  table->hide();
  window->findChild<QAction *>("aAsciiTable")->trigger();
  EXPECT_EQ(window->AsciiTable(), table);
  EXPECT_TRUE(table->isVisible());

  QTableWidget *rows = table->Table();
  ASSERT_EQ(rows->rowCount(), 256);
  struct Case {
    int row;
    QStringList texts;
  } cases[] = {
      {0, {QString(QChar(0)), "0", "$00", "0000 0000", "NUL", "null"}},
      {65, {"A", "65", "$41", "0100 0001", "", ""}},
      {127, {QString(QChar(127)), "127", "$7F", "0111 1111", "DEL", "delete"}},
      {233, {QStringLiteral("é"), "233", "$E9", "1110 1001", "", ""}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(RowTexts(rows, c.row), c.texts) << c.row;

  const QColor text[] = {Qt::black,         QColor(0, 0, 128), QColor(0, 0, 255),
                         QColor(0, 128, 0), QColor(128, 0, 0), Qt::black};
  const QColor back[] = {QColor(255, 255, 176), QColor(224, 255, 255), QColor(255, 255, 240),
                         QColor(240, 255, 240), QColor(255, 255, 240), Qt::white};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(rows->item(233, c)->foreground().color(), text[c]) << c;
    EXPECT_EQ(rows->item(233, c)->background().color(), back[c]) << c;
  }
  EXPECT_TRUE(rows->item(65, 0)->font().bold());
  EXPECT_EQ(rows->item(65, 5)->font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(rows->horizontalHeaderItem(4)->text(), QStringLiteral("Zkratka"));
}

// At its default size every cell and header shows its whole text, in each
// shipped language, also when the language changes while the table is open.
TEST_F(WindowTest, AsciiTableColumnsFitTheirTexts) {
  const auto check = [&](const QString &language) {
    TfAsciiTable *table = window->AsciiTable();
    QTableWidget *rows = table->Table();
    Process();
    EXPECT_FALSE(rows->horizontalScrollBar()->isVisible()) << language.toStdString();
    const int margin =
        2 * (rows->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, rows) + 1);
    QHeaderView *header = rows->horizontalHeader();
    for (int c = 0; c < rows->columnCount(); ++c) {
      // Within the viewport, and as wide as its header's text asks.
      EXPECT_LE(header->sectionViewportPosition(c) + header->sectionSize(c),
                rows->viewport()->width())
          << language.toStdString() << " column " << c;
      EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c))
          << language.toStdString() << " column " << c;
      for (int r = 0; r < rows->rowCount(); ++r) {
        const QTableWidgetItem *item = rows->item(r, c);
        const int text = QFontMetrics(item->font()).horizontalAdvance(item->text());
        EXPECT_LE(text + margin, header->sectionSize(c))
            << language.toStdString() << " \"" << item->text().toStdString() << "\"";
      }
    }
  };
  window->aAsciiTableExecute();
  check(QStringLiteral("cs"));
  window->LoadLanguage(dir.filePath("pt.files/pt.lng.en.xml"));
  check(QStringLiteral("en, switched while open"));
  window->AsciiTable()->close();
  Close();
  Open();
  window->aAsciiTableExecute();
  check(QStringLiteral("en"));
}

TEST(AsciiNames, TheTablesNameControlsAndPunctuationOnly) {
  struct Case {
    int value;
    const char *name;
    const char *description;
  } cases[] = {
      {10, "LF", "NL line feed, new line"},
      {14, "S0", "shift out"},
      {19, "DC3", "device control 3"},
      {32, "SP", "Space"},
      {33, "", "exclamation mark"},
      {48, "", ""},
      {64, "", "AT symbol"},
      {94, "", "caret/cirumflex"},
      {96, "", ""},
      {126, "", "tilde"},
      {128, "", ""},
      {-1, "", ""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ASCIIName(c.value), QLatin1String(c.name)) << c.value;
    EXPECT_EQ(ASCIIDescriptions(c.value), QLatin1String(c.description)) << c.value;
  }
}

TEST_F(WindowTest, AboutBoxShowsTheVersionAndOpensTheStyledHistory) {
  const QString data = dir.filePath("pt.files/");
  Touch(data + "pt_version_prj.xml");
  Touch(data + "pt_version_prj.xsl");
  QList<QPair<QUrl, bool>> opened;
  window->OpenDocument = [&opened](const QUrl &url, bool browser) {
    opened.append({url, browser});
  };

  window->findChild<QAction *>("mimAbout")->trigger();
  TfAbout *about = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *a = qobject_cast<TfAbout *>(w))
      about = a;
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->windowTitle(), window->windowTitle());
  EXPECT_EQ(about->History()->text(), QStringLiteral("Verze: ") + GetFileVersion());
  auto *title = about->findChild<QLabel *>("Label1");
  EXPECT_EQ(title->text(), QStringLiteral("Pelmar Terminal"));
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(255, 102, 0));

  QTest::mouseClick(about->History(), Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].first, QUrl::fromLocalFile(data + "pt_version_prj.xml"));
  EXPECT_TRUE(opened[0].second);

  // Each call opens a further box; closing one destroys it.
  QPointer<TfAbout> first = about;
  TfAbout *second = window->ShowAbout();
  EXPECT_NE(second, about);
  about->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  // A box left open goes with the main window.
  QPointer<TfAbout> left = second;
  Close();
  EXPECT_TRUE(left.isNull());
}

TEST(AboutBox, HistoryLineReactsOnlyWhenThereIsSomethingToOpen) {
  struct Case {
    bool historyTxt, prjXml, prjXsl;
    QString opens; // "" nothing, else the file name
    bool inBrowser;
  } cases[] = {
      {false, false, false, "", false},
      {true, false, false, "history.txt", false},
      {false, true, false, "", false}, // the XML alone is not shown unstyled
      {true, true, true, "pt_version_prj.xml", true},
  };
  for (const Case &c : cases) {
    QTemporaryDir program, data;
    const QString dataFolder = data.path() + u'/';
    if (c.historyTxt)
      Touch(program.filePath("history.txt"));
    if (c.prjXml)
      Touch(dataFolder + "pt_version_prj.xml");
    if (c.prjXsl)
      Touch(dataFolder + "pt_version_prj.xsl");
    QList<QPair<QUrl, bool>> opened;
    TfAbout about(program.path(), dataFolder, [&opened](const QUrl &url, bool browser) {
      opened.append({url, browser});
    });
    QLabel *line = about.History();
    const QColor normal = line->palette().color(QPalette::WindowText);

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(line, &enter);
    const bool active = !c.opens.isEmpty();
    EXPECT_EQ(line->cursor().shape(), active ? Qt::PointingHandCursor : Qt::ArrowCursor);
    EXPECT_EQ(line->palette().color(QPalette::WindowText), active ? QColor(0, 0, 128) : normal);
    EXPECT_EQ(line->frameShape() != QFrame::NoFrame, active);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(line, &leave);
    EXPECT_EQ(line->palette().color(QPalette::WindowText), normal);
    EXPECT_EQ(line->frameShape(), QFrame::NoFrame);

    QTest::mouseClick(line, Qt::LeftButton);
    if (!active) {
      EXPECT_TRUE(opened.isEmpty());
      continue;
    }
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened[0].first.toLocalFile()).fileName(), c.opens);
    EXPECT_EQ(opened[0].second, c.inBrowser);
  }
}

TEST_F(WindowTest, OpenToolWindowsDoNotKeepTheProgramRunning) {
  // The program's own loop, as it runs it: closing the main window ends it
  // although the ASCII table and an about box are still open.
  QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
  bool gaveUp = false;
  QTimer::singleShot(0, window.get(), [this] {
    window->aAsciiTableExecute();
    window->ShowAbout();
    window->close();
  });
  QTimer giveUp; // stopped with the test, whichever way it ends
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [&gaveUp] {
    gaveUp = true;
    QCoreApplication::quit();
  });
  giveUp.start(5000);
  QCoreApplication::exec();
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(lastClosed.count(), 1);
}
