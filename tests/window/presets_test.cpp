#include "tools/addresscombo.h"
#include "tools/bustools.h"
#include "tools/packetcomposer.h"
#include "tools/presetbar.h"
#include "tools/presetstore.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

class PresetsTest : public WindowTest {
protected:
  QTabWidget *Tabs() { return window->PresetTabs(); }
  QList<TDataButton *> Buttons(int tab) {
    return Tabs()->widget(tab)->findChildren<TDataButton *>(Qt::FindDirectChildrenOnly);
  }
  QString DataPath(const QString &name) { return dir.filePath("pt.files/" + name); }
  // Stores the composer's packet through the dialog as the user fills it in.
  void Store(const QString &caption, const QString &group) {
    window->PresetBar()->RunSaveDialog = [&](TfSavePacket &dialog) {
      dialog.eName->setText(caption);
      dialog.cbGroup->setEditText(group);
      dialog.accept();
      return dialog.result();
    };
    window->findChild<QAction *>("aSetPreset")->trigger();
  }
  std::vector<Row> SentRows() {
    Process();
    std::vector<Row> out;
    for (const Row &r : Rows(window->vstTerminal()))
      if (r.kind != "TVexlinDataLog")
        out.push_back(r);
    return out;
  }
  int TabIndex(const QString &text) {
    for (int i = 0; i < Tabs()->count(); ++i)
      if (Tabs()->tabText(i) == text)
        return i;
    return -1;
  }
  // The preset menu as it shows after a right-click on `target` (a button, or
  // the empty lower right corner of a tab page).
  QStringList MenuAfterRightClick(QWidget *target) {
    QTest::mousePress(target, Qt::RightButton, {},
                      qobject_cast<TDataButton *>(target)
                          ? QPoint(3, 3)
                          : QPoint(target->width() - 3, target->height() - 3));
    QMenu *menu = window->PresetBar()->PopupMenu();
    emit menu->aboutToShow();
    QStringList shown;
    for (QAction *a : menu->actions())
      if (a->isVisible() && !a->isSeparator())
        shown << a->text();
    return shown;
  }
};

TEST_F(PresetsTest, ShippedPresetsAreButtonsThatSend) {
  ASSERT_EQ(Tabs()->count(), 1);
  EXPECT_EQ(Tabs()->tabText(0), "Pelmar97");
  ASSERT_EQ(Buttons(0).size(), 4);
  Buttons(0)[0]->click();
  ASSERT_TRUE(WaitFor([&] { return SentRows().size() == 1; }));
  EXPECT_EQ(SentRows()[0].bytes, QByteArray::fromHex("2A610005FEF3F38B0D"));
}

TEST_F(PresetsTest, TheBusToolsReplaceTheAddressOfAPresetFrame) {
  window->BusTools()->chkADRChanger->setChecked(true);
  window->BusTools()->cbbADRChanger->setCurrentIndex(12);
  Buttons(0)[2]->click(); // identification of address 49
  ASSERT_TRUE(WaitFor([&] { return SentRows().size() == 1; }));
  EXPECT_EQ(SentRows()[0].bytes, QByteArray::fromHex("2A6100050CF3F37D0D"));
}

TEST_F(PresetsTest, StoringIntoANewGroupWritesItsFileAndAddsATab) {
  Store("Ahoj", "Nová/skupina");
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Tabs()->tabText(1), "Nová/skupina");
  ASSERT_EQ(Buttons(1).size(), 1);
  EXPECT_EQ(Buttons(1)[0]->text(), "Ahoj");
  ASSERT_TRUE(QFile::exists(DataPath("pt.presets.Nová_skupina.xml")));
  // The same name twice is one group: the second preset goes to the listed tab.
  Store("Podruhé", "Nová/skupina");
  EXPECT_EQ(Tabs()->count(), 2);
  ASSERT_EQ(Buttons(1).size(), 2);
  EXPECT_EQ(Buttons(1)[1]->x(), Buttons(1)[0]->geometry().right() + 1 + 5);
  Buttons(1)[1]->click();
  ASSERT_TRUE(WaitFor([&] { return SentRows().size() == 1; }));
  EXPECT_EQ(SentRows()[0].bytes, QByteArray::fromHex("2A610008010223148107AA0D"));

  // After a restart both are still there, in order; tabs follow the files' names.
  Close();
  Open();
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Tabs()->tabText(0), "Nová/skupina");
  ASSERT_EQ(Buttons(0).size(), 2);
  EXPECT_EQ(Buttons(0)[0]->text(), "Ahoj");
  EXPECT_EQ(Buttons(0)[1]->text(), "Podruhé");
}

