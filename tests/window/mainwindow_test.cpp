#include "app/ipc.h"
#include "app/parserpage.h"
#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/datapelmar97.h"
#include "tools/cmdline.h"
#include "view/terminalview.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSplitter>
#include <QTest>
#include <QTextEdit>
#include <atomic>
#include <thread>

namespace {

TEST_F(WindowTest, TypedCommandIsSentAsATransmittedRow) {
  auto *edit = window->findChild<QLineEdit *>("edtCommandLine");
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  edit->clear();
  QTest::keyClicks(edit, "AT{0x0D}");
  QTest::keyClick(edit, Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  const Row row = Rows(window->vstTerminal())[0];
  EXPECT_EQ(row.direction, spTx);
  EXPECT_TRUE(row.bytes.startsWith("AT\r"));
  EXPECT_NE(window->vstTerminal()->NodeAt(0)->Data->Time, 0.0);
}

TEST_F(WindowTest, ReceivedBytesAreCutByTheChosenParser) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolCustomParser->click();
  ASSERT_TRUE(page->rbProtocolCustomParserSufix->isChecked());
  window->Receive("AB", {});
  ASSERT_TRUE(WaitFor([&] { return Remainder(window->vstRxBuffer()) == "AB"; }));
  EXPECT_EQ(window->vstTerminal()->RowCount(), 0u);
  window->Receive("C\r", {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  EXPECT_EQ(Rows(window->vstTerminal())[0].bytes, "ABC\r");
  EXPECT_TRUE(WaitFor([&] { return window->vstRxBuffer()->RowCount() == 0; }));

  page->rbProtocolPelmar97->click();
  window->Receive(QByteArray::fromHex("2A610008010223148107AA0D"), {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  EXPECT_EQ(Rows(window->vstTerminal())[1].kind, "TVexlinDataBinary_Pelmar97");
}

TEST_F(WindowTest, SuffixFieldShowsConversionErrors) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolCustomParser->click();
  page->edtProtocolCustomParsertSufix->setText("{0x0D");
  EXPECT_TRUE(dialogs.balloon.startsWith("Chyba zadání:"));
  EXPECT_EQ(window->Receiver().fVexlinParser_Sufix.Sufix(), "\r") << "the old suffix stays";
  page->edtProtocolCustomParsertSufix->setText("{0x0A}");
  EXPECT_TRUE(dialogs.balloon.isEmpty());
  EXPECT_EQ(window->Receiver().fVexlinParser_Sufix.Sufix(), "\n");
}

TEST_F(WindowTest, ClearAndMoveUp) {
  window->ParserPage()->rbProtocolCustomParser->click();
  window->Receive("xy", {});
  ASSERT_TRUE(WaitFor([&] { return window->vstRxBuffer()->RowCount() == 1; }));
  window->pmiMoveUpClick();
  ASSERT_EQ(window->vstTerminal()->RowCount(), 1u);
  EXPECT_EQ(Rows(window->vstTerminal())[0].bytes, "xy");
  EXPECT_EQ(window->vstTerminal()->NodeAt(0)->Data->Time, 0.0);
  EXPECT_EQ(window->vstRxBuffer()->RowCount(), 0u);
  EXPECT_EQ(window->Receiver().Buffer(0).UsedSize(), 0);

  window->Receive("z", {});
  ASSERT_TRUE(WaitFor([&] { return window->vstRxBuffer()->RowCount() == 1; }));
  window->bClearClick();
  EXPECT_EQ(window->vstTerminal()->RowCount(), 0u);
  EXPECT_EQ(window->vstRxBuffer()->RowCount(), 0u);
  EXPECT_EQ(window->Receiver().Buffer(0).UsedSize(), 0);
}

TEST_F(WindowTest, OtherProcessesInjectThroughTheLocalSocket) {
  QString error;
  ASSERT_TRUE(window->ListenForOtherProcesses(&error)) << error.toStdString();
  // From another thread, as another process would: the window answers
  // each block with a receipt. Both blocks start with 0x01, which is a byte
  // like any other: the operation travels beside the bytes.
  const QByteArray sent = QByteArray::fromHex("014142");
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  std::atomic<int> delivered{0};
  std::thread client([&] {
    delivered += TPtIpcServer::SendBlock(TIpcOperation::Send, sent);
    delivered += TPtIpcServer::SendBlock(TIpcOperation::Receive, QByteArray(1, '\x01') + frame);
  });
  const bool finished = WaitFor([&] { return delivered == 2; });
  client.join();
  ASSERT_TRUE(finished);
  window->WMCopyData(TIpcOperation::Send, {});
  // The sent block becomes a transmitted row; the received one goes through
  // the frame parser, which cuts the byte in front of the frame off as a
  // row of its own and the frame whole.
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 3; }));
  const auto rows = Rows(window->vstTerminal());
  EXPECT_EQ(rows[0].direction, spTx);
  EXPECT_EQ(rows[0].bytes, sent);
  EXPECT_EQ(rows[1].direction, spRx);
  EXPECT_EQ(rows[1].bytes, "\x01");
  EXPECT_EQ(rows[2].direction, spRx);
  EXPECT_EQ(rows[2].bytes, frame);
  EXPECT_EQ(rows[2].kind, "TVexlinDataBinary_Pelmar97");

  // A frame handed over alone is shown alone.
  std::thread again([&] { delivered += TPtIpcServer::SendBlock(TIpcOperation::Receive, frame); });
  const bool shown = WaitFor([&] { return window->vstTerminal()->RowCount() == 4; });
  again.join();
  ASSERT_TRUE(shown);
  EXPECT_EQ(Rows(window->vstTerminal())[3].bytes, frame);
  Settle(100);
  EXPECT_EQ(window->vstTerminal()->RowCount(), 4u);
}

TEST_F(WindowTest, SaveAndLoadALog) {
  window->Send("hello");
  window->LogInfoMsg("a line", 0xFF);
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  window->aSaveDataExecute();
  const QStringList saved = QDir(dir.path()).entryList({"*_log.txt"});
  ASSERT_EQ(saved.size(), 1);
  EXPECT_TRUE(dialogs.messages.isEmpty());

  // Saving again asks before overwriting; Cancel saves nothing.
  dialogs.answer = TPtDialogs::Cancel;
  window->aSaveDataExecute();
  EXPECT_EQ(dialogs.questions.size(), 1);

  window->bClearClick();
  dialogs.openName = dir.filePath(saved[0]);
  window->aOpenDataExecute();
  const auto rows = Rows(window->vstTerminal());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].bytes, "hello");
  EXPECT_EQ(rows[0].direction, spTx);
  EXPECT_EQ(rows[1].bytes, "a line");

  dialogs.openName = dir.filePath("missing.txt");
  window->aOpenDataExecute();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("se npodařilo otevřít!"));
}

