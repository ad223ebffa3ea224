#include "base/datafolder.h"

#include "base/languagetext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr char kShippedBesideProgram[] = "pt.files";
constexpr char kShippedInstalled[] = "../share/pelmarterm/pt.files";
constexpr char kProgramFolder[] = "pelmarterm";
// Shipped files the user removed, one name a line.
constexpr char kRemovedList[] = "pt.removed.txt";

QString WithSlash(const QString &folder) {
  return folder.endsWith(u'/') ? folder : folder + u'/';
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are to be ignored), else the default under the home folder.
QString XdgFolder(const TEnvironment &environment, const char *variable, const QString &home,
                  const char *fallback) {
  const QString value = environment(variable);
  if (!value.isEmpty() && QDir::isAbsolutePath(value))
    return WithSlash(value);
  return WithSlash(home) + QLatin1String(fallback) + u'/';
}

} // namespace

QString TDataFolders::ReadPath(const QString &name) const {
  return ReadFolder(name) + name;
}

TDataFolders TDataFolders::Single(const QString &folder) {
  TDataFolders folders;
  folders.shipped = folders.user = WithSlash(folder);
  return folders;
}

QString TDataFolders::ReadFolder(const QString &name) const {
  return user != shipped && !QFileInfo::exists(user + name) ? shipped : user;
}

bool TDataFolders::Shipped(const QString &name) const {
  return user != shipped && QFileInfo::exists(shipped + name);
}

QStringList TDataFolders::Removed() const {
  if (user == shipped)
    return {};
  QFile file(user + QLatin1String(kRemovedList));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QStringList names;
  for (const QByteArray &line : file.readAll().split('\n'))
    if (const QString name = QString::fromUtf8(line).trimmed(); !name.isEmpty())
      names << name;
  return names;
}

bool TDataFolders::RememberRemoved(const QString &name, QString *error) const {
  QStringList names = Removed();
  if (!Shipped(name) || names.contains(name))
    return true;
  names << name;
  QSaveFile file(user + QLatin1String(kRemovedList));
  if (!MakeUserFolders(error))
    return false;
  if (!file.open(QIODevice::WriteOnly) || file.write(names.join(u'\n').toUtf8() + '\n') < 0 ||
      !file.commit()) {
    if (error)
      *error = file.errorString();
    return false;
  }
  return true;
}

QStringList TDataFolders::Names(const QString &wildcard) const {
  const QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System;
  QStringList names = QDir(user).entryList({wildcard}, filters);
  if (user != shipped) {
    const QStringList removed = Removed();
    for (const QString &name : QDir(shipped).entryList({wildcard}, filters))
      if (!names.contains(name) && !removed.contains(name))
        names << name;
  }
  // Sorted as QDir::Name would: the menus and tabs keep their order.
  names.sort();
  return names;
}

bool TDataFolders::MakeUserFolders(QString *error) const {
  if (!installed)
    return true;
  for (const QString &folder : {user, config})
    if (!QDir().mkpath(folder)) {
      if (error)
        *error = LanguageText(QStringLiteral("FolderNotCreated"),
                              QStringLiteral("Složku \"%1\" nelze vytvořit."))
                     .arg(folder);
      return false;
    }
  return true;
}

TDataFolders ResolveDataFolders(const QString &programFolder, const TEnvironment &environment,
                                const QString &home) {
  TDataFolders folders;
  const QString beside = WithSlash(programFolder) + QLatin1String(kShippedBesideProgram);
  const QString installed =
      QDir::cleanPath(WithSlash(programFolder) + QLatin1String(kShippedInstalled));
  // Only where the shipped data is not beside the program yet is in the
  // installed place; anything else (a build folder, a test's executable) is
  // run as from the build folder, as it always was.
  folders.installed = !QFileInfo(beside).isDir() && QFileInfo(installed).isDir();
  if (folders.installed) {
    folders.shipped = WithSlash(installed);
    folders.user = XdgFolder(environment, "XDG_DATA_HOME", home, ".local/share") +
                   QLatin1String(kProgramFolder) + u'/' + QLatin1String(kShippedBesideProgram) +
                   u'/';
    folders.config = XdgFolder(environment, "XDG_CONFIG_HOME", home, ".config") +
                     QLatin1String(kProgramFolder) + u'/';
  } else {
    folders = TDataFolders::Single(beside);
  }
  if (const QString own = environment("PT_DATA_DIR"); !own.isEmpty()) {
    const TDataFolders single = TDataFolders::Single(own);
    folders.shipped = single.shipped;
    folders.user = single.user;
  }
  return folders;
}

TDataFolders DataFolders() {
  return ResolveDataFolders(
      QCoreApplication::applicationDirPath(),
      [](const char *name) { return qEnvironmentVariable(name); }, QDir::homePath());
}

QString PathPtFiles() {
  return DataFolders().user;
}
