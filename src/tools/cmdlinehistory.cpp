#include "tools/cmdlinehistory.h"

#include <QSettings>

namespace {

constexpr auto kGroup = "CommandHistory";
constexpr auto kArray = "Commands";
constexpr auto kText = "Text";

} // namespace

bool TCmdLineHistory::Add(const QString &command) {
  if (command.isEmpty() || (!fCommands.isEmpty() && fCommands.first() == command))
    return false;
  fCommands.removeOne(command);
  fCommands.prepend(command);
  if (fCommands.size() > MaxCount)
    fCommands.resize(MaxCount);
  return true;
}

QStringList TCmdLineHistory::Matching(const QString &text) const {
  QStringList found;
  for (const QString &command : fCommands)
    if (command.contains(text, Qt::CaseInsensitive))
      found.append(command);
  return found;
}

void TCmdLineHistory::Load() {
  QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  settings.beginGroup(QLatin1String(kGroup));
  const int count = settings.beginReadArray(QLatin1String(kArray));
  QStringList stored;
  for (int i = 0; i < count; ++i) {
    settings.setArrayIndex(i);
    stored.append(settings.value(QLatin1String(kText)).toString());
  }
  settings.endArray();
  // Adding oldest first leaves the newest first and drops repeats and
  // empty entries.
  fCommands.clear();
  for (auto it = stored.crbegin(); it != stored.crend(); ++it)
    Add(*it);
}

void TCmdLineHistory::Save() const {
  QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  settings.beginGroup(QLatin1String(kGroup));
  // The old array goes first, or a shorter list would leave its tail behind.
  settings.remove(QLatin1String(kArray));
  settings.beginWriteArray(QLatin1String(kArray), static_cast<int>(fCommands.size()));
  for (int i = 0; i < fCommands.size(); ++i) {
    settings.setArrayIndex(i);
    settings.setValue(QLatin1String(kText), fCommands.at(i));
  }
  settings.endArray();
  // A history that cannot be written is no reason to stop the user sending:
  // the commands stay in memory for this run.
}
