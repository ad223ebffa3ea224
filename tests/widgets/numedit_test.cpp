#include "widgets/numedit.h"
#include "widgets/widgetinput.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Replaces the text as if typed (unvalidated) and presses Enter.
void EnterText(TIntEdit &edit, const QString &text) {
  edit.setText(text);
  PressEnter(&edit);
}

void LeaveBox(QWidget &widget, Qt::FocusReason reason = Qt::TabFocusReason) {
  QFocusEvent out(QEvent::FocusOut, reason);
  QCoreApplication::sendEvent(&widget, &out);
}

TEST(ParseIntText, ReadsWholeIntegersOnly) {
  const struct {
    const char *text;
    bool ok;
    int value;
  } cases[] = {
      {"42", true, 42},
      {"-42", true, -42},
      {"+7", true, 7},
      {"  15", true, 15},
      {"$1F", true, 31},
      {"0x1f", true, 31},
      {"-2147483648", true, std::numeric_limits<int>::min()},
      {"2147483647", true, std::numeric_limits<int>::max()},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"12x", false, 0},
      {"15 ", false, 0},
      {"1F", false, 0},
  };
  for (const auto &c : cases) {
    int value = 12345;
    EXPECT_EQ(ParseIntText(QString::fromLatin1(c.text), value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : 12345) << c.text;
  }
}

TEST(LeadingIntText, TakesSignAndLeadingDigits) {
  EXPECT_EQ(LeadingIntText("12x"), 12);
  EXPECT_EQ(LeadingIntText("-7a"), -7);
  EXPECT_EQ(LeadingIntText("x12"), 0);
  EXPECT_EQ(LeadingIntText(""), 0);
  EXPECT_GT(LeadingIntText("99999999999999999999999"), std::numeric_limits<int>::max());
}

TEST(TIntEdit, ValidationClampsIntoTheRange) {
  const struct {
    const char *typed;
    const char *shown;
  } cases[] = {
      {"250", "100"}, {"-5", "0"},   {"50", "50"},           {"12x", "12"}, {"abc", "0"},
      {"", "0"},      {"$1F", "31"}, {"99999999999", "100"}, {" 7", "7"},
  };
  for (const auto &c : cases) {
    TIntEdit edit;
    edit.SetValue(40);
    EnterText(edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(edit.text(), QString::fromLatin1(c.shown)) << c.typed;
    EXPECT_EQ(edit.GetValue(), edit.text().toInt()) << c.typed;
  }
}

TEST(TIntEdit, LeavingTheBoxValidatesButAPopupDoesNot) {
  TIntEdit edit;
  edit.setText("250");
  LeaveBox(edit, Qt::PopupFocusReason);
  EXPECT_EQ(edit.text(), "250");
  LeaveBox(edit, Qt::MouseFocusReason);
  EXPECT_EQ(edit.text(), "100");
}

TEST(TIntEdit, WithoutAutoCorrectABadValueIsRefused) {
  TIntEdit edit;
  edit.SetValue(30);
  edit.SetAutoCorrect(false);
  edit.setText("250");
  EXPECT_FALSE(edit.IsValid());
  EXPECT_EQ(edit.text(), "30");
  edit.setText("60");
  EXPECT_TRUE(edit.IsValid());
  EXPECT_EQ(edit.text(), "60");
}

TEST(TIntEdit, KeysStepByIncrementPageAndCtrl) {
  const struct {
    int key;
    Qt::KeyboardModifiers modifiers;
    int expected;
  } cases[] = {
      {Qt::Key_Up, Qt::NoModifier, 1100},      {Qt::Key_Up, Qt::ControlModifier, 2000},
      {Qt::Key_PageUp, Qt::NoModifier, 10000}, {Qt::Key_PageUp, Qt::ControlModifier, 10000},
      {Qt::Key_Down, Qt::NoModifier, 900},     {Qt::Key_Down, Qt::ControlModifier, 0},
      {Qt::Key_PageDown, Qt::NoModifier, 0},
  };
  for (const auto &c : cases) {
    TIntEdit edit;
    edit.SetMaxValue(10000);
    edit.SetIncrement(100);
    edit.SetPageMult(100);
    edit.SetValue(1000);
    PressKey(&edit, c.key, c.modifiers);
    EXPECT_EQ(edit.GetValue(), c.expected) << c.key << " " << c.modifiers;
  }
}

TEST(TIntEdit, SteppingStartsFromTheTypedTextOrTheLastValue) {
  TIntEdit edit;
  edit.SetValue(10);
  edit.setText("40"); // typed, not yet validated
  PressKey(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), "41");
  edit.setText("4x");
  PressKey(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), "42");
}

