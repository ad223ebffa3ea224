#include "tools/cmdlinehistorykeys.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

namespace {

class CommandHistoryWindow : public WindowTest {
protected:
  QLineEdit *CommandLine() const { return window->findChild<QLineEdit *>("edtCommandLine"); }
  void SendTyped(const QString &command) {
    QLineEdit *edit = CommandLine();
    edit->clear();
    QTest::keyClicks(edit, command);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void Activate() {
    window->activateWindow();
    CommandLine()->setFocus();
    (void)QTest::qWaitForWindowActive(window.get(), 2000);
  }
};

TEST_F(CommandHistoryWindow, SentCommandsOutliveARestartOutsideTheConfiguration) {
  ASSERT_NE(CommandLine(), nullptr);
  SendTyped("first");
  SendTyped("second");
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  Close();
  // The configuration file keeps its layout: only the last command is there.
  QFile config(dir.filePath("config.xml"));
  ASSERT_TRUE(config.open(QIODevice::ReadOnly));
  const QByteArray xml = config.readAll();
  EXPECT_TRUE(xml.contains("LastCommand=\"second\"")) << xml.toStdString();
  EXPECT_FALSE(xml.contains("first")) << xml.toStdString();

  Open();
  QLineEdit *edit = CommandLine();
  EXPECT_EQ(edit->text(), "second"); // the designed last command
  edit->clear();
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "second");
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "first");
}

TEST_F(CommandHistoryWindow, CtrlRStaysTheWindowsAndTheSearchHasItsOwnKey) {
  SendTyped("AT+GMR");
  SendTyped("ping");
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  Activate();
  if (!window->isActiveWindow())
    GTEST_SKIP() << "the platform gives no active window, so no shortcut fires";
  auto *tabs = window->findChild<QTabWidget *>("pgcLeftTools");
  const int before = tabs->count();
  QTest::keyClick(CommandLine(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(tabs->count(), before + 1) << "Ctrl+R shows the responder tab as before";
  QTest::keyClick(CommandLine(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(tabs->count(), before);

  QTest::keyClick(CommandLine(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(tabs->count(), before);
  TCmdLineHistorySearch *search = window->findChild<TCmdLineHistorySearch *>("frmHistorySearch");
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(search->isVisible());
  QTest::keyClicks(search->SearchEdit(), "gmr");
  ASSERT_EQ(search->List()->count(), 1);
  QTest::keyClick(search->SearchEdit(), Qt::Key_Return);
  EXPECT_EQ(CommandLine()->text(), "AT+GMR");
  EXPECT_EQ(window->vstTerminal()->RowCount(), 2u) << "picked, not sent";
}

} // namespace
