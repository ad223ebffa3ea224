// A serial port whose device goes away and comes back: through a link the
// test controls, to a pseudo-terminal whose far end closes and a new one.
#include "app/serialgroup.h"
#include "connections/connectiontexts.h"
#include "connections/devicechange.h"
#include "serial/comport.h"
#include "serial/ptypair.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace {

class SerialReopenTest : public WindowTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Valid());
    WindowTest::SetUp();
    group = window->SerialGroup();
    link = dir.filePath(QStringLiteral("port"));
    Point(pty.Path());
  }
  void Point(const QString &target) {
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(target, link));
  }
  void OpenThroughLink() {
    group->cbbComPort->setEditText(link);
    group->btnOpenClose->click();
    ASSERT_TRUE(window->SerialPort().Active());
  }
  void Unplug() {
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return !window->SerialPort().Active(); }));
  }
  QStringList Lines(TColor color) { return LogLines(window->vstTerminal(), color); }
  bool HasLine(const QString &text, TColor color) {
    return WaitFor([&] { return Lines(color).contains(text); });
  }
  QString Waiting() { return "Sériový port čeká na návrat zařízení " + link; }

  TPtyPair pty;
  TSerialPortGroup *group = nullptr;
  QString link;
};

TEST_F(SerialReopenTest, APortWhoseDeviceComesBackOpensAgainWithItsSettings) {
  EXPECT_FALSE(group->chkSerialReopen->isChecked());
  group->chkSerialReopen->setChecked(true);
  group->cbbBaudRate->setCurrentIndex(group->cbbBaudRate->findText("19200"));
  group->cbbStopBits->setCurrentIndex(2);
  OpenThroughLink();
  const QString settings = link + ": 19200,N,8,2";
  ASSERT_EQ(window->SerialPort().SettingsStr(), settings);

  Unplug();
  EXPECT_TRUE(HasLine("Serial port close", kColorMaroon));
  EXPECT_TRUE(HasLine(Waiting(), kColorNavy));
  EXPECT_TRUE(group->WaitingForDevice());
  EXPECT_EQ(group->btnOpenClose->text(), "Open");

  // Something there that cannot be opened yet: tried quietly, still waiting.
  const qsizetype reds = Lines(kColorRed).size();
  QFile notTty(dir.filePath(QStringLiteral("not-a-tty")));
  ASSERT_TRUE(notTty.open(QIODevice::WriteOnly));
  Point(notTty.fileName());
  Settle(1500);
  EXPECT_FALSE(window->SerialPort().Active());
  EXPECT_TRUE(group->WaitingForDevice());
  EXPECT_EQ(Lines(kColorRed).size(), reds);

  TPtyPair back;
  ASSERT_TRUE(back.Valid());
  Point(back.Path());
  EXPECT_TRUE(HasLine("Serial port open (" + settings + ")", kColorGreen));
  EXPECT_TRUE(HasLine("Sériový port znovu otevřen (" + settings + ")", kColorGreen));
  ASSERT_TRUE(window->SerialPort().Active());
  EXPECT_EQ(window->SerialPort().PortName(), link);
  EXPECT_FALSE(group->WaitingForDevice());
  EXPECT_EQ(group->btnOpenClose->text(), "Close");

  const QByteArray bytes = QByteArray::fromHex("2A610008010223148107AA0D");
  ASSERT_TRUE(back.Write(bytes));
  EXPECT_TRUE(WaitFor([&] {
    for (const Row &r : Rows(window->vstTerminal()))
      if (r.direction == spRx && r.bytes == bytes)
        return true;
    return false;
  }));
}

TEST_F(SerialReopenTest, NoWaitAfterAHandCloseWithoutTheBoxOrWhenTheBoxIsCleared) {
  const struct {
    const char *name;
    bool checked, handClose, clearBox;
  } cases[] = {
      {"hand close", true, true, false},
      {"box unchecked", false, false, false},
      {"box cleared while waiting", true, false, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TPtyPair first;
    ASSERT_TRUE(first.Valid());
    Point(first.Path());
    group->chkSerialReopen->setChecked(c.checked);
    OpenThroughLink();
    if (c.handClose) {
      group->btnOpenClose->click();
    } else {
      first.CloseMaster();
      ASSERT_TRUE(WaitFor([&] { return !window->SerialPort().Active(); }));
    }
    if (c.clearBox) {
      ASSERT_TRUE(group->WaitingForDevice());
      group->chkSerialReopen->setChecked(false);
      EXPECT_TRUE(HasLine("Sériový port už na zařízení " + link + " nečeká", kColorNavy));
    }
    EXPECT_FALSE(group->WaitingForDevice());
    TPtyPair back;
    ASSERT_TRUE(back.Valid());
    Point(back.Path());
    Settle(1200);
    EXPECT_FALSE(window->SerialPort().Active());
    if (!c.clearBox) {
      EXPECT_FALSE(Lines(kColorNavy).contains(Waiting()));
    }
  }
}

TEST_F(SerialReopenTest, ADeviceEventForTheWatchedNodeReopensWithoutThePoll) {
  group->chkSerialReopen->setChecked(true);
  OpenThroughLink();
  Unplug();
  ASSERT_TRUE(HasLine(Waiting(), kColorNavy));

  TPtyPair back;
  ASSERT_TRUE(back.Valid());
  Point(back.Path());
  // Another device first; then the one the link leads to. No event loop
  // runs in between, so the poll has no part in it.
  window->wmDeviceChange({"add", "tty", "ttyPtOther9", "/devices/x/ttyPtOther9"});
  EXPECT_FALSE(window->SerialPort().Active());
  const QString sysname = back.Path().mid(QStringLiteral("/dev/").size());
  window->wmDeviceChange({"add", "tty", sysname, "/devices/virtual/tty/" + sysname});
  EXPECT_TRUE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Sériový port znovu otevřen (" + link + ": 9600,N,8,1)", kColorGreen));
}

TEST_F(SerialReopenTest, TheRemovalOfTheOpenDeviceClosesThePortAndItsAddReopensIt) {
  group->chkSerialReopen->setChecked(true);
  OpenThroughLink();
  const QString sysname = pty.Path().mid(QStringLiteral("/dev/").size());
  window->wmDeviceChange({"remove", "tty", "ttyPtOther9", "/devices/x/ttyPtOther9"});
  EXPECT_TRUE(window->SerialPort().Active());
  window->wmDeviceChange({"remove", "tty", sysname, "/devices/virtual/tty/" + sysname});
  EXPECT_FALSE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Serial port close", kColorMaroon));
  EXPECT_TRUE(HasLine(Waiting(), kColorNavy));
  window->wmDeviceChange({"add", "tty", sysname, "/devices/virtual/tty/" + sysname});
  EXPECT_TRUE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Sériový port znovu otevřen (" + link + ": 9600,N,8,1)", kColorGreen));
}

TEST_F(SerialReopenTest, TheChoiceAndTheTimeSurviveARestart) {
  EXPECT_FALSE(group->chkSerialReopen->isChecked());
  EXPECT_EQ(group->ieSerialReopenMinutes->GetValue(), 0);
  group->chkSerialReopen->setChecked(true);
  group->ieSerialReopenMinutes->SetValue(15);
  Close();
  Open();
  group = window->SerialGroup();
  EXPECT_TRUE(group->chkSerialReopen->isChecked());
  EXPECT_EQ(group->ieSerialReopenMinutes->GetValue(), 15);
}

} // namespace
