#pragma once

#include "pipeline/datanetitems.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The IPv4 neighbour (ARP) table of the calling thread's network namespace.

// The entry type of a neighbour state: permanent is static (4); reachable,
// stale, delay and probe are dynamic (3); failed and incomplete are invalid
// (2); anything else (noarp, none) is other (1).
uint32_t ArpTypeOfNeighbourState(uint16_t state);

// The table sorted by address (then interface), or nothing with `error`
// set when it cannot be read.
std::optional<std::vector<TArpNetRow>> ReadArpTable(QString *error = nullptr);

// Removes one entry from the system table; false with `error` set when the
// system refuses (no such entry, no right to change the table).
bool DeleteArpEntry(const TArpNetRow &row, QString *error = nullptr);
