#include "netifnamespace.h"
#include "netifprint.h"
#include "netutils/arptable.h"
#include "netutils/netifadapters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <net/if.h>

namespace {

QString Ip(const TArpNetRow &row) {
  return Ipv4Text(row.Addr);
}

QString Mac(const TArpNetRow &row) {
  return PhysAddressText(row.PhysAddr.data(), row.PhysAddrLength);
}

// Every state of the neighbour table maps onto its entry type, and the
// table comes sorted by address, then by interface.
TEST(ArpTable, ReadsEveryStateInAddressOrder) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  const struct {
    const char *neigh;
    uint32_t type;
  } entries[] = {
      {"10.9.0.30 lladdr 00:11:22:33:44:30 nud permanent dev v0", 4},
      {"10.9.0.20 lladdr 00:11:22:33:44:20 nud reachable dev v0", 3},
      {"10.9.0.25 lladdr 00:11:22:33:44:25 nud stale dev v0", 3},
      {"10.9.0.10 nud failed dev v0", 2},
      {"10.9.0.40 lladdr 00:11:22:33:44:40 nud noarp dev v0", 1},
      {"10.9.0.20 lladdr 00:11:22:33:44:21 nud permanent dev v1", 4},
  };
  for (const auto &e : entries)
    ASSERT_TRUE(TNetifNamespace::Ip(QStringLiteral("neigh add ") + e.neigh)) << e.neigh;

  QString error;
  const auto table = ReadArpTable(&error);
  ASSERT_TRUE(table) << error.toStdString();
  const uint32_t v0 = if_nametoindex("v0"), v1 = if_nametoindex("v1");
  QStringList got;
  for (const TArpNetRow &row : *table)
    got << QStringLiteral("%1 %2 %3 %4")
               .arg(Ip(row), Mac(row))
               .arg(row.InterfaceIndex == v0   ? "v0"
                    : row.InterfaceIndex == v1 ? "v1"
                                               : "?")
               .arg(row.Type);
  ASSERT_LT(v1, v0) << "the peer is made first";
  EXPECT_EQ(got,
            QStringList({"10.9.0.10  v0 2", "10.9.0.20 00:11:22:33:44:21 v1 4",
                         "10.9.0.20 00:11:22:33:44:20 v0 3", "10.9.0.25 00:11:22:33:44:25 v0 3",
                         "10.9.0.30 00:11:22:33:44:30 v0 4", "10.9.0.40 00:11:22:33:44:40 v0 1"}));
}

TEST(ArpTable, DeleteRemovesExactlyOneEntry) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  ASSERT_TRUE(TNetifNamespace::Ip("neigh add 10.9.0.5 lladdr 00:11:22:33:44:55 nud permanent "
                                  "dev v0"));
  ASSERT_TRUE(TNetifNamespace::Ip("neigh add 10.9.0.6 lladdr 00:11:22:33:44:66 nud reachable "
                                  "dev v0"));
  auto table = ReadArpTable();
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 2u);
  const TArpNetRow gone = table->at(0);

  QString error;
  EXPECT_TRUE(DeleteArpEntry(gone, &error)) << error.toStdString();
  table = ReadArpTable();
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 1u);
  EXPECT_EQ(Ip(table->at(0)), "10.9.0.6");

  // What is gone, or never was, cannot be deleted: the caller hears why.
  TArpNetRow unknownLink = table->at(0);
  unknownLink.InterfaceIndex = 999;
  for (const TArpNetRow &row : {gone, unknownLink}) {
    error.clear();
    EXPECT_FALSE(DeleteArpEntry(row, &error));
    EXPECT_FALSE(error.isEmpty());
  }
  EXPECT_EQ(ReadArpTable()->size(), 1u);
}

// Adapters come with their MAC, addresses and masks, the gateways of their
// default routes and the DHCP server their lease names; loopback is left out.
TEST(NetAdapters, ListsAddressesGatewaysAndDhcpServers) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  ASSERT_TRUE(TNetifNamespace::Ip("addr add 10.8.1.1/16 dev v0"));
  ASSERT_TRUE(TNetifNamespace::Ip("route add default via 10.9.0.254 dev v0"));
  const uint32_t v0 = if_nametoindex("v0"), v1 = if_nametoindex("v1");

  QTemporaryDir leases;
  ASSERT_TRUE(leases.isValid());
  QFile lease(leases.filePath(QString::number(v0)));
  ASSERT_TRUE(lease.open(QIODevice::WriteOnly));
  // Only a well-formed address is taken from the file.
  lease.write("ADDRESS=10.9.0.1\nSERVER_ADDRESS=10.9.0.253\nSERVER_ADDRESS=1.2.3.4;rm -rf\n");
  lease.close();

  const std::vector<TNetAdapter> adapters =
      ReadNetAdapters({{leases.path(), "SERVER_ADDRESS"}, {leases.filePath("none"), "X"}});
  ASSERT_EQ(adapters.size(), 2u);
  // In interface order: the peer v1 was made first.
  const TNetAdapter &a = adapters[1];
  EXPECT_EQ(a.Index, v0);
  EXPECT_EQ(a.Description, "v0");
  EXPECT_EQ(a.PhysAddr, QByteArray::fromHex("020000000010"));
  ASSERT_EQ(a.Addresses.size(), 2u);
  EXPECT_EQ(a.Addresses[0].Address, "10.9.0.1");
  EXPECT_EQ(a.Addresses[0].Mask, "255.255.255.0");
  EXPECT_EQ(a.Addresses[1].Address, "10.8.1.1");
  EXPECT_EQ(a.Addresses[1].Mask, "255.255.0.0");
  EXPECT_EQ(a.Gateways, QStringList{"10.9.0.254"});
  EXPECT_EQ(a.DhcpServers, QStringList{"10.9.0.253"});

  const TNetAdapter &b = adapters[0];
  EXPECT_EQ(b.Index, v1);
  EXPECT_EQ(b.PhysAddr.size(), 6);
  EXPECT_TRUE(b.Addresses.empty());
  EXPECT_TRUE(b.Gateways.isEmpty());
  EXPECT_TRUE(b.DhcpServers.isEmpty());
}

} // namespace
