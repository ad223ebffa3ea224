#include "netifnamespace.h"
#include "netifprint.h"
#include "netutils/addressmonitor.h"
#include "waitfor.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressChanges, ComparesListsByCountThenByPosition) {
  const QString u = QStringLiteral("<unknown>");
  const struct {
    QStringList previous, current;
    std::vector<TAddressChange> changes;
  } cases[] = {
      {{"10.0.0.1", "10.0.0.2"}, {"10.0.0.1", "10.0.0.2"}, {}},
      {{"10.0.0.1", "10.0.0.2"}, {"10.0.0.1", "10.0.0.2", "10.0.0.3"}, {{2, "10.0.0.3", u}}},
      {{}, {"10.0.0.1", "10.0.0.2"}, {{0, "10.0.0.1", u}, {1, "10.0.0.2", u}}},
      {{"10.0.0.1", "10.0.0.2", "10.0.0.3"},
       {"10.0.0.3"},
       {{0, u, "10.0.0.1"}, {1, u, "10.0.0.2"}}},
      {{"10.0.0.1", "10.0.0.2"}, {"10.0.0.1", "10.0.0.9"}, {{1, "10.0.0.9", "10.0.0.2"}}},
      // Two swapped addresses are two changes.
      {{"10.0.0.1", "10.0.0.2"},
       {"10.0.0.2", "10.0.0.1"},
       {{0, "10.0.0.2", "10.0.0.1"}, {1, "10.0.0.1", "10.0.0.2"}}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(AddressChanges(c.previous, c.current), c.changes)
        << c.previous.join(',').toStdString() << " -> " << c.current.join(',').toStdString();
  EXPECT_EQ(AddressChangeLine({2, "192.168.5.7", u}),
            "Detekována změna nastavení IP adresy na lokálním adaptéru #2 : <unknown> -> "
            "192.168.5.7");
}

// The first readable list is the starting point; a list that cannot be
// read is no change; the timer polls on its own.
TEST(AddressMonitor, PollsFromTheFirstReadableList) {
  std::vector<std::optional<QStringList>> reads = {
      std::nullopt, QStringList{"10.0.0.1"}, QStringList{"10.0.0.1", "10.0.0.2"}, std::nullopt,
      QStringList{"10.0.0.3", "10.0.0.2"}};
  size_t next = 0;
  QStringList later = {"10.0.0.3", "10.0.0.2"};
  TAddressMonitor monitor(nullptr, [&]() -> std::optional<QStringList> {
    return next < reads.size() ? reads[next++] : later;
  });
  QStringList lines;
  QObject::connect(&monitor, &TAddressMonitor::statusChanged,
                   [&](int adapter, const QString &newIP, const QString &oldIP) {
                     lines << AddressChangeLine({adapter, newIP, oldIP});
                   });
  monitor.Start(60 * 60 * 1000);
  monitor.Poll();
  EXPECT_TRUE(lines.isEmpty());
  monitor.Poll();
  monitor.Poll();
  monitor.Poll();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].endsWith("#1 : <unknown> -> 10.0.0.2")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith("#0 : 10.0.0.1 -> 10.0.0.3")) << lines[1].toStdString();

  monitor.Start(5);
  later = {"10.0.0.3"};
  ASSERT_TRUE(WaitFor([&] { return lines.size() == 3; }));
  EXPECT_TRUE(lines[2].endsWith("#1 : 10.0.0.2 -> <unknown>")) << lines[2].toStdString();
}

// The system's own list, in a namespace where addresses come and go.
TEST(AddressMonitor, SeesAddressesAddedAndRemoved) {
  PT_ENTER_NETNS(ns);
  PT_NETNS_VETH();
  EXPECT_EQ(ReadLocalIpv4Addresses(), QStringList{"10.9.0.1"}) << "loopback is left out";
  TAddressMonitor monitor;
  std::vector<TAddressChange> seen;
  QObject::connect(&monitor, &TAddressMonitor::statusChanged,
                   [&](int adapter, const QString &newIP, const QString &oldIP) {
                     seen.push_back({adapter, newIP, oldIP});
                   });
  monitor.Start(60 * 60 * 1000);
  monitor.Poll();
  EXPECT_TRUE(seen.empty());
  ASSERT_TRUE(TNetifNamespace::Ip("addr add 10.7.0.1/24 dev v1"));
  monitor.Poll();
  ASSERT_TRUE(TNetifNamespace::Ip("addr del 10.9.0.1/24 dev v0"));
  monitor.Poll();
  // Interface order: v1 came first, so its address leads the list.
  EXPECT_EQ(seen, (std::vector<TAddressChange>{{0, "10.7.0.1", "<unknown>"},
                                               {1, "<unknown>", "10.9.0.1"}}));
}

} // namespace
