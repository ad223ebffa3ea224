#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The network adapters of the calling thread's network namespace, as the
// ARP table listing shows them.

struct TNetAdapterAddress {
  QString Address;
  QString Mask;
};

struct TNetAdapter {
  uint32_t Index = 0;
  QString Description;                       // the interface name
  QByteArray PhysAddr;                       // at most 8 bytes; empty when it has none
  std::vector<TNetAdapterAddress> Addresses; // IPv4, in the system's order
  QStringList Gateways;                      // of the adapter's default routes
  QStringList DhcpServers;                   // where the system can tell
};

// Where DHCP clients leave their leases, one file per interface index
// holding a line "<key>=<server address>".
struct TDhcpLeaseSource {
  QString Folder;
  QByteArray Key;
};
std::vector<TDhcpLeaseSource> DefaultDhcpLeaseSources();

// Every adapter but loopback, in interface order; the gateways and DHCP
// servers are left out where they cannot be read.
std::vector<TNetAdapter>
ReadNetAdapters(const std::vector<TDhcpLeaseSource> &leases = DefaultDhcpLeaseSources());

// The DHCP server named for an interface index by the lease sources, if any.
QStringList DhcpServersOf(uint32_t index, const std::vector<TDhcpLeaseSource> &leases);
