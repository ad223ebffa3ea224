#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A program to start detached, with its arguments.
struct TProgramStart {
  QString program;
  QStringList arguments;
  bool operator==(const TProgramStart &) const = default;
};

// Finds an executable on the PATH; empty when there is none.
using TExecutableFinder = std::function<QString(const QString &name)>;
TExecutableFinder SystemExecutableFinder();

// The desktop's hardware information tool, when one is installed.
std::optional<TProgramStart> DeviceManagerCommand(const TExecutableFinder &find);
// `command` run in a terminal window of the desktop, when there is one.
std::optional<TProgramStart> TerminalCommand(const QStringList &command,
                                             const TExecutableFinder &find);
// The message for a program that would not start.
QString StartFailedText(const QString &program);
