#pragma once

#include <QString>

// Where the log files' dialogs start. Run from the build folder that is the
// working folder, as it always was. Installed, the program is often started
// from a menu with a working folder the user never chose (or cannot write),
// so the dialogs start in the folder last used for a log, kept between runs,
// else in the user's documents folder.
class TLogFolder {
public:
  explicit TLogFolder(bool installed) : fInstalled(installed) {}
  // As the running program is: installed or from its build folder.
  static TLogFolder OfThisRun();

  // The folder to start in, ending in '/'; empty for the working folder.
  QString Start() const;
  // `name` in the starting folder.
  QString Propose(const QString &name) const { return Start() + name; }
  // The folder of a file the user chose, for the next dialog.
  void Remember(const QString &fileName) const;

private:
  bool fInstalled;
};
