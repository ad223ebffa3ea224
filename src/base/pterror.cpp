#include "base/pterror.h"

QString EPtError::ShownText(const QString &message) {
  if (!message.contains(QChar(0)))
    return message;
  QString shown = message;
  return shown.replace(QChar(0), QLatin1String("\\0"));
}

EPtError::EPtError(const QString &message) : std::runtime_error(ShownText(message).toStdString()) {}

EPtError::EPtError(const char *message) : std::runtime_error(message) {}
