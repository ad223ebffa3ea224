#include "base/versioninfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {

// The build's project version always as four numbers, like a Windows version
// resource, whatever number of components the project declares.
QString FourPartVersion() {
  QStringList parts = QString::fromLatin1(PT_VERSION).split(QLatin1Char('.'));
  while (parts.size() < 4)
    parts << QStringLiteral("0");
  return parts.mid(0, 4).join(QLatin1Char('.'));
}

struct TVersionValue {
  const char *Key;
  QString Value;
};

} // namespace

QString GetVersionInfo(const QString &key) {
  static const TVersionValue table[] = {
      {"FileVersion", FourPartVersion()},
      {"ProductVersion", FourPartVersion()},
      {"ProductName", QStringLiteral("Pelmar Terminal")},
      {"CompanyName", QStringLiteral("Korvane")},
      {"FileDescription", QStringLiteral("Pelmar Terminal")},
      {"InternalName", QStringLiteral("pelmarterm")},
      {"OriginalFilename", QStringLiteral("pelmarterm")},
      {"LegalCopyright", QStringLiteral("Copyright (C) Korvane")},
  };
  // Version resource keys are matched without regard to case on Windows.
  for (const TVersionValue &entry : table) {
    if (key.compare(QLatin1String(entry.Key), Qt::CaseInsensitive) == 0)
      return entry.Value;
  }
  return QString();
}

QString GetFileVersion() {
  return GetVersionInfo(QStringLiteral("FileVersion"));
}

bool GetVersion(TFileVersion &version, const QString &fileName) {
  if (!fileName.isEmpty() &&
      QFileInfo(fileName).canonicalFilePath() !=
          QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath())
    return false;
  const QStringList parts = GetVersionInfo(QStringLiteral("ProductVersion")).split(u'.');
  uint16_t numbers[4] = {};
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    numbers[i] = parts.value(i).toUShort(&ok);
    if (!ok)
      return false;
  }
  version = {numbers[0], numbers[1], numbers[2], numbers[3]};
  return true;
}

QString GetVersionToStr(const QString &fileName) {
  TFileVersion v;
  if (!GetVersion(v, fileName))
    return QString();
  return QStringLiteral("%1.%2.%3.%4").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build);
}
