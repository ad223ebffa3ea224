#include "view/timecell.h"

#include <cmath>
#include <cstdint>

QString TimeCellText(TDateTime time, TDateTime reference) {
  if (time == 0)
    return {};
  const double days = std::fabs(time - reference);
  if (!std::isfinite(days) || days > 1e9)
    return {};
  constexpr int64_t kMsPerDay = 86400000;
  // Rounded to whole milliseconds first, so 0.75 s never shows as 0.749.
  const int64_t ms = std::llround(days * double(kMsPerDay)) % kMsPerDay;
  return QString::asprintf("%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60),
                           int(ms / 1000 % 60), int(ms % 1000));
}
