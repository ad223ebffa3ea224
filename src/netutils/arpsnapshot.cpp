#include "netutils/arpsnapshot.h"

#include "connections/connectiontexts.h"
#include "netutils/arptable.h"
#include "pipeline/datalog.h"

#include <unordered_map>

namespace {

constexpr TColor kGroupGrey = RGBColor(128, 128, 128);

TArpSnapshotRow LogRow(const QString &text, TColor color = kColorBlack) {
  TArpSnapshotRow row;
  row.Data = std::make_unique<TVexlinDataLog>(text, color);
  return row;
}

TArpSnapshotRow EntryRow(const TArpNetRow &entry,
                         const TVexlinDataArpTableItem::TDeleteEntry &deleteEntry) {
  TArpSnapshotRow row;
  row.Data = std::make_unique<TVexlinDataArpTableItem>(entry, deleteEntry);
  return row;
}

TArpSnapshotRow AdapterRows(const TNetAdapter &adapter,
                            const std::vector<const TArpNetRow *> &entries,
                            const TVexlinDataArpTableItem::TDeleteEntry &deleteEntry) {
  TArpSnapshotRow row = LogRow(QStringLiteral("[ ") + QString::number(adapter.Index) +
                               QStringLiteral(" ] - ") + adapter.Description);
  row.Expanded = true;
  auto &children = row.Children;
  const QString mac = PhysAddressText(reinterpret_cast<const uint8_t *>(adapter.PhysAddr.data()),
                                      static_cast<size_t>(adapter.PhysAddr.size()));
  children.push_back(
      LogRow(QStringLiteral("   MAC: ") + (mac.isEmpty() ? QStringLiteral("none") : mac)));
  for (const TNetAdapterAddress &a : adapter.Addresses)
    children.push_back(LogRow(QStringLiteral("  ") + QStringLiteral("IP:  ") + a.Address +
                              QStringLiteral("   Mask:  ") + a.Mask));
  for (const QString &gateway : adapter.Gateways)
    children.push_back(LogRow(QStringLiteral("   ") + QStringLiteral("GW:  ") + gateway));
  for (const QString &server : adapter.DhcpServers)
    if (!server.isEmpty())
      children.push_back(LogRow(QStringLiteral("   ") + QStringLiteral("DHCP:  ") + server));
  for (uint32_t type : {4u, 3u})
    for (const TArpNetRow *entry : entries)
      if (entry->Type == type)
        children.push_back(EntryRow(*entry, deleteEntry));
  std::optional<TArpSnapshotRow> others;
  for (uint32_t type : {2u, 1u}) {
    for (const TArpNetRow *entry : entries) {
      if (entry->Type != type)
        continue;
      if (!others)
        others = LogRow(QStringLiteral("[+] invalid and other"), kGroupGrey);
      others->Children.push_back(EntryRow(*entry, deleteEntry));
    }
  }
  if (others)
    children.push_back(std::move(*others));
  return row;
}

} // namespace

TNetSnapshot ReadNetSnapshot() {
  TNetSnapshot snapshot;
  snapshot.ArpTable = ReadArpTable();
  snapshot.Adapters = ReadNetAdapters();
  return snapshot;
}

QString ArpTableFailsText() {
  return QStringLiteral("Get ARP table - fails");
}

TArpSnapshotRow ArpSnapshotRows(const TNetSnapshot &snapshot,
                                const TVexlinDataArpTableItem::TDeleteEntry &deleteEntry) {
  TArpSnapshotRow top = LogRow(QStringLiteral("Network adapters & ARP table :"), kColorNavy);
  top.Expanded = true;
  // Each adapter's entries in table order, found without a scan per adapter.
  std::unordered_map<uint32_t, std::vector<const TArpNetRow *>> byAdapter;
  if (snapshot.ArpTable)
    for (const TArpNetRow &entry : *snapshot.ArpTable)
      byAdapter[entry.InterfaceIndex].push_back(&entry);
  static const std::vector<const TArpNetRow *> kNone;
  for (const TNetAdapter &adapter : snapshot.Adapters) {
    const auto it = byAdapter.find(adapter.Index);
    top.Children.push_back(
        AdapterRows(adapter, it != byAdapter.end() ? it->second : kNone, deleteEntry));
  }
  return top;
}
