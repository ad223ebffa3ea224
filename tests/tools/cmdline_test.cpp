#include "base/pterror.h"
#include "tools/cmdline.h"
#include "widgets/widgetinput.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(BraceGroupRanges, MarksEveryCharacterFromBraceToBrace) {
  const struct {
    const char *text;
    QList<TTextRange> blue;
  } cases[] = {
      {"", {}},
      {"AT", {}},
      {"AB}CD", {}},
      {"A{0x0D}B", {{1, 6}}},
      {"{0x0D", {{0, 5}}},
      {"{a{b}c}", {{0, 5}}}, // groups do not nest: "c}" is plain
      {"{1}x{2", {{0, 3}, {4, 2}}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(BraceGroupRanges(QString::fromLatin1(c.text)), c.blue) << c.text;
}

TEST(PrepareCommandBytes, ConvertsThroughTheCodePageAndTheSyntax) {
  EXPECT_EQ(PrepareCommandBytes("AT{0x0D}", false), QByteArray("AT\r"));
  EXPECT_EQ(PrepareCommandBytes("AT{0x0D}", true), QByteArray("AT\r\r"));
  EXPECT_EQ(PrepareCommandBytes("", true), QByteArray("\r"));
  EXPECT_EQ(PrepareCommandBytes("", false), QByteArray());
  // Windows-1250: "č" is 0xE8; a character outside the code page becomes "?".
  EXPECT_EQ(PrepareCommandBytes(QString::fromUtf8("č€\u4e2d"), false), QByteArray("\xE8\x80?"));
  EXPECT_THROW(PrepareCommandBytes("{0x0D", true), EPtError);
}

struct Caret {
  const char *before;
  int caret;
  int selStart; // -1: no selection
  int selLength;
  const char *typed;
  const char *after;
  int caretAfter;
};

TEST(TPelmarCmdLine, HelpsWithBraces) {
  const Caret cases[] = {
      {"ab", 1, -1, 0, "{", "a{}b", 2},   {"", 0, -1, 0, "{", "{}", 1},
      {"abc", 0, 1, 1, "{", "a{}bc", 2}, // the selection is kept, not replaced
      {"{12}", 3, -1, 0, "}", "{12}", 4}, {"{12", 3, -1, 0, "}", "{12}", 4},
      {"ab", 1, -1, 0, "}", "a}b", 2},
  };
  for (const auto &c : cases) {
    TPelmarCmdLine edit;
    edit.setText(c.before);
    edit.setCursorPosition(c.caret);
    if (c.selStart >= 0)
      edit.setSelection(c.selStart, c.selLength);
    TypeText(&edit, c.typed);
    EXPECT_EQ(edit.text(), c.after) << c.before << " + " << c.typed;
    EXPECT_EQ(edit.cursorPosition(), c.caretAfter) << c.before << " + " << c.typed;
  }
}

TEST(TPelmarCmdLine, EnterIsReportedAndNeverTyped) {
  TPelmarCmdLine edit;
  int enters = 0;
  QObject::connect(&edit, &TPelmarCmdLine::EnterPressed, [&] { ++enters; });
  TypeText(&edit, "AT");
  PressEnter(&edit);
  PressKey(&edit, Qt::Key_Enter, Qt::KeypadModifier, "\r");
  EXPECT_EQ(enters, 2);
  EXPECT_EQ(edit.text(), "AT");
}

TEST(TPelmarCmdLine, ColouringLeavesEditingAlone) {
  TPelmarCmdLine edit;
  int changes = 0;
  QObject::connect(&edit, &QLineEdit::textChanged, [&] { ++changes; });
  TypeText(&edit, "A{1");
  EXPECT_EQ(edit.text(), "A{1}");
  EXPECT_EQ(changes, 3);
  edit.setSelection(1, 2); // selecting is no change either
  EXPECT_EQ(changes, 3);
  // The colour updates must not wipe the undo history.
  ASSERT_TRUE(edit.isUndoAvailable());
  edit.undo();
  EXPECT_NE(edit.text(), "A{1}");
  edit.redo();
  EXPECT_EQ(edit.text(), "A{1}");
}

// Pixels that are clearly blue, as brace groups are drawn.
int BluePixels(const QImage &image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      count += c.blue() > 180 && c.red() < 90 && c.green() < 90;
    }
  return count;
}

TEST(TPelmarCmdLine, DrawsBraceGroupsBlue) {
  TPelmarCmdLine edit;
  edit.resize(300, 30);
  QFont font = edit.font();
  font.setPointSize(14);
  font.setBold(true);
  edit.setFont(font);
  edit.show();

  edit.setText("AB}CD");
  EXPECT_EQ(BluePixels(edit.grab().toImage()), 0);

  edit.setText("AB{0x0D}");
  const QImage grouped = edit.grab().toImage();
  EXPECT_GT(BluePixels(grouped), 20);
  // The blue is only where the group is: the left part with "AB" has none.
  edit.setCursorPosition(2); // where the group starts
  const int groupX = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
  ASSERT_GT(groupX, 2);
  EXPECT_EQ(BluePixels(grouped.copy(0, 0, groupX - 1, grouped.height())), 0);

  edit.setText("ABCD");
  EXPECT_EQ(BluePixels(edit.grab().toImage()), 0);
}

} // namespace

namespace {

TEST(TPelmarCmdLine, DesktopEditingKeys) {
  TPelmarCmdLine edit;
  TypeText(&edit, "OLD");
  // Select all, then typing replaces the old command rather than adding to it.
  PressKey(&edit, Qt::Key_A, Qt::ControlModifier, "\x01");
  EXPECT_EQ(edit.selectedText(), "OLD");
  PressKey(&edit, Qt::Key_C, Qt::ControlModifier, "\x03");
  EXPECT_EQ(QApplication::clipboard()->text(), "OLD");
  TypeText(&edit, "N");
  EXPECT_EQ(edit.text(), "N");
  PressKey(&edit, Qt::Key_Z, Qt::ControlModifier, "\x1a");
  EXPECT_EQ(edit.text(), "OLD");
  PressKey(&edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "\x1a");
  EXPECT_EQ(edit.text(), "N");
  PressKey(&edit, Qt::Key_A, Qt::ControlModifier, "\x01");
  PressKey(&edit, Qt::Key_X, Qt::ControlModifier, "\x18");
  EXPECT_EQ(edit.text(), "");
  PressKey(&edit, Qt::Key_V, Qt::ControlModifier, "\x16");
  PressKey(&edit, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(edit.text(), "NN");

  // The keys are the edit's even where the window has a shortcut for them.
  QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier, "\x01");
  override.ignore();
  QCoreApplication::sendEvent(&edit, &override);
  EXPECT_TRUE(override.isAccepted());
}

} // namespace
