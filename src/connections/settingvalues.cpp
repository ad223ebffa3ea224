#include "connections/settingvalues.h"

#include "base/pterror.h"

QString SettingKey(const QString &name) {
  return name.toUpper();
}

int64_t DecimalSetting(const QString &value) {
  bool ok = false;
  const qlonglong number = value.trimmed().toLongLong(&ok, 10);
  if (!ok)
    throw EPtError(QStringLiteral("'%1' is not a valid integer value").arg(value));
  return number;
}

uint16_t PortSetting(const QString &value) {
  const int64_t number = DecimalSetting(value);
  if (number < 0 || number > 65535)
    throw EPtError(QStringLiteral("Port %1 is out of range 0 to 65535").arg(number));
  return static_cast<uint16_t>(number);
}
