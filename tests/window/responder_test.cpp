// The "Odpovídač" tab answering a plain peer on a real pseudo-terminal: its
// rules, placeholders and delay, the hit counter, and "pt.responder.xml"
// across a restart.
#include "app/parserpage.h"
#include "app/serialgroup.h"
#include "codecs/modbus.h"
#include "codecs/pelmar97.h"
#include "connections/connectiontexts.h"
#include "serial/comport.h"
#include "serial/ptypair.h"
#include "tools/responderpage.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

struct Typed {
  const char *request;
  const char *response;
  bool prefix = false;
  int delayMs = 0;
};

class ResponderTest : public WindowTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Valid());
    WindowTest::SetUp();
    page = window->ResponderPage();
  }
  void Restart() {
    Close();
    Open();
    page = window->ResponderPage();
  }
  // The user fills the dialog and presses Ok; false when it stays open.
  bool Add(const Typed &t) {
    page->RunDialog = [&](TRequestResponseDialog &dialog) {
      dialog.edtRequest->setText(QString::fromLatin1(t.request));
      dialog.cbbMatch->setCurrentIndex(t.prefix ? 1 : 0);
      dialog.edtResponse->setText(QString::fromLatin1(t.response));
      dialog.seDelay->setValue(t.delayMs);
      dialog.findChild<QPushButton *>("btnOk")->click();
      return dialog.result();
    };
    const int before = page->lvResponder->topLevelItemCount();
    page->actAdd->trigger();
    return page->lvResponder->topLevelItemCount() == before + 1;
  }
  void OpenPty() {
    window->ParserPage()->rbProtocolCustomParser->click(); // packets end with CR
    window->SerialGroup()->cbbComPort->setEditText(pty.Path());
    window->SerialGroup()->btnOpenClose->click();
    ASSERT_TRUE(window->SerialPort().Active());
  }
  // What the peer gets back for a request.
  QByteArray Ask(const QByteArray &request, qsizetype answer, int ms = 5000) {
    EXPECT_TRUE(pty.Write(request));
    return pty.Read(answer, ms);
  }
  std::vector<Row> TxRows() {
    std::vector<Row> tx;
    for (const Row &r : Rows(window->vstTerminal()))
      if (r.kind != "TVexlinDataLog" && r.direction == spTx)
        tx.push_back(r);
    return tx;
  }

  TPtyPair pty;
  TResponderPage *page = nullptr;
};

TEST_F(ResponderTest, RulesAnswerAPeerWithTheirPlaceholders) {
  ASSERT_TRUE(Add({"AT{0x0D}", "OK{0x0D}"}));
  ASSERT_TRUE(Add({"{0x2A,0x61,??,??}{0x0D}", "{REQ[3]}{REQ[2]}#{SEQ}{0x0D}"}));
  ASSERT_TRUE(Add({"GET", "V{REQ[3]}{CRC16}", true}));
  ASSERT_TRUE(Add({"S97{0x0D}", "{0x2A,0x61,0,0,0xFE,1,2,0x41}{S97}{0x0D}"}));
  OpenPty();
  // Off at start: nothing answers.
  EXPECT_FALSE(page->chkActive->isChecked());
  EXPECT_EQ(Ask("AT\r", 1, 300), "");
  page->chkActive->setChecked(true);

  EXPECT_EQ(Ask("AT\r", 3), "OK\r");
  EXPECT_EQ(Ask("ATX\r", 1, 300), "") << "a whole-packet rule wants the whole packet";
  EXPECT_EQ(Ask("*a12\r", 5), "21#\x01\r");
  EXPECT_EQ(Ask("*a34\r", 5), "43#\x02\r");
  QByteArray crc("V1");
  const uint16_t value = ModbusCRC16(crc);
  crc += char(value & 0xFF);
  crc += char(value >> 8);
  EXPECT_EQ(Ask("GET1 and more\r", 4), crc);
  const QByteArray frame = Ask("S97\r", 11);
  EXPECT_EQ(sCheck_S97(frame), 0) << frame.toHex().constData();

  // Every answer went out as the window's own send: a transmitted row.
  ASSERT_TRUE(WaitFor([&] { return TxRows().size() == 5; }));
  EXPECT_EQ(TxRows()[0].bytes, "OK\r");
  EXPECT_EQ(page->Hits(0), 1); // the request sent while off is no hit
  EXPECT_EQ(page->Hits(1), 2);
  EXPECT_EQ(page->Hits(2), 1);
  EXPECT_EQ(page->lvResponder->topLevelItem(1)->text(5), "2");

  // A rule switched off in its row no longer answers.
  page->lvResponder->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(Ask("AT\r", 1, 300), "");
}

