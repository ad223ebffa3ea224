#include "tools/cmdline.h"
#include "tools/cmdlinehistory.h"
#include "tools/cmdlinehistorykeys.h"
#include "tools/commandlinepanel.h"
#include "tools/repeater.h"
#include "widgets/messages.h"
#include "widgets/numedit.h"
#include "widgets/widgetinput.h"

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The test environment points the user's settings at a temporary folder;
// each test starts without a history.
void ClearStoredHistory() {
  QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"))
      .remove(QStringLiteral("CommandHistory"));
}

TEST(CmdLineHistory, NewestFirstDistinctAndAtMostAHundred) {
  TCmdLineHistory history;
  for (const char *command : {"a", "b", "", "c", "a", "a"})
    history.Add(QString::fromLatin1(command));
  EXPECT_EQ(history.Commands(), (QStringList{"a", "c", "b"}));
  // Texts differing in case are different commands.
  EXPECT_TRUE(history.Add("A"));
  EXPECT_FALSE(history.Add("A"));
  EXPECT_FALSE(history.Add(""));

  for (int i = 0; i < 150; ++i)
    history.Add(QStringLiteral("cmd %1").arg(i));
  ASSERT_EQ(history.Commands().size(), TCmdLineHistory::MaxCount);
  EXPECT_EQ(history.Commands().first(), "cmd 149");
  EXPECT_EQ(history.Commands().last(), "cmd 50");
  // An old command sent again comes back to the front without a copy.
  history.Add("cmd 60");
  EXPECT_EQ(history.Commands().first(), "cmd 60");
  EXPECT_EQ(history.Commands().count("cmd 60"), 1);
  EXPECT_EQ(history.Commands().size(), TCmdLineHistory::MaxCount);
}

TEST(CmdLineHistory, MatchingIgnoresCaseAndKeepsTheOrder) {
  TCmdLineHistory history;
  for (const char *command : {"AT+GMR", "{0x2A}a", "at+cwmode?", "ping"})
    history.Add(QString::fromLatin1(command));
  EXPECT_EQ(history.Matching("at+"), (QStringList{"at+cwmode?", "AT+GMR"}));
  EXPECT_EQ(history.Matching("{0x"), QStringList{"{0x2A}a"});
  EXPECT_EQ(history.Matching(""), history.Commands());
  EXPECT_TRUE(history.Matching("xyz").isEmpty());
}

TEST(CmdLineHistory, StoredInTheUserSettings) {
  ClearStoredHistory();
  TCmdLineHistory history;
  // Texts that a settings file has to quote or escape.
  const QStringList tricky{"a,b;c",       "\"quoted\" = x",  "{$0D,$0A}", "Příliš žluťoučký",
                           "back\\slash", " lead and trail "};
  for (auto it = tricky.crbegin(); it != tricky.crend(); ++it)
    history.Add(*it);
  history.Save();
  TCmdLineHistory loaded;
  loaded.Load();
  EXPECT_EQ(loaded.Commands(), tricky);

  // A shorter list leaves nothing of the longer one behind.
  TCmdLineHistory shorter;
  shorter.Add("only");
  shorter.Save();
  loaded.Load();
  EXPECT_EQ(loaded.Commands(), QStringList{"only"});

  // A hand-edited list is taken distinct, without empty entries, and cut.
  {
    QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
    settings.beginGroup(QStringLiteral("CommandHistory"));
    settings.beginWriteArray(QStringLiteral("Commands"));
    for (int i = 0; i < 130; ++i) {
      settings.setArrayIndex(i);
      settings.setValue(QStringLiteral("Text"),
                        i == 1 ? QString() : QStringLiteral("c%1").arg(i % 120));
    }
    settings.endArray();
  }
  loaded.Load();
  ASSERT_EQ(loaded.Commands().size(), TCmdLineHistory::MaxCount);
  EXPECT_EQ(loaded.Commands().mid(0, 3), (QStringList{"c0", "c2", "c3"}));
  QStringList distinct = loaded.Commands();
  EXPECT_EQ(distinct.removeDuplicates(), 0);
  ClearStoredHistory();
}

struct SilentSink : TMessageSink {
  void ShowError(QWidget *, const QString &, const QString &text) override { errors << text; }
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
  QStringList errors;
};

class CommandHistoryPanel : public ::testing::Test {
protected:
  CommandHistoryPanel() {
    QObject::connect(&panel, &TCommandLinePanel::sendRequested,
                     [this](const QByteArray &data) { sent.append(data); });
  }
  ~CommandHistoryPanel() override { ClearStoredHistory(); }

