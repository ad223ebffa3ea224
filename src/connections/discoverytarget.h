#pragma once

#include <QByteArray>
#include <QHostAddress>

// Where the module query goes: 255.255.255.255, port 30718, unless the
// environment variables PT_DISCOVERY_ADDRESS and PT_DISCOVERY_PORT say
// otherwise (tests and laptops without a network point them at loopback).
struct TDiscoveryTarget {
  QHostAddress address;
  quint16 port = 0;

  static TDiscoveryTarget FromEnvironment();
};

inline constexpr quint16 kDiscoveryPort = 30718;
// The module query: 00 00 00 F6.
QByteArray DiscoveryQuery();
