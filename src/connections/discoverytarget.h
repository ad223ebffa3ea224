#pragma once

#include <QByteArray>
#include <QHostAddress>

inline constexpr quint16 kDiscoveryPort = 30718;

// Where the module query goes: 255.255.255.255, port 30718, unless the
// environment variables PT_DISCOVERY_ADDRESS and PT_DISCOVERY_PORT say
// otherwise (tests and laptops without a network point them at loopback).
// The module search listens for answers on PT_DISCOVERY_LISTEN_PORT (30718;
// 0 picks a free port) and reads the modules' setup port
// PT_DISCOVERY_TELNET_PORT (9999).
struct TDiscoveryTarget {
  QHostAddress address;
  quint16 port = 0;
  quint16 listenPort = kDiscoveryPort;
  quint16 telnetPort = 9999;

  static TDiscoveryTarget FromEnvironment();
};

// The module query: 00 00 00 F6.
QByteArray DiscoveryQuery();
