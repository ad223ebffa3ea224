#include "netutils/arptable.h"

#include "netutils/netifnetlink.h"

#include <algorithm>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <tuple>

namespace {

QByteArray NeighbourRequest(uint32_t interfaceIndex) {
  ndmsg message{};
  message.ndm_family = AF_INET;
  message.ndm_ifindex = static_cast<int>(interfaceIndex);
  return QByteArray(reinterpret_cast<const char *>(&message), sizeof message);
}

// One neighbour message as a table row; false for what is not an IPv4 entry.
bool NeighbourRow(const char *payload, size_t length, TArpNetRow &row) {
  ndmsg message;
  if (length < NLMSG_ALIGN(sizeof message))
    return false;
  std::memcpy(&message, payload, sizeof message);
  if (message.ndm_family != AF_INET || message.ndm_ifindex <= 0)
    return false;
  row = TArpNetRow{};
  row.InterfaceIndex = static_cast<uint32_t>(message.ndm_ifindex);
  row.Type = ArpTypeOfNeighbourState(message.ndm_state);
  bool hasAddress = false;
  ForEachRtAttribute(payload + NLMSG_ALIGN(sizeof message), length - NLMSG_ALIGN(sizeof message),
                     [&](uint16_t type, const char *data, size_t size) {
                       if (type == NDA_DST && size == row.Addr.size()) {
                         std::memcpy(row.Addr.data(), data, size);
                         hasAddress = true;
                       } else if (type == NDA_LLADDR) {
                         // Longer link addresses keep their first bytes.
                         row.PhysAddrLength =
                             static_cast<uint32_t>(std::min(size, row.PhysAddr.size()));
                         std::memcpy(row.PhysAddr.data(), data, row.PhysAddrLength);
                       }
                     });
  return hasAddress;
}

} // namespace

uint32_t ArpTypeOfNeighbourState(uint16_t state) {
  if (state & NUD_PERMANENT)
    return 4;
  if (state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE))
    return 3;
  if (state & (NUD_FAILED | NUD_INCOMPLETE))
    return 2;
  return 1;
}

std::optional<std::vector<TArpNetRow>> ReadArpTable(QString *error) {
  TRtNetlink netlink;
  std::vector<TArpNetRow> table;
  const bool read =
      netlink.IsOpen() &&
      netlink.Dump(
          RTM_GETNEIGH, NeighbourRequest(0), [&] { table.clear(); },
          [&](const nlmsghdr &header, const char *payload, size_t length) {
            TArpNetRow row;
            if (header.nlmsg_type == RTM_NEWNEIGH && NeighbourRow(payload, length, row))
              table.push_back(row);
          });
  if (!read) {
    if (error)
      *error = netlink.Error();
    return std::nullopt;
  }
  std::stable_sort(table.begin(), table.end(), [](const TArpNetRow &a, const TArpNetRow &b) {
    return std::tie(a.Addr, a.InterfaceIndex) < std::tie(b.Addr, b.InterfaceIndex);
  });
  return table;
}

bool DeleteArpEntry(const TArpNetRow &row, QString *error) {
  TRtNetlink netlink;
  QByteArray request = NeighbourRequest(row.InterfaceIndex);
  AppendRtAttribute(request, NDA_DST, row.Addr.data(), row.Addr.size());
  if (netlink.IsOpen() && netlink.Execute(RTM_DELNEIGH, 0, request))
    return true;
  if (error)
    *error = netlink.Error();
  return false;
}
