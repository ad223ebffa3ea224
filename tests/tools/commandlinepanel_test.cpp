#include "tools/cmdline.h"
#include "tools/commandlinepanel.h"
#include "tools/repeater.h"
#include "widgets/messages.h"
#include "widgets/numedit.h"
#include "widgets/widgetinput.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct RecordingSink : TMessageSink {
  struct Message {
    QWidget *anchor;
    QString text;
  };
  QList<Message> errors;
  void ShowError(QWidget *anchor, const QString &, const QString &text) override {
    errors.append({anchor, text});
  }
  void ShowBalloon(QWidget *anchor, const QString &title, const QString &text) override {
    balloons.append({anchor, text.isEmpty() ? QString() : title + " " + text});
  }
  QList<Message> balloons;
};

class CommandLinePanelTest : public ::testing::Test {
protected:
  CommandLinePanelTest() {
    QObject::connect(&panel, &TCommandLinePanel::sendRequested,
                     [this](const QByteArray &data) { sent.append(data); });
  }

  RecordingSink sink;
  TCommandLinePanel panel{sink};
  QList<QByteArray> sent;
};

TEST_F(CommandLinePanelTest, HasTheNamedControls) {
  EXPECT_EQ(panel.objectName(), "frame1");
  EXPECT_EQ(panel.findChild<TPelmarCmdLine *>("edtCommandLine"), panel.CommandLine());
  const auto *cr = panel.findChild<QCheckBox *>("cbCR");
  ASSERT_NE(cr, nullptr);
  EXPECT_EQ(cr->text(), "+<CR>");
  EXPECT_TRUE(cr->isChecked());
  const struct {
    const char *name;
    const char *caption;
  } buttons[] = {{"bSend", "Odeslat"}, {"bClear", "Smazat"}, {"bMoveUp", "MoveUp"}};
  for (const auto &b : buttons) {
    const auto *button = panel.findChild<QPushButton *>(b.name);
    ASSERT_NE(button, nullptr) << b.name;
    EXPECT_EQ(button->text(), b.caption);
  }
}

TEST_F(CommandLinePanelTest, TypingPreparesTheBytes) {
  TypeText(panel.CommandLine(), "AT{0x0D}"); // the "}" steps over the inserted one
  EXPECT_EQ(panel.Command(), "AT{0x0D}");
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray("AT\r\r"));
  panel.SetAppendCR(false);
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray::fromHex("41540D"));
  panel.CRCheckBox()->click();
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray::fromHex("41540D0D"));
  EXPECT_TRUE(sink.errors.isEmpty());
}

TEST_F(CommandLinePanelTest, EmptyCommandSendsCarriageReturnOrNothing) {
  panel.bSendClick();
  panel.SetAppendCR(false);
  panel.SendButton()->click();
  EXPECT_EQ(sent, (QList<QByteArray>{"\r", ""}));
}

TEST_F(CommandLinePanelTest, EnterAndTheButtonSendThePreparedBytes) {
  panel.SetAppendCR(false);
  panel.SetCommand("Hello!{0x0D}");
  PressEnter(panel.CommandLine());
  panel.SendButton()->click();
  EXPECT_EQ(sent, (QList<QByteArray>{"Hello!\r", "Hello!\r"}));
  EXPECT_EQ(panel.Command(), "Hello!{0x0D}");
}

TEST_F(CommandLinePanelTest, TypingShowsProblemsInABalloonAndSendingInAMessage) {
  panel.SetAppendCR(false);
  TypeText(panel.CommandLine(), "AT{0x0D"); // the brace pair is balanced...
  ASSERT_EQ(panel.Command(), "AT{0x0D}");
  PressKey(panel.CommandLine(), Qt::Key_Delete); // ...until its "}" goes
  ASSERT_EQ(panel.Command(), "AT{0x0D");
  ASSERT_FALSE(sink.balloons.isEmpty());
  EXPECT_EQ(sink.balloons.last().text,
            "Chyba zadání: End character \"}\" not found in \"AT{0x0D\" !");
  EXPECT_EQ(sink.balloons.last().anchor, panel.CommandLine());
  TypeText(panel.CommandLine(), "1"); // every keystroke: a balloon, never a box
  EXPECT_TRUE(sink.balloons.last().text.startsWith("Chyba zadání:"));
  EXPECT_TRUE(sink.errors.isEmpty());
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray("AT\r")) << "the last good bytes";

  // Sending the broken text: the message box, and nothing goes out.
  PressEnter(panel.CommandLine());
  panel.SendButton()->click();
  ASSERT_EQ(sink.errors.size(), 2);
  EXPECT_EQ(sink.errors[0].text, "End character \"}\" not found in \"AT{0x0D1\" !");
  EXPECT_EQ(sink.errors[0].anchor, panel.CommandLine());
  EXPECT_TRUE(sent.isEmpty());

  // Mended, the balloon goes and sending works again.
  TypeText(panel.CommandLine(), "}");
  EXPECT_TRUE(panel.CommandError().isEmpty());
  EXPECT_TRUE(sink.balloons.last().text.isEmpty());
  PressEnter(panel.CommandLine());
  EXPECT_EQ(sent, (QList<QByteArray>{QByteArray::fromHex("415400D1")}));
}