TEST_F(PresetsTest, TheDialogStaysOpenUntilBothFieldsAreFilled) {
  int tries = 0;
  window->PresetBar()->RunSaveDialog = [&](TfSavePacket &dialog) {
    dialog.eName->clear();
    dialog.accept();
    ++tries;
    dialog.eName->setText("x");
    dialog.accept();
    ++tries;
    return dialog.result();
  };
  window->findChild<QAction *>("aSetPreset")->trigger();
  EXPECT_EQ(tries, 2);
  EXPECT_EQ(dialogs.errors,
            QStringList({": Nebyl zadán popisek předvolby!", ": Nebyl zadán název skupiny!"}));
  EXPECT_EQ(Tabs()->count(), 1);
}

TEST_F(PresetsTest, AddressReplacementRewritesOnlyValidFrames) {
  TPresetBar *bar = window->PresetBar();
  std::optional<uint8_t> address = 12;
  bar->ReplacementAddress = [&] { return address; };
  TXmlDocument doc;
  doc.Create("presets");
  TXmlElement preset = doc.DocumentElement().AddChild("preset");
  preset.SetAttribute("data", "2A610005 31F3F3 58 0D");
  preset.SetAttribute("data", "2A61000531F3F3580D");
  // LEN stays, ADR and SUM change.
  EXPECT_EQ(bar->PresetPacket(preset), QByteArray::fromHex("2A6100050CF3F37D0D"));
  preset.SetAttribute("data", "2A61000531F3F3590D"); // wrong SUM: sent as it is
  EXPECT_EQ(bar->PresetPacket(preset), QByteArray::fromHex("2A61000531F3F3590D"));
  address.reset();
  preset.SetAttribute("data", "2A61000531F3F3580D");
  EXPECT_EQ(bar->PresetPacket(preset), QByteArray::fromHex("2A61000531F3F3580D"));
}

TEST_F(PresetsTest, DataThatIsNotHexadecimalIsReportedAndNothingIsSent) {
  Store("Špatná", "G");
  Buttons(1)[0]->FdataNode.SetAttribute("data", "2A6G");
  Buttons(1)[0]->click();
  Process();
  EXPECT_TRUE(SentRows().empty());
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].contains("Špatná")) << dialogs.errors[0].toStdString();
}

TEST_F(PresetsTest, RemovingAButtonClosesTheGapAndRemovingATabDeletesItsFile) {
  Store("a", "G");
  Store("b", "G");
  Store("c", "G");
  ASSERT_EQ(Buttons(1).size(), 3);
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(MenuAfterRightClick(Buttons(1)[1]),
            QStringList({"Poslat", "Kopirovat do tabulky", "Odstranit", "Konfigurovat"}));
  window->PresetBar()->miRemoveClick();
  ASSERT_EQ(Buttons(1).size(), 2);
  EXPECT_EQ(Buttons(1)[1]->text(), "c");
  EXPECT_EQ(Buttons(1)[1]->x(), Buttons(1)[0]->geometry().right() + 1 + 5);
  // The store follows: a rebuild shows the same two.
  window->PresetBar()->ReloadPresets();
  ASSERT_EQ(Buttons(1).size(), 2);

  EXPECT_EQ(MenuAfterRightClick(Tabs()->widget(1)), QStringList({"Odstranit", "Konfigurovat"}));
  window->PresetBar()->miRemoveClick();
  EXPECT_EQ(Tabs()->count(), 1);
  EXPECT_FALSE(QFile::exists(DataPath("pt.presets.G.xml")));
}

TEST_F(PresetsTest, CopyingAPresetFillsTheComposer) {
  MenuAfterRightClick(Buttons(0)[2]);
  window->findChild<QAction *>("miFrameCopy")->trigger();
  EXPECT_EQ(window->Composer()->Value(TfrPaket::rowADR), "{$31}");
  EXPECT_EQ(window->Composer()->Value(TfrPaket::rowINST), "{$F3}");
}

