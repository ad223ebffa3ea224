#pragma once

#include <cstdint>

// Date-time as used everywhere in the program: days since 30 December 1899,
// the time of day as the fraction, local time. 0 means "no time recorded".
using TDateTime = double;

struct TDateTimeParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MilliSecond = 0;
};

// True when the parts name a real calendar date and time of day.
bool IsValidDateTimeParts(const TDateTimeParts &parts);

// Builds a date-time from parts; false (and `result` untouched) for an
// impossible date or time such as month 13 or hour 25.
bool TryEncodeDateTime(const TDateTimeParts &parts, TDateTime &result);

// Splits a date-time into its calendar parts (milliseconds rounded).
TDateTimeParts DecodeDateTime(TDateTime value);

// The current local date and time.
TDateTime NowDateTime();

// Whole days since 30 December 1899 for a proleptic Gregorian date.
int64_t DaysFromCivil(int year, int month, int day);
