#include "base/datafolder.h"

#include <QCoreApplication>

QString PathPtFiles() {
  QString folder = qEnvironmentVariable("PT_DATA_DIR");
  if (folder.isEmpty())
    folder = QCoreApplication::applicationDirPath() + QStringLiteral("/pt.files");
  return folder.endsWith(u'/') ? folder : folder + u'/';
}
