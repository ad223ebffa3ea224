#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// What a serial-to-Ethernet module says on the network: its answer to the
// discovery query and the identification banner of its setup port.

// Answers shorter than this are not answers; larger than the second bound
// are not what a module sends and are ignored as well.
inline constexpr qsizetype kDiscoveryAnswerMinSize = 30;
inline constexpr qsizetype kDiscoveryAnswerMaxSize = 1472;

// The module's MAC ("00:20:4A:12:34:56") when `datagram` is an answer to the
// query (0xF7 in byte 3), else nothing.
std::optional<QString> DiscoveryAnswerMac(QByteArrayView datagram);

// The text between two "****" markers, less the one character next to each
// marker, when both markers are in `text`; the bytes are taken as characters
// of the same codes.
std::optional<QString> FindIdentification(QByteArrayView text);