TEST_F(CommandLinePanelTest, ASetTextThatDoesNotConvertIsKeptQuietUntilSent) {
  panel.SetAppendCR(false);
  panel.SetCommand("AT");
  // A saved command restored at start opens nothing.
  panel.SetCommand("{$ 12}");
  EXPECT_EQ(panel.CommandError(), "'$' is not a valid integer value");
  EXPECT_TRUE(sink.errors.isEmpty());
  EXPECT_TRUE(sink.balloons.isEmpty());
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray("AT"));
  panel.bSendClick();
  ASSERT_EQ(sink.errors.size(), 1);
  EXPECT_EQ(sink.errors[0].text, "'$' is not a valid integer value");

  panel.SetCommand("{13,10}");
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray("\r\n"));
  EXPECT_TRUE(panel.CommandError().isEmpty());
}

class RepeaterTest : public CommandLinePanelTest {
protected:
  RepeaterTest() { panel.AttachRepeater(&repeater); }
  TRepeaterGroup repeater;
};

TEST_F(RepeaterTest, StartsStoppedWithItsSettings) {
  EXPECT_EQ(repeater.objectName(), "grpRepeater");
  EXPECT_EQ(repeater.title(), "Repeater");
  const auto *interval = repeater.findChild<TIntEdit *>("ieRepeater");
  ASSERT_EQ(interval, repeater.Interval());
  EXPECT_EQ(interval->GetValue(), 1000);
  EXPECT_EQ(interval->MaxValue(), 10000);
  EXPECT_EQ(interval->Increment(), 100);
  EXPECT_EQ(interval->PageMult(), 100);
  EXPECT_EQ(repeater.findChild<QTimer *>("tmrRepeater"), repeater.Timer());
  EXPECT_FALSE(repeater.Timer()->isActive());
  EXPECT_EQ(repeater.StartStopButton()->text(), "Start");
}

TEST_F(RepeaterTest, SendsOnEveryTickUntilStopped) {
  panel.SetAppendCR(false);
  panel.SetCommand("A");
  repeater.Interval()->SetValue(10);
  repeater.StartStopButton()->click();
  EXPECT_EQ(repeater.StartStopButton()->text(), "Stop");
  ASSERT_TRUE(WaitFor([this] { return sent.size() >= 2; }, 2000));

  // Edits while running go out with the next tick.
  panel.SetCommand("B");
  const qsizetype before = sent.size();
  ASSERT_TRUE(WaitFor([&] { return sent.size() > before; }, 2000));
  EXPECT_EQ(sent.last(), "B");
  // A text that does not convert: the last good bytes, and no message box.
  panel.SetCommand("B{");
  const qsizetype broken = sent.size();
  ASSERT_TRUE(WaitFor([&] { return sent.size() > broken; }, 2000));
  EXPECT_EQ(sent.last(), "B");
  EXPECT_TRUE(sink.errors.isEmpty());

  repeater.StartStopButton()->click();
  EXPECT_EQ(repeater.StartStopButton()->text(), "Start");
  const qsizetype stopped = sent.size();
  Settle(60);
  EXPECT_EQ(sent.size(), stopped);
}

TEST_F(RepeaterTest, ZeroIntervalSendsNothingUntilRaised) {
  repeater.Interval()->SetValue(0);
  repeater.StartStopButton()->click();
  Settle(60);
  EXPECT_TRUE(sent.isEmpty());
  EXPECT_TRUE(repeater.IsRunning());

  // Unreadable text counts as 0 as well.
  repeater.Interval()->setText("x");
  Settle(30);
  EXPECT_TRUE(sent.isEmpty());

  repeater.Interval()->setText("10"); // typed, takes effect at once
  EXPECT_EQ(repeater.Timer()->interval(), 10);
  EXPECT_TRUE(WaitFor([this] { return !sent.isEmpty(); }, 2000));
  repeater.StartStopButton()->click();
}

} // namespace
