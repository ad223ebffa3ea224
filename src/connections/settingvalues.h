#pragma once

#include <QString>
#include <cstdint>

// Setting names are matched without regard to case.
QString SettingKey(const QString &name);
// A decimal integer; anything else raises EPtError.
int64_t DecimalSetting(const QString &value);
// A decimal integer 0 to 65535; anything else raises EPtError.
uint16_t PortSetting(const QString &value);
