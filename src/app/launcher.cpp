#include "app/launcher.h"

#include "base/languagetext.h"

#include <QStandardPaths>

namespace {

struct TTerminal {
  const char *name;
  const char *runOption; // what comes before the command to run
};

// Debian's own choice first, then the common desktops' terminals.
constexpr TTerminal kTerminals[] = {
    {"x-terminal-emulator", "-e"},
    {"gnome-terminal", "--"},
    {"konsole", "-e"},
    {"xfce4-terminal", "-x"},
    {"mate-terminal", "-x"},
    {"lxterminal", "-e"},
    {"xterm", "-e"},
};

constexpr const char *kHardwareTools[] = {"hardinfo2", "hardinfo", "kinfocenter", "lshw-gtk"};

} // namespace

TExecutableFinder SystemExecutableFinder() {
  return [](const QString &name) { return QStandardPaths::findExecutable(name); };
}

std::optional<TProgramStart> DeviceManagerCommand(const TExecutableFinder &find) {
  for (const char *tool : kHardwareTools)
    if (const QString path = find(QLatin1String(tool)); !path.isEmpty())
      return TProgramStart{path, {}};
  return std::nullopt;
}

std::optional<TProgramStart> TerminalCommand(const QStringList &command,
                                             const TExecutableFinder &find) {
  for (const TTerminal &t : kTerminals)
    if (const QString path = find(QLatin1String(t.name)); !path.isEmpty())
      return TProgramStart{path, QStringList{QLatin1String(t.runOption)} + command};
  return std::nullopt;
}

QString StartFailedText(const QString &program) {
  return LanguageText(QStringLiteral("StartFailed"), QStringLiteral("Nepodařilo se spustit %1."))
      .arg(program);
}
