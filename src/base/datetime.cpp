#include "base/datetime.h"

#include <cmath>
#include <ctime>

namespace {

constexpr double kMsPerDay = 86400000.0;
// Days from 1970-01-01 back to 1899-12-30.
constexpr int64_t kUnixEpochOffset = 25569;

// Howard Hinnant's days_from_civil / civil_from_days, relative to 1970-01-01.
int64_t DaysFromUnixEpoch(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromUnixDays(int64_t z, int &year, int &month, int &day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

} // namespace

int64_t DaysFromCivil(int year, int month, int day) {
  return DaysFromUnixEpoch(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
         kUnixEpochOffset;
}

bool IsValidDateTimeParts(const TDateTimeParts &p) {
  return p.Year >= 1 && p.Year <= 9999 && p.Month >= 1 && p.Month <= 12 && p.Day >= 1 &&
         p.Day <= DaysInMonth(p.Year, p.Month) && p.Hour >= 0 && p.Hour < 24 && p.Minute >= 0 &&
         p.Minute < 60 && p.Second >= 0 && p.Second < 60 && p.MilliSecond >= 0 &&
         p.MilliSecond < 1000;
}

bool TryEncodeDateTime(const TDateTimeParts &p, TDateTime &result) {
  if (!IsValidDateTimeParts(p))
    return false;
  const double days = static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day));
  const double ms = ((p.Hour * 60.0 + p.Minute) * 60.0 + p.Second) * 1000.0 + p.MilliSecond;
  // Days before 1899-12-30 count the time of day away from zero, as the
  // format has always done.
  result = days >= 0 ? days + ms / kMsPerDay : days - ms / kMsPerDay;
  return true;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  TDateTimeParts p;
  double whole = std::trunc(value);
  double frac = std::fabs(value - whole);
  int64_t ms = std::llround(frac * kMsPerDay);
  if (ms >= static_cast<int64_t>(kMsPerDay)) {
    ms -= static_cast<int64_t>(kMsPerDay);
    whole += value >= 0 ? 1 : -1;
  }
  CivilFromUnixDays(static_cast<int64_t>(whole) - kUnixEpochOffset, p.Year, p.Month, p.Day);
  p.MilliSecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  p.Second = static_cast<int>(ms % 60);
  ms /= 60;
  p.Minute = static_cast<int>(ms % 60);
  p.Hour = static_cast<int>(ms / 60);
  return p;
}

TDateTime NowDateTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  // The offset from UTC changes rarely; ask the time zone once a second per
  // thread instead of on every packet.
  thread_local time_t cachedSecond = -1;
  thread_local long cachedOffset = 0;
  if (ts.tv_sec != cachedSecond) {
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    cachedOffset = local.tm_gmtoff;
    cachedSecond = ts.tv_sec;
  }
  const double localMs = (static_cast<double>(ts.tv_sec) + cachedOffset) * 1000.0 +
                         static_cast<double>(ts.tv_nsec / 1000000);
  return localMs / kMsPerDay + static_cast<double>(kUnixEpochOffset);
}