TEST(TIntEdit, HugeStepsSaturateAtTheBounds) {
  TIntEdit edit;
  edit.SetMaxValue(std::numeric_limits<int>::max());
  edit.SetMinValue(std::numeric_limits<int>::min());
  edit.SetIncrement(std::numeric_limits<int>::max());
  edit.SetPageMult(65535);
  edit.SetValue(5);
  PressKey(&edit, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(edit.GetValue(), std::numeric_limits<int>::max());
  PressKey(&edit, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(edit.GetValue(), std::numeric_limits<int>::min());
}

TEST(TIntEdit, ArrowButtonsStepAndFollowUpDownEnable) {
  TIntEdit edit;
  edit.SetValue(50);
  edit.UpDown()->UpButton()->click();
  EXPECT_EQ(edit.GetValue(), 51);
  edit.UpDown()->DownButton()->click();
  edit.UpDown()->DownButton()->click();
  EXPECT_EQ(edit.GetValue(), 49);

  edit.SetUpDownEnable(false);
  EXPECT_FALSE(edit.UpDown()->isEnabled());
  edit.UpDown()->UpButton()->click();
  EXPECT_EQ(edit.GetValue(), 49);

  edit.SetUpDownEnable(true);
  edit.setReadOnly(true);
  edit.UpDown()->UpButton()->click();
  PressKey(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.GetValue(), 49);
}

TEST(TIntEdit, WheelStepsOnlyTheFocusedBox) {
  QWidget window;
  auto *other = new QLineEdit(&window);
  auto *edit = new TIntEdit(&window);
  edit->SetValue(50);
  window.show();
  QApplication::setActiveWindow(&window);
  other->setFocus();
  ASSERT_TRUE(WaitFor([other] { return other->hasFocus(); }, 1000));

  const auto wheel = [edit](int delta) {
    QWheelEvent event(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(edit, &event);
  };
  wheel(120);
  EXPECT_EQ(edit->GetValue(), 50);

  edit->setFocus();
  ASSERT_TRUE(WaitFor([edit] { return edit->hasFocus(); }, 1000));
  wheel(120);
  EXPECT_EQ(edit->GetValue(), 51);
  wheel(60); // half a notch waits for the other half
  EXPECT_EQ(edit->GetValue(), 51);
  wheel(-60);
  wheel(-240);
  EXPECT_EQ(edit->GetValue(), 49);
}

TEST(TIntEdit, KeyFilterLetsOnlyDigitsAndMinusThrough) {
  TIntEdit edit;
  edit.SetMinValue(-100);
  edit.clear();
  TypeText(&edit, "1a-2 b.3");
  EXPECT_EQ(edit.text(), "1-23");
  PressKey(&edit, Qt::Key_Backspace, Qt::NoModifier, "\b");
  EXPECT_EQ(edit.text(), "1-2");
}

TEST(TIntEdit, PastingFollowsEditorEnabled) {
  QApplication::clipboard()->setText("12x");
  TIntEdit edit;
  edit.clear();
  edit.SetEditorEnabled(false);
  PressKey(&edit, Qt::Key_V, Qt::ControlModifier, "\x16");
  EXPECT_EQ(edit.text(), "");

  edit.SetEditorEnabled(true);
  PressKey(&edit, Qt::Key_V, Qt::ControlModifier, "\x16");
  EXPECT_EQ(edit.text(), "12x");
  PressEnter(&edit);
  EXPECT_EQ(edit.text(), "12");
}

TEST(TIntEdit, DesktopEditingKeys) {
  TIntEdit edit;
  edit.SetMaxValue(1000);
  edit.SetValue(12);
  PressKey(&edit, Qt::Key_A, Qt::ControlModifier, "\x01");
  EXPECT_EQ(edit.selectedText(), "12");
  PressKey(&edit, Qt::Key_C, Qt::ControlModifier, "\x03");
  EXPECT_EQ(QApplication::clipboard()->text(), "12");
  TypeText(&edit, "7");
  EXPECT_EQ(edit.text(), "7");
  PressKey(&edit, Qt::Key_Z, Qt::ControlModifier, "\x1a");
  EXPECT_EQ(edit.text(), "12");
  PressKey(&edit, Qt::Key_Y, Qt::ControlModifier, "\x19");
  EXPECT_EQ(edit.text(), "7");
  PressKey(&edit, Qt::Key_A, Qt::ControlModifier, "\x01");
  PressKey(&edit, Qt::Key_X, Qt::ControlModifier, "\x18");
  EXPECT_EQ(edit.text(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "7");
  // Read-only: selecting and copying still work, nothing changes the text.
  edit.setText("5");
  edit.setReadOnly(true);
  PressKey(&edit, Qt::Key_A, Qt::ControlModifier, "\x01");
  EXPECT_EQ(edit.selectedText(), "5");
  PressKey(&edit, Qt::Key_X, Qt::ControlModifier, "\x18");
  PressKey(&edit, Qt::Key_V, Qt::ControlModifier, "\x16");
  EXPECT_EQ(edit.text(), "5");
}

TEST(TIntEdit, ValueReadsTheTextNotTheLastSetValue) {
  TIntEdit edit;
  edit.SetValue(42);
  edit.clear();
  EXPECT_EQ(edit.GetValue(), 0);
  edit.setText("77");
  EXPECT_EQ(edit.GetValue(), 77);
}

TEST(TIntEdit, BoundsNeverCross) {
  TIntEdit edit;
  edit.SetValue(50);
  edit.SetMinValue(200);
  EXPECT_EQ(edit.MinValue(), 100);
  EXPECT_EQ(edit.MaxValue(), 100);
  EXPECT_EQ(edit.text(), "100");

  TIntEdit other;
  other.SetValue(50);
  other.SetMaxValue(-3);
  EXPECT_EQ(other.MaxValue(), 0);
  EXPECT_EQ(other.text(), "0");

  other.SetIncrement(0);
  other.SetIncrement(-5);
  EXPECT_EQ(other.Increment(), 1);
}

TEST(TIntEdit, NotifiesEveryTextChange) {
  TIntEdit edit;
  int changes = 0;
  QList<int> values;
  QObject::connect(&edit, &TMyCustomNumEdit::Change, [&] { ++changes; });
  QObject::connect(&edit, &TIntEdit::valueChanged, [&](int v) { values.append(v); });
  TypeText(&edit, "5");
  edit.SetValue(9);
  edit.setText("x");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(values, (QList<int>{5, 9, 0}));
}

TEST(TIntEdit, ColouredShowsNegativeNumbersInRed) {
  TIntEdit edit;
  edit.SetMinValue(-10);
  const QColor normal = edit.palette().color(QPalette::Text);
  edit.SetValue(-5);
  EXPECT_EQ(edit.palette().color(QPalette::Text), normal);
  edit.SetColored(true);
  EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::red));
  edit.SetValue(5);
  EXPECT_EQ(edit.palette().color(QPalette::Text), normal);
}

} // namespace
