#pragma once

// The commands sent from the command line: newest first, each text once, at
// most MaxCount. Kept in the user's settings (not in the configuration file)
// so that they outlive the program.

#include <QString>
#include <QStringList>

class TCmdLineHistory {
public:
  static constexpr qsizetype MaxCount = 100;

  const QStringList &Commands() const { return fCommands; }

  // Puts `command` first, dropping an older copy and whatever falls past
  // MaxCount. An empty command is not kept. True when the list changed.
  bool Add(const QString &command);

  // Newest first, the commands containing `text`, case-insensitively; all of
  // them for an empty text.
  QStringList Matching(const QString &text) const;

  // The settings group "CommandHistory" of the user's settings. Load takes
  // a hand-edited list as it comes, but keeps it distinct and short.
  void Load();
  void Save() const;

private:
  QStringList fCommands;
};
