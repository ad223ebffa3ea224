#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Where the program's files are. Run from its build folder the data folder
// "pt.files/" sits beside the executable and holds both the shipped files
// (style sheets, language files, the shipped presets) and what the user
// stores (presets, the command table, edited language files); "config.xml"
// goes to the working folder.
//
// Installed (the shipped data is not beside the executable but in
// "../share/pelmarterm/pt.files" from it), that folder is read-only: the
// user's files go to $XDG_DATA_HOME/pelmarterm/pt.files (default
// ~/.local/share/...) and "config.xml" to $XDG_CONFIG_HOME/pelmarterm
// (default ~/.config/...). A user file overrides the shipped file of the same
// name, and a shipped file the user removed stays removed.
//
// PT_DATA_DIR names one folder that serves as both data folders (a source
// tree's data/pt.files, tests), whatever the kind of run.
struct TDataFolders {
  QString shipped; // the shipped files; ends in '/'
  QString user;    // the files the program writes; ends in '/'
  QString config;  // the folder of "config.xml", ending in '/'; empty: the working folder
  bool installed = false;

  // One folder as both: a build folder's, or PT_DATA_DIR's.
  static TDataFolders Single(const QString &folder);

  // The user's file of that name when there is one, else the shipped one
  // (which need not exist either).
  QString ReadPath(const QString &name) const;
  // The folder ReadPath takes the name from, ending in '/'.
  QString ReadFolder(const QString &name) const;
  QString WritePath(const QString &name) const { return user + name; }
  // The names matching `wildcard` in either folder, each once, sorted, less
  // the shipped ones the user removed (unless the user has one of that name).
  QStringList Names(const QString &wildcard) const;
  // True when the name is one of the shipped files; these cannot be deleted,
  // only marked removed.
  bool Shipped(const QString &name) const;
  // Marks a shipped file as removed for this user, so it is not listed again.
  bool RememberRemoved(const QString &name, QString *error = nullptr) const;
  QStringList Removed() const;
  QString ConfigFile(const QString &name) const { return config + name; }
  // Makes the user's folders when they are elsewhere than the shipped data.
  bool MakeUserFolders(QString *error = nullptr) const;
};

// Looks an environment variable up; empty when unset.
using TEnvironment = std::function<QString(const char *name)>;

// The decision itself, from the executable's folder, the environment and the
// home folder, so every kind of run can be tried without installing.
TDataFolders ResolveDataFolders(const QString &programFolder, const TEnvironment &environment,
                                const QString &home);

// The running program's folders (the environment is read at every call).
TDataFolders DataFolders();

// The folder the program writes its data files to, ending in '/':
// DataFolders().user.
QString PathPtFiles();
