#include "view/packetdetail.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

int OpenDetailWindows() {
  int n = 0;
  for (QWidget *w : QApplication::topLevelWidgets())
    n += qobject_cast<TForm2 *>(w) != nullptr && w->isVisible();
  return n;
}

class PacketDetail : public ::testing::Test {
protected:
  void SetUp() override {
    mainWindow.setGeometry(100, 100, 900, 700);
    mainWindow.show();
  }
  void TearDown() override {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (qobject_cast<TForm2 *>(w))
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QWidget mainWindow;
};

TEST_F(PacketDetail, OpensOneWindowPerRow) {
  TForm2 *first = ShowPacketDetail(&mainWindow, 5, QStringLiteral("ASCII:\rA\r\rHEX:\r41 "));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->objectName(), QStringLiteral("pf_5"));
  EXPECT_EQ(first->windowTitle(), QStringLiteral("Line 5."));
  EXPECT_EQ(first->size(), QSize(563, 324));
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QPlainTextEdit *text = first->findChild<QPlainTextEdit *>(QStringLiteral("redt1"));
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->toPlainText(), QStringLiteral("ASCII:\nA\n\nHEX:\n41 "));
  EXPECT_EQ(text->font().pointSize(), 10);
  EXPECT_TRUE(text->font().families().contains(QStringLiteral("Consolas")));
  EXPECT_LE(
      (first->frameGeometry().center() - mainWindow.frameGeometry().center()).manhattanLength(), 2);

  // Found again by its row: the second double click only brings it forward.
  EXPECT_EQ(ShowPacketDetail(&mainWindow, 5, QStringLiteral("other")), first);
  EXPECT_EQ(ShowPacketDetail(&mainWindow, 5, QString()), first);
  EXPECT_EQ(text->toPlainText(), QStringLiteral("ASCII:\nA\n\nHEX:\n41 "));
  EXPECT_EQ(OpenDetailWindows(), 1);

  TForm2 *other = ShowPacketDetail(&mainWindow, 6, QStringLiteral("x"));
  EXPECT_NE(other, first);
  EXPECT_EQ(OpenDetailWindows(), 2);
}

TEST_F(PacketDetail, EmptyTextOpensNothing) {
  EXPECT_EQ(ShowPacketDetail(&mainWindow, 2, QString()), nullptr);
  EXPECT_EQ(OpenDetailWindows(), 0);
}

TEST_F(PacketDetail, ClosedWindowIsDestroyedAndOpensAnew) {
  QPointer<TForm2> first = ShowPacketDetail(&mainWindow, 3, QStringLiteral("a"));
  ASSERT_TRUE(first);
  first->close();
  // Even before its deletion a closed window is not found again.
  TForm2 *second = ShowPacketDetail(&mainWindow, 3, QStringLiteral("b"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(first);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Editor()->toPlainText(), QStringLiteral("b"));
}

TEST(PacketDetailCaption, TakesTheRowInPlaceOfTheFirstNumber) {
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("Line %d."), QStringLiteral("Line 5.")},
      {QStringLiteral("Řádek %d."), QStringLiteral("Řádek 5.")},
      {QStringLiteral("%s %n %d %d%%"), QStringLiteral("%s %n 5 %d%%")}, // no printf
      {QStringLiteral("Detail"), QStringLiteral("Detail")},
  };
  for (const auto &[format, caption] : cases)
    EXPECT_EQ(PacketDetailCaption(format, 5), caption);
}

} // namespace
