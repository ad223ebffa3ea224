#pragma once

#include "app/ipc.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// What "pelmarterm --send HEX" or "--receive HEX" asks of the running window.
struct TClientRequest {
  TIpcOperation operation = TIpcOperation::Send;
  QByteArray bytes;
  // "--id TEXT": the same text on a retry makes it the same block, which a
  // window that took it once answers without showing it again.
  QString id;
};

// Exit codes of the client.
inline constexpr int kClientExitDelivered = 0;
inline constexpr int kClientExitNotDelivered = 1; // no window runs, or it did not take them
inline constexpr int kClientExitBadArguments = 2;

// Whether the command line (the program's name first) names --send or
// --receive at all: then it is a client, whatever else is wrong with it.
bool NamesClientOperation(const QStringList &arguments);

// Reads the client's command line: --send or --receive, given once or
// repeated, with hexadecimal bytes after it; every further hexadecimal
// argument follows them in order ("--send 41 42", "--send '41 42'" and
// "--send 4142" are the same); "--id TEXT" names the block. Nothing is dropped: anything it cannot
// take whole (mixed operations, a stray option, a bad digit, no bytes) is refused with the reason
// in `error`.
std::optional<TClientRequest> ParseClientArguments(const QStringList &arguments, QString *error);
