#include "base/versioninfo.h"

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