TEST_F(PresetsTest, TheTreeDialogHidesAndShowsGroupsAndPresets) {
  Store("x", "Druhá");
  window->findChild<QAction *>("aPresetSettings")->trigger();
  QTreeWidget *tree = window->PresetBar()->PresetCheckList()->vst;
  ASSERT_EQ(tree->topLevelItemCount(), 2);
  QTreeWidgetItem *group = tree->topLevelItem(0);
  EXPECT_EQ(group->text(0), "Pelmar97");
  group->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(Tabs()->count(), 1);
  EXPECT_EQ(Tabs()->tabText(0), "Druhá");
  for (int i = 0; i < group->childCount(); ++i)
    EXPECT_EQ(group->child(i)->checkState(0), Qt::Unchecked);
  group->child(1)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(group->checkState(0), Qt::PartiallyChecked);
  EXPECT_EQ(Tabs()->count(), 1); // the group itself is still hidden
  group->setCheckState(0, Qt::Checked);
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Buttons(0).size(), 4);

  // Hidden presets stay hidden after a restart.
  group->child(3)->setCheckState(0, Qt::Unchecked);
  Close();
  Open();
  EXPECT_EQ(Buttons(TabIndex("Pelmar97")).size(), 3);
}

TEST_F(PresetsTest, TabsCanBeDraggedIntoANewOrder) {
  Store("x", "Druhá");
  Store("y", "Třetí");
  QTabBar *bar = Tabs()->tabBar();
  Tabs()->setCurrentIndex(2);
  const QPoint from = bar->tabRect(2).center();
  const QPoint to = bar->tabRect(0).center();
  const auto mouse = [bar](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, bar->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(bar, &event);
  };
  mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
  for (int step = 1; step <= 10; ++step)
    mouse(QEvent::MouseMove, from + (to - from) * step / 10, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
  Process();
  EXPECT_EQ(Tabs()->tabText(0), "Třetí");
  EXPECT_EQ(Tabs()->tabText(1), "Pelmar97");
}

TEST_F(PresetsTest, TheActiveTabIsRestoredByItsGroupElseByItsPlace) {
  Store("x", "Druhá");
  Tabs()->setCurrentIndex(TabIndex("Druhá"));
  Close();
  Open();
  EXPECT_EQ(Tabs()->tabText(Tabs()->currentIndex()), "Druhá");
  // A new group file that sorts before it moves it one place on.
  Store("y", "Arnošt");
  Close();
  Open();
  ASSERT_EQ(TabIndex("Druhá"), 1);
  EXPECT_EQ(Tabs()->currentIndex(), 1);
  // Its file gone, the place it had is what is left to go by.
  Close();
  ASSERT_TRUE(QFile::remove(DataPath("pt.presets.Druhá.xml")));
  Open();
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Tabs()->currentIndex(), 1);
}

TEST_F(PresetsTest, ALongGroupNameIsShortenedWithTheWholeNameAsItsTip) {
  const QString name = QString("Velmi dlouhý název skupiny předvoleb ").repeated(8);
  Store("x", name);
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_TRUE(Tabs()->tabText(1).endsWith(QChar(0x2026))) << Tabs()->tabText(1).toStdString();
  EXPECT_EQ(Tabs()->tabToolTip(1), name);
  EXPECT_LT(Tabs()->tabBar()->tabRect(1).width(), Tabs()->width() / 3);
  EXPECT_EQ(Tabs()->tabText(0), "Pelmar97");
  EXPECT_TRUE(Tabs()->tabToolTip(0).isEmpty());
  // The group is still known by its whole name: the next preset joins it.
  Store("y", name);
  EXPECT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Buttons(1).size(), 2);
  EXPECT_EQ(QDir(DataPath("")).entryList({"pt.presets.*.xml"}).size(), 2);
}

TEST_F(PresetsTest, ARebuildLeavesTheStripScrolledAsItWas) {
  for (int i = 0; i < 30; ++i)
    Store("x", QString("Skupina %1").arg(i, 2, 10, QChar(u'0')));
  QTabBar *bar = Tabs()->tabBar();
  Tabs()->setCurrentIndex(Tabs()->count() - 1); // the strip scrolls to its end
  int first = 0;
  while (bar->tabRect(first).left() < 0)
    ++first;
  Tabs()->setCurrentIndex(first);
  const int scrolled = bar->tabRect(0).left();
  ASSERT_LT(scrolled, 0);
  window->PresetBar()->ReloadPresets();
  EXPECT_EQ(Tabs()->currentIndex(), first);
  EXPECT_EQ(bar->tabRect(0).left(), scrolled);
  EXPECT_EQ(Buttons(first).size(), 1);
}

} // namespace
