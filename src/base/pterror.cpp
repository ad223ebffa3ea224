#include "base/pterror.h"

EPtError::EPtError(const QString &message) : std::runtime_error(message.toStdString()) {}

EPtError::EPtError(const char *message) : std::runtime_error(message) {}
