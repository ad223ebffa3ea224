#include "app/closefailures.h"

#include <QSettings>

namespace {

const QString kKey = QStringLiteral("CloseFailures/Lines");

} // namespace

void RememberCloseFailures(const QStringList &failures) {
  QSettings s(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  // An earlier run's failures not yet shown stay ahead of these.
  s.setValue(kKey, s.value(kKey).toStringList() + failures);
}

QStringList TakeCloseFailures() {
  QSettings s(QStringLiteral("Korvane"), QStringLiteral("Vexlin"));
  const QStringList failures = s.value(kKey).toStringList();
  if (!failures.isEmpty())
    s.remove(kKey);
  return failures;
}