  TPelmarCmdLine *Line() const { return panel.CommandLine(); }
  void Send(const QString &command) {
    panel.SetCommand(command);
    PressEnter(Line());
  }
  void Up() { PressKey(Line(), Qt::Key_Up); }
  void Down() { PressKey(Line(), Qt::Key_Down); }
  TCmdLineHistorySearch *OpenSearch() {
    PressKey(Line(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    return panel.HistoryKeys()->Search();
  }

  // Built after the stored history is cleared.
  bool cleared = (ClearStoredHistory(), true);
  SilentSink sink;
  TCommandLinePanel panel{sink};
  QList<QByteArray> sent;
};

TEST_F(CommandHistoryPanel, UpAndDownWalkTheSentCommandsNewestFirst) {
  for (const char *command : {"first", "second", "third"})
    Send(QString::fromLatin1(command));
  ASSERT_EQ(sent.size(), 3);
  // Sending keeps the text in the line; the user replaces it.
  EXPECT_EQ(panel.Command(), "third");
  Line()->selectAll();
  TypeText(Line(), "draft");

  QStringList seen;
  for (int i = 0; i < 4; ++i) { // one Up more than there are commands
    Up();
    seen << panel.Command();
  }
  EXPECT_EQ(seen, (QStringList{"third", "second", "first", "first"}));
  // The command walked to is prepared for sending.
  EXPECT_EQ(panel.SendPacketPrepared(), QByteArray("first\r"));
  seen.clear();
  for (int i = 0; i < 4; ++i) {
    Down();
    seen << panel.Command();
  }
  EXPECT_EQ(seen, (QStringList{"second", "third", "draft", "draft"}));
  EXPECT_EQ(sent.size(), 3); // walking sends nothing
}

TEST_F(CommandHistoryPanel, SendingAgainMovesTheCommandToTheFront) {
  for (const char *command : {"a", "b", "c"})
    Send(QString::fromLatin1(command));
  Up();
  Up(); // "b"
  PressEnter(Line());
  EXPECT_EQ(panel.HistoryKeys()->History().Commands(), (QStringList{"b", "c", "a"}));
  // After a send the walk starts at the newest again.
  panel.SetCommand(QString());
  Up();
  EXPECT_EQ(panel.Command(), "b");
  // An edit while walking starts a new walk from the edited text.
  TypeText(Line(), "x");
  Up();
  EXPECT_EQ(panel.Command(), "b");
  Down();
  EXPECT_EQ(panel.Command(), "bx");
}

TEST_F(CommandHistoryPanel, OnlyCommandsTheUserSentAreKept) {
  Send("{0x0D"); // does not convert: an error, nothing sent
  EXPECT_EQ(sink.errors.size(), 1);
  panel.SetCommand("button");
  panel.SendButton()->click();
  TRepeaterGroup repeater;
  panel.AttachRepeater(&repeater);
  panel.SetCommand("repeated");
  emit repeater.RepeatTick();
  EXPECT_EQ(sent.size(), 2);
  EXPECT_EQ(panel.HistoryKeys()->History().Commands(), QStringList{"button"});
}

TEST_F(CommandHistoryPanel, ANewPanelStartsWithTheStoredHistory) {
  Send("kept");
  Send("newest");
  SilentSink otherSink;
  TCommandLinePanel next(otherSink);
  PressKey(next.CommandLine(), Qt::Key_Up);
  EXPECT_EQ(next.Command(), "newest");
  PressKey(next.CommandLine(), Qt::Key_Up);
  EXPECT_EQ(next.Command(), "kept");
}

TEST_F(CommandHistoryPanel, SearchFiltersAndPutsThePickIntoTheLine) {
  for (const char *command : {"AT+GMR", "ping", "at+rst", "AT+CWMODE?"})
    Send(QString::fromLatin1(command));
  panel.SetCommand("typed");
  TCmdLineHistorySearch *search = OpenSearch();
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->objectName(), "frmHistorySearch");
  EXPECT_EQ(search->List()->count(), 4);

  TypeText(search->SearchEdit(), "at+");
  QStringList listed;
  for (int i = 0; i < search->List()->count(); ++i)
    listed << search->List()->item(i)->text();
  EXPECT_EQ(listed, (QStringList{"AT+CWMODE?", "at+rst", "AT+GMR"}));
  EXPECT_EQ(search->List()->currentRow(), 0);
  PressKey(search->SearchEdit(), Qt::Key_Down);
  PressKey(search->SearchEdit(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
  PressKey(search->SearchEdit(), Qt::Key_Down); // already the oldest match
  PressKey(search->SearchEdit(), Qt::Key_Up);
  EXPECT_EQ(search->List()->currentItem()->text(), "at+rst");
  PressEnter(search->SearchEdit());
  EXPECT_EQ(panel.Command(), "at+rst");
  EXPECT_EQ(sent.size(), 4); // put into the line, not sent
  EXPECT_TRUE(WaitFor([this] { return panel.HistoryKeys()->Search() == nullptr; }, 2000));

  // A click on a command picks it as well.
  search = OpenSearch();
  ASSERT_NE(search, nullptr);
  QListWidget *list = search->List();
  ASSERT_GE(list->count(), 4);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(3)).center());
  EXPECT_EQ(panel.Command(), "AT+GMR");
  EXPECT_EQ(sent.size(), 4);
}

TEST_F(CommandHistoryPanel, SearchWithoutAPickLeavesTheLineAlone) {
  Send("ping");
  panel.SetCommand("typed");
  struct Case {
    const char *name;
    QString search;
    int key;
  };
  const Case cases[] = {
      {"escape", "pi", Qt::Key_Escape},
      {"nothing matches", "zzz", Qt::Key_Return},
  };
  for (const Case &c : cases) {
    TCmdLineHistorySearch *search = OpenSearch();
    ASSERT_NE(search, nullptr) << c.name;
    TypeText(search->SearchEdit(), c.search);
    PressKey(search->SearchEdit(), c.key, Qt::NoModifier,
             c.key == Qt::Key_Return ? QStringLiteral("\r") : QString());
    EXPECT_FALSE(search->isVisible()) << c.name;
    EXPECT_EQ(panel.Command(), "typed") << c.name;
    ASSERT_TRUE(WaitFor([this] { return panel.HistoryKeys()->Search() == nullptr; }, 2000))
        << c.name;
  }
  EXPECT_EQ(sent.size(), 1);
}

} // namespace
