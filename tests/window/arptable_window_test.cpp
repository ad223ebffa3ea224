#include "netutils/addressmonitor.h"
#include "netutils/arptable.h"
#include "netutils/netifnamespace.h"
#include "pipeline/datanetitems.h"
#include "windowfixture.h"

#include <QMouseEvent>
#include <QPushButton>
#include <net/if.h>

namespace {

QString RowText(const TVexlinNode *node) {
  if (!node)
    return {};
  if (auto *log = dynamic_cast<TVexlinDataLog *>(node->Data))
    return log->Text;
  if (auto *arp = dynamic_cast<TVexlinDataArpTableItem *>(node->Data))
    return QStringLiteral("arp ") + arp->IP + u' ' + arp->MAC + u' ' + ArpTypeWord(arp->ArpType);
  return {};
}

QStringList ChildTexts(const TVexlinNode *node) {
  QStringList texts;
  for (size_t i = 0; i < node->ChildCount(); ++i)
    texts << RowText(node->Child(i));
  return texts;
}

void MouseTo(QWidget *target, QEvent::Type type, QPoint pos,
             Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button,
                    type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

// The button lists the adapters and the ARP table of the namespace; "Delete"
// clicked on an entry takes it out of the system table, logs it, and leaves
// the row marked.
TEST_F(WindowTest, ArpTableListsAdaptersAndDeletesAnEntry) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  for (const char *neigh :
       {"10.9.0.6 lladdr 00:11:22:33:44:66 nud reachable dev v0",
        "10.9.0.5 lladdr 00:11:22:33:44:55 nud permanent dev v0", "10.9.0.7 nud failed dev v0"})
    ASSERT_TRUE(TNetifNamespace::Ip(QStringLiteral("neigh add ") + neigh)) << neigh;
  auto *button = window->findChild<QPushButton *>("btnGetArp");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "Arp table");

  TVexlinTree *list = window->vstTerminal();
  window->resize(1600, window->height()); // room for the whole row
  Process();
  const size_t before = list->RowCount();
  button->click();
  ASSERT_EQ(list->RowCount(), before + 1);
  TVexlinNode *top = list->NodeAt(before);
  EXPECT_EQ(RowText(top), "Network adapters & ARP table :");
  EXPECT_EQ(static_cast<TVexlinDataLog *>(top->Data)->TextColor, RGBColor(0, 0, 128));
  EXPECT_TRUE(top->Expanded);
  const QString v0 = QString::number(if_nametoindex("v0"));
  const QString v1 = QString::number(if_nametoindex("v1"));
  ASSERT_EQ(ChildTexts(top), QStringList({"[ " + v1 + " ] - v1", "[ " + v0 + " ] - v0"}));
  TVexlinNode *adapter = top->Child(1);
  EXPECT_TRUE(adapter->Expanded);
  EXPECT_EQ(ChildTexts(adapter),
            QStringList({"   MAC: 02:00:00:00:00:10", "  IP:  10.9.0.1   Mask:  255.255.255.0",
                         "arp 10.9.0.5 00:11:22:33:44:55 static",
                         "arp 10.9.0.6 00:11:22:33:44:66 dynamic", "[+] invalid and other"}));
  TVexlinNode *others = adapter->Child(4);
  EXPECT_FALSE(others->Expanded);
  EXPECT_EQ(ChildTexts(others), QStringList{"arp 10.9.0.7  invalid"});

  // The mouse over the drawn "Delete" link, then a click.
  TVexlinNode *entry = adapter->Child(2);
  auto *item = static_cast<TVexlinDataArpTableItem *>(entry->Data);
  list->ScrollToNode(entry, false);
  list->viewport()->repaint();
  const QRect link = item->fLinkMenu.back().Rect;
  ASSERT_EQ(item->fLinkMenu.back().Caption, "Delete");
  ASSERT_GT(link.width(), 0) << "the row was drawn";
  const QPoint at(link.center().x(), list->NodeCellRect(entry, DataColumn).center().y());
  MouseTo(list->viewport(), QEvent::MouseMove, at);
  MouseTo(list->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton);
  MouseTo(list->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton);

  EXPECT_TRUE(item->fRemoved);
  EXPECT_EQ(item->fLinkMenu.size(), 2u) << "no Delete any more";
  const auto table = ReadArpTable();
  ASSERT_TRUE(table);
  QStringList left;
  for (const TArpNetRow &row : *table)
    left << Ipv4Text(row.Addr);
  EXPECT_EQ(left, QStringList({"10.9.0.6", "10.9.0.7"}));
  ASSERT_TRUE(WaitFor([&] { return RowText(list->LastNode()).startsWith("ARP record"); }));
  EXPECT_EQ(RowText(list->LastNode()),
            "ARP record   IP: 10.9.0.5   MAC: 00:11:22:33:44:55  - deleted");
  EXPECT_EQ(static_cast<TVexlinDataLog *>(list->LastNode()->Data)->TextColor, RGBColor(0, 128, 0));
}

// An address added inside the namespace is reported as a log line.
TEST_F(WindowTest, AddressMonitorLogsAChangedAddress) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  TAddressMonitor *monitor = window->AddressMonitor();
  ASSERT_NE(monitor, nullptr);
  monitor->Poll(); // the namespace's list is the starting point
  ASSERT_TRUE(TNetifNamespace::Ip("addr add 10.9.0.77/24 dev v0"));
  monitor->Poll();
  TVexlinTree *list = window->vstTerminal();
  const QString line =
      "Detekována změna nastavení IP adresy na lokálním adaptéru #1 : <unknown> -> 10.9.0.77";
  EXPECT_TRUE(WaitFor([&] { return RowText(list->LastNode()) == line; }))
      << RowText(list->LastNode()).toStdString();
  EXPECT_EQ(static_cast<TVexlinDataLog *>(list->LastNode()->Data)->TextColor, 0u);
}

} // namespace