TEST_F(WindowTest, SaveAsAddsTheFilterExtensionToABareName) {
  window->Send("hello");
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  window->aSaveDataExecute();
  ASSERT_EQ(QDir(dir.path()).entryList({"*_log.txt"}).size(), 1);
  // The proposed name exists: "No" asks for another one.
  dialogs.answer = TPtDialogs::No;
  const struct {
    const char *typed;
    const char *saved;
  } cases[] = {{"bare", "bare.vexlin.txt"}, {"kept.log", "kept.log"}};
  for (const auto &c : cases) {
    dialogs.saveName = dir.filePath(c.typed);
    window->aSaveDataExecute();
    EXPECT_TRUE(QFile::exists(dir.filePath(c.saved))) << c.typed;
  }
  EXPECT_FALSE(QFile::exists(dir.filePath("bare")));
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(WindowTest, SettingsSurviveARestart) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolCustomParser->click();
  page->rbProtocolCustomParserLength->click();
  page->ieProtocolCustomParserLength->SetValue(7);
  window->TerminalView()->SetColumnVisibility(2, true);
  Close();
  QFile first(dir.filePath("config.xml"));
  ASSERT_TRUE(first.open(QIODevice::ReadOnly));
  const QByteArray once = first.readAll();
  first.close();
  EXPECT_TRUE(once.contains("CustomType=\"Length\""));

  Open();
  page = window->ParserPage();
  EXPECT_TRUE(page->rbProtocolCustomParser->isChecked());
  EXPECT_TRUE(page->rbProtocolCustomParserLength->isChecked());
  EXPECT_EQ(page->ieProtocolCustomParserLength->GetValue(), 7);
  EXPECT_EQ(window->Receiver().Parser(), &window->Receiver().fVexlinParser_Length);
  EXPECT_TRUE(window->vstTerminal()->IsColumnVisible(2));
  Close();
  auto read = [&] {
    QFile f(dir.filePath("config.xml"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
  };
  const std::string twice = read();
  EXPECT_NE(twice.find("<presets/>"), std::string::npos) << "reading adds the presets element";
  Open();
  Close();
  EXPECT_EQ(read(), twice) << "a start and close without changes keeps the file";
}

TEST_F(WindowTest, BrokenConfigIsReportedAndKept) {
  Close();
  QFile f(dir.filePath("config.xml"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("<pelmar_terminal");
  f.close();
  Open();
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() >= 1; }));
  EXPECT_EQ(Rows(window->vstTerminal())[0].kind, "TVexlinDataLog");
  Close();
  EXPECT_TRUE(QFile::exists(dir.filePath("config.xml.bak")));
}

} // namespace

