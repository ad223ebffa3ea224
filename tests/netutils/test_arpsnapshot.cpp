#include "netifprint.h"
#include "netutils/arpsnapshot.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobjectqueue.h"

#include <gtest/gtest.h>

namespace {

TArpNetRow Entry(uint32_t index, uint8_t last, uint32_t type) {
  TArpNetRow row;
  row.InterfaceIndex = index;
  row.Addr = {10, 0, 0, last};
  row.PhysAddrLength = 6;
  row.PhysAddr = {0, 0x11, 0x22, 0x33, 0x44, last};
  row.Type = type;
  return row;
}

// The rows as "<depth> <text>", a log row's colour and a row's expansion
// added where they are not black and collapsed.
void Flatten(const TArpSnapshotRow &row, int depth, QStringList &out) {
  QString line = QString::number(depth) + u' ';
  if (auto *log = dynamic_cast<TVexlinDataLog *>(row.Data.get())) {
    line += log->Text;
    if (log->TextColor != 0)
      line += QStringLiteral(" #%1").arg(log->TextColor, 6, 16, QLatin1Char('0'));
  } else if (auto *arp = dynamic_cast<TVexlinDataArpTableItem *>(row.Data.get())) {
    line += QStringLiteral("arp %1 %2 %3").arg(arp->IP, arp->MAC).arg(arp->ArpType);
  }
  if (row.Expanded)
    line += QStringLiteral(" +");
  out << line;
  for (const TArpSnapshotRow &child : row.Children)
    Flatten(child, depth + 1, out);
}

QStringList Flatten(const TArpSnapshotRow &top) {
  QStringList out;
  Flatten(top, 0, out);
  return out;
}

TNetAdapter Adapter(uint32_t index, const char *name, QByteArray mac) {
  TNetAdapter a;
  a.Index = index;
  a.Description = name;
  a.PhysAddr = mac;
  return a;
}

TEST(ArpSnapshot, AdapterWithTwoDynamicEntries) {
  TNetSnapshot snapshot;
  TNetAdapter eth = Adapter(3, "eth0", QByteArray::fromHex("020000aabbcc"));
  eth.Addresses = {{"10.0.0.1", "255.255.255.0"}};
  eth.Gateways = {"10.0.0.254"};
  snapshot.Adapters = {eth};
  // Entries of an interface no adapter lists are not shown.
  snapshot.ArpTable = {{Entry(3, 2, 3), Entry(99, 3, 4), Entry(3, 4, 3)}};
  EXPECT_EQ(Flatten(ArpSnapshotRows(snapshot, {})),
            QStringList({"0 Network adapters & ARP table : #800000 +", "1 [ 3 ] - eth0 +",
                         "2    MAC: 02:00:00:AA:BB:CC", "2   IP:  10.0.0.1   Mask:  255.255.255.0",
                         "2    GW:  10.0.0.254", "2 arp 10.0.0.2 00:11:22:33:44:02 3",
                         "2 arp 10.0.0.4 00:11:22:33:44:04 3"}));
}

// Static entries come before dynamic ones, the invalid and then the other
// ones go into a collapsed grey group, each group in table order.
TEST(ArpSnapshot, GroupsEntriesByType) {
  TNetSnapshot snapshot;
  TNetAdapter tun = Adapter(5, "tun0", {});
  tun.DhcpServers = {"", "10.0.0.253"};
  snapshot.Adapters = {Adapter(1, "v1", QByteArray::fromHex("0102")), tun};
  snapshot.ArpTable = {{Entry(5, 1, 1), Entry(5, 2, 3), Entry(5, 3, 2), Entry(5, 4, 4),
                        Entry(5, 5, 2), Entry(5, 6, 3), Entry(5, 7, 4)}};
  EXPECT_EQ(Flatten(ArpSnapshotRows(snapshot, {})),
            QStringList({"0 Network adapters & ARP table : #800000 +", "1 [ 1 ] - v1 +",
                         "2    MAC: 01:02", "1 [ 5 ] - tun0 +", "2    MAC: none",
                         "2    DHCP:  10.0.0.253", "2 arp 10.0.0.4 00:11:22:33:44:04 4",
                         "2 arp 10.0.0.7 00:11:22:33:44:07 4", "2 arp 10.0.0.2 00:11:22:33:44:02 3",
                         "2 arp 10.0.0.6 00:11:22:33:44:06 3", "2 [+] invalid and other #808080",
                         "3 arp 10.0.0.3 00:11:22:33:44:03 2", "3 arp 10.0.0.5 00:11:22:33:44:05 2",
                         "3 arp 10.0.0.1 00:11:22:33:44:01 1"}));
}

// An unreadable table still lists the adapters; each entry row deletes its
// own system row.
TEST(ArpSnapshot, AdaptersWithoutTableAndDeletionHook) {
  TNetSnapshot snapshot;
  snapshot.Adapters = {Adapter(2, "eth1", QByteArray::fromHex("00000000000a"))};
  EXPECT_EQ(Flatten(ArpSnapshotRows(snapshot, {})),
            QStringList({"0 Network adapters & ARP table : #800000 +", "1 [ 2 ] - eth1 +",
                         "2    MAC: 00:00:00:00:00:0A"}));
  EXPECT_EQ(ArpTableFailsText(), "Get ARP table - fails");

  snapshot.ArpTable = {{Entry(2, 9, 4)}};
  std::vector<TArpNetRow> asked;
  TArpSnapshotRow top = ArpSnapshotRows(snapshot, [&](const TArpNetRow &row) {
    asked.push_back(row);
    return false;
  });
  auto *item = dynamic_cast<TVexlinDataArpTableItem *>(top.Children[0].Children[1].Data.get());
  ASSERT_NE(item, nullptr);
  item->onClickDelete(item);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Addr, (std::array<uint8_t, 4>{10, 0, 0, 9}));
  EXPECT_EQ(asked[0].InterfaceIndex, 2u);
  TVexlinDataObject *logged = nullptr;
  ASSERT_TRUE(VexlinDataObject_POP(logged)) << "the refusal is logged";
  FreeDataObjectChain(logged);
}

} // namespace
