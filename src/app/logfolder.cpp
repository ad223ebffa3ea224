#include "app/logfolder.h"

#include "base/datafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr char kKey[] = "Files/LogFolder";

QString WithSlash(const QString &folder) {
  return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

TLogFolder TLogFolder::OfThisRun() {
  return TLogFolder(DataFolders().installed);
}

QString TLogFolder::Start() const {
  if (!fInstalled)
    return QString();
  const QString last = QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"))
                           .value(QLatin1String(kKey))
                           .toString();
  if (!last.isEmpty() && QFileInfo(last).isDir())
    return WithSlash(last);
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return WithSlash(QFileInfo(documents).isDir() ? documents : QDir::homePath());
}

void TLogFolder::Remember(const QString &fileName) const {
  if (fInstalled && !fileName.isEmpty())
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin"))
        .setValue(QLatin1String(kKey), QFileInfo(fileName).absolutePath());
}
