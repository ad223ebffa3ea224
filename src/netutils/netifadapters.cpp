#include "netutils/netifadapters.h"

#include "netutils/netifnetlink.h"

#include <QFile>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/rtnetlink.h>
#include <map>
#include <net/if.h>

namespace {

// A lease file is a few hundred bytes; anything beyond this is not one.
constexpr qint64 kMaxLeaseFile = 64 * 1024;

QString Ipv4SockaddrText(const sockaddr *address) {
  if (!address || address->sa_family != AF_INET)
    return QStringLiteral("0.0.0.0");
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text);
  return QString::fromLatin1(text);
}

QString Ipv4BytesText(const char *bytes) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, bytes, text, sizeof text);
  return QString::fromLatin1(text);
}

// The gateways of the default IPv4 routes of the main table, per interface.
std::map<uint32_t, QStringList> DefaultGateways() {
  std::map<uint32_t, QStringList> gateways;
  auto add = [&](uint32_t index, const QString &gateway) {
    QStringList &list = gateways[index];
    if (!list.contains(gateway))
      list << gateway;
  };
  rtmsg request{};
  request.rtm_family = AF_INET;
  TRtNetlink netlink;
  netlink.Dump(
      RTM_GETROUTE, QByteArray(reinterpret_cast<const char *>(&request), sizeof request),
      [&] { gateways.clear(); },
      [&](const nlmsghdr &header, const char *payload, size_t length) {
        rtmsg route;
        if (header.nlmsg_type != RTM_NEWROUTE || length < NLMSG_ALIGN(sizeof route))
          return;
        std::memcpy(&route, payload, sizeof route);
        if (route.rtm_family != AF_INET || route.rtm_dst_len != 0 || route.rtm_type != RTN_UNICAST)
          return;
        uint32_t table = route.rtm_table;
        uint32_t oif = 0;
        QString gateway;
        ForEachRtAttribute(
            payload + NLMSG_ALIGN(sizeof route), length - NLMSG_ALIGN(sizeof route),
            [&](uint16_t type, const char *data, size_t size) {
              if (type == RTA_TABLE && size == sizeof table)
                std::memcpy(&table, data, size);
              else if (type == RTA_OIF && size == sizeof oif)
                std::memcpy(&oif, data, size);
              else if (type == RTA_GATEWAY && size == 4)
                gateway = Ipv4BytesText(data);
              else if (type == RTA_MULTIPATH) {
                // Each next hop names its own interface and gateway.
                size_t offset = 0;
                while (size - offset >= sizeof(rtnexthop)) {
                  rtnexthop hop;
                  std::memcpy(&hop, data + offset, sizeof hop);
                  if (hop.rtnh_len < sizeof hop || hop.rtnh_len > size - offset)
                    break;
                  ForEachRtAttribute(
                      data + offset + RTNH_LENGTH(0), hop.rtnh_len - RTNH_LENGTH(0),
                      [&](uint16_t hopType, const char *hopData, size_t hopSize) {
                        if (hopType == RTA_GATEWAY && hopSize == 4 && hop.rtnh_ifindex > 0)
                          add(static_cast<uint32_t>(hop.rtnh_ifindex), Ipv4BytesText(hopData));
                      });
                  offset += RTNH_ALIGN(hop.rtnh_len);
                }
              }
            });
        if (table == RT_TABLE_MAIN && oif != 0 && !gateway.isEmpty())
          add(oif, gateway);
      });
  return gateways;
}

} // namespace

std::vector<TDhcpLeaseSource> DefaultDhcpLeaseSources() {
  return {{QStringLiteral("/run/systemd/netif/leases"), "SERVER_ADDRESS"},
          {QStringLiteral("/run/NetworkManager/devices"), "dhcp_server_identifier"}};
}

QStringList DhcpServersOf(uint32_t index, const std::vector<TDhcpLeaseSource> &leases) {
  QStringList servers;
  for (const TDhcpLeaseSource &source : leases) {
    QFile file(source.Folder + u'/' + QString::number(index));
    if (!file.open(QIODevice::ReadOnly))
      continue;
    const QByteArray text = file.read(kMaxLeaseFile);
    const QByteArray prefix = source.Key + '=';
    for (const QByteArray &rawLine : text.split('\n')) {
      const QByteArray line = rawLine.trimmed();
      if (!line.startsWith(prefix))
        continue;
      const QByteArray value = line.mid(prefix.size()).trimmed();
      in_addr address;
      // Only a well-formed address is shown, never whatever the file holds.
      if (inet_pton(AF_INET, value.constData(), &address) == 1) {
        const QString server = QString::fromLatin1(value);
        if (!servers.contains(server))
          servers << server;
      }
    }
  }
  return servers;
}

std::vector<TNetAdapter> ReadNetAdapters(const std::vector<TDhcpLeaseSource> &leases) {
  std::vector<TNetAdapter> adapters;
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0)
    return adapters;
  auto adapterNamed = [&](const QString &name) -> TNetAdapter * {
    for (TNetAdapter &a : adapters)
      if (a.Description == name)
        return &a;
    const unsigned index = if_nametoindex(name.toLocal8Bit().constData());
    if (index == 0)
      return nullptr;
    adapters.push_back({index, name, {}, {}, {}, {}});
    return &adapters.back();
  };
  for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || !entry->ifa_name || (entry->ifa_flags & IFF_LOOPBACK))
      continue;
    // An address label ("eth0:1") names its interface before the colon.
    const QString name = QString::fromLocal8Bit(entry->ifa_name).section(u':', 0, 0);
    if (entry->ifa_addr->sa_family == AF_PACKET) {
      const auto *link = reinterpret_cast<const sockaddr_ll *>(entry->ifa_addr);
      TNetAdapter *adapter = adapterNamed(name);
      if (adapter && link->sll_halen > 0)
        adapter->PhysAddr = QByteArray(reinterpret_cast<const char *>(link->sll_addr),
                                       std::min<int>(link->sll_halen, sizeof link->sll_addr));
    } else if (entry->ifa_addr->sa_family == AF_INET) {
      if (TNetAdapter *adapter = adapterNamed(name))
        adapter->Addresses.push_back(
            {Ipv4SockaddrText(entry->ifa_addr), Ipv4SockaddrText(entry->ifa_netmask)});
    }
  }
  freeifaddrs(list);
  const std::map<uint32_t, QStringList> gateways = DefaultGateways();
  for (TNetAdapter &adapter : adapters) {
    if (auto it = gateways.find(adapter.Index); it != gateways.end())
      adapter.Gateways = it->second;
    adapter.DhcpServers = DhcpServersOf(adapter.Index, leases);
  }
  return adapters;
}