namespace {

// Mouse events straight to a widget, as the platform would deliver them.
void MouseTo(QWidget *target, QEvent::Type type, QPoint pos,
             Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button,
                    type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

// The information window: a top-level window of its own.
QWidget *InformationWindow() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "formDuradiDarozavi_InstInfoBox")
      return w;
  return nullptr;
}

// A double click that opens a packet's detail window, and a column change
// that moves every byte, leave the row: the information window must not stay
// on top of them showing a byte that is no longer under the mouse.
TEST_F(WindowTest, InformationWindowHidesWhenTheBytesAreCoveredOrMoved) {
  window->Receive(QByteArray::fromHex("2A610008010223148107AA0D"), {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  TVexlinTree *list = window->vstTerminal();
  QWidget *info = InformationWindow();
  ASSERT_NE(info, nullptr);
  auto hoverThirdByte = [&] {
    const QRect cell = list->NodeCellRect(list->NodeAt(0), DataColumn);
    const QPoint at(cell.left() + 2 * 3 * TVexlinDataBinary::HexCharWidth + 2, cell.top() + 4);
    MouseTo(list->viewport(), QEvent::MouseMove, at);
    return at;
  };
  QAction *timeColumn = window->findChild<QAction *>("actShowColumnTimestamp");
  ASSERT_NE(timeColumn, nullptr);

  const QPoint at = hoverThirdByte();
  ASSERT_TRUE(info->isVisible());
  MouseTo(list->viewport(), QEvent::MouseButtonDblClick, at, Qt::LeftButton);
  QWidget *detail = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "pf_0" && w->isVisible())
      detail = w;
  ASSERT_NE(detail, nullptr);
  EXPECT_FALSE(info->isVisible());
  EXPECT_TRUE(list->FocusFrameHex().isEmpty());
  detail->close();

  for (int change = 0; change < 2; ++change) { // hidden, then shown again
    hoverThirdByte();
    ASSERT_TRUE(info->isVisible()) << change;
    timeColumn->trigger();
    EXPECT_FALSE(info->isVisible()) << change;
    EXPECT_TRUE(list->FocusFrameHex().isEmpty()) << change;
  }

  hoverThirdByte();
  ASSERT_TRUE(info->isVisible());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(list->viewport(), &leave);
  EXPECT_FALSE(info->isVisible()) << "the mouse left the list";
}

// The auto-scroll switch and the buffer label sit on the bar between the
// packet list and the unparsed-data view, whatever changed the layout.
TEST_F(WindowTest, BarLabelsFollowTheSplitterBar) {
  auto *splitter = window->findChild<QSplitter *>("Splitter2");
  auto *label = window->findChild<QWidget *>("lblBuffer");
  auto *scroll = window->findChild<QWidget *>("chkScroll");
  ASSERT_TRUE(splitter && label && scroll);
  QAction *presets = window->findChild<QAction *>("mimViewPresets");
  QAction *left = window->findChild<QAction *>("mimViewLeftPanel");
  QAction *log = window->findChild<QAction *>("mimViewCommunication");
  ASSERT_TRUE(presets && left && log);

  auto expectOnTheBar = [&](const char *after) {
    Process();
    ASSERT_TRUE(label->isVisible()) << after;
    QWidget *handle = splitter->handle(1);
    const QRect bar(handle->mapTo(window.get(), QPoint(0, 0)), handle->size());
    const QRect l(label->mapTo(window.get(), QPoint(0, 0)), label->size());
    const QRect s(scroll->mapTo(window.get(), QPoint(0, 0)), scroll->size());
    EXPECT_LE(std::abs(l.center().y() - bar.center().y()), 1) << after;
    EXPECT_LE(std::abs(s.center().y() - bar.center().y()), 1) << after;
    EXPECT_EQ(l.left(), bar.left() + 2) << after;
    EXPECT_EQ(s.right(), bar.right() - 5) << after;
  };
  expectOnTheBar("start");
  window->resize(window->width() + 150, window->height() + 120);
  expectOnTheBar("a larger window");
  window->resize(window->width() - 250, window->height() - 200);
  expectOnTheBar("a smaller window");
  presets->trigger();
  expectOnTheBar("hiding the presets");
  left->trigger();
  expectOnTheBar("hiding the left panel");
  log->trigger();
  log->trigger();
  expectOnTheBar("hiding and showing the communication");
  left->trigger();
  presets->trigger();
  expectOnTheBar("showing the panels");
  const QList<int> sizes = splitter->sizes();
  splitter->setSizes({sizes[0] - 60, sizes[1] + 60});
  expectOnTheBar("sizes set by code");
}

TEST_F(WindowTest, HoveringAByteFillsTheInformationWindow) {
  window->Receive(QByteArray::fromHex("2A610008010223148107AA0D"), {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  TVexlinTree *list = window->vstTerminal();
  QWidget *viewport = list->viewport();
  TVexlinNode *node = list->NodeAt(0);
  const QRect cell = list->NodeCellRect(node, DataColumn);
  ASSERT_TRUE(cell.isValid());
  // The third byte's hexadecimal cell: three character widths per byte.
  const int x = cell.left() + 2 * 3 * TVexlinDataBinary::HexCharWidth + 2;
  MouseTo(viewport, QEvent::MouseMove, QPoint(x, cell.top() + 4));
  auto *box = window->findChild<QWidget *>("wb1", Qt::FindChildrenRecursively);
  if (!box) // the information window is a top-level window of its own
    for (QWidget *w : QApplication::topLevelWidgets())
      if ((box = w->findChild<QWidget *>("wb1")))
        break;
  ASSERT_NE(box, nullptr);
  auto *browser = qobject_cast<QTextEdit *>(box);
  ASSERT_NE(browser, nullptr);
  // The third byte of a frame is the high byte of its length field.
  EXPECT_TRUE(browser->toPlainText().contains("LEN <hi>")) << browser->toPlainText().toStdString();
  EXPECT_TRUE(browser->window()->isVisible());

  // Leaving the row hides it again.
  MouseTo(viewport, QEvent::MouseMove, QPoint(x, list->viewport()->height() - 2));
  EXPECT_FALSE(browser->window()->isVisible());

  // A double click opens the packet's detail text, once per row.
  MouseTo(viewport, QEvent::MouseButtonDblClick, QPoint(x, cell.top() + 4), Qt::LeftButton);
  MouseTo(viewport, QEvent::MouseButtonDblClick, QPoint(x, cell.top() + 4), Qt::LeftButton);
  int details = 0;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "pf_0" && w->isVisible()) {
      ++details;
      EXPECT_EQ(w->windowTitle(), "Line 0.");
      w->close();
    }
  EXPECT_EQ(details, 1);
}

TEST_F(WindowTest, HidingBothPanelsMakesTheWindowCompact) {
  auto *middle = window->findChild<QWidget *>("pMiddle");
  ASSERT_NE(middle, nullptr);
  const int fullHeight = window->height();
  QAction *left = nullptr, *log = nullptr;
  for (QAction *a : window->findChildren<QAction *>()) {
    if (a->text() == QString::fromUtf8("Levý multifunkční panel"))
      left = a;
    if (a->text() == "Komunikace")
      log = a;
  }
  ASSERT_TRUE(left && log);
  left->trigger();
  EXPECT_TRUE(middle->isVisibleTo(window.get())) << "the log still shows";
  log->trigger();
  EXPECT_FALSE(middle->isVisibleTo(window.get()));
  EXPECT_LT(window->height(), fullHeight);
  log->trigger();
  EXPECT_TRUE(middle->isVisibleTo(window.get()));
  EXPECT_EQ(window->height(), fullHeight);
}

} // namespace
