#include "tools/modbuspanel.h"
#include "tools/presetstablo.h"
#include "tools/responderpage.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

using ToolWindowsTest = WindowTest;

TEST_F(ToolWindowsTest, CommandTableSendsAndIsSavedWhenTheWindowEnds) {
  EXPECT_EQ(window->PresetsTablo(), nullptr);
  window->findChild<QAction *>("actCommandTablo")->trigger();
  TfPresetsTablo *tablo = window->PresetsTablo();
  ASSERT_NE(tablo, nullptr);
  EXPECT_TRUE(tablo->isVisible());
  tablo->close();
  window->findChild<QAction *>("actCommandTablo")->trigger();
  EXPECT_EQ(window->PresetsTablo(), tablo); // one window, shown again
  tablo->Rows()[0]->btnSend->click();
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  EXPECT_EQ(Rows(window->vstTerminal())[0].bytes, "AT\r");
  tablo->AddButton()->click();
  const QString file = tablo->FileName();
  EXPECT_FALSE(QFile::exists(file));
  Close();
  ASSERT_TRUE(QFile::exists(file));
  Open();
  window->findChild<QAction *>("actCommandTablo")->trigger();
  EXPECT_EQ(window->PresetsTablo()->Rows().size(), 5);
}

TEST_F(ToolWindowsTest, ProtocolPanelAndTheResponderTab) {
  window->findChild<QAction *>("actModBusPanel")->trigger();
  EXPECT_TRUE(window->ModBusPanel()->isVisible());
  window->ModBusPanel()->btnCmdSend->click();
  TVexlinTree *list = window->vstTerminal();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 1; }));
  EXPECT_EQ(Rows(list)[0].bytes, "");
  // The empty send is a row like any other, one line high with its number
  // and time, not an invisible row that uses up a number.
  list->MeasureNode(list->NodeAt(0));
  EXPECT_GT(list->DefaultNodeHeight(), 0);
  EXPECT_EQ(list->NodeAt(0)->Height, list->DefaultNodeHeight());

  auto *tabs = window->findChild<QTabWidget *>("pgcLeftTools");
  const int before = tabs->count();
  QAction *responder = window->findChild<QAction *>("actDataResponder");
  responder->trigger();
  ASSERT_EQ(tabs->count(), before + 1);
  EXPECT_EQ(tabs->tabText(before), "Odpovídač");
  responder->trigger();
  EXPECT_EQ(tabs->count(), before);
}

TEST_F(ToolWindowsTest, ProtocolPanelSendsModbusRequestsAndReportsBadValues) {
  window->findChild<QAction *>("actModBusPanel")->trigger();
  TfModBusPanel *panel = window->ModBusPanel();
  panel->ieDeviceAddress->SetValue(1);
  panel->ieFrom->SetValue(10001);
  panel->ieCount->SetValue(8);
  panel->cbbInstruction->setCurrentIndex(1); // Read Discrete Inputs
  panel->btn1->click();
  TVexlinTree *list = window->vstTerminal();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 1; }));
  EXPECT_EQ(Rows(list)[0].bytes.toHex(), "01020000000879cc");

  panel->cbbInstruction->setCurrentIndex(7); // Write Multiple Registers
  panel->ieFrom->SetValue(40001);
  panel->edtValues->setText(QStringLiteral("1,70000"));
  panel->btn1->click();
  Process();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].contains(QStringLiteral("70000")))
      << dialogs.errors[0].toStdString();
  EXPECT_EQ(list->RowCount(), 1);
}

} // namespace