TEST_F(ResponderTest, TheDelayShowsBetweenTheRowsStamps) {
  ASSERT_TRUE(Add({"D{0x0D}", "d{0x0D}", false, 400}));
  OpenPty();
  page->chkActive->setChecked(true);
  EXPECT_EQ(Ask("D\r", 2), "d\r");
  ASSERT_TRUE(WaitFor([&] { return TxRows().size() == 1; }));
  TVexlinTree *list = window->vstTerminal();
  double rx = 0, tx = 0;
  for (size_t i = 0; i < list->RowCount(); ++i) {
    auto *o = dynamic_cast<TVexlinDataBinary *>(list->NodeAt(i)->Data);
    if (o && o->Data == "D\r")
      rx = o->Time;
    if (o && o->Data == "d\r")
      tx = o->Time;
  }
  ASSERT_GT(rx, 0);
  const double ms = (tx - rx) * 86'400'000.0;
  EXPECT_GE(ms, 399) << ms;
}

TEST_F(ResponderTest, APendingAnswerIsDroppedWhenThePortCloses) {
  ASSERT_TRUE(Add({"late{0x0D}", "never", false, 300}));
  OpenPty();
  page->chkActive->setChecked(true);
  ASSERT_TRUE(pty.Write("late\r"));
  ASSERT_TRUE(WaitFor([&] { return page->Hits(0) == 1; }));
  window->SerialGroup()->btnOpenClose->click();
  ASSERT_FALSE(window->SerialPort().Active());
  Settle(500);
  EXPECT_TRUE(TxRows().empty());
}

TEST_F(ResponderTest, AResponseThatDoesNotConvertKeepsTheDialogOpen) {
  EXPECT_FALSE(Add({"AT{0x0D}", "OK{0x0D"}));
  EXPECT_TRUE(dialogs.balloon.startsWith("Chyba zadání:")) << dialogs.balloon.toStdString();
  EXPECT_FALSE(Add({"{??", "OK"}));
  EXPECT_TRUE(page->Settings().rules.empty());
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("pt.files/pt.responder.xml")));
}

TEST_F(ResponderTest, RulesAndTheirOrderSurviveARestart) {
  ASSERT_TRUE(Add({"A", "1"}));
  ASSERT_TRUE(Add({"B", "2", true, 15}));
  ASSERT_TRUE(Add({"C", "3"}));
  // A double-click edits the row, the dialog showing the rule as it is.
  QString shown;
  page->RunDialog = [&](TRequestResponseDialog &dialog) {
    shown = dialog.edtRequest->text();
    dialog.edtResponse->setText("1b");
    dialog.findChild<QPushButton *>("btnOk")->click();
    return dialog.result();
  };
  page->lvResponder->setCurrentItem(page->lvResponder->topLevelItem(0));
  emit page->lvResponder->itemDoubleClicked(page->lvResponder->topLevelItem(0), 1);
  EXPECT_EQ(shown, "A");
  EXPECT_EQ(page->Settings().rules[0].response, "1b");
  page->lvResponder->setCurrentItem(page->lvResponder->topLevelItem(2));
  page->actUp->trigger();
  page->lvResponder->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  page->lvResponder->setCurrentItem(page->lvResponder->topLevelItem(1));
  page->actRemove->trigger(); // "C" was there
  // The device's table and unit id are kept beside the rules.
  page->cbbDeviceTable->setCurrentIndex(mtInputRegisters);
  page->actPointAdd->trigger();
  page->sgDevice->item(0, 1)->setText("0x10");
  page->sgDevice->item(0, 2)->setText("Teplota");
  page->seDeviceUnit->setValue(5);
  page->sgDevice->item(0, 1)->setText("65536"); // too big: refused, the value stays
  EXPECT_FALSE(dialogs.balloon.isEmpty());
  EXPECT_EQ(page->sgDevice->item(0, 1)->text(), "16");
  const TResponderSettings before = page->Settings();
  ASSERT_EQ(before.rules.size(), 2u);
  EXPECT_EQ(before.rules[1].request, "B");
  Restart();
  EXPECT_EQ(page->Settings(), before);
  EXPECT_EQ(page->lvResponder->topLevelItem(1)->text(1), "B");
  EXPECT_EQ(page->lvResponder->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(page->Settings().device.unit, 5);
  EXPECT_EQ(page->Settings().device.tables[mtInputRegisters].at(0).name, "Teplota");
}

TEST_F(ResponderTest, AFileThatCannotBeReadIsReportedAndNeverOverwritten) {
  const QString file = dir.filePath("pt.files/pt.responder.xml");
  const QByteArray hostile = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>";
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile);
  }
  Restart();
  ASSERT_TRUE(WaitFor([&] {
    return !LogLines(window->vstTerminal(), kColorMaroon).filter("pt.responder.xml").isEmpty();
  }));
  ASSERT_TRUE(Add({"A", "1"}));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), hostile);
}

} // namespace
