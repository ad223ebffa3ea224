#pragma once

#include "netutils/netifadapters.h"
#include "pipeline/datanetitems.h"

#include <memory>
#include <optional>
#include <vector>

class TVexlinDataObject;

// The adapters and the ARP table as a group of rows for the communication
// view, built apart from any view so it can be checked row by row.

// One row to add and the rows under it.
struct TArpSnapshotRow {
  std::unique_ptr<TVexlinDataObject> Data;
  bool Expanded = false;
  std::vector<TArpSnapshotRow> Children;
};

// What the system told: the adapters, and the ARP table unless it could not
// be read.
struct TNetSnapshot {
  std::vector<TNetAdapter> Adapters;
  std::optional<std::vector<TArpNetRow>> ArpTable;
};

TNetSnapshot ReadNetSnapshot();

// The line logged when the ARP table cannot be read.
QString ArpTableFailsText();

// "Network adapters & ARP table :" with a row per adapter: its MAC, IP
// addresses, gateways and DHCP servers, then its static and its dynamic
// entries, then the invalid and other ones in a collapsed grey group. Entries
// of no listed adapter are left out. Each entry row deletes through
// `deleteEntry`.
TArpSnapshotRow ArpSnapshotRows(const TNetSnapshot &snapshot,
                                const TVexlinDataArpTableItem::TDeleteEntry &deleteEntry);
